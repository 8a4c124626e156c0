#include "cli/ExportCommand.h"

#include "cli/JobFile.h"
#include "cli/ValidateCommand.h"
#include "cli/modCommandLine.h"
#include "common/AppState.h"
#include "common/ConsoleConfig.h"
#include "common/modConsoleKey.h"
#include "common/modFormat.h"
#include "common/PrivateFolder.h"
#include "common/modRegistry.h"
#include "database/ComputerDB.h"
#include "job/ComputerDBJobExport.h"
#include "engine/JobArray.h"
#include "engine/JobColumns.h"
#include "validation/JobValidator.h"
#include "engine/QXEInterface.h"
#include "engine/SimulatedEngine.h"
#include "engine/TranslationArray.h"
#include "validation/ValidationReport.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char *const kClientColumns[] = {
    "computer name",
    "Admin A domain",
    "Admin A user",
    "Admin A password",
    "Admin B domain",
    "Admin B user",
    "Admin B password",
    "files to copy",
    "services",
    "generated files",
    "wave",
    "ask first",
};

const char *const kSettingsColumns[] = {
    "source users",
    "source domain",
    "source DC",
    "source DC IP",
    "source SIDs",
    "source lookup account",
    "source lookup password",
    "destination users",
    "destination domain",
    "destination lookup account",
    "destination lookup password",
    "destination DC",
    "destination DC IP",
    "workgroup",
    "join domain",
    "join DC",
    "join DC IP",
    "join account",
    "join password",
    "reboot permitted",
    "force reboot",
    "profile actions",
    "minimum free space",
    "overwrite profile",
};

bool isPasswordCell(bool clientArray, int column)
{
    if (clientArray)
        return column == ClientColumn::AdminAPassword || column == ClientColumn::AdminBPassword;
    return column == SettingsColumn::SourceLookupPassword || column == SettingsColumn::DestinationLookupPassword
        || column == SettingsColumn::JoinPassword;
}

QString quoted(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    shown.replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

QString cellText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return QStringLiteral("<empty>");
    case QMetaType::QString:
        return quoted(value.toString());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QByteArray:
        return QStringLiteral("<scrambled, %1 bytes>").arg(value.toByteArray().size());
    case QMetaType::QVariantList: {
        QStringList items;
        for (const QVariant &item : value.toList())
            items << cellText(item);
        return QLatin1Char('(') + items.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    default:
        return value.toString();
    }
}

void dumpRow(QTextStream &out, const JobArray &array, int row, int shownRow, const char *const *labels, bool clientArray)
{
    out << "  row " << shownRow << '\n';
    for (int column = 1; column <= array.Columns(); ++column) {
        const QVariant value = array.Value(column, row);
        // The dump is for reading; the passwords stay in the scrambled files.
        const QString shown
            = isPasswordCell(clientArray, column) && !value.toString().isEmpty() ? QStringLiteral("<password>") : cellText(value);
        out << QStringLiteral("    %1 %2: ").arg(column, 2).arg(QString::fromLatin1(labels[column - 1])) << shown << '\n';
    }
}

// A part of the dump gathered while the rows go by: a file below the
// folder, unlinked at once so that an export that stops leaves nothing.
struct DumpPart
{
    QFile file;
    QTextStream text;

    bool open(PrivateFolder &folder, const QString &name)
    {
        if (!folder.OpenFile(file, name, QIODevice::ReadWrite) || !folder.Remove(name))
            return false;
        text.setDevice(&file);
        return true;
    }

    // Appends the part to `out`, copied by the kernel where it can, then
    // empties it: an emptied part leaves nothing for the final sync to
    // write, so the dump reaches the disk once.
    bool appendTo(QFile &out)
    {
        text.flush();
        if (!out.flush() || file.error() != QFileDevice::NoError)
            return false;
        const qint64 size = file.size();
        loff_t from = 0;
        while (from < size) {
            const ssize_t copied = ::copy_file_range(file.handle(), &from, out.handle(), nullptr, static_cast<size_t>(size - from), 0);
            if (copied > 0)
                continue;
            if (copied == 0 || (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP))
                return false;
            // No copy between these files in the kernel: a piece at a time.
            if (!file.seek(from) || !out.seek(out.size()))
                return false;
            QByteArray piece;
            while (!(piece = file.read(1 << 20)).isEmpty()) {
                if (out.write(piece) != piece.size())
                    return false;
            }
            if (file.error() != QFileDevice::NoError || !out.flush())
                return false;
            break;
        }
        // QFile keeps its own position; the copy moved the file's.
        if (!out.seek(out.size()))
            return false;
        return file.resize(0);
    }
};

} // namespace

ExportCommand::ExportCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString ExportCommand::usage()
{
    return QStringLiteral("Usage: vo export FILE --out DIR [--listener ADDRESS] [--port N]\n"
                          "                 [--passphrase-file F]\n"
                          "\n"
                          "Exports a Varno-Osk settings file the way Start Migration hands it to the\n"
                          "engine. Each client's scrambled configuration file is written to\n"
                          "DIR/<computer name>/varnoosk.cfg (vo descramble reads it), and DIR/arrays.txt\n"
                          "shows the translation, client and settings arrays cell by cell, with the\n"
                          "passwords masked.\n"
                          "\n"
                          "The file is checked first, as by vo validate: an error stops the export,\n"
                          "a warning is shown and the export goes on.\n"
                          "\n"
                          "  --out DIR             the folder to write to (created when missing)\n"
                          "  --listener ADDRESS    the console address written into the files; default\n"
                          "                        the stored ConsoleIP, else the listener address: the\n"
                          "                        stored ListenerIP while it is an address of this\n"
                          "                        machine, else the machine's first\n"
                          "  --port N              the listener port written into the files; default the\n"
                          "                        stored ListenerPort, else %1\n"
                          "  --passphrase-file F   read the passphrase of a file saved with one from the\n"
                          "                        first line of F\n"
                          "\n"
                          "Exit status: 0 exported, 1 failure.\n")
        .arg(ConsoleConfig::DefaultListenerPort);
}

QString ExportCommand::DumpFileName()
{
    return QStringLiteral("arrays.txt");
}

int ExportCommand::failure(const QString &text)
{
    return modCommandLine::Fail(m_err, text);
}

bool ExportCommand::WriteJob(QXEInterface &qxe, JobExport &job, const QString &folder, int &clients, QString &problem)
{
    clients = 0;
    PrivateFolder target;
    // The client files carry the accounts' passwords, scrambled only.
    if (!target.Open(folder)) {
        problem = target.ErrorString();
        return false;
    }
    // The dump shows the translation array first, then the client array, then
    // the settings array, and the rows arrive once: the computer IDs are kept,
    // the two other parts gathered aside and joined at the end.
    DumpPart clientPart;
    DumpPart settingsPart;
    if (!clientPart.open(target, QStringLiteral(".arrays-clients")) || !settingsPart.open(target, QStringLiteral(".arrays-settings"))) {
        problem = target.ErrorString();
        return false;
    }
    QList<qint32> ids;
    const bool exported = qxe.StreamJob(job, [&](const JobExport::Row &row) {
        const QString name = row.Clients.Text(ClientColumn::ComputerName, 1);
        const QString computerFolder = SimulatedEngine::SafeFileName(name);
        const QVariantList entry = row.Clients.Value(ClientColumn::GeneratedFiles, 1).toList().value(0).toList();
        if (!target.MakeFolder(computerFolder)
            || !target.Write(
                computerFolder + QLatin1Char('/') + SimulatedEngine::SafeFileName(entry.value(0).toString()), entry.value(1).toByteArray())) {
            problem = QStringLiteral("The configuration file of %1 cannot be written: %2").arg(name, target.ErrorString());
            return false;
        }
        dumpRow(clientPart.text, row.Clients, 1, row.Client, kClientColumns, true);
        dumpRow(settingsPart.text, row.Settings, 1, row.Client, kSettingsColumns, false);
        ids.append(row.ComputerId);
        return true;
    });
    if (!exported || ids.isEmpty()) {
        if (problem.isEmpty())
            problem = QStringLiteral("The migration list is empty.");
        return false;
    }

    QFile dump;
    if (!target.OpenFile(dump, DumpFileName(), QIODevice::WriteOnly)) {
        problem = target.ErrorString();
        return false;
    }
    QTextStream out(&dump);
    out << "Translation array (" << ids.size() << " rows: engine client -> computer ID)\n";
    for (qsizetype row = 0; row < ids.size(); ++row)
        out << "  " << row + 1 << ": " << ids.at(row) << '\n';
    out << "\nClient array (" << ClientColumn::Count << " columns, " << ids.size() << " rows)\n";
    out.flush();
    bool written = clientPart.appendTo(dump);
    out << "\nSettings array (" << SettingsColumn::Count << " columns, " << ids.size() << " rows)\n";
    out.flush();
    written = written && settingsPart.appendTo(dump) && dump.error() == QFileDevice::NoError;
    dump.close();
    // Durable once for all the files, rather than one flush per file.
    if (!written || !target.Sync()) {
        problem = QStringLiteral("\"%1\" cannot be written.").arg(QDir::toNativeSeparators(target.FilePath(DumpFileName())));
        return false;
    }
    clients = static_cast<int>(ids.size());
    return true;
}

int ExportCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        m_out.flush();
        return 0;
    }
    const QString out = QStringLiteral("--out");
    const QString listener = QStringLiteral("--listener");
    const QString port = QStringLiteral("--port");
    JobFile file;
    QString problem;
    if (!file.parse(arguments, {}, {out, listener, port}, problem) || (problem.isEmpty() && !file.has(out))) {
        m_err << "ERROR: " << (problem.isEmpty() ? QStringLiteral("Invalid syntax. --out DIR is needed.") : problem) << "\n\n" << usage();
        m_err.flush();
        return 1;
    }

    // As the console's start-up does: on a fresh store there is no key yet,
    // and a run could not read its configuration without one.
    if (!modConsoleKey::Prepare())
        return 1;

    // As a run tells the clients: the stored ConsoleIP, else the listener address.
    const QString consoleIP = ConsoleConfig().Text(ConsoleConfig::ConsoleIP);
    const QString address = !file.has(listener) && modFormat::IsValidIPAddress(consoleIP)
        ? consoleIP
        : modCommandLine::ListenerAddress(file.has(listener) ? std::optional(file.value(listener)) : std::nullopt, problem);
    if (address.isEmpty())
        return failure(problem);
    int portNumber = ConsoleConfig::DefaultListenerPort;
    if (file.has(port)) {
        bool numeric = false;
        portNumber = file.value(port).toInt(&numeric);
        if (!numeric || portNumber < 1 || portNumber > 65535)
            return failure(QStringLiteral("\"%1\" is not a port number from 1 to 65535.").arg(file.value(port)));
    } else {
        const int stored = ConsoleConfig().Number(ConsoleConfig::ListenerPort);
        if (stored >= 1 && stored <= 65535)
            portNumber = stored;
    }

    ComputerDB database;
    if (!file.load(database, problem))
        return failure(problem);

    const ValidationResult result = JobValidator(database).Verify(0);
    const ValidationReport report = ValidationReport::Build(result, database);
    if (!report.Passed) {
        ValidateCommand::print(report.Warning ? m_out : m_err, database, result, report);
        if (!report.Warning)
            return 1;
    }

    QXEInterface qxe;
    qxe.SetConsoleIP(address);
    qxe.SetListenerIP(address);
    qxe.SetListenerPort(portNumber);
    ComputerDBJobExport job(database);
    int clients = 0;
    if (!WriteJob(qxe, job, file.value(out), clients, problem))
        return failure(problem);

    m_out << "Exported " << clients << (clients == 1 ? " client" : " clients") << " to " << QDir::toNativeSeparators(file.value(out))
          << '\n';
    m_out.flush();
    return 0;
}

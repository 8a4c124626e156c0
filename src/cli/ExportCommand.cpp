#include "cli/ExportCommand.h"

#include "cli/JobFile.h"
#include "cli/ValidateCommand.h"
#include "cli/modCommandLine.h"
#include "common/AppState.h"
#include "common/ConsoleConfig.h"
#include "common/modConsoleKey.h"
#include "common/modFormat.h"
#include "common/modPrivateFiles.h"
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
#include <QSaveFile>
#include <QTextStream>

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

void dumpArray(QTextStream &out, const char *title, const JobArray &array, const char *const *labels, bool clientArray)
{
    out << title << " (" << array.Columns() << " columns, " << array.Rows() << " rows)\n";
    for (int row = 1; row <= array.Rows(); ++row) {
        out << "  row " << row << '\n';
        for (int column = 1; column <= array.Columns(); ++column) {
            const QVariant value = array.Value(column, row);
            // The dump is for reading; the passwords stay in the scrambled files.
            const QString shown
                = isPasswordCell(clientArray, column) && !value.toString().isEmpty() ? QStringLiteral("<password>") : cellText(value);
            out << QStringLiteral("    %1 %2: ").arg(column, 2).arg(QString::fromLatin1(labels[column - 1])) << shown << '\n';
        }
    }
}

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

QString ExportCommand::Dump(const TranslationArray &translation, const JobArray &clients, const JobArray &settings)
{
    QString text;
    QTextStream out(&text);
    out << "Translation array (" << translation.Rows() << " rows: engine client -> computer ID)\n";
    for (int row = 1; row <= translation.Rows(); ++row)
        out << "  " << row << ": " << translation.At(row) << '\n';
    out << '\n';
    dumpArray(out, "Client array", clients, kClientColumns, true);
    out << '\n';
    dumpArray(out, "Settings array", settings, kSettingsColumns, false);
    out.flush();
    return text;
}

int ExportCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && JobFile::isHelp(arguments.first())) {
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

    const QDir target(file.value(out));
    // The client files carry the accounts' passwords, scrambled only.
    if (!modPrivateFiles::MakeFolder(target.path()))
        return failure(QStringLiteral("The folder \"%1\" cannot be created.").arg(QDir::toNativeSeparators(target.path())));

    QXEInterface qxe;
    qxe.SetConsoleIP(address);
    qxe.SetListenerIP(address);
    qxe.SetListenerPort(portNumber);
    ComputerDBJobExport job(database);
    qxe.ExportJob(job);

    const JobArray &clients = qxe.ClientArray();
    const TranslationArray &translation = qxe.Translation();
    if (!translation.Exists() || translation.Rows() == 0)
        return failure(QStringLiteral("The migration list is empty."));
    for (int row = 1; row <= clients.Rows(); ++row) {
        const QString name = clients.Text(ClientColumn::ComputerName, row);
        const QVariantList entry = clients.Value(10, row).toList().value(0).toList();
        const QString folder = target.filePath(SimulatedEngine::SafeFileName(name));
        QSaveFile config(QDir(folder).filePath(entry.value(0).toString()));
        const bool opened = modPrivateFiles::MakeFolder(folder) && config.open(QIODevice::WriteOnly);
        if (opened)
            modPrivateFiles::Restrict(config);
        if (!opened || config.write(entry.value(1).toByteArray()) < 0 || !config.commit())
            return failure(
                QStringLiteral("The configuration file of %1 cannot be written to \"%2\".").arg(name, QDir::toNativeSeparators(folder)));
    }

    QSaveFile dump(target.filePath(DumpFileName()));
    const QString text = Dump(translation, clients, qxe.SettingsArray());
    if (!dump.open(QIODevice::WriteOnly | QIODevice::Text) || dump.write(text.toUtf8()) < 0 || !dump.commit())
        return failure(QStringLiteral("\"%1\" cannot be written.").arg(QDir::toNativeSeparators(dump.fileName())));

    m_out << "Exported " << clients.Rows() << (clients.Rows() == 1 ? " client" : " clients") << " to "
          << QDir::toNativeSeparators(target.path()) << '\n';
    m_out.flush();
    return 0;
}

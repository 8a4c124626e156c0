#include "cli/EnableCommand.h"

#include "cli/JobFile.h"
#include "cli/modCommandLine.h"
#include "cli/modComputerChoice.h"
#include "database/ComputerDB.h"

#include <QDir>
#include <QTextStream>

namespace {

const QString kGroup = QStringLiteral("--group");
const QString kComputer = QStringLiteral("--computer");

} // namespace

EnableCommand::EnableCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString EnableCommand::usage()
{
    return QStringLiteral(
        "Usage: vo disable FILE [--group PATH]... [--computer NAME]...\n"
        "       vo enable FILE [--group PATH]... [--computer NAME]...\n"
        "(each also takes --passphrase-file F for a file saved with a passphrase)\n"
        "\n"
        "A disabled computer stays in the tree with its settings and user migrations,\n"
        "but validation, the readiness report and every migration leave it out until\n"
        "it is enabled again. A rollback still reaches it.\n"
        "\n"
        "  --group PATH           every computer below the group (\"Sales\\London\";\n"
        "                         \"All Computers\" for every computer)\n"
        "  --computer NAME        one computer by name\n"
        "\n"
        "Exit status: 0 done, 1 a usage error, a name that is not there, or a file that\n"
        "cannot be read or saved (nothing is saved then).\n");
}

int EnableCommand::run(bool enable, const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        m_out.flush();
        return 0;
    }
    JobFile file;
    QString problem;
    if (!file.parse(arguments, {}, {}, problem, {kGroup, kComputer})) {
        m_err << "ERROR: " << problem << "\n\n" << usage();
        m_err.flush();
        return modCommandLine::Failed;
    }
    const QStringList groups = file.values(kGroup);
    const QStringList computers = file.values(kComputer);
    if (groups.isEmpty() && computers.isEmpty())
        return modCommandLine::Fail(m_err, QStringLiteral("Invalid syntax. Name the computers with --group PATH or --computer NAME."));
    ComputerDB database;
    if (!file.load(database, problem))
        return modCommandLine::Fail(m_err, problem);
    QSet<int> chosen;
    if (!modComputerChoice::Choose(database, groups, computers, chosen, problem))
        return modCommandLine::Fail(m_err, problem);
    int changed = 0;
    for (const int id : std::as_const(chosen)) {
        if (database.Computers(id)->Enabled != enable) {
            database.SetComputerEnabled(id, enable);
            ++changed;
        }
    }
    const QString done = enable ? QStringLiteral("enabled") : QStringLiteral("disabled");
    m_out << modComputerChoice::ComputersText(changed) << ' ' << done;
    if (changed < chosen.size())
        m_out << " (" << chosen.size() - changed << " of those named " << (chosen.size() - changed == 1 ? "was" : "were")
              << " " << done << " already)";
    if (changed == 0) {
        m_out << "; the file is left as it was.\n";
        m_out.flush();
        return 0;
    }
    if (!modComputerChoice::SaveBack(file, database, problem))
        return modCommandLine::Fail(m_err, problem);
    m_out << ". Saved in \"" << QDir::toNativeSeparators(file.path()) << "\".\n";
    m_out.flush();
    return 0;
}

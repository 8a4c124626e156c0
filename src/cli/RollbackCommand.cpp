#include "cli/RollbackCommand.h"

#include "cli/JobFile.h"
#include "cli/RunTerminal.h"
#include "cli/modCommandLine.h"
#include "common/AppState.h"
#include "common/modConsoleKey.h"
#include "common/modGeneral.h"
#include "common/modRollback.h"
#include "database/ComputerDB.h"
#include "engine/QXEHandler.h"
#include "engine/QXEInterface.h"
#include "engine/modEngine.h"
#include "job/MigrationRun.h"
#include "job/RollbackJob.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {
const QString kFrom = QStringLiteral("--from");
const QString kComputer = QStringLiteral("--computer");
const QString kForget = QStringLiteral("--forget");
const QString kJoinAccount = QStringLiteral("--join-account");
const QString kJoinPasswordFile = QStringLiteral("--join-password-file");
const QString kListener = QStringLiteral("--listener");
const QString kReport = QStringLiteral("--report");
} // namespace

RollbackCommand::RollbackCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString RollbackCommand::usage()
{
    return QStringLiteral("Usage: vo rollback FILE --from RESULTS [--computer NAME ...] [--forget]\n"
                          "                   [--join-account ACCOUNT --join-password-file F]\n"
                          "                   [--listener ADDRESS] [--passphrase-file F] [--report DIR]\n"
                          "\n"
                          "Rolls back the migration whose results are in RESULTS: the engine reaches the\n"
                          "computers of FILE that the migration reached (or those --computer names) over\n"
                          "ssh, and each client reverses what its journal says it did, newest step first:\n"
                          "owners and groups back, folders back, the workgroup back. The realm goes back\n"
                          "only with --join-account, an account of the source domain that may join it;\n"
                          "without one the computer stays in the destination realm and its log says so.\n"
                          "The journal stays on the client until its next run or --forget.\n"
                          "\n"
                          "A rollback is a run of its own: its logs go to the results folder of the job\n"
                          "\"<job> rollback\" (\"<job> rollback 2\" and so on), and its header, progress\n"
                          "log, summary and report say \"Rollback\".\n"
                          "\n"
                          "  --from RESULTS             the migration's results folder (the log root +\n"
                          "                             the job name)\n"
                          "  --computer NAME            roll back only this computer; give it again for\n"
                          "                             more\n"
                          "  --forget                   remove the journals instead: nothing is reversed,\n"
                          "                             and those migrations can no longer be rolled back\n"
                          "  --join-account ACCOUNT     user, DOMAIN\\user or user@domain of the source\n"
                          "                             domain, to join the computers back to it\n"
                          "  --join-password-file F     its password, the first line of F\n"
                          "  --listener ADDRESS         the listener address, as for vo run\n"
                          "  --passphrase-file F        read the passphrase of FILE from the first line of F\n"
                          "  --report DIR               at the end, write report.csv and report.html into DIR\n"
                          "\n"
                          "Exit status: 0 every computer rolled back; 2 some with warnings and none\n"
                          "worse; 1 otherwise.\n");
}

int RollbackCommand::failure(const QString &text)
{
    return modCommandLine::Fail(m_err, text);
}

int RollbackCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        m_out.flush();
        return 0;
    }
    JobFile file;
    QString problem;
    if (!file.parse(arguments, {kForget}, {kFrom, kJoinAccount, kJoinPasswordFile, kListener, kReport}, problem, {kComputer})
        || !file.has(kFrom)) {
        if (problem.isEmpty())
            problem = QStringLiteral("Invalid syntax. --from RESULTS is needed.");
        m_err << "ERROR: " << problem << "\n\n" << usage();
        m_err.flush();
        return 1;
    }
    if (file.has(kJoinAccount) != file.has(kJoinPasswordFile))
        return failure(QStringLiteral("--join-account and --join-password-file go together: the account joins the source domain "
                                      "with that password."));
    if (file.has(kForget) && file.has(kJoinAccount))
        return failure(QStringLiteral("--forget reverses nothing, so it joins no domain: leave out --join-account."));
    RollbackJob job;
    job.Forget = file.has(kForget);
    if (file.has(kJoinAccount)) {
        job.JoinAccount = file.value(kJoinAccount).trimmed();
        if (job.JoinAccount.isEmpty())
            return failure(QStringLiteral("--join-account names no account."));
        if (!JobFile::ReadFirstLine(file.value(kJoinPasswordFile), "password", job.JoinPassword, problem))
            return failure(problem);
    }
    if (!modConsoleKey::Prepare())
        return 1;
    const QString listener
        = modCommandLine::ListenerAddress(file.has(kListener) ? std::optional(file.value(kListener)) : std::nullopt, problem);
    if (listener.isEmpty())
        return failure(problem);

    ComputerDB database;
    if (!file.load(database, problem))
        return failure(problem);
    job.MigrationResults = QDir::current().absoluteFilePath(file.value(kFrom));
    QList<RollbackJob::Reached> reached;
    if (!RollbackJob::ReadReached(database, job.MigrationResults, reached, problem))
        return failure(problem);
    if (file.has(kComputer)) {
        QStringList unknown;
        job.Computers = RollbackJob::Named(reached, file.values(kComputer), unknown);
        if (!unknown.isEmpty())
            return failure(QStringLiteral("The migration in \"%1\" did not reach %2: %3.  Nothing was rolled back.")
                               .arg(QDir::toNativeSeparators(job.MigrationResults),
                                   unknown.size() == 1 ? QStringLiteral("this computer") : QStringLiteral("these computers"),
                                   unknown.join(QStringLiteral(", "))));
    } else {
        for (const RollbackJob::Reached &computer : std::as_const(reached))
            job.Computers.insert(computer.Id);
    }

    const QString migrationJob = QFileInfo(QDir::cleanPath(job.MigrationResults)).fileName();
    const QString jobName = modRollback::JobName(migrationJob);
    const QString resultsFolder = modGeneral::GetLogPath(jobName);
    AppState::Get().CurrentSettingsFile = QDir::current().absoluteFilePath(file.path());
    m_out << modRollback::Label(QStringLiteral("Rollback Job Name: ") + jobName) << '\n';
    m_out << "Migration results: " << QDir::toNativeSeparators(job.MigrationResults) << '\n';
    m_out << "Results folder: " << QDir::toNativeSeparators(resultsFolder) << '\n';
    m_out << "Computers: " << job.Computers.size() << " of the " << reached.size() << " the migration reached\n";
    if (!job.Forget && job.JoinAccount.isEmpty())
        m_out << "No join account of the source domain is given: a computer that changed realm stays in the destination one.\n";
    m_out << "Listener: " << listener << '\n';
    m_out.flush();

    QXEInterface qxe(modEngine::CreateRollbackHandler(job.Forget));
    qxe.SetListenerAddressSource([listener] { return listener; });
    MigrationRun rollback(database);
    return RunTerminal(m_out, m_err)
        .follow(database, rollback, [&] { rollback.StartRollback(qxe, job, jobName, resultsFolder); },
            file.has(kReport) ? file.value(kReport) : QString());
}

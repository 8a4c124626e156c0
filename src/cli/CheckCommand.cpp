#include "cli/CheckCommand.h"

#include "cli/Interrupts.h"
#include "cli/JobFile.h"
#include "cli/modCommandLine.h"
#include "common/Clock.h"
#include "common/ConsoleConfig.h"
#include "common/modRehearsal.h"
#include "database/ComputerDB.h"
#include "job/ClientCheck.h"
#include "network/modNetwork.h"
#include "validation/ReadinessReport.h"

#include <QSocketNotifier>
#include <QTextStream>

namespace {
const QString kPing = QStringLiteral("--ping");
const QString kClients = QStringLiteral("--clients");
const QString kHtml = QStringLiteral("--html");
const QString kCsv = QStringLiteral("--csv");
} // namespace

CheckCommand::CheckCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString CheckCommand::usage()
{
    return QStringLiteral("Usage: vo check FILE [--ping] [--clients] [--html OUT] [--csv OUT] [--passphrase-file F]\n"
                          "\n"
                          "The readiness report of a Varno-Osk settings file (Tools > Readiness Report):\n"
                          "every fault of every computer that the check before a run finds, where\n"
                          "Start Migration stops at the first one. Prints the counts, then each\n"
                          "computer with faults: each fault's severity, code and text, the node where\n"
                          "it is fixed and the node whose settings the computer uses (\"All Computers\",\n"
                          "a group path, or the computer itself).\n"
                          "\n"
                          "  --ping                also resolve and ping every computer (as many at once\n"
                          "                        as the configuration's PingsInFlight) and open the\n"
                          "                        listener port on the listener address for a moment\n"
                          "  --clients             also check every computer on the computer itself: the\n"
                          "                        engine reaches each one over ssh and its client\n"
                          "                        service checks accounts, profiles, disk space and the\n"
                          "                        domain join, changing nothing; its logs go to\n"
                          "                        <log root><job name>.checks/<time>/; Ctrl-C once\n"
                          "                        reaches no more computers, twice stops the clients\n"
                          "  --html OUT            write the report as a page that stands alone\n"
                          "  --csv OUT             write one row per fault (one per ready computer)\n"
                          "  --passphrase-file F   read the passphrase of a file saved with one from the\n"
                          "                        first line of F\n"
                          "\n"
                          "Exit status: 0 no faults, 2 warnings only (or computers that did not answer\n"
                          "the ping), 1 errors (what the clients found among them), a listener port\n"
                          "that cannot be opened, a check on the clients that could not run, or a\n"
                          "file that cannot be loaded or written.\n");
}

int CheckCommand::failure(const QString &text)
{
    return modCommandLine::Fail(m_err, text);
}

int CheckCommand::exitStatus(const ReadinessReport &report)
{
    const auto counts = report.Counts();
    if (counts[static_cast<size_t>(ReadinessReport::Standing::Errors)] > 0 || (report.Listener && !report.Listener->Problem.isEmpty()))
        return Failed;
    if (counts[static_cast<size_t>(ReadinessReport::Standing::Warnings)] > 0 || report.Unanswered() > 0)
        return Warnings;
    return Ready;
}

int CheckCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        m_out.flush();
        return Ready;
    }
    JobFile file;
    QString problem;
    if (!file.parse(arguments, {kPing, kClients}, {kHtml, kCsv}, problem)) {
        m_err << "ERROR: " << problem << "\n\n" << usage();
        m_err.flush();
        return Failed;
    }
    ComputerDB database;
    if (!file.load(database, problem))
        return failure(problem);

    const ConsoleConfig config;
    // The stored address as it stands: one this machine no longer has is a
    // fault to show, not one to replace.
    QString address = config.Text(ConsoleConfig::ListenerIP);
    if (address.isEmpty())
        address = modNetwork::GetListenerIP(config);
    ReadinessReport report = ReadinessReport::Build(database, file.has(kClients) || !modRehearsal::EngineRehearses() ? address : QString());
    report.JobName = file.result().JobName;
    report.Time = Clock::instance().currentDateTime();
    if (file.has(kPing)) {
        report.CheckListener(address, config.Number(ConsoleConfig::ListenerPort));
        report.Ping(config.Number(ConsoleConfig::PingsInFlight));
    }

    if (file.has(kClients)) {
        ClientCheck check(database);
        // As in vo run: the first Ctrl-C reaches no more clients, the second
        // stops those at work, a third ends vo at once.
        Interrupts interrupts;
        int interruptCount = 0;
        if (QSocketNotifier *notifier = interrupts.notifier()) {
            QObject::connect(notifier, &QSocketNotifier::activated, notifier, [&] {
                for (int arrived = interrupts.take(); arrived > 0; --arrived) {
                    if (++interruptCount == 1) {
                        m_out << "Cancel requested: computers not reached yet are not checked.  Ctrl-C again aborts.\n";
                        check.CancelAll();
                    } else if (interruptCount == 2) {
                        m_out << "Abort requested: the clients at work stop their check.\n";
                        interrupts.restoreDefault();
                        check.AbortAll();
                    }
                    m_out.flush();
                }
            });
        }
        if (!check.Run(report, {}, problem))
            return failure(problem);
    }

    m_out << report.Summary();
    for (const ReadinessReport::Computer &computer : std::as_const(report.Computers)) {
        const bool silent = computer.Ping && !ReadinessReport::Answered(*computer.Ping);
        if (computer.Faults.isEmpty() && !silent)
            continue;
        m_out << '\n' << computer.Name;
        if (!computer.GroupPath.isEmpty())
            m_out << " in " << computer.GroupPath;
        if (computer.Ping)
            m_out << " (ping: " << ReadinessReport::PingText(*computer.Ping) << ')';
        m_out << '\n';
        for (const ReadinessReport::Fault &fault : computer.Faults) {
            m_out << "  " << (fault.Warning ? "warning " : "error ") << fault.Code << ": " << fault.Text << '\n';
            m_out << "    node: " << fault.Node << "; settings from: " << fault.SettingsSource << '\n';
        }
    }
    m_out.flush();

    if ((file.has(kHtml) || file.has(kCsv)) && !report.Write(file.value(kCsv), file.value(kHtml), &problem))
        return failure(problem);
    return exitStatus(report);
}

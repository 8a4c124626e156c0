#include "cli/RunTerminal.h"

#include "cli/Interrupts.h"
#include "cli/modCommandLine.h"
#include "common/Clock.h"
#include "common/RunState.h"
#include "engine/QXEInterface.h"
#include "job/MigrationRun.h"
#include "job/RunReport.h"

#include <QDir>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTextStream>

namespace {

QString terminalText(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// A very large run can leave thousands of computers unfinished; the report
// lists them all, the terminal only the first ones.
constexpr int kSummaryLines = 50;

} // namespace

RunTerminal::RunTerminal(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

int RunTerminal::follow(ComputerDB &database, MigrationRun &migration, const std::function<void()> &start, const QString &reportFolder)
{
    QEventLoop loop;
    QObject::connect(&migration, &MigrationRun::Line, &loop, [this](const QString &line) {
        m_out << terminalText(line) << '\n';
        m_out.flush();
    });
    QObject::connect(&migration, &MigrationRun::Message, &loop, [this](int level, const QString &text) {
        QTextStream &stream = level == QXEInterface::LevelInformation ? m_out : m_err;
        stream << (level == QXEInterface::LevelError  ? "ERROR: "
                : level == QXEInterface::LevelWarning ? "WARNING: "
                                                      : "")
               << terminalText(text) << '\n';
        stream.flush();
    });
    QObject::connect(&migration, &MigrationRun::ProcessingComplete, &loop, &QEventLoop::quit);
    QObject::connect(&migration, &MigrationRun::Stopped, &loop, &QEventLoop::quit);

    Interrupts interrupts;
    int interruptCount = 0;
    if (QSocketNotifier *notifier = interrupts.notifier()) {
        QObject::connect(notifier, &QSocketNotifier::activated, &loop, [&] {
            const int arrived = interrupts.take();
            for (int i = 0; i < arrived; ++i) {
                ++interruptCount;
                if (interruptCount == 1 && !migration.CanCancel()) {
                    m_out << "Every computer has started: nothing is left to cancel.  Ctrl-C again aborts.\n";
                    m_out.flush();
                } else if (interruptCount == 1) {
                    m_out << "Cancel requested: computers not yet started will not be " << (migration.RunKind() == MigrationRun::Kind::Rollback ? "rolled back" : "migrated") << ".\n";
                    m_out.flush();
                    migration.CancelAll();
                } else if (interruptCount == 2) {
                    m_out << "Abort requested: computers in progress are aborted.\n";
                    m_out.flush();
                    interrupts.restoreDefault();
                    migration.AbortAll();
                }
            }
        });
    }
    start();
    if (RunState::instance().running() && !migration.Complete())
        loop.exec();
    interrupts.restoreDefault();

    const bool complete = migration.Complete();
    const MigrationRun::Tally &tally = migration.Clients();
    const int clients = migration.ClientCount();
    if (complete) {
        m_out << migration.Label(QStringLiteral("Clients: %1; successful %2, with warnings %3, with errors %4, canceled %5, aborted %6.")
                                 .arg(migration.ClientCount())
                                 .arg(tally.Successful)
                                 .arg(tally.Warnings)
                                 .arg(tally.Errors)
                                 .arg(tally.Canceled)
                                 .arg(tally.Aborted))
              << '\n';
        m_out << "Logs: " << QDir::toNativeSeparators(migration.ResultsFolder()) << '\n';
    }
    bool reportWritten = true;
    if (clients > 0) {
        RunReport report = RunReport::Build(database, migration.ClientIds(), migration.LastStatuses(), migration.ResultsFolder());
        report.JobName = migration.JobName();
        report.Rehearsal = migration.Rehearsal();
        report.Rollback = migration.RunKind() == MigrationRun::Kind::Rollback;
        report.Time = Clock::instance().currentDateTime();
        printUnsuccessful(report);
        if (!reportFolder.isEmpty())
            reportWritten = writeReport(report, reportFolder);
    }
    m_out.flush();
    if (!complete || clients == 0 || !reportWritten)
        return 1;
    if (tally.Successful == clients)
        return 0;
    return tally.Successful + tally.Warnings == clients ? 2 : 1;
}

void RunTerminal::printUnsuccessful(const RunReport &report)
{
    const QList<RunReport::Row> rows = report.Unsuccessful();
    if (rows.isEmpty())
        return;
    m_out << "Not successful: " << rows.size() << '\n';
    for (qsizetype i = 0; i < rows.size() && i < kSummaryLines; ++i) {
        const RunReport::Row &row = rows.at(i);
        m_out << "  " << row.Computer << ": ";
        if (!row.StatusCode.isEmpty())
            m_out << row.StatusCode << ' ';
        m_out << row.StatusText << '\n';
    }
    if (rows.size() > kSummaryLines)
        m_out << "  ... and " << rows.size() - kSummaryLines << " more\n";
}

bool RunTerminal::writeReport(const RunReport &report, const QString &folder)
{
    QString problem;
    const QDir dir(QDir::current().absoluteFilePath(folder));
    if (!QDir().mkpath(dir.path())) {
        modCommandLine::Fail(m_err, QStringLiteral("The report folder \"%1\" could not be created.").arg(QDir::toNativeSeparators(dir.path())));
        return false;
    }
    if (!report.Write(dir.filePath(QStringLiteral("report.csv")), dir.filePath(QStringLiteral("report.html")), &problem)) {
        modCommandLine::Fail(m_err, problem);
        return false;
    }
    m_out << "Report: " << QDir::toNativeSeparators(dir.filePath(QStringLiteral("report.html"))) << '\n';
    return true;
}

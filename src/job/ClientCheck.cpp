#include "job/ClientCheck.h"

#include "common/RunState.h"
#include "common/modGeneral.h"
#include "engine/QXEInterface.h"
#include "engine/RemoteEngine.h"
#include "job/ComputerDBJobExport.h"
#include "validation/ReadinessReport.h"

#include <QDir>
#include <QEventLoop>
#include <QSet>
#include <QTimer>

namespace {
bool s_stopRequested = false;
} // namespace

void ClientCheck::StopRunning()
{
    s_stopRequested = true;
}

bool ClientCheck::StopRequested()
{
    return s_stopRequested;
}

ClientCheck::ClientCheck(ComputerDB &database, std::unique_ptr<QXEHandler> engine, QObject *parent)
    : QObject(parent)
    , m_database(database)
    , m_engine(engine ? std::move(engine) : std::make_unique<RemoteEngine>(QString::fromLatin1(modEngineLink::ModeCheck)))
{ }

ClientCheck::~ClientCheck() = default;

QString ClientCheck::LogFolder(const QString &jobName, const QDateTime &time)
{
    return modGeneral::GetLogRoot() + jobName + QStringLiteral(".checks/") + time.toString(QStringLiteral("yyyyMMdd-hhmmss")) + QLatin1Char('/');
}

bool ClientCheck::Run(ReadinessReport &report, const std::function<bool(int, int)> &progress, QString &problem)
{
    s_stopRequested = false;
    const QString folder = LogFolder(report.JobName, report.Time.isValid() ? report.Time : QDateTime::currentDateTime());
    QXEInterface engine(std::move(m_engine));
    QEventLoop loop;
    QSet<int> ended;
    const int total = int(report.Computers.size());
    bool complete = false;
    bool aborted = false;
    bool canceled = false;
    m_cancel = m_abort = false;
    QString failure;

    connect(&engine, &QXEInterface::ClientStatusChanged, &loop, [&](int computerId, const QString &status) {
        report.SetCheckStatus(computerId, status);
        if (status.startsWith(QLatin1Char('X')))
            ended.insert(computerId);
    });
    connect(&engine, &QXEInterface::ClientFinding, &loop,
        [&](int computerId, int code, const QString &text) { report.AddFinding(computerId, code, text); });
    connect(&engine, &QXEInterface::Message, &loop, [&](int level, const QString &text) {
        if (level == QXEInterface::LevelError)
            failure = text;
    });
    connect(&engine, &QXEInterface::ProcessingComplete, &loop, [&] {
        complete = true;
        loop.quit();
    });
    // An engine that fails, or a check that could not start, leaves the run state.
    connect(&RunState::instance(), &RunState::changed, &loop, [&](RunState::State state) {
        if (state != RunState::State::ClientCheck)
            loop.quit();
    });
    QTimer tick;
    tick.setInterval(200);
    connect(&tick, &QTimer::timeout, &loop, [&] {
        if (!aborted && (m_abort || s_stopRequested || (progress && !progress(int(ended.size()), total)))) {
            aborted = true;
            engine.AbortAll();
        } else if (m_cancel && !canceled && !aborted) {
            canceled = true;
            engine.CancelAll();
        }
    });

    ComputerDBJobExport job(m_database);
    engine.Check(job, folder);
    if (RunState::instance().state() == RunState::State::ClientCheck) {
        tick.start();
        loop.exec();
    }
    RunState::instance().backToEditing();
    engine.disconnect(&loop);
    if (!complete) {
        problem = failure.isEmpty() ? QStringLiteral("The check on the clients did not complete.") : failure;
        return false;
    }
    report.CheckFolder = folder;
    return true;
}

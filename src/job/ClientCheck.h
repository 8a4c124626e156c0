#pragma once

#include "engine/QXEHandler.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ComputerDB;
class ReadinessReport;

// The check on the clients of the readiness report (Tools > Readiness
// Report, `vo check --clients`): the job goes to the engine program, which
// reaches every computer, has the client service check it, and brings back
// what it found. Nothing on a client is changed.
//
// The check waits for its end in an event loop of its own, so that the
// window and `vo` may call it like the pings: the window's events go on,
// and `progress` may stop it.
//
// Its logs go beside the job's results folder, never into it: the job's
// name stays free for its run, and Start Migration does not find a check's
// logs and refuse.
class ClientCheck : public QObject
{
    Q_OBJECT

public:
    // Without an engine the engine program is used in its check mode.
    explicit ClientCheck(ComputerDB &database, std::unique_ptr<QXEHandler> engine = nullptr, QObject *parent = nullptr);
    ~ClientCheck() override;

    // <log root><job name>.checks/<time of the check>/
    static QString LogFolder(const QString &jobName, const QDateTime &time);

    // Checks every active computer of the report, and adds each one's
    // findings and how its check ended. `progress` hears how many clients
    // are done after each one; false from it aborts the clients still at
    // work. False, with the reason, when the check could not start.
    bool Run(ReadinessReport &report, const std::function<bool(int done, int total)> &progress, QString &problem);

    // The console is leaving: the check under way aborts its clients and
    // ends as soon as the engine has; StopRequested() says so until the
    // next check starts.
    static void StopRunning();
    static bool StopRequested();

    // While Run waits: clients not reached yet are not reached (cancel), or
    // those at work stop too (abort).
    void CancelAll() { m_cancel = true; }
    void AbortAll() { m_abort = true; }

private:
    ComputerDB &m_database;
    std::unique_ptr<QXEHandler> m_engine;
    bool m_cancel = false;
    bool m_abort = false;
};

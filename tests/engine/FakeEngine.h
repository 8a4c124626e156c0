#pragma once

#include "engine/JobArray.h"
#include "engine/QXEHandler.h"

#include "common/modErrorHandler.h"

#include <QStringList>

// An engine that records what the console tells it, in order, and fails
// StartProcessing with a number when asked to.
class FakeEngine final : public QXEHandler
{
public:
    QStringList calls;
    JobArray clients;
    int failStartWith = 0;
    bool rehearses = false;
    // Counts Leave where the test can read it after the engine is gone.
    int *left = nullptr;
    struct LogLine
    {
        int level;
        int number;
        QString text;
    };
    QList<LogLine> log;

    void record(const char *name, const QVariant &value) { calls << QString::fromLatin1(name) + QLatin1Char('=') + value.toString(); }

    bool Rehearses() const override { return rehearses; }
    void SetRegistryPath(const QString &v) override { record("RegistryPath", v); }
    void SetProgramFolder(const QString &v) override { record("ProgramFolder", v); }
    void SetLoggingLevel(quint8 v) override { record("LoggingLevel", v); }
    void SetLogPath(const QString &v) override { record("LogPath", v); }
    void SetHandlerLogFile(const QString &v) override { record("HandlerLogFile", v); }
    void SetClientLogFile(const QString &v) override { record("ClientLogFile", v); }
    void SetClientStatusFile(const QString &v) override { record("ClientStatusFile", v); }
    void SetStatusPath(const QString &v) override { record("StatusPath", v); }
    void SetTransferorLogFile(const QString &v) override { record("TransferorLogFile", v); }
    void SetDestPath(const QString &v) override { record("DestPath", v); }
    void SetDestShare(const QString &v) override { record("DestShare", v); }
    void SetSourcePath(const QString &v) override { record("SourcePath", v); }
    void SetKeepAliveIncrement(qint32 v) override { record("KeepAliveIncrement", v); }
    void SetListenerIP(const QString &v) override { record("ListenerIP", v); }
    void SetListenerPort(quint16 v) override { record("ListenerPort", v); }
    void SetMaxTransferors(quint8 v) override { record("MaxTransferors", v); }
    void SetReportingPeriod(qint32 v) override { record("ReportingPeriod", v); }
    void SetStatusCheckPeriod(qint32 v) override { record("StatusCheckPeriod", v); }
    void SetClients(const JobArray &v) override
    {
        clients = v;
        record("Clients", v.Rows());
    }
    void StartProcessing() override
    {
        calls << QStringLiteral("StartProcessing");
        if (failStartWith != 0)
            modErrorHandler::Raise(failStartWith);
    }
    void CancelAll() override { calls << QStringLiteral("CancelAll"); }
    void AbortAll() override { calls << QStringLiteral("AbortAll"); }
    void Leave() override
    {
        calls << QStringLiteral("Leave");
        if (left)
            ++*left;
    }
    void CancelClient(int n) override { record("CancelClient", n); }
    void AbortClient(int n) override { record("AbortClient", n); }
    ClientStatusRecord GetClientStatus(int n) const override { return {n, QStringLiteral("CL"), QString(), 1}; }
    void NetworkTestStart(qint32 a, qint32 p) override { calls << QStringLiteral("NetworkTestStart=%1,%2").arg(a).arg(p); }
    void NetworkTestEnd() override { calls << QStringLiteral("NetworkTestEnd"); }
    void WriteLog(quint8 level, int number, const QString &text) override { log.append({level, number, text}); }
};

#pragma once

#include "engine/modEngineLink.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ClientChannel;
class DeliveryPlan;
class EngineRun;
class QLocalSocket;

// The engine program's side of its link to the console: it takes the
// settings and the job, runs them, and sends back what happens. Events that
// happen together leave in one write at the end of the event-loop turn.
class EngineSession final : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        std::function<std::unique_ptr<ClientChannel>(const QJsonObject &settings)> channel;
        std::function<std::unique_ptr<DeliveryPlan>(const QJsonObject &settings)> plan;
        QString transferorProgram; // this program, run as a transferor
    };

    explicit EngineSession(Parts parts, QObject *parent = nullptr);
    ~EngineSession() override;

    // False when the console's socket cannot be reached.
    bool connectTo(const QString &socketPath);

Q_SIGNALS:
    // The run is over and the console has been told, or the console went away.
    void finished();

private:
    void onReadable();
    void handle(const QJsonObject &message);
    void start(const QString &jobFile);
    void post(const QJsonObject &event);
    void flush();
    void fail(int number, const QString &why);

    Parts m_parts;
    std::unique_ptr<QLocalSocket> m_link;
    modEngineLink::LineReader m_reader;
    QJsonObject m_settings;
    std::unique_ptr<EngineRun> m_run;
    QByteArray m_outgoing;
    bool m_flushQueued = false;
    bool m_ending = false;
};

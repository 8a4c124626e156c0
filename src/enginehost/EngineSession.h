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
class QLocalServer;
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

    // A migration or rollback goes on when its console goes away: the
    // journal keeps what happens, and a console that comes back attaches at
    // the run's AttachPath, hears every client's status and then follows.
    // A check belongs to its console and ends with it.

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
    void adopt(QLocalSocket *link);
    void linkLost();
    void onAttach();
    bool outlivesConsole() const;

    Parts m_parts;
    QLocalSocket *m_link = nullptr;
    std::unique_ptr<QLocalServer> m_attach;
    modEngineLink::LineReader m_reader;
    QJsonObject m_settings;
    std::unique_ptr<EngineRun> m_run;
    QByteArray m_outgoing;
    bool m_flushQueued = false;
    bool m_ending = false;
};

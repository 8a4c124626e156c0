#pragma once

#include "common/ConsoleCertificate.h"
#include "enginehost/ClientChannel.h"

#include <QThread>

class ClientConnections;

// The clients' channel of a real run: a TLS 1.3 server with the console's
// certificate, on a thread of its own so that thousands of clients never
// wait on the run's bookkeeping and the run never waits on them. Its
// signals arrive on the thread that made it, in batches.
class ClientListener final : public ClientChannel
{
    Q_OBJECT

public:
    // `mode` as the clients are welcomed: modEngineLink::ModeCheck or ModeMigrate.
    ClientListener(ConsoleCertificate::Pair pair, const QString &mode, int helloMs = defaultHelloMs(), QObject *parent = nullptr);
    ~ClientListener() override;

    bool listen(const QString &address, quint16 port, int &errorNumber, QString &problem) override;
    QString admit(const QString &computer) override;
    QString fingerprint() const override { return m_fingerprint; }
    void cancel(const QString &computer) override;
    void abort(const QString &computer) override;
    void end(const QString &computer) override;

    // The port listened on (the system's choice for port 0).
    quint16 port() const;

private:
    static int defaultHelloMs();
    void deliver();

    QString m_fingerprint;
    QThread m_thread;
    ClientConnections *m_connections = nullptr;
};

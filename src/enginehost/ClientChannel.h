#pragma once

#include <QObject>
#include <QString>

// The clients' side of a run as the engine sees it: where the client
// services report back. The listener implements it over TLS; tests put a
// channel of their own in its place. Computers are named as the job names
// them; a channel only ever reports computers it admitted.
class ClientChannel : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~ClientChannel() override;

    // Starts taking connections; false with the console's error number
    // (1027 the port, 1028 the address) and the reason.
    virtual bool listen(const QString &address, quint16 port, int &errorNumber, QString &problem) = 0;
    // A new single-use token for `computer`, as the client's run file carries it.
    virtual QString admit(const QString &computer) = 0;
    // What the clients pin: the fingerprint of the certificate they will be shown.
    virtual QString fingerprint() const = 0;

    virtual void cancel(const QString &computer) = 0;
    virtual void abort(const QString &computer) = 0;
    // The run is over for this computer: it is told so now, or when it comes back.
    virtual void end(const QString &computer) = 0;

Q_SIGNALS:
    void status(const QString &computer, const QString &code);
    void finding(const QString &computer, int code, const QString &text);
    void keepAlive(const QString &computer, int seconds);
    // The computer's connection closed, whatever the reason.
    void gone(const QString &computer);
    // A line for the run's log: a connection refused, and why.
    void logLine(const QString &line);
};

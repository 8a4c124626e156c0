#pragma once

#include "network/EchoService.h"
#include "network/NameResolver.h"
#include "network/modNetwork.h"

#include <QCoreApplication>
#include <QHash>
#include <QStringList>
#include <QThread>

#include <functional>

// Names resolve to their entry in `addresses` and addresses answer with
// their entry in `replies` (else timed out), so nothing leaves the machine.
// `onEcho` runs inside each echo on the test's own thread (the echoes of a
// ping test run on threads of their own), while the echo waits for it.
struct FakeNetwork final : NameResolver, EchoService
{
    FakeNetwork()
        : m_resolver(NameResolver::install(this))
        , m_echo(EchoService::install(this))
    { }
    ~FakeNetwork() override
    {
        NameResolver::install(m_resolver);
        EchoService::install(m_echo);
    }
    QString Resolve(const QString &name) const override { return addresses.value(name); }
    qint32 Echo(quint32 networkOrder, int) const override
    {
        const QString address = modNetwork::DottedText(networkOrder);
        if (onEcho) {
            if (QThread::currentThread() == qApp->thread())
                onEcho();
            else
                QMetaObject::invokeMethod(qApp, onEcho, Qt::BlockingQueuedConnection);
        }
        return replies.value(address, -11010);
    }

    QHash<QString, QString> addresses;
    QHash<QString, qint32> replies;
    std::function<void()> onEcho;
    const NameResolver *m_resolver;
    const EchoService *m_echo;
};

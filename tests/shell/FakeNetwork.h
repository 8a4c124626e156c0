#pragma once

#include "network/EchoService.h"
#include "network/NameResolver.h"
#include "network/modNetwork.h"

#include <QHash>
#include <QStringList>

#include <functional>

// Names resolve to their entry in `addresses` and addresses answer with
// their entry in `replies` (else timed out), so nothing leaves the machine.
// `onEcho` runs inside each echo, where a long one lets events run.
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
        pinged.append(modNetwork::DottedText(networkOrder));
        if (onEcho)
            onEcho();
        return replies.value(pinged.last(), -11010);
    }

    QHash<QString, QString> addresses;
    QHash<QString, qint32> replies;
    std::function<void()> onEcho;
    mutable QStringList pinged;
    const NameResolver *m_resolver;
    const EchoService *m_echo;
};

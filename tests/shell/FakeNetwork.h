#pragma once

#include "network/EchoService.h"
#include "network/NameResolver.h"
#include "network/modNetwork.h"

#include <QHash>
#include <QStringList>

#include <functional>

// Name resolution and echo replies as a test says, installed for the life
// of the object, so that nothing leaves the machine: a name resolves to its
// entry in `addresses`, an address answers with its entry in `replies`
// (timed out when missing). `onEcho` runs before each reply, as the events
// of a long echo would.
class FakeNetwork final : public NameResolver, public EchoService
{
public:
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
        pinged.append(address);
        if (onEcho)
            onEcho();
        return replies.value(address, -11010);
    }

    QHash<QString, QString> addresses;
    QHash<QString, qint32> replies;
    std::function<void()> onEcho;
    mutable QStringList pinged;

private:
    const NameResolver *m_resolver;
    const EchoService *m_echo;
};

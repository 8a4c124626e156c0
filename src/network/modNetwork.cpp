#include "network/modNetwork.h"

#include "common/ConsoleConfig.h"
#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "network/AddressTable.h"
#include "network/EchoService.h"
#include "network/NameResolver.h"
#include "network/PingResult.h"

#include <QStringList>

#include <cstring>

namespace modNetwork {

QString DottedText(quint32 networkOrder)
{
    unsigned char bytes[4];
    std::memcpy(bytes, &networkOrder, sizeof bytes);
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

bool IsDottedAddress(const QString &text)
{
    return DottedToAddress(text) != -1;
}

QString LookupDC(const QString &dcName)
{
    const auto tell = [](const QString &message) { modErrorHandler::ShowMessage(modErrorHandler::Information, message); };
    if (dcName.isEmpty()) {
        tell(QStringLiteral("You must enter a domain controller name to lookup."));
        return QString();
    }
    if (!modFormat::IsValidHostName(dcName)) {
        tell(QStringLiteral("Invalid characters found in DC name. Unable to perform IP lookup."));
        return QString();
    }
    const QString address = ResolveHost(dcName);
    if (address.isEmpty())
        tell(QStringLiteral("Failed to lookup IP address for '%1'.").arg(dcName));
    return address;
}

qint64 DottedToAddress(const QString &text)
{
    if (!modFormat::IsValidIPAddress(text))
        return -1;
    unsigned char bytes[4];
    const QStringList parts = text.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i) {
        const QString &part = parts.at(i);
        if (part.isEmpty() || part.size() > 3)
            return -1;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return -1;
        }
        bytes[i] = static_cast<unsigned char>(part.toUInt());
    }
    quint32 address = 0;
    std::memcpy(&address, bytes, sizeof address);
    return address;
}

QString ResolveHost(const QString &name)
{
    return NameResolver::current().Resolve(name);
}

qint32 Ping(const QString &target, int timeoutMs)
{
    const qint64 address = DottedToAddress(IsDottedAddress(target) ? target : ResolveHost(target));
    if (address == -1)
        return PingResult::CannotResolve;
    return EchoService::current().Echo(quint32(address), timeoutMs);
}

QString GetListenerIP(const ConsoleConfig &config)
{
    const QStringList local = AddressTable::current().Addresses(false);
    if (local.isEmpty())
        return QString();
    const QString stored = config.Text(ConsoleConfig::ListenerIP);
    if (local.contains(stored))
        return stored;
    if (!stored.isEmpty())
        config.Write(ConsoleConfig::ListenerIP, QString());
    return local.constFirst();
}

QString GetListenerIP()
{
    return GetListenerIP(ConsoleConfig());
}

} // namespace modNetwork

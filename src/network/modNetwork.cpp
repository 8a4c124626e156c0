#include "network/modNetwork.h"

#include "common/ConsoleConfig.h"
#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "network/AddressTable.h"
#include "network/EchoService.h"
#include "network/NameResolver.h"
#include "network/PingResult.h"

#include <QStringList>
#include <QSysInfo>
#include <QtEndian>

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

bool IsLoopbackAddress(const QString &text)
{
    const qint64 address = DottedToAddress(text);
    return address >= 0 && (qFromBigEndian(quint32(address)) >> 24) == 127;
}

bool IsThisMachine(const QString &computerName)
{
    const QString name = computerName.trimmed();
    if (name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    if (IsDottedAddress(name))
        return IsLoopbackAddress(name) || AddressTable::current().Addresses(true).contains(name);
    const QString host = QSysInfo::machineHostName();
    if (host.isEmpty())
        return false;
    if (name.compare(host, Qt::CaseInsensitive) == 0)
        return true;
    // "ws1" for "ws1.example.org" and the other way round; two full names
    // must agree in full.
    const auto shortName = [](const QString &full) { return full.section(QLatin1Char('.'), 0, 0); };
    const bool bothFull = name.contains(QLatin1Char('.')) && host.contains(QLatin1Char('.'));
    return !bothFull && shortName(name).compare(shortName(host), Qt::CaseInsensitive) == 0;
}

QString GetListenerIP(const ConsoleConfig &config)
{
    const QString stored = config.Text(ConsoleConfig::ListenerIP);
    if (!stored.isEmpty() && AddressTable::current().Addresses(true).contains(stored))
        return stored;
    // Never a loopback address unless chosen: clients elsewhere could not report.
    const QStringList local = AddressTable::current().Addresses(false);
    if (local.isEmpty())
        return QString();
    if (!stored.isEmpty())
        config.Write(ConsoleConfig::ListenerIP, QString());
    return local.constFirst();
}

QString GetListenerIP()
{
    return GetListenerIP(ConsoleConfig());
}

} // namespace modNetwork

#include "engine/QXEHandler.h"

#include "common/modFormat.h"

#include <QStringList>

QXEHandler::~QXEHandler() = default;

qint32 QXEHandler::PackAddress(const QString &address)
{
    if (!modFormat::IsValidIPAddress(address))
        return 0;
    const QStringList parts = address.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return 0;
    quint32 packed = 0;
    for (int i = 0; i < 4; ++i) {
        // Read the way the address check reads it: blanks around a part do not count.
        const auto octet = static_cast<quint32>(parts.at(i).trimmed().toDouble());
        packed |= (octet & 0xFF) << (8 * i);
    }
    return static_cast<qint32>(packed);
}

QString QXEHandler::UnpackAddress(qint32 address)
{
    const auto packed = static_cast<quint32>(address);
    QStringList parts;
    for (int i = 0; i < 4; ++i)
        parts << QString::number((packed >> (8 * i)) & 0xFF);
    return parts.join(QLatin1Char('.'));
}

#include "common/modDuration.h"

#include <QRegularExpression>
#include <QStringList>

namespace modDuration {

namespace {

constexpr qint64 kMinute = 60;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
constexpr qint64 kMost = 366 * kDay;

qint64 unitSeconds(const QString &unit)
{
    const QString u = unit.toLower();
    if (u.isEmpty() || u == QLatin1String("s") || u == QLatin1String("sec") || u == QLatin1String("secs"))
        return 1;
    if (u == QLatin1String("m") || u == QLatin1String("min") || u == QLatin1String("mins"))
        return kMinute;
    if (u == QLatin1String("h") || u == QLatin1String("hr") || u == QLatin1String("hrs") || u == QLatin1String("hour")
        || u == QLatin1String("hours"))
        return kHour;
    if (u == QLatin1String("d") || u == QLatin1String("day") || u == QLatin1String("days"))
        return kDay;
    return 0;
}

} // namespace

QString Text(qint64 seconds)
{
    if (seconds <= 0)
        return QStringLiteral("0 s");
    QStringList parts;
    const std::pair<qint64, const char *> units[] = {{kDay, "d"}, {kHour, "h"}, {kMinute, "min"}, {1, "s"}};
    for (const auto &[size, name] : units) {
        if (seconds >= size) {
            parts << QStringLiteral("%1 %2").arg(seconds / size).arg(QLatin1String(name));
            seconds %= size;
        }
    }
    return parts.join(QLatin1Char(' '));
}

bool Parse(const QString &text, qint64 &seconds)
{
    static const QRegularExpression part(QStringLiteral("^\\s*(\\d{1,9})\\s*([A-Za-z]*)"));
    QString rest = text.trimmed();
    if (rest.isEmpty())
        return false;
    qint64 total = 0;
    qint64 lastUnit = kMost + 1;
    while (!rest.trimmed().isEmpty()) {
        const QRegularExpressionMatch match = part.match(rest);
        if (!match.hasMatch())
            return false;
        const qint64 unit = unitSeconds(match.captured(2));
        // Units from the largest down, each once: "5 min 1 h" is a typing slip.
        if (unit == 0 || unit >= lastUnit)
            return false;
        lastUnit = unit;
        total += match.captured(1).toLongLong() * unit;
        if (total > kMost)
            return false;
        rest = rest.mid(match.capturedLength());
    }
    seconds = total;
    return true;
}

} // namespace modDuration

#include "import/modImportADS.h"

namespace {

const QLatin1String kPrefix("LDAP://");

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The DN's own escapes (a "\," inside a unit's name, or "\2C") become the
// plain characters, so that a folder is named as the administrator sees the
// unit. Hex escapes are UTF-8 bytes.
QString unescapeValue(const QString &value)
{
    QByteArray bytes;
    bytes.reserve(value.size());
    QString plain;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            const int high = hexDigit(value.at(i + 1));
            const int low = i + 2 < value.size() ? hexDigit(value.at(i + 2)) : -1;
            if (high >= 0 && low >= 0) {
                bytes.append(char(high * 16 + low));
                i += 2;
                continue;
            }
            plain += QString::fromUtf8(bytes);
            bytes.clear();
            plain += value.at(++i);
            continue;
        }
        plain += QString::fromUtf8(bytes);
        bytes.clear();
        plain += c;
    }
    plain += QString::fromUtf8(bytes);
    return plain;
}

} // namespace

namespace modImportADS {

QString ParseOUPath(const QString &adsPath)
{
    if (adsPath.size() <= kPrefix.size() || !adsPath.startsWith(kPrefix))
        return QString();
    QStringView dn = QStringView(adsPath).mid(kPrefix.size());
    // "LDAP://server/DN" or "LDAP://DN": a server part ends at a "/" that
    // comes before the DN's first "=".
    const qsizetype slash = dn.indexOf(QLatin1Char('/'));
    const qsizetype equals = dn.indexOf(QLatin1Char('='));
    if (slash >= 0 && (equals < 0 || slash < equals))
        dn = dn.mid(slash + 1);

    // Components end at commas that are not escaped; the innermost comes first.
    QString path;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= dn.size(); ++i) {
        if (i < dn.size() && dn.at(i) == QLatin1Char('\\')) {
            ++i;
            continue;
        }
        if (i < dn.size() && dn.at(i) != QLatin1Char(','))
            continue;
        const QStringView component = dn.mid(start, i - start).trimmed();
        start = i + 1;
        if (component.size() <= 3 || !component.startsWith(QLatin1String("OU="), Qt::CaseInsensitive))
            continue;
        const QStringView value = component.mid(3).trimmed();
        const QString unit = value.contains(QLatin1Char('\\')) ? unescapeValue(value.toString()) : value.toString();
        path = path.isEmpty() ? unit : unit + QLatin1Char('\\') + path;
    }
    return path;
}

} // namespace modImportADS

#include "import/modImportADS.h"

#include "common/modLimits.h"
#include "common/modText.h"

#include <QList>

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

namespace {

bool invisible(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Other_Format;
}

QString codeOf(char32_t c)
{
    return QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QString Refusal(const QString &name, const QString &dnsName, const QString &ou)
{
    const struct
    {
        const QString &text;
        const char *what;
    } texts[] = {{name, "name"}, {dnsName, "DNS name"}, {ou, "unit path"}};
    for (const auto &text : texts) {
        if (!modLimits::TextFits(text.text))
            return QStringLiteral("its %1 %2").arg(QLatin1String(text.what), modLimits::TooLong());
    }
    if (const QString character = modText::UnsendableCharacter(name); !character.isEmpty())
        return QStringLiteral("its name contains the character %1, which cannot be passed to the client computers")
            .arg(codeOf(character.toUcs4().value(0)));
    for (const char32_t c : ou.toUcs4()) {
        if (invisible(c))
            return QStringLiteral("its unit path contains the control character %1").arg(codeOf(c));
    }
    for (const char32_t c : dnsName.toUcs4()) {
        if (invisible(c))
            return QStringLiteral("its DNS name contains the control character %1").arg(codeOf(c));
    }
    return QString();
}

QString Shown(const QString &name)
{
    QString shown;
    const QList<uint> characters = name.left(64).toUcs4();
    for (const char32_t c : characters)
        shown += invisible(c) ? QLatin1Char('<') + codeOf(c) + QLatin1Char('>') : QString::fromUcs4(&c, 1);
    return name.size() > 64 ? shown + QStringLiteral("...") : shown;
}

} // namespace modImportADS

QString modImportADS::GuidText(const QByteArray &bytes)
{
    if (bytes.size() != 16)
        return QString();
    // Data1 (4 bytes), Data2 and Data3 (2 each) are numbers stored low byte
    // first; Data4's eight bytes are written in the order they stand.
    static constexpr int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    QByteArray ordered(16, '\0');
    for (int i = 0; i < 16; ++i)
        ordered[i] = bytes[order[i]];
    const QByteArray hex = ordered.toHex();
    return QLatin1Char('{') + QLatin1String(hex.mid(0, 8)) + QLatin1Char('-') + QLatin1String(hex.mid(8, 4)) + QLatin1Char('-')
        + QLatin1String(hex.mid(12, 4)) + QLatin1Char('-') + QLatin1String(hex.mid(16, 4)) + QLatin1Char('-') + QLatin1String(hex.mid(20))
        + QLatin1Char('}');
}

#include "common/modFormat.h"

#include <cmath>

namespace modFormat {

namespace {

bool containsAnyOf(const QString &text, QStringView characters)
{
    // A plain loop rather than a search call per character: imports check
    // two names on each of a million lines.
    for (const QChar c : text) {
        for (const QChar forbidden : characters) {
            if (c == forbidden)
                return true;
        }
    }
    return false;
}

constexpr QStringView kFileNameForbidden = u"\"\\/:*?<>|";
constexpr QStringView kNameForbidden = u"\"/[]:;|=,+*?<>";

// The longest path and name this platform's file systems take, in bytes.
constexpr qsizetype kLocalPathMax = 4095;
constexpr qsizetype kLocalNameMax = 255;

} // namespace

bool IsValidName(const QString &text, bool ShortName)
{
    if (text.isEmpty())
        return false;
    // DOMAIN\user is two names, not one.
    if (text.contains(QLatin1Char('\\')))
        return false;
    if (text.size() > (ShortName ? 15 : 20))
        return false;
    return !containsAnyOf(text, kNameForbidden);
}

bool IsValidHostName(const QString &text)
{
    if (IsValidName(text))
        return true;
    if (text.isEmpty() || text.size() > 253)
        return false;
    for (const QStringView label : QStringView(text).split(QLatin1Char('.'))) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith(QLatin1Char('-')) || label.endsWith(QLatin1Char('-')))
            return false;
        for (const QChar c : label) {
            const bool letterOrDigit = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
            if (!letterOrDigit && c != QLatin1Char('-'))
                return false;
        }
    }
    return true;
}

bool IsValidComputerName(const QString &text)
{
    // The name check alone lets "BAD NAME!" through: blanks and most
    // punctuation are fine in user and group names, but Windows takes no
    // computer name with them, so a run could never reach such a client.
    // Underscores stay: older computers carry them and Windows still
    // accepts them, with a warning about DNS.
    if (!IsValidName(text, true))
        return false;
    bool digitsOnly = true;
    for (const QChar c : text) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_'))
            return false;
        digitsOnly = digitsOnly && c.isDigit();
    }
    return !digitsOnly;
}

bool IsNumeric(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool IsValidFileName(const QString &text)
{
    if (text.size() > 214)
        return false;
    return !containsAnyOf(text, kFileNameForbidden);
}

bool IsValidPath(const QString &text, bool IsFolder, bool MustBeAbsolute, bool AllowDrive, bool AllowUNC)
{
    const QChar backslash = QLatin1Char('\\');

    if (text.endsWith(backslash) && !IsFolder)
        return false;
    if (text.size() > 255)
        return false;

    QString rest = text;
    if (IsFolder) {
        if (rest.endsWith(backslash))
            rest.chop(1);
        if (rest.size() > 253)
            return false;
    }

    bool isUnc = false;
    if (AllowUNC && rest.startsWith(QStringLiteral("\\\\"))) {
        isUnc = true;
        rest.remove(0, 2);
    }

    const QStringList components = rest.split(backslash);
    bool hasDrive = false;
    for (qsizetype i = 0; i < components.size(); ++i) {
        const QString &component = components.at(i);
        if (component.isEmpty())
            return false;
        if (!containsAnyOf(component, kFileNameForbidden))
            continue;
        const bool isDrive = i == 0 && AllowDrive && !isUnc && component.size() == 2 && component.at(1) == QLatin1Char(':')
            && !kFileNameForbidden.contains(component.at(0));
        if (!isDrive)
            return false;
        hasDrive = true;
    }

    if (MustBeAbsolute)
        return hasDrive || isUnc;
    return true;
}

bool IsValidLocalPath(const QString &text, bool IsFolder)
{
    const QChar slash = QLatin1Char('/');

    if (!text.startsWith(slash))
        return false;
    if (text.endsWith(slash) && text.size() > 1 && !IsFolder)
        return false;
    if (text.toLocal8Bit().size() > kLocalPathMax)
        return false;

    QString rest = text.mid(1);
    if (rest.endsWith(slash))
        rest.chop(1);
    if (rest.isEmpty())
        return IsFolder;

    const QStringList components = rest.split(slash);
    for (const QString &component : components) {
        // "//" is legal here but is always a typing slip in a configured path.
        if (component.isEmpty())
            return false;
        if (component.toLocal8Bit().size() > kLocalNameMax)
            return false;
        for (const QChar c : component) {
            // Control characters (a pasted line break, a tab) make paths that
            // nobody can type again or read in a log line.
            if (c.category() == QChar::Other_Control)
                return false;
        }
    }
    return true;
}

bool IsValidIPAddress(const QString &text)
{
    if (text.isEmpty())
        return false;
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &part : parts) {
        // A part reads as a number the way the administrator would read it:
        // blanks around it do not matter.
        bool ok = false;
        const double value = part.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return false;
        const double integer = std::trunc(value);
        if (integer < 0 || integer > 255)
            return false;
    }
    return true;
}

QString FillTemplate(const QString &templateText, const QStringList &replacements)
{
    QString text = templateText;
    text.replace(QStringLiteral("||"), QStringLiteral("\r"));
    for (qsizetype i = 0; i + 1 < replacements.size(); i += 2) {
        // An empty placeholder matches nowhere (QString would match it between every character).
        if (!replacements.at(i).isEmpty())
            text.replace(replacements.at(i), replacements.at(i + 1));
    }
    return text;
}

QString LocalTimeWithOffset(const QDateTime &utc, const QString &format)
{
    const QDateTime local = utc.toLocalTime();
    const int offset = local.offsetFromUtc() / 60;
    return local.toString(format) + QLatin1Char(' ') + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        + QStringLiteral("%1:%2").arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0')).arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0'));
}

} // namespace modFormat

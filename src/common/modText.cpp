#include "common/modText.h"

#include <QList>

#include <algorithm>
#include <array>
#include <optional>

namespace modText {

namespace {

// Windows-1252 codes 0x80 to 0x9F; 0 marks the five codes that have no character.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char16_t codeUnit(QChar c)
{
    return c.unicode();
}

char16_t codeUnit(char c)
{
    return static_cast<unsigned char>(c);
}

// The answer when both texts are ASCII as far as they go together, nothing
// when a character beyond ASCII needs the full rule: the Kelvin sign, for
// one, folds to "k".
template<typename Left, typename Right> std::optional<bool> sameAscii(Left left, Right right)
{
    const qsizetype common = std::min(left.size(), right.size());
    for (qsizetype i = 0; i < common; ++i) {
        char16_t l = codeUnit(left.data()[i]);
        char16_t r = codeUnit(right.data()[i]);
        if (l >= 0x80 || r >= 0x80)
            return std::nullopt;
        if (l >= u'A' && l <= u'Z')
            l = char16_t(l | 0x20);
        if (r >= u'A' && r <= u'Z')
            r = char16_t(r | 0x20);
        if (l != r)
            return false;
    }
    // Case folding maps one character to one: the longer text has more.
    return left.size() == right.size();
}

} // namespace

bool SameText(QAnyStringView a, QAnyStringView b)
{
    // Most names are ASCII, and Unicode case folding of every character
    // is most of the time of a user list import's duplicate checks.
    const std::optional<bool> same = a.visit([&](auto left) { return b.visit([&](auto right) { return sameAscii(left, right); }); });
    if (same)
        return *same;
    return QAnyStringView::compare(a, b, Qt::CaseInsensitive) == 0;
}

int CompareText(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive);
}

int AnsiCode(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == u)
            return static_cast<int>(0x80 + i);
    }
    return -1;
}

QChar FromAnsiCode(int code)
{
    if (code < 0 || code > 0xFF)
        return QChar(QChar::ReplacementCharacter);
    if (code >= 0x80 && code <= 0x9F) {
        const char16_t u = kHighControls[static_cast<size_t>(code - 0x80)];
        return u ? QChar(u) : QChar(QChar::ReplacementCharacter);
    }
    return QChar(static_cast<char16_t>(code));
}

QByteArray ToAnsi(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text) {
        const int code = AnsiCode(c);
        bytes.append(code < 0 ? '?' : static_cast<char>(code));
    }
    return bytes;
}

QString FromAnsi(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char b : bytes)
        text.append(FromAnsiCode(static_cast<unsigned char>(b)));
    return text;
}

QString UnsendableCharacter(QStringView text)
{
    constexpr int MaxClientCode = 199;
    for (const char32_t codePoint : text.toUcs4()) {
        const int ansi = codePoint <= 0xFFFF ? AnsiCode(QChar(static_cast<char16_t>(codePoint))) : -1;
        if (ansi >= 32 && ansi <= MaxClientCode && ansi != 127)
            continue;
        return QString::fromUcs4(&codePoint, 1);
    }
    return QString();
}

} // namespace modText

#include "common/modText.h"

#include <array>

namespace modText {

namespace {

// Windows-1252 codes 0x80 to 0x9F; 0 marks the five codes that have no character.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

bool SameText(QAnyStringView a, QAnyStringView b)
{
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

} // namespace modText

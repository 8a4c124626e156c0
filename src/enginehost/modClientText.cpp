#include "enginehost/modClientText.h"

#include "protocol/modProtocol.h"

#include <QList>

namespace modClientText {

namespace {

bool isBidirectional(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString Clean(std::string_view bytes)
{
    if (bytes.size() > modProtocol::MaxTextBytes) {
        std::size_t size = modProtocol::MaxTextBytes;
        // Never cut a character in two: back up over its continuation bytes.
        while (size > 0 && (static_cast<unsigned char>(bytes[size]) & 0xC0) == 0x80)
            --size;
        bytes = bytes.substr(0, size);
    }
    const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    QString out;
    out.reserve(text.size());
    for (const uint code : text.toUcs4()) {
        const char32_t c = code;
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            out += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
        else if (isBidirectional(c))
            out += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
        else
            out += QString::fromUcs4(&c, 1);
    }
    return out;
}

} // namespace modClientText

#include "database/modHash.h"

#include "common/modText.h"

#include <cstdint>
#include <limits>

namespace modHash {

namespace {

// Two's-complement wrap to 32 bits. Only names far longer than any computer
// name can make the sums leave the 32-bit range; they wrap instead of failing.
qint64 wrap32(qint64 value)
{
    return static_cast<qint64>(static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value))));
}

bool fits32(qint64 value)
{
    return value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
}

} // namespace

qint64 HashName(const QString &s)
{
    const qint64 length = s.size();
    qint64 sum = 0;
    qint64 x = 0;
    qint64 odd = 0;
    qint64 even = 0;

    for (qsizetype i = 1; i <= s.size(); ++i) {
        int code = modText::AnsiCode(s.at(i - 1));
        if (code < 0)
            code = '?';

        sum = wrap32(sum + code + length);
        // The shift register keeps its value once shifting would overflow;
        // that is what spreads the later characters of long names.
        const qint64 shifted = x * 64;
        if (fits32(shifted))
            x = shifted;
        x = wrap32(x ^ (code * 36));
        if (i % 2 == 1)
            odd = wrap32(odd + code * 3);
        else
            even = wrap32(even + code * 2);
    }

    qint64 h = wrap32(sum + wrap32(odd * 111));
    h = wrap32(h ^ even);
    h = wrap32(h + odd);
    h = wrap32(h - x);
    return h < 0 ? -h : h;
}

} // namespace modHash

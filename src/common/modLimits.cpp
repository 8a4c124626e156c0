#include "common/modLimits.h"

namespace modLimits {

qsizetype Utf8Bytes(QStringView text)
{
    qsizetype bytes = 0;
    const qsizetype size = text.size();
    const char16_t *units = text.utf16();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            ++bytes;
        } else if (unit < 0x800) {
            bytes += 2;
        } else if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1])) {
            bytes += 4;
            ++i;
        } else {
            // A lone surrogate is written as U+FFFD, three bytes like every other.
            bytes += 3;
        }
    }
    return bytes;
}

QString TooLong()
{
    return QStringLiteral("is longer than %1 bytes").arg(MaxTextBytes);
}

} // namespace modLimits

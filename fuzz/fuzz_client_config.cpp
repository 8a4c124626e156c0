// A client's configuration file as the client reads it: descrambled, then
// parsed. The same bytes also go to the parser as they are, so that it sees
// texts no scrambling would let through.
#include "engine/ClientConfig.h"
#include "engine/modScramble.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString problem;
    QString text;
    if (modScramble::Descramble(bytes, text, &problem)) {
        ClientConfig config;
        if (config.Parse(text, &problem))
            (void)config.Value(QStringLiteral("COMPUTERNAME"));
    }
    ClientConfig plain;
    plain.Parse(QString::fromLatin1(bytes), &problem);
    return 0;
}

// A directory entry's ADsPath turned into the group path it lands in.
#include "import/modImportADS.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = modImportADS::ParseOUPath(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    (void)path;
    return 0;
}

// One line of a user list file, checked only (nothing is added), in each of
// the file formats; the first byte picks the format.
#include "database/ComputerDB.h"
#include "import/UserLineParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    static ComputerDB database;
    const int type = 1 + data[0] % 4;
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    UserLineParser parser(database, type);
    (void)parser.ParseUserLine(line, true);
    return 0;
}

// The settings file reader on any bytes: a file from elsewhere must never
// take the console down. Without a passphrase the key derivation is never
// reached, so every run stays cheap; what loads goes into a database too.
#include "database/ComputerDB.h"
#include "settingsfile/SettingsFileCodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    SettingsFileCodec::Decoded decoded = SettingsFileCodec::Decode(bytes, QStringLiteral("fuzz.vos.json"), QString());
    if (decoded.Result.ok()) {
        ComputerDB database;
        decoded.Snapshot.Restore(database);
    }
    return 0;
}

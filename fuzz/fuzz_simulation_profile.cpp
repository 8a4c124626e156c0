// The simulated engine's profile text, and its patterns against a few names
// (the glob must stay linear whatever the patterns hold).
#include "engine/SimulationProfile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    SimulationProfile profile;
    QString problem;
    if (!profile.Parse(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)), &problem))
        return 0;
    static const QString names[] = {
        QStringLiteral("LAB-PC-01"),
        QStringLiteral("OLD-7"),
        QStringLiteral("WS-ERR"),
        QString(200, QLatin1Char('a')),
    };
    for (const QString &name : names)
        (void)profile.OutcomeFor(name);
    return 0;
}

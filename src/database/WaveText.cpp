#include "database/WaveText.h"

#include "common/modFormat.h"
#include "database/ComputerDB.h"
#include "database/WaveRecord.h"

namespace WaveText {

QString LocalTime(const QDateTime &utc)
{
    return modFormat::LocalTimeWithOffset(utc, QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString Start(const WaveRecord &wave)
{
    return wave.NotBefore.isValid() ? LocalTime(wave.NotBefore) : QStringLiteral("at its turn");
}

QString Cap(const WaveRecord &wave)
{
    return wave.Concurrency > 0 ? QStringLiteral("%1 at a time").arg(wave.Concurrency) : QStringLiteral("no cap");
}

QString Threshold(const WaveRecord &wave)
{
    return wave.FailurePercent >= 0 ? QStringLiteral("more than %1 % failed").arg(wave.FailurePercent) : QStringLiteral("never");
}

QHash<QString, int> Members(const ComputerDB &database)
{
    QHash<QString, int> members;
    for (int id = 0; id < database.ComputerCount(); ++id) {
        const ComputerRecord *computer = database.Computers(id);
        if (computer && computer->Active)
            ++members[computer->Wave.toLower()];
    }
    return members;
}

} // namespace WaveText

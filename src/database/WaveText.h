#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

class ComputerDB;
struct WaveRecord;

// How a wave reads to the administrator, the same in the window and in
// vo wave list.
namespace WaveText {

// "2026-12-09 21:00 +01:00": this machine's local time with its offset, so
// that a time kept in UTC is never mistaken for another zone's.
QString LocalTime(const QDateTime &utc);
// The local time, or "at its turn" for a wave without a start time.
QString Start(const WaveRecord &wave);
// "no cap" or "N at a time".
QString Cap(const WaveRecord &wave);
// "never" or "more than P % failed".
QString Threshold(const WaveRecord &wave);
// The active computers of each wave, by the wave's name in lower case; the
// computers in no wave under the empty name.
QHash<QString, int> Members(const ComputerDB &database);

} // namespace WaveText

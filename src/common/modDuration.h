#pragma once

#include <QString>

// Durations as the administrator reads and types them: "10 s", "5 min",
// "1 h 30 min", "14 d". A plain number is seconds, as the registry stores them.
namespace modDuration {

// The shortest exact text: "90 s" is "1 min 30 s", 0 is "0 s".
QString Text(qint64 seconds);
// Reads "90", "90 s", "5 min", "1h30m", "2 d 4 h" (units s, sec, m, min,
// h, hr, d, day(s), without regard to case); false for anything else or
// for more than a year.
bool Parse(const QString &text, qint64 &seconds);

} // namespace modDuration

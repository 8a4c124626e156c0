// The order of a big run: 100,000 computers in ten waves of 10,000, each
// wave 50 at a time, every computer ended as soon as it is taken, with
// the status bar's text made after each outcome as the engine makes it.
// Prints the time of the whole order and per outcome; the target is a
// whole run in one second (10 us an outcome), so that the waves never
// cost the engine more than its clients do.

#include "enginehost/WaveSchedule.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int kComputers = 100000;
    constexpr int kWaves = 10;
    constexpr double kTargetMs = 1000.0;
    QList<modEngineLink::JobWave> waves;
    for (int w = 1; w <= kWaves; ++w)
        waves.append({QStringLiteral("Wave %1").arg(w), {}, 50, 20});
    WaveSchedule schedule(waves, 50);
    for (int n = 1; n <= kComputers; ++n)
        schedule.add(n, (n - 1) / (kComputers / kWaves) + 1);

    QElapsedTimer timer;
    timer.start();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    int ended = 0;
    qsizetype text = 0;
    while (ended < kComputers) {
        const QList<int> taken = schedule.take(now);
        if (taken.isEmpty())
            break;
        for (const int n : taken) {
            // One in twenty fails: under every wave's threshold.
            schedule.ended(n, n % 20 == 0);
            text += schedule.describe().size();
            ++ended;
        }
    }
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    std::printf("waves: %d computers in %d waves ordered in %.1f ms (%.2f us an outcome; %lld characters of status text)\n",
        ended, kWaves, ms, ms * 1000.0 / ended, static_cast<long long>(text));
    std::printf("whole order: %.1f ms (target %.0f ms) %s\n", ms, kTargetMs, ms <= kTargetMs ? "met" : "MISSED");
    return ended == kComputers && ms <= kTargetMs ? 0 : 1;
}

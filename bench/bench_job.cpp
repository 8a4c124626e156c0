// A migration job of 100,000 computers in 2,000 groups, two user
// migrations each: the check before the run, the export with every
// client's scrambled configuration file, and the whole run through the
// simulated engine at full speed (no time per step, 50 transferors), with
// every log and file the engine writes.
//
// Prints the time per computer of each step, and the time per status event
// at 1,000 and at 100,000 clients, twice: the console's side alone (engine
// client number to computer ID, the progress log line) and the whole run.
// Status events must cost the same whatever the number of clients; the
// ratios 100,000 / 1,000 should stay near 1.

#include "common/AppState.h"
#include "common/modRegistry.h"
#include "database/ComputerDB.h"
#include "job/ComputerDBJobExport.h"
#include "validation/JobValidator.h"
#include "engine/ManualScheduler.h"
#include "job/MigrationRun.h"
#include "engine/QXEInterface.h"
#include "engine/SimulatedEngine.h"
#include "engine/SimulationProfile.h"
#include "engine/modEngine.h"
#include "settings/GlobalSettings.h"
#include "settings/UserProfiles.h"

#include "BenchJob.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kLarge = 100000;
constexpr int kSmall = 1000;
constexpr int kConsoleEvents = 2000000;

double seconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

struct Figures
{
    int computers = 0;
    double fill = 0;
    double validate = 0;
    double exportTime = 0;
    double run = 0;
    qint64 runEvents = 0;
    double consoleEvents = 0;
    double consoleEventsSpread = 0;
    double cleanup = 0;
};

bool measure(int computers, const QString &logRoot, Figures &figures)
{
    figures.computers = computers;
    QElapsedTimer timer;
    timer.start();
    ComputerDB db;
    BenchJob::fill(db, computers);
    figures.fill = seconds(timer);

    timer.start();
    const ValidationResult result = JobValidator(db).Verify(0);
    figures.validate = seconds(timer);
    if (!result.passed()) {
        std::fprintf(stderr, "validation failed with code %d at computer %d\n", result.Code, result.Index);
        return false;
    }

    BenchJob::SimulatedRun simulated = BenchJob::simulatedRun();
    ManualScheduler *clock = simulated.clock;
    SimulatedEngine *engine = simulated.engine;
    QXEInterface &qxe = *simulated.qxe;
    SimulationProfile profile;
    profile.StepMs = 0;
    profile.ExecuteSteps = 1;
    engine->SetProfile(profile);

    ComputerDBJobExport job(db);
    qxe.SetConsoleIP(QStringLiteral("127.0.0.1"));
    timer.start();
    qxe.ExportJob(job);
    figures.exportTime = seconds(timer);
    if (qxe.Translation().Rows() != computers) {
        std::fprintf(stderr, "the export gave %d rows for %d computers\n", qxe.Translation().Rows(), computers);
        return false;
    }

    AppState::Get().CurrentJobName = QStringLiteral("Bench%1").arg(computers);
    modRegistry::SaveSettingString(AppState::Get().AppKeyPath, QStringLiteral("LogPath"), logRoot);
    MigrationRun log(db);
    qint64 lines = 0;
    QObject::connect(&log, &MigrationRun::Line, &log, [&lines](const QString &) { ++lines; });
    qint64 events = 0;
    QObject::connect(&qxe, &QXEInterface::ClientStatusChanged, &qxe, [&events](int, const QString &) { ++events; });
    bool complete = false;
    QObject::connect(&qxe, &QXEInterface::ProcessingComplete, &qxe, [&complete] { complete = true; });

    timer.start();
    log.Start(qxe);
    clock->RunUntilIdle(1'000'000'000);
    figures.run = seconds(timer);
    figures.runEvents = events;
    if (!complete || log.Clients().Successful != computers) {
        std::fprintf(stderr, "the run did not complete: %d of %d successful\n", log.Clients().Successful, computers);
        return false;
    }

    // The console's side alone: the engine's status event through
    // QXEInterface into the progress log. Once for 1,000 clients picked at
    // random, so that both sizes touch as much memory; once for clients
    // all over the array, where a larger job also means more cache misses.
    const QString code = QStringLiteral("CL");
    const auto play = [&](int distinct) {
        QRandomGenerator random(7);
        std::vector<int> clients(static_cast<size_t>(distinct));
        for (int &client : clients)
            client = 1 + static_cast<int>(random.bounded(static_cast<quint32>(computers)));
        QElapsedTimer watch;
        watch.start();
        for (int i = 0; i < kConsoleEvents; ++i)
            Q_EMIT engine->ClientStatusChanged(clients[static_cast<size_t>(i % distinct)], code);
        return seconds(watch);
    };
    figures.consoleEvents = play(kSmall);
    figures.consoleEventsSpread = play(65536);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    RegKey key = Reg::NoKey;
    modRegistry::CreateKey(QStringLiteral("Brindlewood\\Varno-Osk"), Reg::NoKey, QStringLiteral("HKCU\\Software"), QString(), key);
    modRegistry::CloseKey(key);
    modRegistry::SaveSettingString(AppState::Get().AppKeyPath, QStringLiteral("MaxTransferors"), QStringLiteral("50"));

    Figures small;
    Figures large;
    for (Figures *f : {&small, &large}) {
        // The run writes some 200,000 small files at 100,000 computers; in
        // memory, the figures are the engine's and the console's, not the disk's.
        const QString memory = QStringLiteral("/dev/shm");
        QTemporaryDir logs((QDir(memory).exists() ? memory : QDir::tempPath()) + QStringLiteral("/vo-bench-XXXXXX"));
        if (!measure(f == &small ? kSmall : kLarge, logs.path(), *f))
            return 1;
        QElapsedTimer timer;
        timer.start();
        logs.remove();
        f->cleanup = seconds(timer);
    }

    std::printf("%d computers in %d groups, 2 user migrations each; simulated engine at full speed\n\n", kLarge, BenchJob::kGroups);
    for (const Figures *f : {&small, &large}) {
        const double n = f->computers;
        std::printf("%6d computers\n", f->computers);
        std::printf("  build the database      %8.3f s\n", f->fill);
        std::printf("  validate                %8.3f s  %8.2f us per computer\n", f->validate, f->validate * 1e6 / n);
        std::printf("  export (files included) %8.3f s  %8.2f us per computer\n", f->exportTime, f->exportTime * 1e6 / n);
        std::printf("  run (logs included)     %8.3f s  %8.2f us per computer, %lld status events, %.2f us per event\n", f->run,
            f->run * 1e6 / n, static_cast<long long>(f->runEvents), f->run * 1e6 / static_cast<double>(f->runEvents));
        std::printf("  console side of a status event: %.3f us (1,000 clients), %.3f us (65,536 clients or all)\n",
            f->consoleEvents * 1e6 / kConsoleEvents, f->consoleEventsSpread * 1e6 / kConsoleEvents);
        std::printf("  remove the results folder %6.3f s\n", f->cleanup);
    }
    const double consoleRatio = large.consoleEvents / small.consoleEvents;
    const double spreadRatio = large.consoleEventsSpread / small.consoleEventsSpread;
    const double runRatio = (large.run / static_cast<double>(large.runEvents)) / (small.run / static_cast<double>(small.runEvents));
    std::printf("\nratio per status event, %d / %d clients (target near 1):\n", kLarge, kSmall);
    std::printf("  whole run                                 %.2f\n", runRatio);
    std::printf("  console side, the same 1,000 clients      %.2f\n", consoleRatio);
    std::printf("  console side, events over every client    %.2f   (memory: the working set grows with the job)\n", spreadRatio);
    return 0;
}

// The console's side of a migration run, with the window's own widgets,
// offscreen: the computer tree (ComputerTreeView linked to the database)
// and the run's pane (RunControlPane: the progress log, the live counts and
// the groups' worst state).
//
// 1. The cost of one status event at 1,000 and at 100,000 clients: the
//    engine's event through QXEInterface and MigrationRun into the pane,
//    which finds the tree node by its key, sets its image and its groups',
//    counts it and writes the log line, with the event loop given its turn
//    (painting included) every 1,000 events. Each client reports a new
//    status every round, so that every event writes a line. A status event
//    must cost the same whatever the size of the job: at most 20 us.
// 2. The memory the progress log takes after a million lines: it keeps the
//    newest ProgressLogModel::DefaultLineLimit, so it stays flat.
//
// Prints the figures and the ratio 100,000 / 1,000 (target: at most 1.5).

#include "common/AppState.h"
#include "common/TreeImage.h"
#include "common/modGeneral.h"
#include "common/modRegistry.h"
#include "database/ComputerDB.h"
#include "engine/ClientStatus.h"
#include "engine/ManualScheduler.h"
#include "job/MigrationRun.h"
#include "engine/QXEInterface.h"
#include "engine/SimulatedEngine.h"
#include "engine/modEngine.h"
#include "shell/TreeCommands.h"
#include "shell/forms/ComputerTreeView.h"
#include "shell/forms/RunControlPane.h"

#include "BenchJob.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kLarge = 100000;
constexpr int kSmall = 1000;
constexpr int kEvents = 300000;
constexpr int kLogLines = 1000000;
constexpr int kLoopTurn = 1000;

double seconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Resident set, from /proc/self/statm.
double residentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double heapMiB()
{
    return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

struct EventFigures
{
    double build = 0; // database, tree and export
    double distinct = 0; // per event, the same 1,000 clients over and over
    double spread = 0; // per event, clients all over the job
    double withoutLog = 0; // as distinct, the progress log left out
    double withoutLogSpread = 0; // as spread, the progress log left out
};

bool measureEvents(int computers, EventFigures &figures)
{
    QElapsedTimer timer;
    timer.start();
    ComputerDB db;
    BenchJob::fill(db, computers);
    ComputerTreeView tree;
    tree.resize(300, 700);
    tree.show();
    tree.attachDatabase(db).InitializeTreeView();
    db.LinkTreeView(&tree, TreeImage::Computer, TreeImage::Folder, nullptr);

    BenchJob::SimulatedRun simulated = BenchJob::simulatedRun();
    SimulatedEngine *engine = simulated.engine;
    QXEInterface &qxe = *simulated.qxe;
    AppState::Get().CurrentJobName = QStringLiteral("BenchRun%1").arg(computers);

    MigrationRun run(db);
    RunControlPane pane(run, tree);
    pane.resize(700, 700);
    pane.show();
    ProgressLogModel &log = *pane.log();
    // The engine is never given time, so only the events played below arrive.
    pane.Start(qxe);
    figures.build = seconds(timer);
    if (run.ClientCount() != computers || !engine) {
        std::fprintf(stderr, "the run started with %d of %d clients\n", run.ClientCount(), computers);
        return false;
    }
    QApplication::processEvents();

    const QStringList codes {QStringLiteral("CL"), QStringLiteral("L3"), QStringLiteral("U1"), QStringLiteral("XS")};
    const auto play = [&](int distinct) {
        QRandomGenerator random(7);
        std::vector<int> clients(static_cast<size_t>(distinct));
        for (int &client : clients)
            client = 1 + static_cast<int>(random.bounded(static_cast<quint32>(computers)));
        log.clear();
        QElapsedTimer watch;
        watch.start();
        for (int i = 0; i < kEvents; ++i) {
            Q_EMIT engine->ClientStatusChanged(clients[static_cast<size_t>(i % distinct)], codes[(i / distinct) % codes.size()]);
            if (i % kLoopTurn == kLoopTurn - 1)
                QApplication::processEvents();
        }
        // The last batch is part of the cost.
        log.flush();
        QApplication::processEvents();
        return seconds(watch) / kEvents;
    };
    figures.distinct = play(kSmall);
    figures.spread = play(std::min(computers, 65536));
    // The tree's lookup and the run's bookkeeping alone: the log's share
    // would hide a lookup that grows with the job.
    QObject::disconnect(&run, &MigrationRun::Line, &pane, nullptr);
    figures.withoutLog = play(kSmall);
    figures.withoutLogSpread = play(std::min(computers, 65536));
    db.UnlinkTreeView();
    return true;
}

struct LogFigures
{
    double append = 0;
    double heapMiB = 0;
    double residentMiB = 0;
};

// The progress log alone, one line per status event of a large run, kept
// as the pane keeps it.
LogFigures measureLog()
{
    ComputerDB db;
    ComputerTreeView tree;
    MigrationRun run(db);
    RunControlPane pane(run, tree);
    pane.resize(700, 700);
    pane.show();
    QApplication::processEvents();
    const double heapBefore = heapMiB();
    const double residentBefore = residentMiB();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kLogLines; ++i) {
        pane.appendLine(QStringLiteral("WS%1: Migration complete with warnings").arg(i % kLarge, 6, 10, QLatin1Char('0')));
        if (i % kLoopTurn == kLoopTurn - 1)
            QApplication::processEvents();
    }
    pane.log()->flush();
    QApplication::processEvents();
    LogFigures figures;
    figures.append = seconds(timer);
    figures.heapMiB = heapMiB() - heapBefore;
    figures.residentMiB = residentMiB() - residentBefore;
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegKey key = Reg::NoKey;
    modRegistry::CreateKey(QStringLiteral("Brindlewood\\Varno-Osk"), Reg::NoKey, QStringLiteral("HKCU\\Software"), QString(), key);
    modRegistry::CloseKey(key);
    // The export writes one configuration file per client: in memory, so
    // that the figures are the console's, not the disk's.
    const QString memory = QStringLiteral("/dev/shm");
    QTemporaryDir logs((QDir(memory).exists() ? memory : QDir::tempPath()) + QStringLiteral("/vo-bench-XXXXXX"));
    modRegistry::SaveSettingString(AppState::Get().AppKeyPath, QStringLiteral("LogPath"), logs.path());

    // The log first, while the heap holds nothing that a later measurement
    // could reuse and hide.
    const LogFigures logFigures = measureLog();
    EventFigures small;
    EventFigures large;
    if (!measureEvents(kSmall, small) || !measureEvents(kLarge, large))
        return 1;

    std::printf("Console side of a run, offscreen: ComputerTreeView linked to the database, the window's run pane (RunControlPane)\n\n");
    for (const auto &[computers, f] : {std::pair {kSmall, &small}, std::pair {kLarge, &large}}) {
        std::printf("%6d computers: set-up (database, tree, export) %.2f s\n", computers, f->build);
        std::printf("  per status event: %.2f us (1,000 clients over and over), %.2f us (clients all over the job)\n", f->distinct * 1e6,
            f->spread * 1e6);
        std::printf("  without the progress log:  %.2f us (1,000 clients over and over), %.2f us (clients all over the job)\n",
            f->withoutLog * 1e6, f->withoutLogSpread * 1e6);
    }
    std::printf("\nratio per status event, %d / %d clients (target at most 1.5):\n", kLarge, kSmall);
    std::printf("  the same 1,000 clients          %.2f\n", large.distinct / small.distinct);
    std::printf("  clients all over the job        %.2f\n", large.spread / small.spread);
    std::printf("  without the log, 1,000 clients  %.2f\n", large.withoutLog / small.withoutLog);
    std::printf(
        "  without the log, all over       %.2f   (the working set grows with the job)\n", large.withoutLogSpread / small.withoutLogSpread);
    std::printf("\nprogress log, %d lines of 40 characters: %.1f s to append, %.1f us per line\n", kLogLines, logFigures.append,
        logFigures.append * 1e6 / kLogLines);
    std::printf("  heap in use   %+8.1f MiB after them (mallinfo2)\n", logFigures.heapMiB);
    std::printf("  resident set  %+8.1f MiB after them (/proc/self/statm)\n", logFigures.residentMiB);
    return 0;
}

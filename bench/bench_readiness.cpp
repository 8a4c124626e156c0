// The readiness report of a job of 100,000 computers in 2,000 groups,
// without ping: once with every computer sound, once with two faults on
// each (every settings record and every computer's own list broken), beside the
// first-fault check Start Migration runs on the same job. Also the time to
// make the CSV and the HTML page, and the new job of unfinished computers
// with half of them done. Target: each step in seconds, not minutes.

#include "database/ComputerDB.h"
#include "validation/JobValidator.h"
#include "validation/ReadinessReport.h"
#include "job/modRetry.h"

#include "BenchJob.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

constexpr int kComputers = 100000;

double seconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

void measure(const char *caption, ComputerDB &db)
{
    QElapsedTimer timer;
    timer.start();
    const ValidationResult first = JobValidator(db).Verify(0);
    const double verify = seconds(timer);
    timer.restart();
    const ReadinessReport report = ReadinessReport::Build(db);
    const double build = seconds(timer);
    timer.restart();
    const QByteArray csv = report.Csv();
    const QByteArray html = report.Html();
    const double files = seconds(timer);
    std::printf(
        "%s: Start Migration's check %.3f s (code %d); readiness report %.3f s, %d faults; CSV %.1f MB and HTML %.1f MB in %.3f s\n",
        caption, verify, first.Code, build, report.FaultCount(false) + report.FaultCount(true), static_cast<double>(csv.size()) / 1e6,
        static_cast<double>(html.size()) / 1e6, files);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ComputerDB db;
    BenchJob::fill(db, kComputers);
    measure("100,000 sound computers", db);

    // Every computer of every group: an empty destination DC in the global
    // record and the groups' own, and a destination user name that is no name.
    for (int slot = 0; slot < db.SettingsCount(); ++slot) {
        if (const GlobalSettingsPtr record = db.SettingsTable(slot))
            record->DestinationDCName.clear();
    }
    for (int id = 0; id < db.ComputerCount(); ++id)
        db.GetComputerUserList(id)->AddUserToUser(QStringLiteral("guest"), QStringLiteral("no/name"));
    measure("100,000 computers with faults", db);

    QElapsedTimer timer;
    timer.start();
    const modRetry::Split split = modRetry::UnfinishedJob(db, [](int id) { return id % 2 ? QStringLiteral("XS") : QStringLiteral("XE"); });
    std::printf("New job of the %d unfinished of 100,000 computers: %.3f s\n", split.Kept, seconds(timer));
    return 0;
}

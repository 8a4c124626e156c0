// Importing a user list file of 1,000,000 lines (100,000 computers with ten
// user migrations each), both passes, against the sqlite3 shell importing
// the same file as CSV; the target is a ratio of at most 1.0.
//
// Two imports are timed: into a database that holds the computers already,
// and into an empty one, where the second pass adds every computer at the
// root. Each runs five times on a fresh database and the best time counts.

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "import/UserFileImport.h"
#include "import/modImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr int kComputers = 100000;
constexpr int kUsersPerComputer = 10;
constexpr int kRounds = 5;

double seconds(QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Best time of importing `path` into databases that `prepare` fills.
template<typename Prepare> double timeImport(const QString &path, Prepare prepare)
{
    double best = std::numeric_limits<double>::max();
    for (int round = 0; round < kRounds; ++round) {
        ComputerDB db;
        db.Clear();
        prepare(db);
        QElapsedTimer timer;
        timer.start();
        const UserFileImport::Result result = UserFileImport::ImportUserFile(db, path, modImport::UserToUser);
        best = std::min(best, seconds(timer));
        if (result.status != UserFileImport::Status::Imported || result.entriesAdded != kComputers * kUsersPerComputer) {
            std::fprintf(stderr, "the import failed: %s\n", qPrintable(result.errorText.left(400)));
            std::exit(1);
        }
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf(
        "a user list file of %d lines: %d computers, %d users each\n\n", kComputers * kUsersPerComputer, kComputers, kUsersPerComputer);

    std::vector<QString> names;
    for (int i = 0; i < kComputers; ++i)
        names.push_back(QStringLiteral("WS%1").arg(i, 6, 10, QLatin1Char('0')));
    // Files come in no particular order of computers, each computer's users together.
    std::vector<QString> order = names;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));

    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("users.csv"));
    {
        QFile out(csv);
        if (!out.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(csv));
            return 1;
        }
        QByteArray text;
        for (const QString &name : order) {
            for (int u = 0; u < kUsersPerComputer; ++u)
                text += name.toLatin1() + ",user" + QByteArray::number(u) + ",new.user" + QByteArray::number(u) + "\r\n";
        }
        out.write(text);
    }

    double sqlite = std::numeric_limits<double>::max();
    for (int round = 0; round < kRounds; ++round) {
        QProcess process;
        process.setProgram(QStringLiteral("sqlite3"));
        process.setArguments({dir.filePath(QStringLiteral("import%1.db").arg(round))});
        process.start();
        process.waitForStarted(-1);
        QElapsedTimer timer;
        timer.start();
        process.write(QStringLiteral(".mode csv\n.import '%1' migrations\n").arg(csv).toUtf8());
        process.closeWriteChannel();
        process.waitForFinished(-1);
        sqlite = std::min(sqlite, seconds(timer));
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            std::fprintf(stderr, "sqlite3 failed: %s\n", process.readAllStandardError().constData());
            return 1;
        }
    }

    const double existing = timeImport(csv, [&](ComputerDB &db) {
        for (const QString &name : names)
            db.AddComputer(name, QString(), -1, -1);
    });
    const double added = timeImport(csv, [](ComputerDB &) {});

    std::printf("sqlite3 .import CSV (best of %d)           %8.3f s\n", kRounds, sqlite);
    std::printf("import, computers there (best of %d)       %8.3f s\n", kRounds, existing);
    std::printf("import, computers added (best of %d)       %8.3f s\n", kRounds, added);
    std::printf("ratio import (computers there) / sqlite3   %.2f   (target <= 1.0)\n", existing / sqlite);
    std::printf("ratio import (computers added) / sqlite3   %.2f\n", added / sqlite);
    return 0;
}

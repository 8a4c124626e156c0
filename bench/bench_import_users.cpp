// Importing a user list file of 1,000,000 lines (100,000 computers with ten
// user migrations each), both passes, against the sqlite3 shell importing
// the same file as CSV; the target is a ratio of at most 1.0.
//
// Two imports are timed: into a database that holds the computers already,
// and into an empty one, where the second pass adds every computer at the
// root. Each runs five times on a fresh database and the best time counts.
//
// Then one computer's list of 20,000 and of 65,536 lines (the most a
// settings file keeps for one list): the time per line must not grow with
// the list. And a file of 10,000,000 lines, more than a settings file
// keeps, which the check must refuse quickly and in little memory.

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "import/UserFileImport.h"
#include "import/modImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

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

// `lines` lines of `line(n)`, written a piece at a time.
template<typename Line> QString writeLines(const QTemporaryDir &dir, const QString &name, qint64 lines, Line line)
{
    const QString path = dir.filePath(name);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    QByteArray text;
    for (qint64 n = 0; n < lines; ++n) {
        text += line(n);
        if (text.size() > (1 << 20) || n + 1 == lines) {
            out.write(text);
            text.clear();
        }
    }
    return path;
}

double timeOneComputer(const QTemporaryDir &dir, int lines)
{
    const QString path = writeLines(dir, QStringLiteral("one%1.csv").arg(lines), lines,
        [](qint64 n) { return "PC1,user" + QByteArray::number(n) + ",new.user" + QByteArray::number(n) + "\r\n"; });
    ComputerDB db;
    db.Clear();
    QElapsedTimer timer;
    timer.start();
    const UserFileImport::Result result = UserFileImport::ImportUserFile(db, path, modImport::UserToUser);
    const double time = seconds(timer);
    if (result.status != UserFileImport::Status::Imported || result.entriesAdded != lines) {
        std::fprintf(stderr, "the import of one computer's list failed: %s\n", qPrintable(result.errorText.left(400)));
        std::exit(1);
    }
    return time;
}

long peakMiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf(
        "a user list file of %d lines: %d computers, %d users each\n\n", kComputers * kUsersPerComputer, kComputers, kUsersPerComputer);

    QTemporaryDir dir;
    {
        // First, while the process is small: its peak is the refusal's.
        const QString huge = writeLines(dir, QStringLiteral("huge.csv"), 10000000, [](qint64 n) {
            return 'W' + QByteArray::number(n / 100 + 100000) + ",u" + QByteArray::number(n % 100) + ",n" + QByteArray::number(n % 100)
                + "\r\n";
        });
        const long before = peakMiB();
        ComputerDB db;
        db.Clear();
        QElapsedTimer timer;
        timer.start();
        const UserFileImport::Result result = UserFileImport::ImportUserFile(db, huge, modImport::UserToUser);
        const bool refused = result.status == UserFileImport::Status::CheckFailed && db.GetComputerCount() == 0;
        std::printf("10,000,000 lines, %-26s %8.3f s, peak %ld MiB (%ld MiB before)\n",
            refused ? "refused at the limit" : "NOT REFUSED", seconds(timer), peakMiB(), before);
        std::printf("   %s\n", qPrintable(result.errorText.section(QStringLiteral("\r\n"), -2, -2)));
        QFile::remove(huge);
    }
    const double one20000 = timeOneComputer(dir, 20000);
    const double one65536 = timeOneComputer(dir, 65536);
    std::printf("one computer, 20,000 lines                  %8.3f s\n", one20000);
    std::printf("one computer, 65,536 lines                  %8.3f s\n", one65536);
    std::printf("ratio per line 65,536 / 20,000              %.2f   (target about 1: linear)\n\n",
        (one65536 / 65536) / (one20000 / 20000));

    std::vector<QString> names;
    for (int i = 0; i < kComputers; ++i)
        names.push_back(QStringLiteral("WS%1").arg(i, 6, 10, QLatin1Char('0')));
    // Files come in no particular order of computers, each computer's users together.
    std::vector<QString> order = names;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));

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

// `vo export` of 100,000 computers (the job of BenchJob.h), as the command
// writes it: row by row into the folder, every client's scrambled
// varnoosk.cfg in a folder of its own and arrays.txt, made durable once at
// the end with one syncfs. Against it, a plain loop that writes the same
// folders and files of the same sizes and makes them durable the same way.
//
// Prints both times, their ratio (target: at most 1.5) and the peak resident
// memory during the export, the database included (target: flat, at most
// 64 MiB above the database at 100,000), and the memory the arrays of a run
// keep for its whole length (vo run exports them whole; target at most
// 1,280 bytes per client, the scrambled file of about 830 included). The
// folders are on the disk of the temporary folder, not in memory, since
// durability is part of the cost.

#include "cli/ExportCommand.h"
#include "common/AppState.h"
#include "common/modRegistry.h"
#include "engine/SimulatedEngine.h"
#include "job/ComputerDBJobExport.h"

#include "BenchJob.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kComputers = 100000;

double seconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// "VmHWM" or "VmRSS" of this process, in MiB.
double statusMiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// The heap in use, in MiB: what freed memory the process keeps does not count.
double heapMiB()
{
    return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

// From here on the peak counts from the present size.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

bool plainLoop(ComputerDB &db, const QString &folder, qint64 configBytes, qint64 dumpBytes)
{
    const QByteArray config(configBytes, 'x');
    const QByteArray base = QFile::encodeName(folder) + '/';
    for (int id = 0; id < db.ComputerCount(); ++id) {
        const QByteArray sub = base + QFile::encodeName(SimulatedEngine::SafeFileName(db.GetComputerName(id)));
        if (::mkdir(sub.constData(), 0700) != 0)
            return false;
        const int fd = ::open((sub + "/varnoosk.cfg").constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || ::write(fd, config.constData(), static_cast<size_t>(config.size())) != config.size() || ::close(fd) != 0)
            return false;
    }
    const QByteArray piece(1 << 20, 'x');
    const int fd = ::open((base + "arrays.txt").constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    for (qint64 left = dumpBytes; fd >= 0 && left > 0; left -= piece.size())
        if (::write(fd, piece.constData(), static_cast<size_t>(qMin<qint64>(left, piece.size()))) < 0)
            return false;
    const int dir = ::open(base.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::close(fd) == 0 && dir >= 0 && ::syncfs(dir) == 0;
    if (dir >= 0)
        ::close(dir);
    return synced;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    RegKey key = Reg::NoKey;
    modRegistry::CreateKey(QStringLiteral("Brindlewood\\Varno-Osk"), Reg::NoKey, QStringLiteral("HKCU\\Software"), QString(), key);
    modRegistry::CloseKey(key);

    ComputerDB db;
    BenchJob::fill(db, kComputers);
    QTemporaryDir disk(QDir::tempPath() + QStringLiteral("/vo-bench-export-XXXXXX"));
    const QString exported = disk.filePath(QStringLiteral("export"));
    const QString plain = disk.filePath(QStringLiteral("plain"));

    const double database = statusMiB("VmRSS:");
    resetPeak();
    QXEInterface qxe;
    qxe.SetConsoleIP(QStringLiteral("127.0.0.1"));
    ComputerDBJobExport job(db);
    int clients = 0;
    QString problem;
    QElapsedTimer timer;
    timer.start();
    if (!ExportCommand::WriteJob(qxe, job, exported, clients, problem) || clients != kComputers) {
        std::fprintf(stderr, "the export failed: %s\n", qPrintable(problem));
        return 1;
    }
    const double exportTime = seconds(timer);
    const double peak = statusMiB("VmHWM:");

    const qint64 configBytes = QFileInfo(exported + QStringLiteral("/WS000000/varnoosk.cfg")).size();
    const qint64 dumpBytes = QFileInfo(exported + QStringLiteral("/arrays.txt")).size();
    QDir().mkpath(plain);
    timer.start();
    if (!plainLoop(db, plain, configBytes, dumpBytes)) {
        std::fprintf(stderr, "the plain loop failed\n");
        return 1;
    }
    const double plainTime = seconds(timer);

    std::printf("%d computers: %d folders with a %lld-byte varnoosk.cfg each and an arrays.txt of %.1f MB\n", kComputers, clients,
        static_cast<long long>(configBytes), static_cast<double>(dumpBytes) / 1e6);
    std::printf("  vo export, streamed, one syncfs  %8.3f s  %6.2f us per client\n", exportTime, exportTime * 1e6 / kComputers);
    std::printf("  plain loop, one syncfs           %8.3f s  %6.2f us per client\n", plainTime, plainTime * 1e6 / kComputers);
    std::printf("  ratio export / plain loop        %8.2f   (target at most 1.5)\n", exportTime / plainTime);
    // What a run holds: the export into the arrays, whole.
    const double beforeArrays = heapMiB();
    qxe.ExportJob(job);
    const double arrays = heapMiB() - beforeArrays;
    if (qxe.ClientArray().Rows() != kComputers) {
        std::fprintf(stderr, "the export into the arrays failed\n");
        return 1;
    }

    std::printf("  resident: database %.1f MiB, peak during the export %.1f MiB (%.1f MiB above; target at most 64)\n", database, peak,
        peak - database);
    std::printf("  arrays of a run, heap            %8.1f MiB  %6.0f bytes per client (target at most 1,280)\n", arrays,
        arrays * 1024.0 * 1024.0 / kComputers);
    return 0;
}

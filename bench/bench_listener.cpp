// The engine's TLS listener under a crowd: listener_load connects N clients
// at once, each reports K status codes and says Bye, while this program
// plays the run's thread, counting the status signals in a slot that keeps
// each computer's last code as the run does. Targets: N = 10,000 connected at
// once, at least 20,000 reports a second, and the run's thread spending no
// more per report at 10,000 clients than 1.5 times what it spends at 1,000.
// "run ns/report" is the CPU time of the run's thread from the first report to
// the last, over the reports: taking the batches, the signals and the slot;
// "slot ns/report" is wall time in the slot, which a busy machine inflates.
// Arguments: the reports of each round (100000), then the client counts
// (1000 10000). VO_BENCH_IN_FLIGHT: how many clients connect at a time (1000).
#include "common/ConsoleCertificate.h"
#include "enginehost/ClientListener.h"
#include "enginehost/modOpenFiles.h"

#include <QCoreApplication>
#include <QEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

using Clock = std::chrono::steady_clock;

double threadCpuMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Round
{
    int clients = 0;
    qint64 expected = 0;
    qint64 reports = 0;
    int gone = 0;
    int logLines = 0;
    bool ok = false;
    int connected = 0; // held at once, as the generator saw it
    double connectMs = 0;
    double sendMs = 0; // the generator's, first report to last Bye
    double wallMs = 0; // here, first report to last
    double cpuMs = 0; // the run's thread, first report to last
    double slotNs = 0; // in the slot, in all
    qint64 batches = 0; // the listener's deliveries to the run's thread
};

// Counts the batches the listener hands the run's thread: each arrives as a
// queued call.
class BatchCounter final : public QObject
{
public:
    explicit BatchCounter(qint64 &count)
        : m_count(count)
    { }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++m_count;
        return false;
    }

private:
    qint64 &m_count;
};

bool raiseOpenFiles(rlim_t needed)
{
    if (modOpenFiles::RaiseLimit() >= long(needed))
        return true;
    // Root may raise the hard limit too.
    rlimit limit {needed, needed};
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

Round measure(QCoreApplication &application, const ConsoleCertificate::Pair &pair, const QString &folder, int clients, int perClient)
{
    Round round;
    round.clients = clients;
    round.expected = qint64(clients) * perClient;
    ClientListener listener(pair, QStringLiteral("check"));
    int errorNumber = 0;
    QString problem;
    if (!listener.listen(QStringLiteral("127.0.0.1"), 0, errorNumber, problem)) {
        std::fprintf(stderr, "bench_listener: cannot listen (%d): %s\n", errorNumber, qPrintable(problem));
        return round;
    }

    // The run's view of its computers: the slot keeps each one's last code.
    QHash<QString, QString> statuses;
    statuses.reserve(clients);
    QByteArray tokens;
    for (int n = 1; n <= clients; ++n) {
        const QString computer = QStringLiteral("pc%1").arg(n, 5, 10, QLatin1Char('0'));
        statuses.insert(computer, QString());
        tokens += computer.toUtf8() + '\t' + listener.admit(computer).toUtf8() + '\n';
    }
    const QString tokenFile = folder + QStringLiteral("/tokens-%1").arg(clients);
    QFile file(tokenFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(tokens) != tokens.size()) {
        std::fprintf(stderr, "bench_listener: cannot write %s\n", qPrintable(tokenFile));
        return round;
    }
    file.close();

    Clock::time_point first;
    Clock::time_point last;
    double cpuFirst = 0;
    QObject::connect(&listener, &ClientChannel::status, &application, [&](const QString &computer, const QString &code) {
        const Clock::time_point entered = Clock::now();
        if (round.reports == 0) {
            first = entered;
            cpuFirst = threadCpuMs();
        }
        const auto found = statuses.find(computer);
        if (found != statuses.end())
            *found = code;
        if (++round.reports == round.expected)
            round.cpuMs = threadCpuMs() - cpuFirst;
        last = Clock::now();
        round.slotNs += double(std::chrono::duration_cast<std::chrono::nanoseconds>(last - entered).count());
    });
    BatchCounter batches(round.batches);
    listener.installEventFilter(&batches);
    QObject::connect(&listener, &ClientChannel::gone, &application, [&] { ++round.gone; });
    QObject::connect(&listener, &ClientChannel::logLine, &application, [&](const QString &line) {
        if (++round.logLines <= 5)
            std::fprintf(stderr, "bench_listener: %s\n", qPrintable(line));
    });

    QProcess load;
    load.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bool loadDone = false;
    QObject::connect(&load, &QProcess::finished, &application, [&] { loadDone = true; });
    load.start(QStringLiteral(VO_LISTENER_LOAD), {QString::number(listener.port()), tokenFile, QString::number(perClient),
                                                     qEnvironmentVariable("VO_BENCH_IN_FLIGHT", QStringLiteral("1000"))});
    if (!load.waitForStarted()) {
        std::fprintf(stderr, "bench_listener: cannot start %s\n", VO_LISTENER_LOAD);
        return round;
    }
    // Until the generator is done and every connection it closed is gone,
    // or three seconds after it is done; the loop sleeps while it waits.
    QEventLoop loop;
    QElapsedTimer waiting;
    waiting.start();
    qint64 doneAt = -1;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (loadDone && doneAt < 0)
            doneAt = waiting.elapsed();
        if ((loadDone && round.gone >= clients) || (doneAt >= 0 && waiting.elapsed() - doneAt > 3000) || waiting.elapsed() > 300000)
            loop.quit();
    });
    check.start(50);
    loop.exec();
    if (!loadDone) {
        load.kill();
        load.waitForFinished();
    }
    if (round.reports != round.expected)
        round.cpuMs = threadCpuMs() - cpuFirst;
    round.wallMs = std::chrono::duration<double, std::milli>(last - first).count();

    const QByteArray said = load.readAllStandardOutput();
    long long connected = 0;
    long long failed = -1;
    std::sscanf(said.constData(), "connected=%lld connect_ms=%lf report_ms=%lf close_ms=%*f failed=%lld", &connected, &round.connectMs,
        &round.sendMs, &failed);
    round.connected = int(connected);
    round.ok = load.exitStatus() == QProcess::NormalExit && load.exitCode() == 0 && failed == 0 && round.reports == round.expected;
    if (!round.ok)
        std::fprintf(stderr, "bench_listener: %d clients: the generator said \"%s\", %lld of %lld reports arrived, %d gone\n", clients,
            said.trimmed().constData(), static_cast<long long>(round.reports), static_cast<long long>(round.expected), round.gone);
    return round;
}

} // namespace

int main(int argc, char *argv[])
{
    // The event loop the engine runs its listener on.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication application(argc, argv);
    const qint64 reportsPerRound = argc > 1 ? qMax(1LL, std::atoll(argv[1])) : 100000;
    QList<int> sizes;
    for (int i = 2; i < argc; ++i)
        sizes << qMax(1, std::atoi(argv[i]));
    if (sizes.isEmpty())
        sizes = {1000, 10000};
    const int largest = *std::max_element(sizes.cbegin(), sizes.cend());
    if (!raiseOpenFiles(rlim_t(largest) + 256)) {
        std::printf("bench_listener: skipped: cannot open %d files (ulimit -n)\n", largest + 256);
        return 0;
    }

    QTemporaryDir folder(QStringLiteral("/tmp/vo-bench-XXXXXX"));
    ConsoleCertificate certificate(folder.filePath(QStringLiteral("tls")));
    ConsoleCertificate::Pair pair;
    QString problem;
    if (!certificate.Load(pair, problem)) {
        std::fprintf(stderr, "bench_listener: %s\n", qPrintable(problem));
        return 1;
    }

    QList<Round> rounds;
    for (const int clients : std::as_const(sizes))
        rounds << measure(application, pair, folder.path(), clients, int(qMax<qint64>(1, reportsPerRound / clients)));

    std::printf("%8s %10s %11s %10s %12s %13s %14s %14s\n", "clients", "at once", "connect ms", "reports", "reports/s", "run ns/report",
        "slot ns/report", "reports/batch");
    bool allOk = true;
    for (const Round &round : std::as_const(rounds)) {
        const double perSecond = round.wallMs > 0 ? double(round.reports) * 1000.0 / round.wallMs : 0;
        std::printf("%8d %10d %11.0f %10lld %12.0f %13.0f %14.0f %14.1f%s\n", round.clients, round.connected, round.connectMs,
            static_cast<long long>(round.reports), perSecond, round.cpuMs * 1e6 / double(qMax<qint64>(1, round.reports)),
            round.slotNs / double(qMax<qint64>(1, round.reports)), double(round.reports) / double(qMax<qint64>(1, round.batches)),
            round.ok ? "" : "  (failed)");
        allOk = allOk && round.ok;
    }

    // The verdicts compare the smallest and the largest crowd.
    const Round &small = rounds.constFirst();
    const Round &large = rounds.constLast();
    const auto perReport = [](const Round &round) { return round.cpuMs * 1e6 / double(qMax<qint64>(1, round.reports)); };
    const double rate = large.wallMs > 0 ? double(large.reports) * 1000.0 / large.wallMs : 0;
    const double ratio = perReport(large) / qMax(1.0, perReport(small));
    const bool crowdOk = large.ok && large.connected == large.clients && large.clients >= 10000;
    const bool rateOk = rate >= 20000;
    const bool flatOk = ratio <= 1.5;
    std::printf("%s: %d clients connected at once (target 10000)\n", crowdOk ? "PASS" : "FAIL", large.connected);
    std::printf("%s: %.0f reports/s at %d clients (target >= 20000)\n", rateOk ? "PASS" : "FAIL", rate, large.clients);
    std::printf("%s: the run's thread per report at %d clients is %.2f times that at %d (target <= 1.50)\n", flatOk ? "PASS" : "FAIL",
        large.clients, ratio, small.clients);
    return allOk && crowdOk && rateOk && flatOk ? 0 : 1;
}

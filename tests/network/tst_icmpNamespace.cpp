#include "network/EchoService.h"
#include "network/ParallelPing.h"
#include "network/PingResult.h"
#include "network/PingTest.h"
#include "network/modNetwork.h"
#include "support/NetNamespace.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>

#include <arpa/inet.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Lets this thread have a datagram ICMP socket (the ping group range takes
// in root's group) but no raw one: capabilities are per thread too.
constexpr const char *DatagramOnly = "echo 0 2147483647 > /proc/sys/net/ipv4/ping_group_range";

bool DropRawSockets()
{
    __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    data[CAP_NET_RAW / 32].effective &= ~(1U << (CAP_NET_RAW % 32));
    return syscall(SYS_capset, &header, data) == 0;
}

// Echoes that finish only when the test releases their address, counting
// how many are under way at once.
class GatedEcho final : public EchoService
{
public:
    GatedEcho()
        : m_previous(install(this))
    { }
    ~GatedEcho() override
    {
        release(0);
        install(m_previous);
    }
    qint32 Echo(quint32 networkOrder, int) const override
    {
        std::unique_lock lock(m_mutex);
        ++started;
        mostUnderWay = std::max(mostUnderWay.load(), ++underWay);
        // Bounded, so that a failing test still ends.
        m_released.wait_for(lock, std::chrono::seconds(10), [&] { return m_open.count(networkOrder) || m_open.count(0); });
        --underWay;
        return qint32(ntohl(networkOrder) & 0xff);
    }
    // 0 releases every echo.
    void release(quint32 networkOrder)
    {
        const std::lock_guard lock(m_mutex);
        m_open.insert(networkOrder);
        m_released.notify_all();
    }
    mutable std::atomic<int> started = 0;
    mutable std::atomic<int> underWay = 0;
    mutable std::atomic<int> mostUnderWay = 0;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_released;
    std::set<quint32> m_open;
    const EchoService *m_previous;
};

QStringList Addresses(int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << QStringLiteral("10.1.0.%1").arg(i);
    return names;
}

} // namespace

class TestIcmpNamespace : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A lookup the name server never answers waits its whole time.
    void initTestCase() { qputenv("RES_OPTIONS", "timeout:30 attempts:1"); }

    // The real resolver and echo, each in a namespace of its own where
    // routes, sysctls and a veth make every outcome happen without a packet
    // leaving the machine.
    void realPing_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("datagram");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("text"); // the start of it
        // A veth whose far end is down: what is sent through it goes nowhere.
        const QString veth = QStringLiteral("ip link add va type veth peer name vb && ip link set va up && ip addr add 10.9.0.1/24 dev va");
        const QString dropped = veth + QStringLiteral(" && ip neigh add 10.9.0.2 lladdr 02:00:00:00:00:02 dev va nud permanent");
        // The kernel gives up on the address after one unanswered ARP
        // request and sends the ICMP error itself.
        const QString noNeighbour = veth
            + QStringLiteral(
                " && echo 1 > /proc/sys/net/ipv4/neigh/va/mcast_solicit && echo 100 > /proc/sys/net/ipv4/neigh/va/retrans_time_ms");
        const QString unreachable = QStringLiteral("ip route add unreachable 10.8.0.0/16");
        for (const bool datagram : {false, true}) {
            const QString path = datagram ? QStringLiteral("datagram: ") : QStringLiteral("raw: ");
            const QString widen = datagram ? QStringLiteral(" && ") + DatagramOnly : QString();
            QTest::addRow("%sneighbour never answers", qPrintable(path)) << noNeighbour + widen << datagram << "10.9.0.3"
                                                                         << "DESTINATION HOST UNREACHABLE";
            QTest::addRow("%sunreachable route", qPrintable(path)) << unreachable + widen << datagram << "10.8.0.1"
                                                                   << "DESTINATION HOST UNREACHABLE";
            QTest::addRow("%sdropped", qPrintable(path)) << dropped + widen << datagram << "10.9.0.2"
                                                         << "REQUEST TIMED OUT";
        }
        QTest::newRow("datagram: reply") << DatagramOnly << true << "127.0.0.1"
                                         << "Response received";
        QTest::newRow("no ICMP socket of either kind") << "true" << true << "127.0.0.1"
                                                       << "ICMP FAILURE";
        // With no route but lo's, a query to any name server fails at once.
        QTest::newRow("name that does not resolve") << "true" << false << "pc-gone.invalid"
                                                    << "CANNOT RESOLVE NAME";
    }

    void realPing()
    {
        QFETCH(QString, setup);
        QFETCH(bool, datagram);
        QFETCH(QString, target);
        QFETCH(QString, text);
        const std::optional<qint32> result = NetNamespace::Run(qPrintable(setup), [&] {
            if (datagram && !DropRawSockets())
                return qint32(PingResult::GeneralFailure);
            return modNetwork::Ping(target, 300);
        });
        if (!result)
            QSKIP("no network namespace can be made here (needs CAP_SYS_ADMIN, CAP_NET_ADMIN and iproute2)");
        QVERIFY2(PingResult::Text(*result).startsWith(text), qPrintable(PingResult::Text(*result)));
    }

    // With a name server that never answers (a socket on its address that
    // only counts queries), lookups run as many at once as echoes may, and a
    // cancel gives them up instead of waiting for them.
    void lookupsNeverAnswered()
    {
        QFile conf(QStringLiteral("/etc/resolv.conf"));
        const QRegularExpressionMatch named
            = QRegularExpression(QStringLiteral("^nameserver\\s+([0-9.]+)\\s*$"), QRegularExpression::MultilineOption)
                  .match(conf.open(QIODevice::ReadOnly) ? QString::fromLatin1(conf.readAll()) : QString());
        const QString server = named.hasMatch() ? named.captured(1) : QStringLiteral("127.0.0.1");
        std::atomic<int> queries = 0;
        int asked = -1;
        qint64 cancelMs = -1;
        QStringList lines;
        const auto ran = NetNamespace::Run(qPrintable(QStringLiteral("ip addr add %1/32 dev lo 2>/dev/null; true").arg(server)), [&] {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in at {AF_INET, htons(53), {inet_addr(qPrintable(server))}, {}};
            ::bind(fd, reinterpret_cast<sockaddr *>(&at), sizeof at);
            std::atomic<bool> stop = false;
            std::thread silent([&] {
                char query[512];
                for (pollfd in {fd, POLLIN, 0}; !stop;)
                    queries += ::poll(&in, 1, 20) > 0 && ::recv(fd, query, sizeof query, 0) > 0;
            });
            PingTest test;
            test.setInFlight(2);
            QElapsedTimer clock;
            QObject::connect(&test, &PingTest::Line, [&](const QString &line) {
                lines << line;
                if (lines.size() != 4)
                    return;
                for (int waited = 0; queries < 2 && waited < 500; ++waited)
                    QThread::msleep(20);
                QThread::msleep(300);
                asked = queries;
                clock.start();
                test.Cancel();
            });
            test.Run({"pc1.example.test", "pc2.example.test", "pc3.example.test", "pc4.example.test"});
            cancelMs = clock.elapsed();
            stop = true;
            silent.join();
            return ::close(fd);
        });
        if (!ran)
            QSKIP("no network namespace can be made here (needs CAP_SYS_ADMIN, CAP_NET_ADMIN and iproute2)");
        QCOMPARE(asked, 2);
        QVERIFY2(cancelMs < 5000, qPrintable(QString::number(cancelMs)));
        QCOMPARE(lines.mid(3),
            (QStringList {
                "Resolving IP address for pc1.example.test ... ", "Ping test canceled after 1 of 4 computers; 0 did not answer."}));
    }

    // Outcomes come in the list's order however the echoes finish, and no
    // more than the given number is under way at once.
    void parallelOrder_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("inFlight");
        QTest::newRow("one at a time") << 4 << 1;
        QTest::newRow("fewer names than places") << 3 << 5;
        QTest::newRow("window slides") << 9 << 3;
    }

    void parallelOrder()
    {
        QFETCH(int, count);
        QFETCH(int, inFlight);
        GatedEcho echo;
        ParallelPing ping(Addresses(count), inFlight, 1000);
        QTRY_COMPARE(echo.underWay.load(), std::min(count, inFlight));
        // The last first: each waits for the one after it to finish.
        for (int i = count; i >= 1; --i)
            echo.release(htonl(0x0a010000 | quint32(i)));
        for (int i = 1; i <= count; ++i) {
            const std::optional<ParallelPing::Outcome> outcome = ping.takeNext(10000);
            QVERIFY(outcome);
            QCOMPARE(outcome->address, QStringLiteral("10.1.0.%1").arg(i));
            QCOMPARE(outcome->result, i);
        }
        QVERIFY(!ping.takeNext(0));
        QCOMPARE(echo.mostUnderWay.load(), std::min(count, inFlight));
    }

    // An echo that waits for its timeout holds back only its own place: the
    // names behind it start while their answers wait to be taken.
    void parallelSlowFirst()
    {
        GatedEcho echo;
        for (int i = 2; i <= 5; ++i)
            echo.release(htonl(0x0a010000 | quint32(i)));
        ParallelPing ping(Addresses(5), 2, 1000);
        QTRY_COMPARE(echo.started.load(), 5);
        QVERIFY(!ping.takeNext(0));
        echo.release(0);
    }

    // The console cancels while it waits for the next outcome, whose line it
    // has begun: that name still gets its echo when its address is known,
    // and is given up when not; either way the wait ends.
    void parallelCancelWhileWaiting()
    {
        GatedEcho echo;
        echo.release(0);
        ParallelPing ping(Addresses(4), 1, 1000);
        QVERIFY(ping.takeNext(10000));
        ping.cancel();
        const bool echoed = ping.takeNext(10000).has_value();
        QVERIFY(ping.over() && !ping.takeNext(100));
        QCOMPARE(echo.started.load(), echoed ? 2 : 1);
    }

    // A cancel lets the echoes under way finish and starts no other.
    void parallelCancel_data()
    {
        QTest::addColumn<int>("inFlight");
        QTest::newRow("one at a time") << 1;
        QTest::newRow("three at once") << 3;
    }

    void parallelCancel()
    {
        QFETCH(int, inFlight);
        GatedEcho echo;
        ParallelPing ping(Addresses(6), inFlight, 1000);
        QTRY_COMPARE(echo.underWay.load(), inFlight);
        ping.cancel();
        echo.release(0);
        for (int i = 1; i <= inFlight; ++i)
            QVERIFY(ping.takeNext(10000));
        QVERIFY(!ping.takeNext(100));
        QCOMPARE(echo.started.load(), inFlight);
    }
};

QTEST_GUILESS_MAIN(TestIcmpNamespace)
#include "tst_icmpNamespace.moc"

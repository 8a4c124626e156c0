#include "network/EchoService.h"
#include "network/IcmpEchoService.h"
#include "network/IcmpPacket.h"
#include "network/NameResolver.h"
#include "network/PingResult.h"
#include "network/modNetwork.h"

#include <QTest>

#include <arpa/inet.h>

namespace {

// Names resolve only to what the test says, so no query leaves the machine.
class FixedResolver final : public NameResolver
{
public:
    explicit FixedResolver(QString address)
        : m_address(std::move(address))
        , m_previous(install(this))
    { }
    ~FixedResolver() override { install(m_previous); }
    QString Resolve(const QString &) const override { return m_address; }

private:
    QString m_address;
    const NameResolver *m_previous;
};

// Records where the echo went instead of sending it.
class RecordingEcho final : public EchoService
{
public:
    RecordingEcho()
        : m_previous(install(this))
    { }
    ~RecordingEcho() override { install(m_previous); }
    qint32 Echo(quint32 networkOrder, int) const override
    {
        targets.append(networkOrder);
        return 7;
    }
    mutable QList<quint32> targets;

private:
    const EchoService *m_previous;
};

QByteArray IpHeader()
{
    QByteArray header(20, '\0');
    header[0] = char(0x45);
    header[9] = char(1); // ICMP
    return header;
}

QByteArray EchoReply(quint16 identifier, quint16 sequence)
{
    QByteArray reply = IcmpPacket::EchoRequest(identifier, sequence);
    reply[0] = char(0);
    return reply;
}

// An ICMP error quoting the first eight bytes of the echo it is about.
QByteArray ErrorAbout(int type, int code, quint16 identifier, quint16 sequence)
{
    QByteArray error(8, '\0');
    error[0] = char(type);
    error[1] = char(code);
    return IpHeader() + error + IpHeader() + IcmpPacket::EchoRequest(identifier, sequence).left(8);
}

} // namespace

class TestPing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resultText_data()
    {
        QTest::addColumn<qint32>("result");
        QTest::addColumn<QString>("text");
        QTest::newRow("reply") << 0 << "Response received 0ms";
        QTest::newRow("just under the timeout") << 1999 << "Response received 1999ms";
        QTest::newRow("exactly the timeout") << 2000 << "TIMEOUT";
        QTest::newRow("over the timeout") << 2001 << "Response received 2001ms";
        QTest::newRow("no name") << -1 << "CANNOT RESOLVE NAME";
        QTest::newRow("no service") << -2 << "ICMP FAILURE";
        QTest::newRow("net, two blanks") << -11002 << "DESTINATION  NET UNREACHABLE";
        QTest::newRow("timed out") << -11010 << "REQUEST TIMED OUT";
        QTest::newRow("pending") << -11255 << "PENDING";
        QTest::newRow("unknown") << -11024 << "UNKNOWN ERROR -11024";
    }

    void resultText()
    {
        QFETCH(qint32, result);
        QFETCH(QString, text);
        QCOMPARE(PingResult::Text(result), text);
    }

    // Only the answer to our own request counts: a raw socket also sees the
    // request itself on loopback and every other program's ICMP.
    void replyFilter_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<bool>("withIpHeader");
        QTest::addColumn<int>("answer"); // 1: not ours
        QTest::newRow("our reply") << IpHeader() + EchoReply(77, 5) << true << 0;
        QTest::newRow("our own request") << IpHeader() + IcmpPacket::EchoRequest(77, 5) << true << 1;
        QTest::newRow("another identifier") << IpHeader() + EchoReply(78, 5) << true << 1;
        QTest::newRow("another sequence") << IpHeader() + EchoReply(77, 6) << true << 1;
        QTest::newRow("datagram reply, kernel's identifier") << EchoReply(4242, 5) << false << 0;
        QTest::newRow("host unreachable") << ErrorAbout(3, 1, 77, 5) << true << int(PingResult::DestinationHostUnreachable);
        QTest::newRow("net unreachable") << ErrorAbout(3, 0, 77, 5) << true << int(PingResult::DestinationNetUnreachable);
        QTest::newRow("ttl expired") << ErrorAbout(11, 0, 77, 5) << true << int(PingResult::TtlExpiredTransit);
        QTest::newRow("error about another echo") << ErrorAbout(3, 1, 78, 5) << true << 1;
        QTest::newRow("error cut short") << ErrorAbout(3, 1, 77, 5).left(40) << true << 1;
        QTest::newRow("truncated") << IpHeader() + EchoReply(77, 5).left(6) << true << 1;
    }

    void replyFilter()
    {
        QFETCH(QByteArray, packet);
        QFETCH(bool, withIpHeader);
        QFETCH(int, answer);
        const std::optional<quint16> identifier = withIpHeader ? std::optional<quint16>(77) : std::nullopt;
        QCOMPARE(IcmpPacket::Answer(packet, withIpHeader, identifier, 5).value_or(1), answer);
    }

    // A dotted target goes to the echo as it is, a name through the
    // resolver, and a name that does not resolve sends nothing.
    void pingTarget()
    {
        const RecordingEcho echo;
        const FixedResolver none {QString()};
        QCOMPARE(modNetwork::Ping(QStringLiteral("pc-gone"), 100), PingResult::CannotResolve);
        QVERIFY(echo.targets.isEmpty());
        QCOMPARE(modNetwork::Ping(QStringLiteral("127.0.0.2"), 100), 7);
        const FixedResolver loopback {QStringLiteral("127.0.0.3")};
        QCOMPARE(modNetwork::Ping(QStringLiteral("pc-here"), 100), 7);
        QCOMPARE(echo.targets, (QList<quint32> {htonl(0x7f000002), htonl(0x7f000003)}));
    }

    void realLoopback()
    {
        const qint32 result = IcmpEchoService().Echo(htonl(INADDR_LOOPBACK), 2000);
        if (result == PingResult::IcmpFailure)
            QSKIP("neither a datagram ICMP socket (ping_group_range) nor a raw one (CAP_NET_RAW) can be opened here");
        QVERIFY2(result >= 0, qPrintable(PingResult::Text(result)));
    }
};

QTEST_GUILESS_MAIN(TestPing)
#include "tst_ping.moc"

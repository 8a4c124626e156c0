#include "common/ConsoleCertificate.h"
#include "enginehost/ClientListener.h"
#include "protocol/modFindings.h"
#include "protocol/modProtocol.h"

#include <QSignalSpy>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using modProtocol::Kind;

namespace {

std::string frame(Kind kind, std::vector<std::string> fields = {})
{
    return modProtocol::Encode({kind, std::move(fields)});
}

std::string hello(const QString &computer, const std::string &token)
{
    return frame(Kind::Hello, {std::to_string(modProtocol::Version), computer.toStdString(), token});
}

// A client service as the listener meets it: trusts the console's certificate
// and no other, and keeps every frame it is told.
struct Client
{
    Client(quint16 port, const QSslCertificate &pinned)
    {
        QObject::connect(socket.get(), &QSslSocket::sslErrors, socket.get(), [this, pinned](const QList<QSslError> &errors) {
            for (const QSslError &error : errors) {
                if (error.certificate() != pinned)
                    return;
            }
            socket->ignoreSslErrors();
        });
        QObject::connect(socket.get(), &QSslSocket::readyRead, socket.get(), [this] {
            const QByteArray bytes = socket->readAll();
            reader.append(bytes.constData(), std::size_t(bytes.size()));
            modProtocol::Frame frame;
            while (reader.next(frame) == modProtocol::FrameReader::Result::Ready) {
                heard.append(frame.kind);
                if (frame.kind == Kind::Welcome)
                    welcome = frame.fields;
            }
        });
        QObject::connect(socket.get(), &QSslSocket::disconnected, socket.get(), [this] { closed = true; });
        socket->setProtocol(QSsl::TlsV1_3OrLater);
        socket->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    }
    void say(const std::string &bytes) { socket->write(QByteArray::fromStdString(bytes)); }

    modProtocol::FrameReader reader;
    QList<Kind> heard;
    std::vector<std::string> welcome;
    bool closed = false;
    // Last, so that it goes first and never reports into a member already gone.
    std::unique_ptr<QSslSocket> socket = std::make_unique<QSslSocket>();
};

} // namespace

class tst_ClientListener : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        ConsoleCertificate::Pair pair;
        QString problem;
        QVERIFY2(ConsoleCertificate(m_data.filePath("tls")).Load(pair, problem), qPrintable(problem));
        m_pinned = QSslCertificate(pair.certificate, QSsl::Pem);
        m_listener = std::make_unique<ClientListener>(pair, QStringLiteral("check"), 300);
        int errorNumber = 0;
        QVERIFY2(m_listener->listen(QStringLiteral("127.0.0.1"), 0, errorNumber, problem), qPrintable(problem));
    }

    void goodClientIsHeardAsItsComputer()
    {
        const std::string token = m_listener->admit(QStringLiteral("PC1")).toStdString();
        m_listener->admit(QStringLiteral("PC2"));
        QSignalSpy status(m_listener.get(), &ClientChannel::status);
        QSignalSpy finding(m_listener.get(), &ClientChannel::finding);
        QSignalSpy keepAlive(m_listener.get(), &ClientChannel::keepAlive);
        QSignalSpy gone(m_listener.get(), &ClientChannel::gone);

        Client client(m_listener->port(), m_pinned);
        // Names compare as the job compares them; reports carry the admitted spelling.
        client.say(hello(QStringLiteral("pc1"), token));
        QTRY_COMPARE(client.heard, QList<Kind> {Kind::Welcome});
        QVERIFY(client.welcome == std::vector<std::string>({std::to_string(modProtocol::Version), "check"}));
        const QString euros(341, QChar(0x20AC));
        client.say(frame(Kind::Status, {"CL"}) + frame(Kind::KeepAlive, {"30"})
            + frame(Kind::Finding, {std::to_string(modFindings::ProfileInUse), "al\x1b[2Jice\xe2\x80\xae\\x\t"})
            // Cut at MaxTextBytes, backing up to the last whole character.
            + frame(Kind::Finding, {std::to_string(modFindings::ProfileInUse), (euros + euros).toStdString()}));
        QTRY_COMPARE(finding.size(), 2);
        QCOMPARE(status.value(0), QVariantList({"PC1", "CL"}));
        QCOMPARE(keepAlive.value(0), QVariantList({"PC1", 30}));
        QCOMPARE(finding.value(0), QVariantList({"PC1", modFindings::ProfileInUse, "al\\x1b[2Jice\\u202e\\x\\x09"}));
        QCOMPARE(finding.value(1), QVariantList({"PC1", modFindings::ProfileInUse, euros}));
        QCOMPARE(status.size() + keepAlive.size(), 2);

        // It says it reboots and goes without Bye; back with its token, it
        // is told from a client whose link broke. That token is then spent.
        QSignalSpy log(m_listener.get(), &ClientChannel::logLine);
        client.say(frame(Kind::Finding, {std::to_string(modFindings::Rebooting), ""}));
        QTRY_COMPARE(finding.size(), 3);
        client.socket->disconnectFromHost();
        QVERIFY(gone.wait(2000));
        QCOMPARE(gone.value(0), QVariantList({"PC1"}));
        Client rebooted(m_listener->port(), m_pinned), replayed(m_listener->port(), m_pinned);
        rebooted.say(hello(QStringLiteral("PC1"), token));
        QTRY_COMPARE(rebooted.heard, QList<Kind> {Kind::Welcome});
        QTRY_COMPARE(log.size(), 1);
        QVERIFY(log.value(0).value(0).toString().startsWith(QStringLiteral("Listener: PC1 reconnected after its reboot, from 127.0.0.1:")));
        replayed.say(hello(QStringLiteral("PC1"), token));
        QTRY_COMPARE(log.size(), 2);
        QVERIFY2(log.value(1).value(0).toString().contains(QStringLiteral("spent when it came back from its reboot")),
            qPrintable(log.value(1).value(0).toString()));
        QVERIFY(replayed.heard.isEmpty());
        // Nothing of PC1 is left to reach the next test.
        rebooted.socket->disconnectFromHost();
        QTRY_COMPARE(gone.size(), 2);
    }

    void droppedAndNotReported_data()
    {
        QTest::addColumn<bool>("welcomed");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        const std::string token = m_listener->admit(QStringLiteral("DA")).toStdString();
        m_tokens.insert(QStringLiteral("DA"), token);
        const std::string other = m_listener->admit(QStringLiteral("DB")).toStdString();
        const auto row = [](const char *name, bool welcomed, const std::string &bytes, const char *why) {
            QTest::newRow(name) << welcomed << QByteArray::fromStdString(bytes) << QString::fromLatin1(why);
        };
        row("wrong token", false, hello(QStringLiteral("DA"), std::string(64, '0')), "no valid token");
        row("another computer's token", false, hello(QStringLiteral("DA"), other), "no valid token");
        row("no Hello in time", false, "", "no Hello within 300 ms");
        row("a report before Hello", false, frame(Kind::Status, {"CL"}) + hello(QStringLiteral("DA"), token), "before its Hello");
        // Only the length: a listener that waited for the body would never drop it.
        row("frame over the limit", true, std::string("\x00\x01\x00\x01", 4), "a frame over 65536 bytes");
        row("unknown status code", true, frame(Kind::Status, {"ZZ"}) + frame(Kind::Status, {"CL"}), "unknown status code \"ZZ\"");
        row("finding code of the engine's", true, frame(Kind::Finding, {"2002", "x"}), "not one a client reports");
        row("second Hello for another computer", true, hello(QStringLiteral("DB"), other) + frame(Kind::Status, {"CL"}), "a second Hello");
    }
    void droppedAndNotReported()
    {
        QFETCH(bool, welcomed);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        QSignalSpy status(m_listener.get(), &ClientChannel::status);
        QSignalSpy finding(m_listener.get(), &ClientChannel::finding);
        QSignalSpy gone(m_listener.get(), &ClientChannel::gone);
        QSignalSpy log(m_listener.get(), &ClientChannel::logLine);

        Client client(m_listener->port(), m_pinned);
        if (welcomed) {
            client.say(hello(QStringLiteral("DA"), m_tokens.value(QStringLiteral("DA"))));
            QTRY_COMPARE(client.heard, QList<Kind> {Kind::Welcome});
        }
        client.socket->write(bytes);
        QTRY_VERIFY_WITH_TIMEOUT(client.closed, 1500);
        QTRY_VERIFY(!log.isEmpty());
        const QString line = log.last().value(0).toString();
        QVERIFY2(
            line.startsWith(QStringLiteral("Listener: dropped the connection from 127.0.0.1:")) && line.contains(why), qPrintable(line));
        QCOMPARE(client.heard, welcomed ? QList<Kind> {Kind::Welcome} : QList<Kind> {});
        QCOMPARE(status.size() + finding.size(), 0);
        if (welcomed) {
            QTRY_COMPARE(gone.size(), 1);
            QCOMPARE(gone.value(0), QVariantList({"DA"}));
        }
    }

    // A connection that never even starts TLS is closed after the hello
    // time, and the log says why.
    void silentConnectionWithoutTls()
    {
        QSignalSpy log(m_listener.get(), &ClientChannel::logLine);
        QTcpSocket plain;
        plain.connectToHost(QHostAddress::LocalHost, m_listener->port());
        QVERIFY(plain.waitForConnected(1000));
        QTRY_VERIFY_WITH_TIMEOUT(plain.state() == QAbstractSocket::UnconnectedState, 1500);
        QTRY_VERIFY(!log.isEmpty());
        const QString line = log.last().value(0).toString();
        QVERIFY2(line.endsWith(QStringLiteral("failed before its Hello: no TLS handshake within 300 ms")), qPrintable(line));
    }

    void consoleFramesReachOnlyTheirClient()
    {
        const std::string token5 = m_listener->admit(QStringLiteral("PC5")).toStdString();
        const std::string token6 = m_listener->admit(QStringLiteral("PC6")).toStdString();
        QSignalSpy gone(m_listener.get(), &ClientChannel::gone);
        Client five(m_listener->port(), m_pinned), six(m_listener->port(), m_pinned);
        five.say(hello(QStringLiteral("PC5"), token5));
        six.say(hello(QStringLiteral("PC6"), token6));
        QTRY_VERIFY(five.heard == QList<Kind> {Kind::Welcome} && six.heard == QList<Kind> {Kind::Welcome});

        m_listener->cancel(QStringLiteral("PC5"));
        m_listener->abort(QStringLiteral("pc5"));
        // Sent after PC5's frames: anything of PC5's that went astray would come first.
        m_listener->end(QStringLiteral("PC6"));
        QTRY_VERIFY(six.closed);
        QCOMPARE(six.heard, QList<Kind>({Kind::Welcome, Kind::Ended}));
        QTRY_COMPARE(five.heard, QList<Kind>({Kind::Welcome, Kind::Cancel, Kind::Abort}));
        QVERIFY(!five.closed);

        Client again(m_listener->port(), m_pinned);
        again.say(hello(QStringLiteral("PC6"), token6));
        QTRY_VERIFY(again.closed);
        QCOMPARE(again.heard, QList<Kind> {Kind::Ended});

        five.socket->disconnectFromHost();
        QTRY_COMPARE(gone.size(), 2);
        QCOMPARE(gone.value(0), QVariantList({"PC6"}));
        QCOMPARE(gone.value(1), QVariantList({"PC5"}));
    }

private:
    QTemporaryDir m_data;
    QHash<QString, std::string> m_tokens;
    QSslCertificate m_pinned;
    std::unique_ptr<ClientListener> m_listener;
};

QTEST_GUILESS_MAIN(tst_ClientListener)
#include "tst_ClientListener.moc"

#include "protocol/modFindings.h"
#include "ssh/ConsoleKey.h"
#include "ssh/KnownHosts.h"
#include "ssh/SshClient.h"
#include "ssh/modSshFailure.h"
#include "ssh/modSshRun.h"
#include "support/SshdServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// Real logins through the console's own command lines to a test sshd on
// 127.0.0.1: the key, the host keys, the shared connection, the names an
// ssh_config maps and the failures ssh reports.
class tst_SshLogin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void failureTexts_data();
    void failureTexts();
    void unknownHostKeyIsRefused();
    void trustedHostLogsInOnce();
    void configUserWinsOverDefault_data();
    void configUserWinsOverDefault();
    void hashedKeysImport();
    void refusedPort();
    void changedHostKeyNeedsReplace();

private:
    modSshRun::Result run(const QString &name, const QString &login, const QString &command);
    int finding(const modSshRun::Result &result);

    std::unique_ptr<SshdServer> m_sshd;
    QTemporaryDir m_home {QDir::tempPath() + QStringLiteral("/vo-ssh-XXXXXX")};
    std::unique_ptr<SshClient> m_client;
    std::unique_ptr<KnownHosts> m_known;
};

void tst_SshLogin::initTestCase()
{
    const QString why = SshdServer::unavailable();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    m_sshd = std::make_unique<SshdServer>();
    QVERIFY2(m_sshd->start(), qPrintable(m_sshd->error()));
    ConsoleKey key(m_home.filePath(QStringLiteral("key")));
    QVERIFY2(m_sshd->authorize(key.publicKey()), qPrintable(key.error()));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(key.privateFile()).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);

    const QByteArray port = QByteArray::number(m_sshd->port());
    const QByteArray config = "Host plain\n  HostName 127.0.0.1\n  Port " + port
        + "\nHost asroot\n  HostName 127.0.0.1\n  Port " + port + "\n  User root\n"
        + "Host hashed\n  HostName 127.0.0.1\n  Port " + port + "\n"
        + "Host closed\n  HostName 127.0.0.1\n  Port " + QByteArray::number(SshdServer::freePort()) + "\n";
    QFile file(m_home.filePath(QStringLiteral("ssh_config")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(config) == config.size());
    file.close();

    SshOptions options;
    options.keyFile = key.privateFile();
    options.knownHostsFile = m_home.filePath(QStringLiteral("known_hosts"));
    options.controlFolder = m_home.filePath(QStringLiteral("c"));
    options.sshConfig = file.fileName();
    options.connectTimeout = 5;
    m_client = std::make_unique<SshClient>(options);
    m_known = std::make_unique<KnownHosts>(options.knownHostsFile, *m_client);
    QString error;
    for (const QString &login : {QStringLiteral("root"), QStringLiteral("vo-nobody")})
        QVERIFY2(m_client->prepare(login, error), qPrintable(error));
}

void tst_SshLogin::cleanupTestCase()
{
    if (!m_client)
        return;
    for (const QString &name : {QStringLiteral("plain"), QStringLiteral("asroot"), QStringLiteral("hashed")})
        modSshRun::Run(m_client->stop(name, QStringLiteral("root")), SshClient::environment(), {}, 5000);
    m_sshd->stop();
}

modSshRun::Result tst_SshLogin::run(const QString &name, const QString &login, const QString &command)
{
    return modSshRun::Run(m_client->ssh(name, login, command), SshClient::environment(), {}, 20000);
}

int tst_SshLogin::finding(const modSshRun::Result &result)
{
    QString reason;
    const int code = modSshFailure::Classify(result.exitCode, result.error, reason);
    if (code != 0 && reason.isEmpty())
        return -1;
    return code;
}

void tst_SshLogin::failureTexts_data()
{
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("error");
    QTest::addColumn<int>("code");
    QTest::newRow("no such name") << 255 << QByteArray("ssh: Could not resolve hostname pc1: Name or service not known\r\n")
                                  << modFindings::NameDoesNotResolve;
    QTest::newRow("timed out") << 255 << QByteArray("ssh: connect to host 10.9.9.9 port 22: Connection timed out\r\n")
                               << modFindings::ConnectionTimedOut;
    QTest::newRow("remote's own complaint") << 1 << QByteArray("mkdir: cannot create directory 'x': Permission denied\n") << 0;
    QTest::newRow("anything else") << 255 << QByteArray("kex_exchange_identification: read: Connection reset by peer\r\n")
                                   << modFindings::SshFailed;
}

void tst_SshLogin::failureTexts()
{
    QFETCH(int, exitCode);
    QFETCH(QByteArray, error);
    QFETCH(int, code);
    QString reason;
    QCOMPARE(modSshFailure::Classify(exitCode, error, reason), code);
    if (code != 0)
        QCOMPARE(reason, QString::fromUtf8(error).trimmed());
}

void tst_SshLogin::unknownHostKeyIsRefused()
{
    const modSshRun::Result result = run(QStringLiteral("plain"), QStringLiteral("root"), QStringLiteral("echo ok"));
    QCOMPARE(result.exitCode, 255);
    QCOMPARE(finding(result), modFindings::HostKeyUnknown);
}

void tst_SshLogin::trustedHostLogsInOnce()
{
    KnownHosts::Scan scan;
    QVERIFY2(m_known->scan(QStringLiteral("plain"), scan), qPrintable(m_known->error()));
    QCOMPARE(scan.port, m_sshd->port());
    QVERIFY(scan.fingerprints.join(QLatin1Char(' ')).contains(QLatin1String("ssh-ed25519 SHA256:")));
    QCOMPARE(m_known->compare(scan), KnownHosts::Verdict::New);
    QVERIFY2(m_known->record(scan, false), qPrintable(m_known->error()));
    QCOMPARE(m_known->compare(scan), KnownHosts::Verdict::Known);

    const qsizetype loginsBefore = m_sshd->log().count("Accepted publickey");
    modSshRun::Result result = run(QStringLiteral("plain"), QStringLiteral("root"), QStringLiteral("echo ok"));
    QVERIFY2(result.exitCode == 0, result.error.constData());
    QCOMPARE(result.output, QByteArray("ok\n"));

    const QString local = m_home.filePath(QStringLiteral("payload"));
    QFile payload(local);
    QVERIFY(payload.open(QIODevice::WriteOnly) && payload.write("bytes\n") == 6);
    payload.close();
    const QString remote = m_sshd->clientRoot() + QStringLiteral("/payload");
    result = modSshRun::Run(m_client->scp(QStringLiteral("plain"), QStringLiteral("root"), {local}, remote),
        SshClient::environment(), {}, 20000);
    QVERIFY2(result.exitCode == 0, result.error.constData());
    QFile copied(remote);
    QVERIFY(copied.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), QByteArray("bytes\n"));
    // The echo, the copy and this: one login between them.
    result = run(QStringLiteral("plain"), QStringLiteral("root"), QStringLiteral("printenv VARNO_OSK_CLIENT_ROOT"));
    QCOMPARE(result.output.trimmed(), m_sshd->clientRoot().toUtf8());
    QCOMPARE(m_sshd->log().count("Accepted publickey") - loginsBefore, 1);
}

void tst_SshLogin::configUserWinsOverDefault_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("login");
    QTest::addColumn<int>("code");
    QTest::newRow("configuration's User") << QStringLiteral("asroot") << QStringLiteral("vo-nobody") << 0;
    QTest::newRow("the default") << QStringLiteral("plain") << QStringLiteral("vo-nobody") << modFindings::LoginRefused;
}

void tst_SshLogin::configUserWinsOverDefault()
{
    QFETCH(QString, name);
    QFETCH(QString, login);
    QFETCH(int, code);
    KnownHosts::Scan scan;
    QVERIFY2(m_known->scan(name, scan) && m_known->record(scan, false), qPrintable(m_known->error()));
    const modSshRun::Result result = run(name, login, QStringLiteral("id -un"));
    QCOMPARE(finding(result), code);
    if (code == 0)
        QCOMPARE(result.output, QByteArray("root\n"));
}

void tst_SshLogin::hashedKeysImport()
{
    // What an administrator already trusts, in the hashed form ssh writes
    // with HashKnownHosts.
    const QString theirs = m_home.filePath(QStringLiteral("theirs"));
    const modSshRun::Result scanned = modSshRun::Run({QStringLiteral("ssh-keyscan"), QStringLiteral("-H"), QStringLiteral("-p"),
                                                         QString::number(m_sshd->port()), QStringLiteral("127.0.0.1")},
        SshClient::environment(), {}, 10000);
    QFile file(theirs);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(scanned.output) == scanned.output.size());
    file.close();
    KnownHosts::Scan scan;
    QVERIFY2(m_known->importFrom(theirs, QStringLiteral("hashed"), scan), qPrintable(m_known->error()));
    QVERIFY(m_known->record(scan, false));
    QCOMPARE(run(QStringLiteral("hashed"), QStringLiteral("root"), QStringLiteral("true")).exitCode, 0);
}

void tst_SshLogin::refusedPort()
{
    QCOMPARE(finding(run(QStringLiteral("closed"), QStringLiteral("root"), QStringLiteral("true"))),
        modFindings::ConnectionRefused);
}

void tst_SshLogin::changedHostKeyNeedsReplace()
{
    for (const QString &name : {QStringLiteral("plain"), QStringLiteral("asroot"), QStringLiteral("hashed")})
        modSshRun::Run(m_client->stop(name, QStringLiteral("root")), SshClient::environment(), {}, 5000);
    QVERIFY2(m_sshd->restart(true), qPrintable(m_sshd->error()));
    QCOMPARE(finding(run(QStringLiteral("plain"), QStringLiteral("root"), QStringLiteral("true"))),
        modFindings::HostKeyChanged);

    KnownHosts::Scan scan;
    QVERIFY(m_known->scan(QStringLiteral("plain"), scan));
    QCOMPARE(m_known->compare(scan), KnownHosts::Verdict::Changed);
    QVERIFY(!m_known->record(scan, false));
    QCOMPARE(m_known->code(), modFindings::HostKeyChanged);
    QCOMPARE(finding(run(QStringLiteral("plain"), QStringLiteral("root"), QStringLiteral("true"))),
        modFindings::HostKeyChanged);
    QVERIFY(m_known->record(scan, true));
    QCOMPARE(run(QStringLiteral("plain"), QStringLiteral("root"), QStringLiteral("true")).exitCode, 0);
    // The other names keep the old key until they are replaced too.
    QCOMPARE(finding(run(QStringLiteral("asroot"), QStringLiteral("root"), QStringLiteral("true"))),
        modFindings::HostKeyChanged);
}

QTEST_GUILESS_MAIN(tst_SshLogin)
#include "tst_SshLogin.moc"

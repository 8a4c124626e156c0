#include "protocol/modFindings.h"
#include "ssh/SshClient.h"
#include "ssh/modSshFailure.h"
#include "ssh/modSshRun.h"
#include "support/SshdServer.h"
#include "support/TestRegistry.h"
#include "support/VoProcess.h"

#include <QFile>
#include <QTest>

// Real logins through the console's own command lines to a test sshd on
// 127.0.0.1, with the key and host keys that vo engine key and vo engine
// trust set up: the shared connection, the names an ssh_config maps, and the
// failures ssh reports.
class tst_SshLogin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void failureTexts();
    void trustAsksThenOneLoginServes();
    void configUserWinsOverDefault();
    void hashedKeysImportAndRefusedPort();
    void changedHostKeyNeedsReplaceAndKeyRotates();

private:
    modSshRun::Result run(
        const QString &name, const QString &login = QStringLiteral("root"), const QString &command = QStringLiteral("true"))
    {
        return modSshRun::Run(m_client->ssh(name, login, command), SshClient::environment(), {}, 20000);
    }
    static int finding(const modSshRun::Result &result)
    {
        QString reason;
        return modSshFailure::Classify(result.exitCode, result.error, reason);
    }
    static VoRun trust(const QStringList &arguments, const QByteArray &answer = {})
    {
        return vo(QStringList {QStringLiteral("engine"), QStringLiteral("trust")} + arguments, answer);
    }
    void stopShared();

    QTemporaryDir m_home {QDir::tempPath() + QStringLiteral("/vo-ssh-XXXXXX")};
    std::unique_ptr<TestRegistry> m_registry;
    std::unique_ptr<SshdServer> m_sshd;
    std::unique_ptr<SshClient> m_client;
    QByteArray m_publicKey;
};

void tst_SshLogin::initTestCase()
{
    const QString why = SshdServer::unavailable();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    qputenv("VARNO_OSK_SSH_FOLDER", m_home.filePath(QStringLiteral("ssh")).toUtf8());
    m_registry = std::make_unique<TestRegistry>();
    m_sshd = std::make_unique<SshdServer>();
    QVERIFY2(m_sshd->start(), qPrintable(m_sshd->error()));
    const VoRun key = vo({QStringLiteral("engine"), QStringLiteral("key")});
    QVERIFY2(key.out.startsWith("ssh-ed25519 ") && m_sshd->authorize(key.out), key.err.constData());
    m_publicKey = key.out;

    const QByteArray port = "  HostName 127.0.0.1\n  Port " + QByteArray::number(m_sshd->port()) + "\n";
    const QString config = writeFile(m_home.filePath(QStringLiteral("ssh_config")),
        "Host plain hashed\n" + port + "Host asroot\n" + port + "  User root\nHost closed\n  HostName 127.0.0.1\n  Port "
            + QByteArray::number(SshdServer::freePort()) + "\n");
    QCOMPARE(vo({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("SshConfig"), config}).status, 0);
    SshOptions options = SshOptions::console(m_home.filePath(QStringLiteral("c")), config);
    options.connectTimeout = 5;
    m_client = std::make_unique<SshClient>(options);
    QString error;
    for (const QString &login : {QStringLiteral("root"), QStringLiteral("vo-nobody")})
        QVERIFY2(m_client->prepare(login, error), qPrintable(error));
}

void tst_SshLogin::stopShared()
{
    for (const QString &name : {QStringLiteral("plain"), QStringLiteral("asroot"), QStringLiteral("hashed")})
        modSshRun::Run(m_client->stop(name, QStringLiteral("root")), SshClient::environment(), {}, 5000);
}

void tst_SshLogin::cleanupTestCase()
{
    if (m_client)
        stopShared();
    m_sshd.reset();
    qunsetenv("VARNO_OSK_SSH_FOLDER");
}

void tst_SshLogin::failureTexts()
{
    // The remote command's own complaint is not a refused login.
    QString reason;
    QCOMPARE(modSshFailure::Classify(1, "mkdir: cannot create directory 'x': Permission denied\n", reason), 0);
    QCOMPARE(modSshFailure::Classify(255, "kex_exchange_identification: Connection reset\r\n", reason), modFindings::SshFailed);
    QCOMPARE(reason, QStringLiteral("kex_exchange_identification: Connection reset"));
}

void tst_SshLogin::trustAsksThenOneLoginServes()
{
    QCOMPARE(finding(run(QStringLiteral("plain"))), modFindings::HostKeyUnknown);
    VoRun answer = trust({QStringLiteral("plain")}, "no\n");
    QVERIFY(answer.status == 1 && answer.out.contains("ssh-ed25519 SHA256:"));
    QCOMPARE(finding(run(QStringLiteral("plain"))), modFindings::HostKeyUnknown);
    answer = trust({QStringLiteral("plain")}, "yes\n");
    QVERIFY2(answer.status == 0, answer.err.constData());

    const qsizetype loginsBefore = m_sshd->log().count("Accepted publickey");
    modSshRun::Result result = run(QStringLiteral("plain"), QStringLiteral("root"), QStringLiteral("echo ok"));
    QCOMPARE(result.output, QByteArray("ok\n"));
    const QString local = writeFile(m_home.filePath(QStringLiteral("payload")), "bytes\n");
    const QString remote = m_sshd->clientRoot() + QStringLiteral("/payload");
    result = modSshRun::Run(
        m_client->scp(QStringLiteral("plain"), QStringLiteral("root"), {local}, remote), SshClient::environment(), {}, 20000);
    QVERIFY2(result.exitCode == 0, result.error.constData());
    QFile copied(remote);
    QVERIFY(copied.open(QIODevice::ReadOnly) && copied.readAll() == "bytes\n");
    // The echo, the copy and this: one login between them.
    result = run(QStringLiteral("plain"), QStringLiteral("root"), QStringLiteral("printenv HOME"));
    QCOMPARE(result.output.trimmed(), (m_sshd->clientRoot() + QStringLiteral("/home")).toUtf8());
    QCOMPARE(m_sshd->log().count("Accepted publickey") - loginsBefore, 1);
}

void tst_SshLogin::configUserWinsOverDefault()
{
    QCOMPARE(trust({QStringLiteral("asroot"), QStringLiteral("--yes")}).status, 0);
    QCOMPARE(run(QStringLiteral("asroot"), QStringLiteral("vo-nobody"), QStringLiteral("id -un")).output, QByteArray("root\n"));
    QCOMPARE(finding(run(QStringLiteral("plain"), QStringLiteral("vo-nobody"))), modFindings::LoginRefused);
}

void tst_SshLogin::hashedKeysImportAndRefusedPort()
{
    // What an administrator already trusts, hashed as ssh writes it with HashKnownHosts.
    const modSshRun::Result scanned = modSshRun::Run({QStringLiteral("ssh-keyscan"), QStringLiteral("-H"), QStringLiteral("-p"),
                                                         QString::number(m_sshd->port()), QStringLiteral("127.0.0.1")},
        SshClient::environment(), {}, 10000);
    const QString theirs = writeFile(m_home.filePath(QStringLiteral("theirs")), scanned.output);
    QCOMPARE(trust({QStringLiteral("hashed"), QStringLiteral("--from-known-hosts"), theirs, QStringLiteral("--yes")}).status, 0);
    QCOMPARE(run(QStringLiteral("hashed")).exitCode, 0);
    QCOMPARE(finding(run(QStringLiteral("closed"))), modFindings::ConnectionRefused);
}

void tst_SshLogin::changedHostKeyNeedsReplaceAndKeyRotates()
{
    stopShared();
    QVERIFY2(m_sshd->restart(true), qPrintable(m_sshd->error()));
    QCOMPARE(finding(run(QStringLiteral("plain"))), modFindings::HostKeyChanged);
    const VoRun refused = trust({QStringLiteral("plain"), QStringLiteral("--yes")});
    QVERIFY(refused.status == 1 && refused.err.contains("CHANGED"));
    QCOMPARE(finding(run(QStringLiteral("plain"))), modFindings::HostKeyChanged);
    QCOMPARE(trust({QStringLiteral("--replace"), QStringLiteral("plain"), QStringLiteral("--yes")}).status, 0);
    QCOMPARE(run(QStringLiteral("plain")).exitCode, 0);
    // Another name of the same server keeps the old key, and its own connection.
    QCOMPARE(finding(run(QStringLiteral("asroot"))), modFindings::HostKeyChanged);

    const VoRun rotated = vo({QStringLiteral("engine"), QStringLiteral("key"), QStringLiteral("--rotate")});
    QVERIFY(rotated.out.startsWith("ssh-ed25519 ") && rotated.out != m_publicKey);
    QFile old(m_home.filePath(QStringLiteral("ssh/console_ed25519.old.pub")));
    QVERIFY(old.open(QIODevice::ReadOnly) && old.readAll().trimmed() == m_publicKey.trimmed());
}

QTEST_GUILESS_MAIN(tst_SshLogin)
#include "tst_SshLogin.moc"

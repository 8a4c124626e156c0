#include "support/SshdServer.h"
#include "support/TestRegistry.h"
#include "support/VoProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// vo engine key and vo engine trust against a test sshd on 127.0.0.1.
class tst_voEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void keyIsMadeOnceAndRotated();
    void trustAsksAndRefusesChangedKeys();

private:
    QTemporaryDir m_home;
    std::unique_ptr<TestRegistry> m_registry;
    std::unique_ptr<SshdServer> m_sshd;
};

void tst_voEngine::initTestCase()
{
    qputenv("VARNO_OSK_SSH_FOLDER", m_home.filePath(QStringLiteral("ssh")).toUtf8());
    m_registry = std::make_unique<TestRegistry>();
}

void tst_voEngine::cleanupTestCase()
{
    if (m_sshd)
        m_sshd->stop();
    qunsetenv("VARNO_OSK_SSH_FOLDER");
}

void tst_voEngine::keyIsMadeOnceAndRotated()
{
    const VoRun first = vo({QStringLiteral("engine"), QStringLiteral("key")});
    QCOMPARE(first.status, 0);
    QVERIFY(first.out.startsWith("ssh-ed25519 "));
    QCOMPARE(vo({QStringLiteral("engine"), QStringLiteral("key")}).out, first.out);
    const VoRun rotated = vo({QStringLiteral("engine"), QStringLiteral("key"), QStringLiteral("--rotate")});
    QCOMPARE(rotated.status, 0);
    QVERIFY(rotated.out.startsWith("ssh-ed25519 ") && rotated.out != first.out);
    QFile old(m_home.filePath(QStringLiteral("ssh/console_ed25519.old.pub")));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll().trimmed(), first.out.trimmed());
}

void tst_voEngine::trustAsksAndRefusesChangedKeys()
{
    const QString why = SshdServer::unavailable();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    m_sshd = std::make_unique<SshdServer>();
    QVERIFY2(m_sshd->start(), qPrintable(m_sshd->error()));
    const QString config = writeFile(m_home.filePath(QStringLiteral("ssh_config")),
        "Host pc1\n  HostName 127.0.0.1\n  Port " + QByteArray::number(m_sshd->port()) + "\n");
    QCOMPARE(vo({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("SshConfig"), config}).status, 0);

    const QStringList trust {QStringLiteral("engine"), QStringLiteral("trust"), QStringLiteral("pc1")};
    VoRun result = vo(trust, "no\n");
    QCOMPARE(result.status, 1);
    QVERIFY(result.out.contains("ssh-ed25519 SHA256:") && result.out.contains("Not recorded"));
    QVERIFY(!QFile::exists(m_home.filePath(QStringLiteral("ssh/known_hosts"))));
    result = vo(trust, "yes\n");
    QVERIFY2(result.status == 0, result.err.constData());
    QVERIFY(vo(trust + QStringList {QStringLiteral("--yes")}).out.contains("Already trusted."));

    QVERIFY2(m_sshd->restart(true), qPrintable(m_sshd->error()));
    result = vo(trust + QStringList {QStringLiteral("--yes")});
    QCOMPARE(result.status, 1);
    QVERIFY(result.err.contains("CHANGED"));
    result = vo(
        {QStringLiteral("engine"), QStringLiteral("trust"), QStringLiteral("--replace"), QStringLiteral("pc1"), QStringLiteral("--yes")});
    QVERIFY2(result.status == 0, result.err.constData());
    QVERIFY(vo(trust, "").out.contains("Already trusted."));
}

QTEST_GUILESS_MAIN(tst_voEngine)
#include "tst_voEngine.moc"

#include "enginehost/SshDeliveryPlan.h"
#include "enginehost/TransferorWorker.h"
#include "protocol/modFindings.h"
#include "protocol/modProtocol.h"
#include "protocol/modRunFile.h"
#include "ssh/ConsoleKey.h"
#include "ssh/KnownHosts.h"
#include "support/SshdServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/stat.h>

namespace {

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray runFileFor(const char *computer)
{
    modRunFile::RunFile file;
    file.protocol = 1;
    file.mode = "check";
    file.token = std::string(2 * modProtocol::TokenBytes, 'a');
    file.fingerprint = std::string(64, 'b');
    file.reportingPeriod = file.keepAliveIncrement = 1;
    file.clientLog = "varnoosk.log";
    file.clientStatus = "varnoosk.sts";
    file.run = "r1";
    file.computer = computer;
    return QByteArray::fromStdString(modRunFile::Compose(file));
}

} // namespace

// The real client service delivered, started and collected through ssh to a
// test sshd on 127.0.0.1, by a transferor as the engine runs it.
class tst_SshDelivery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void deliversStartsAndCollects();
    void unreachableClientIsDiagnosed();

private:
    TransferorOutcome run(TransferorTask task) { return m_worker->run(task); }

    std::unique_ptr<SshdServer> m_sshd;
    QTemporaryDir m_home {QDir::tempPath() + QStringLiteral("/vo-ssh-XXXXXX")};
    std::unique_ptr<TransferorWorker> m_worker;
    std::unique_ptr<SshDeliveryPlan> m_plan;
    QJsonObject m_settings;
};

void tst_SshDelivery::initTestCase()
{
    const QString why = SshdServer::unavailable();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    m_sshd = std::make_unique<SshdServer>();
    QVERIFY2(m_sshd->start(), qPrintable(m_sshd->error()));
    // The console's key and known hosts of this test only.
    qputenv("VARNO_OSK_SSH_FOLDER", m_home.filePath(QStringLiteral("ssh")).toUtf8());
    ConsoleKey key;
    QVERIFY2(m_sshd->authorize(key.publicKey()), qPrintable(key.error()));
    const QByteArray config = "Host pc1\n  HostName 127.0.0.1\n  User root\n  Port " + QByteArray::number(m_sshd->port())
        + "\nHost pc2\n  HostName 127.0.0.1\n  Port " + QByteArray::number(SshdServer::freePort()) + "\n";
    QVERIFY(writeFile(m_home.filePath(QStringLiteral("ssh_config")), config));

    m_settings = {{"SourcePath", QFileInfo(QStringLiteral(VO_CLIENT_PROGRAM)).absolutePath()},
        {"DestPath", m_sshd->clientRoot() + QStringLiteral("/drop")}, {"SshConfig", m_home.filePath(QStringLiteral("ssh_config"))},
        {"LogPath", m_home.filePath(QStringLiteral("results"))}};
    qputenv("VARNO_OSK_SSH_TIMEOUT", "5");
    m_plan = std::make_unique<SshDeliveryPlan>(m_settings);
    KnownHosts known(KnownHosts::defaultFile(), m_plan->client());
    KnownHosts::Scan scan;
    QVERIFY2(known.scan(QStringLiteral("pc1"), scan) && known.record(scan, false), qPrintable(known.error()));
    m_worker = std::make_unique<TransferorWorker>(1, m_home.filePath(QStringLiteral("transferor.log")));
}

void tst_SshDelivery::cleanupTestCase()
{
    m_plan.reset();
    if (m_sshd)
        m_sshd->stop();
    qunsetenv("VARNO_OSK_SSH_FOLDER");
}

void tst_SshDelivery::deliversStartsAndCollects()
{
    const QByteArray runFile = runFileFor("pc1");
    // The default login would be refused: the configuration's User is root.
    const modEngineLink::JobClient pc {1, QStringLiteral("pc1"), QStringLiteral("vo-nobody"), {{"varnoosk.cfg", "not scrambled"}}};

    TransferorTask task = m_plan->deliver(pc, runFile);
    const TransferorStep start = task.steps.takeLast();
    QCOMPARE(start.name, QStringLiteral("start"));
    TransferorOutcome outcome = run(task);
    QVERIFY2(outcome.ok, outcome.results.last().error.constData());
    const QString drop = m_sshd->clientRoot() + QStringLiteral("/drop/");
    QCOMPARE(readFile(drop + QStringLiteral("varnoosk.run")), runFile);
    struct stat info
    {
    };
    QCOMPARE(::stat(QFile::encodeName(drop + QStringLiteral("varnoosk.cfg")).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
    task.steps = {task.steps.first()};
    outcome = run(task);
    QCOMPARE(outcome.results.value(0).output, QByteArray(VO_VERSION_STRING "\n"));

    // The service refuses the unscrambled file, says so in its log and
    // removes its secrets and itself.
    task.steps = {start};
    QVERIFY(run(task).ok);
    QDeadlineTimer deadline(15000);
    while (QFile::exists(drop + QStringLiteral("varnoosk.run")) && !deadline.hasExpired())
        QThread::msleep(50);
    const QString log = m_home.filePath(QStringLiteral("pc1.log"));
    const QString status = m_home.filePath(QStringLiteral("pc1.sts"));
    outcome = run(m_plan->collect(pc, log, status));
    QVERIFY2(outcome.ok, outcome.results.last().error.constData());
    QVERIFY(readFile(log).contains("Refused"));
    QVERIFY(readFile(status).contains("STATUS=PE"));
    QVERIFY(m_plan->cleanedUp(outcome));

    QVERIFY(writeFile(drop + QStringLiteral("varnoosk.run"), runFile));
    QVERIFY(!m_plan->cleanedUp(run(m_plan->collect(pc, log + QStringLiteral("2"), status + QStringLiteral("2")))));
}

void tst_SshDelivery::unreachableClientIsDiagnosed()
{
    const TransferorOutcome outcome = run(m_plan->deliver({2, QStringLiteral("pc2"), QStringLiteral("root"), {}}, runFileFor("pc2")));
    QVERIFY(!outcome.ok);
    QString reason;
    QCOMPARE(m_plan->diagnose(outcome, reason), modFindings::ConnectionRefused);
    QVERIFY2(reason.contains(QLatin1String("port")), qPrintable(reason));
}

QTEST_GUILESS_MAIN(tst_SshDelivery)
#include "tst_SshDelivery.moc"

#include "enginehost/SshDeliveryPlan.h"
#include "enginehost/TransferorWorker.h"
#include "protocol/modFindings.h"
#include "protocol/modProtocol.h"
#include "protocol/modRunFile.h"
#include "ssh/ConsoleKey.h"
#include "ssh/KnownHosts.h"
#include "support/ClientTestMode.h"
#include "support/SshdServer.h"
#include "support/VoProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <map>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray runFileFor(const char *computer)
{
    const modRunFile::RunFile file {1, "check", std::string(2 * modProtocol::TokenBytes, 'a'), std::string(64, 'b'), 1, 1, "varnoosk.log",
        "varnoosk.sts", "r1", computer};
    return QByteArray::fromStdString(modRunFile::Compose(file));
}

} // namespace

// The real client service delivered, started and collected through ssh to a
// test sshd on 127.0.0.1, by a transferor as the engine runs it.
class tst_SshDelivery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deliversStartsAndCollects();
    void aLoginThatIsNotRoot();
};

void tst_SshDelivery::deliversStartsAndCollects()
{
    const QString why = SshdServer::unavailable();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    ClientTestMode testMode;
    QVERIFY2(testMode.problem().isEmpty(), qPrintable(testMode.problem()));
    SshdServer sshd;
    sshd.setClientRoot(testMode.root(QStringLiteral("pc1")));
    QVERIFY2(sshd.start(), qPrintable(sshd.error()));
    // The console's key and known hosts of this test only.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/vo-ssh-XXXXXX"));
    qputenv("VARNO_OSK_SSH_FOLDER", home.filePath(QStringLiteral("ssh")).toUtf8());
    qputenv("VARNO_OSK_SSH_TIMEOUT", "5");
    const auto restore = qScopeGuard([] { qunsetenv("VARNO_OSK_SSH_FOLDER"); qunsetenv("VARNO_OSK_SSH_TIMEOUT"); });
    ConsoleKey key;
    QVERIFY2(sshd.authorize(key.publicKey()), qPrintable(key.error()));
    const QString config = writeFile(home.filePath(QStringLiteral("ssh_config")),
        "Host pc1\n  HostName 127.0.0.1\n  User root\n  Port " + QByteArray::number(sshd.port())
            + "\nHost pc2\n  HostName 127.0.0.1\n  Port " + QByteArray::number(SshdServer::freePort()) + "\n");
    SshDeliveryPlan plan({{"SourcePath", QFileInfo(QStringLiteral(VO_CLIENT_PROGRAM)).absolutePath()},
        {"DestPath", sshd.clientRoot() + QStringLiteral("/drop")}, {"SshConfig", config}});
    KnownHosts known(KnownHosts::defaultFile(), plan.client());
    KnownHosts::Scan scan;
    QVERIFY2(known.scan(QStringLiteral("pc1"), scan) && known.record(scan, false), qPrintable(known.error()));
    TransferorWorker worker(1, home.filePath(QStringLiteral("transferor.log")));
    const auto run = [&worker](const TransferorTask &task) { return worker.run(task); };

    const QByteArray runFile = runFileFor("pc1");
    // The default login would be refused: the configuration's User is root.
    const modEngineLink::JobClient pc {1, QStringLiteral("pc1"), QStringLiteral("vo-nobody"), {{"varnoosk.cfg", "not scrambled"}}};

    TransferorTask task = plan.deliver(pc, runFile);
    const TransferorStep start = task.steps.takeLast();
    QCOMPARE(start.name, QStringLiteral("start"));
    TransferorOutcome outcome = run(task);
    QVERIFY2(outcome.ok, outcome.results.last().error.constData());
    const QString drop = sshd.clientRoot() + QStringLiteral("/drop/");
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
    // removes its secrets and itself. One that the client's package
    // installed, of this version, runs instead of the copy, which goes.
    const QString installed = QStringLiteral(VO_CLIENT_PROGRAM_INSTALLED);
    QVERIFY(QDir().mkpath(QFileInfo(installed).absolutePath()) && QFile::copy(QStringLiteral(VO_CLIENT_PROGRAM), installed));
    const auto uninstall = qScopeGuard([installed] { QFile::remove(installed); });
    task.steps = {start};
    outcome = run(task);
    QVERIFY(outcome.ok && outcome.results.value(0).output.contains("the installed " + QFile::encodeName(installed)));
    QVERIFY(!QFile::exists(drop + QLatin1String(SshDeliveryPlan::ClientProgram)));
    QCOMPARE(readFile(drop + QLatin1String(SshDeliveryPlan::StartRecord)), QByteArray("root\n"));
    QDeadlineTimer deadline(15000);
    while (QFile::exists(drop + QStringLiteral("varnoosk.run")) && !deadline.hasExpired())
        QThread::msleep(50);
    const QString log = home.filePath(QStringLiteral("pc1.log"));
    const QString status = home.filePath(QStringLiteral("pc1.sts"));
    outcome = run(plan.collect(pc, log, status));
    QVERIFY2(outcome.ok, outcome.results.last().error.constData());
    QVERIFY(readFile(log).contains("Refused"));
    QVERIFY(readFile(status).contains("STATUS=PE"));
    QVERIFY(plan.cleanedUp(outcome));
    QVERIFY(!QFile::exists(drop + QLatin1String(SshDeliveryPlan::StartRecord)));

    // Each of these left behind is a collection that cannot confirm its clean-up.
    const QString units = sshd.clientRoot() + QStringLiteral("/etc/systemd/system/");
    QVERIFY(QDir().mkpath(units + QStringLiteral("multi-user.target.wants")));
    int round = 0;
    for (const QString &left : {drop + QStringLiteral("varnoosk.run"), units + QLatin1String(modRunFile::ResumeUnit.data()),
             units + QStringLiteral("multi-user.target.wants/") + QLatin1String(modRunFile::ResumeUnit.data())}) {
        // The unit's link dangles once the unit is gone.
        QVERIFY(
            left.contains(QStringLiteral(".wants/")) ? QFile::link(QStringLiteral("/nowhere"), left) : !writeFile(left, runFile).isEmpty());
        const QString again = log + QString::number(++round);
        QVERIFY2(!plan.cleanedUp(run(plan.collect(pc, again, again + QStringLiteral(".sts")))), qPrintable(left));
        QVERIFY(QFile::remove(left));
    }

    outcome = run(plan.deliver({2, QStringLiteral("pc2"), QStringLiteral("root"), {}}, runFileFor("pc2")));
    QVERIFY(!outcome.ok);
    QString reason;
    QCOMPARE(plan.diagnose(outcome, reason), modFindings::ConnectionRefused);
    QVERIFY2(reason.contains(QLatin1String("port")), qPrintable(reason));
}

// The start step of a login that is not root, run here by the shell instead
// of ssh, with an `id` that says uid 1000 and a `sudo` that records how it
// was called: through sudo where sudo allows it, and the collection reads
// root's working folder then; the login's own where sudo refuses.
void tst_SshDelivery::aLoginThatIsNotRoot()
{
    if (::geteuid() != 0)
        QSKIP("the client's test-mode file needs root");
    ClientTestMode testMode;
    QVERIFY2(testMode.problem().isEmpty(), qPrintable(testMode.problem()));
    const QString root = testMode.root(QStringLiteral("pc1"));
    QTemporaryDir home;
    qputenv("VARNO_OSK_SSH_FOLDER", home.filePath(QStringLiteral("ssh")).toUtf8());
    const auto restore = qScopeGuard([] { qunsetenv("VARNO_OSK_SSH_FOLDER"); });
    const QString bin = home.filePath(QStringLiteral("bin/"));
    const QString drop = home.filePath(QStringLiteral("ADMIN$/"));
    const QString ran = home.filePath(QStringLiteral("ran"));
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(drop) && QDir().mkpath(root + QStringLiteral("/etc")));
    QVERIFY(!writeFile(root + QStringLiteral("/etc/passwd"), "admin:x:1000:1000::/home/admin:/bin/sh\n").isEmpty());
    const std::map<QString, QByteArray> programs {{bin + QStringLiteral("id"), "[ \"$1\" = -un ] && echo admin || echo 1000"},
        {bin + QStringLiteral("systemd-run"), "exit 1"},
        {bin + QStringLiteral("sudo"),
            "[ -e \"$HOME/refuse\" ] && exit 1; [ \"$2\" = -l ] && exit 0; echo sudo \"$@\" >> \"$HOME/ran\"; "
            "shift 2; exec \"$@\""},
        {drop + QLatin1String(SshDeliveryPlan::ClientProgram), "echo client \"$@\" >> \"$HOME/ran\""}};
    for (const auto &[path, script] : programs)
        QVERIFY(
            !writeFile(path, "#!/bin/sh\n" + script + "\n").isEmpty() && QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner));
    SshDeliveryPlan plan({{"DestShare", "ADMIN$"}});
    const QString start = plan.deliver({1, QStringLiteral("pc1"), QStringLiteral("admin"), {}}, runFileFor("pc1")).steps.last().argv.last();
    const QString where = QStringLiteral("cd || exit 1; ")
        + SshDeliveryPlan::workingFolderScript("r1", QStringLiteral("pc1"), SshClient::quote(plan.dropFolder()))
        + QStringLiteral("printf %s \"$w\"");
    QProcess shell;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("PATH"), bin + QStringLiteral(":/usr/bin:/bin"));
    shell.setProcessEnvironment(environment);
    const auto sh = [&shell](const QString &command) {
        shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
        return shell.waitForFinished(10000) ? shell.readAllStandardOutput() : QByteArray();
    };
    const QByteArray program = QFile::encodeName(drop + QLatin1String(SshDeliveryPlan::ClientProgram));
    const QByteArray folder = QFile::encodeName(home.filePath(QStringLiteral("ADMIN$")));

    QVERIFY(sh(start).contains("through sudo"));
    QTRY_COMPARE(readFile(ran), "sudo -n -- " + program + ' ' + folder + "\nclient " + folder + '\n');
    // Root's folder is closed to the login: the log and status come from the drop folder.
    QCOMPARE(sh(where), QFile::encodeName(plan.dropFolder()));

    QVERIFY(QFile::remove(ran) && !writeFile(home.filePath(QStringLiteral("refuse")), {}).isEmpty());
    QVERIFY(sh(start).contains("sudo -n refused"));
    QTRY_COMPARE(readFile(ran), "client " + folder + '\n');
    QCOMPARE(sh(where), QFile::encodeName(root + QStringLiteral("/home/admin/.local/state/varno-osk/r1-pc1")));
}

QTEST_GUILESS_MAIN(tst_SshDelivery)
#include "tst_SshDelivery.moc"

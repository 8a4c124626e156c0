#include "protocol/modFindings.h"
#include "protocol/modProtocol.h"
#include "protocol/modRunFile.h"
#include "protocol/modScrambleCore.h"

#include "support/ClientTestMode.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>

#include <QRandomGenerator>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using modProtocol::Kind;

namespace {

const QString kToken = QString(64, 'c');

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// The console's listener as the client meets it: welcomes a good Hello,
// answers Bye with Ended, and sends Cancel or Abort where a case asks.
struct Listener
{
    QSslServer server;
    QList<modProtocol::Frame> frames;
    bool cancelWithWelcome = false;
    bool abortOnFinding = false;
    modProtocol::FrameReader reader;

    void onData(QSslSocket *socket)
    {
        const QByteArray bytes = socket->readAll();
        reader.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        modProtocol::Frame frame;
        while (reader.next(frame) == modProtocol::FrameReader::Result::Ready) {
            frames.append(frame);
            auto say = [&](Kind kind, std::vector<std::string> fields = {}) {
                socket->write(QByteArray::fromStdString(modProtocol::Encode({kind, std::move(fields)})));
            };
            if (frame.kind == Kind::Hello && frame.fields[2] == kToken.toStdString()) {
                say(Kind::Welcome, {std::to_string(modProtocol::Version), "check"});
                if (cancelWithWelcome)
                    say(Kind::Cancel);
            } else if (frame.kind == Kind::Finding && abortOnFinding) {
                say(Kind::Abort);
                abortOnFinding = false;
            } else if (frame.kind == Kind::Bye) {
                say(Kind::Ended);
            }
        }
    }

    QStringList fields(Kind kind, int field) const
    {
        QStringList out;
        for (const modProtocol::Frame &frame : frames) {
            if (frame.kind == kind)
                out << QString::fromStdString(frame.fields[static_cast<std::size_t>(field)]);
        }
        return out;
    }
};

} // namespace

class tst_ClientService : public QObject
{
    Q_OBJECT


    // A computer with one profile of a few thousand files, for the client
    // program's own runs; the drop folder filled for `mode`.
    struct Computer
    {
        QString root;
        QString drop;
        QString folder;
    };

    bool prepare(Computer &pc, const ClientTestMode &testMode, quint16 port, const std::string &mode, const std::string &extra = {})
    {
        pc.root = testMode.root("PC2");
        pc.drop = pc.root + "/root/drop";
        pc.folder = QString::fromStdString(modRunFile::WorkingFolder(pc.root.toStdString(), true, {}, "job", "PC2"));
        if (!QFileInfo::exists(pc.root + "/etc/passwd")) {
            if (!writeFile(pc.root + "/etc/passwd",
                    "root:x:0:0::/root:/bin/sh\nalice:x:2001:2001::/home/alice:/bin/sh\nalice2:x:3001:3001::/home/alice2:/bin/sh\n")
                || !writeFile(pc.root + "/etc/group", "alice:x:2001:\nalice2:x:3001:\n") || !QDir().mkpath(pc.root + "/proc"))
                return false;
            for (int i = 0; i < 3000; ++i) {
                const QString file = pc.root + QStringLiteral("/home/alice/d%1/f%2").arg(i % 37).arg(i);
                if (!writeFile(file, "x"))
                    return false;
            }
            QDirIterator it(pc.root + "/home/alice", QDirIterator::Subdirectories);
            if (::chown((pc.root + "/home/alice").toLocal8Bit(), 2001, 2001) != 0)
                return false;
            while (it.hasNext())
                if (::lchown(it.next().toLocal8Bit(), 2001, 2001) != 0)
                    return false;
            // The reboot tool records, like the realm's.
            if (!writeFile(pc.root + "/usr/bin/systemctl", "#!/bin/sh\necho \"$*\" >> \"$0.asked\"\n")
                || !QFile::setPermissions(pc.root + "/usr/bin/systemctl", QFile::ReadOwner | QFile::ExeOwner))
                return false;
        }
        const std::string config = "VERSION=00002\r\nCONSOLEIP=127.0.0.1\r\nCONSOLEPORT=" + std::to_string(port)
            + "\r\nCOMPUTERNAME=PC2\r\nSOURCEUSER=alice\r\nSOURCEUSERDOM=*LOCAL ACCOUNT*\r\nDESTUSER=alice2\r\n"
              "DESTUSERDOM=*LOCAL ACCOUNT*\r\nPROFILEACTIONS=0\r\nREMOVEDESTPROFILE=0\r\nMINFREESPACE=1\r\n"
            + extra;
        modRunFile::RunFile runFile;
        runFile.protocol = modProtocol::Version;
        runFile.mode = mode;
        runFile.token = kToken.toStdString();
        runFile.fingerprint = m_fingerprint.toStdString();
        runFile.reportingPeriod = 2;
        runFile.keepAliveIncrement = 3;
        runFile.clientLog = "varnoosk.log";
        runFile.clientStatus = "varnoosk.sts";
        runFile.run = "job";
        runFile.computer = "PC2";
        QFile::remove(pc.drop + "/varno-osk-client");
        return writeFile(pc.drop + "/varnoosk.cfg", QByteArray::fromStdString(modScrambleCore::Scramble(config, [] { return 0.3; })))
            && writeFile(pc.drop + "/varnoosk.run", QByteArray::fromStdString(modRunFile::Compose(runFile)))
            && QFile::copy(VO_CLIENT_PROGRAM, pc.drop + "/varno-osk-client");
    }

    // The profile's owners, one line a file.
    static QStringList owners(const QString &root)
    {
        QStringList out;
        QDirIterator it(root + "/home", QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            struct stat info
            {
            };
            ::lstat(file.toLocal8Bit(), &info);
            out << QStringLiteral("%1 %2:%3").arg(file.mid(root.size())).arg(info.st_uid).arg(info.st_gid);
        }
        out.sort();
        return out;
    }

    // One run of the client program in `mode`, to its end.
    bool runClient(Computer &pc, const ClientTestMode &testMode, quint16 port, const std::string &mode)
    {
        if (!prepare(pc, testMode, port, mode))
            return false;
        QProcess client;
        client.start(pc.drop + "/varno-osk-client", {pc.drop});
        return finish(client);
    }

    void startListener(Listener &listener)
    {
        listener.server.setSslConfiguration(m_configuration);
        connect(&listener.server, &QSslServer::pendingConnectionAvailable, this, [&listener] {
            auto *socket = qobject_cast<QSslSocket *>(listener.server.nextPendingConnection());
            connect(socket, &QSslSocket::readyRead, socket, [&listener, socket] { listener.onData(socket); });
        });
        QVERIFY(listener.server.listen(QHostAddress::LocalHost, 0));
    }

    // Runs the client to its end; false when it did not end in time.
    static bool finish(QProcess &client)
    {
        // The listener answers on this thread: the wait keeps its events going.
        QDeadlineTimer deadline(60000);
        while (client.state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(10);
        return client.state() == QProcess::NotRunning;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_keys.isValid());
        QProcess openssl;
        openssl.setWorkingDirectory(m_keys.path());
        openssl.start("openssl",
            {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "key.pem", "-out",
                "cert.pem", "-days", "1", "-subj", "/CN=console"});
        QVERIFY(openssl.waitForFinished(30000) && openssl.exitCode() == 0);
        const QList<QSslCertificate> certificates = QSslCertificate::fromPath(m_keys.filePath("cert.pem"));
        QFile key(m_keys.filePath("key.pem"));
        QVERIFY(certificates.size() == 1 && key.open(QIODevice::ReadOnly));
        m_configuration.setLocalCertificate(certificates.first());
        m_configuration.setPrivateKey(QSslKey(&key, QSsl::Ec));
        m_configuration.setProtocol(QSsl::TlsV1_3OrLater);
        m_fingerprint = certificates.first().digest(QCryptographicHash::Sha256).toHex();
    }

    // A test-mode file that someone besides root could have written puts
    // the service in no mode at all: it refuses to run.
    void untrustedTestModeFile()
    {
        ClientTestMode testMode;
        if (!testMode.problem().isEmpty())
            QSKIP(qPrintable(testMode.problem()));
        QVERIFY(QFile::setPermissions(VO_CLIENT_CONF, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup));
        QTemporaryDir drop;
        QProcess client;
        client.start(VO_CLIENT_PROGRAM, {drop.path()});
        QVERIFY(client.waitForFinished(10000));
        QCOMPARE(client.exitCode(), 2);
        QVERIFY2(client.readAllStandardError().contains("refused: " VO_CLIENT_CONF " is not a small file that only root may change"),
            "no refusal");
    }

    void run_data()
    {
        QTest::addColumn<QString>("pin");
        QTest::addColumn<int>("cfgBytes");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("abort");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QString>("logged");
        QTest::newRow("clean check") << "" << 0 << false << false << 0 << QStringList {"CL", "PE"}
                                     << QList<int> {modFindings::MembershipAsExpected, modFindings::ProfileInUse,
                                            modFindings::DestinationAccountMissing, modFindings::SourceAccountFound,
                                            modFindings::DestinationAccountFound, modFindings::SourceAccountMissing,
                                            modFindings::DestinationAccountMissing, modFindings::ProfileFolderMissing,
                                            modFindings::DestinationAccountMissing, modFindings::DiskSpaceEnough,
                                            modFindings::RebootNotAllowed, modFindings::CheckComplete}
                                     << "Status PE";
        QTest::newRow("wrong certificate") << QString(64, '0') << 0 << false << false << 3 << QStringList {} << QList<int> {}
                                           << "is not the one of this run";
        QTest::newRow("cancel before work") << "" << 0 << true << false << 0 << QStringList {"XC"} << QList<int> {} << "Status XC";
        // The realm step takes a second, so the abort sent on the first finding arrives
        // while the realm tool runs: the tool is stopped, and what it would have said is no finding.
        QTest::newRow("abort while a tool runs") << "" << 0 << false << true << 0 << QStringList {"CL", "XA"} << QList<int> {}
                                                 << "Abort requested";
        QTest::newRow("oversized configuration")
            << "" << 2 * 1024 * 1024 << false << false << 2 << QStringList {} << QList<int> {} << "at most 1048576";
    }
    void run()
    {
        QFETCH(QString, pin);
        QFETCH(int, cfgBytes);
        QFETCH(bool, cancel);
        QFETCH(bool, abort);
        QFETCH(int, exitCode);
        QFETCH(QStringList, statuses);
        QFETCH(QList<int>, codes);
        QFETCH(QString, logged);

        Listener listener;
        listener.cancelWithWelcome = cancel;
        listener.abortOnFinding = abort;
        listener.server.setSslConfiguration(m_configuration);
        connect(&listener.server, &QSslServer::pendingConnectionAvailable, this, [&listener] {
            auto *socket = qobject_cast<QSslSocket *>(listener.server.nextPendingConnection());
            connect(socket, &QSslSocket::readyRead, socket, [&listener, socket] { listener.onData(socket); });
        });
        QVERIFY(listener.server.listen(QHostAddress::LocalHost, 0));

        ClientTestMode testMode;
        if (!testMode.problem().isEmpty())
            QSKIP(qPrintable(testMode.problem()));
        const QString root = testMode.root("PC1");
        const QString drop = root + "/home/runner/drop";
        const QString passwd = QStringLiteral("root:x:0:0::/root:/bin/sh\nrunner:x:%1:100::/home/runner:/bin/sh\n"
                                              "alice:x:2001:100::/home/alice:/bin/sh\ncarol:x:2002:100::/home/carol:/bin/sh\n"
                                              "dave:x:2003:100::/home/dave:/bin/sh\nfrank:x:2004:100::/home/frank:/bin/sh\n")
                                   .arg(::getuid());
        QVERIFY(writeFile(root + "/etc/passwd", passwd.toUtf8()));
        QVERIFY(QDir().mkpath(root + "/home/alice") && QDir().mkpath(root + "/home/carol"));
        QVERIFY(writeFile(root + "/proc/4242/status", "Name:\tbash\nUid:\t2001\t2001\t2001\t2001\n"));
        QVERIFY(writeFile(root + "/usr/sbin/realm", "#!/bin/sh\nsleep 1\necho old.example\n"));
        QVERIFY(QFile::setPermissions(root + "/usr/sbin/realm", QFile::ReadOwner | QFile::ExeOwner));

        const std::string config = "VERSION=00002\r\nCONSOLEIP=127.0.0.1\r\nCONSOLEPORT=" + std::to_string(listener.server.serverPort())
            + "\r\nCOMPUTERNAME=PC1\r\nSOURCEUSER=alice,carol,ghost,frank\r\nSOURCEUSERDOM=old.example\r\n"
              "DESTUSER=alice2,dave,erin,gina\r\nDESTUSERDOM=*LOCAL ACCOUNT*\r\nJOINDOMAIN=new.example\r\nMINFREESPACE=1\r\n"
              "REBOOTPERM=0\r\n";
        const std::string scrambled
            = cfgBytes ? std::string(static_cast<std::size_t>(cfgBytes), 'S') : modScrambleCore::Scramble(config, [] { return 0.3; });
        QVERIFY(writeFile(drop + "/varnoosk.cfg", QByteArray::fromStdString(scrambled)));
        modRunFile::RunFile runFile;
        runFile.protocol = modProtocol::Version;
        runFile.mode = "check";
        runFile.token = kToken.toStdString();
        runFile.fingerprint = pin.isEmpty() ? m_fingerprint.toStdString() : pin.toStdString();
        runFile.reportingPeriod = 2;
        runFile.keepAliveIncrement = 3;
        runFile.clientLog = "varnoosk.log";
        runFile.clientStatus = "varnoosk.sts";
        runFile.run = "job";
        runFile.computer = "PC1";
        QVERIFY(writeFile(drop + "/varnoosk.run", QByteArray::fromStdString(modRunFile::Compose(runFile))));
        QVERIFY(QFile::copy(VO_CLIENT_PROGRAM, drop + "/varno-osk-client"));

        QProcess client;
        client.start(drop + "/varno-osk-client", {drop});
        QVERIFY(client.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(client.state() == QProcess::NotRunning, 60000);
        QCOMPARE(client.exitCode(), exitCode);

        const QString folder = QString::fromStdString(
            modRunFile::WorkingFolder(root.toStdString(), ::geteuid() == 0, (root + "/home/runner").toStdString(), "job", "PC1"));
        QFile log(folder + "/varnoosk.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray logText = log.readAll();
        QVERIFY2(logText.contains(logged.toUtf8()), logText.constData());
        QCOMPARE(listener.fields(Kind::Status, 0), statuses);
        // The realm step is long: the client asks for its keep-alive increment first.
        QCOMPARE(listener.fields(Kind::KeepAlive, 0).contains("3"), statuses.startsWith("CL"));
        QStringList found = listener.fields(Kind::Finding, 0);
        found.removeAll(QString::number(modFindings::RightsEnough));
        found.removeAll(QString::number(modFindings::RightsMissing));
        QStringList expected;
        for (const int code : codes)
            expected << QString::number(code);
        QCOMPARE(found, expected);
        for (const char *name : {"varnoosk.cfg", "varnoosk.run", "varno-osk-client"}) {
            QVERIFY2(!QFile::exists(drop + "/" + name), name);
            QVERIFY2(!QFile::exists(folder + "/" + name), name);
        }
        QCOMPARE(QFileInfo(folder).permissions() & 0x0077, QFile::Permissions());
    }


    // A migration that may reboot: the client asks for more time, installs
    // its resume unit and reboots through the computer's tool; the unit's
    // command then reconnects with the same token and reports the end, and
    // the unit is gone.
    void rebootAndResume()
    {
        ClientTestMode testMode;
        if (!testMode.problem().isEmpty())
            QSKIP(qPrintable(testMode.problem()));
        Listener listener;
        startListener(listener);
        Computer pc;
        QVERIFY(prepare(pc, testMode, listener.server.serverPort(), "migrate", "REBOOTPERM=1\r\nFORCEREBOOT=0\r\n"));
        QProcess client;
        client.start(pc.drop + "/varno-osk-client", {pc.drop});
        QVERIFY(finish(client));
        QCOMPARE(client.exitCode(), 0);
        QCOMPARE(QFile(pc.root + "/usr/bin/systemctl.asked").size(), qint64(7));
        const QString unit = pc.root + "/etc/systemd/system/" + QLatin1String(modRunFile::ResumeUnit.data());
        const QByteArray unitText = [&] { QFile f(unit); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); }();
        QVERIFY2(unitText.contains("--resume"), unitText.constData());
        QVERIFY(listener.fields(Kind::Finding, 0).contains(QString::number(modFindings::Rebooting)));
        QVERIFY(listener.fields(Kind::KeepAlive, 0).contains("3"));
        QVERIFY(listener.fields(Kind::Bye, 0).isEmpty());
        // The token and the configuration stay for the resume, 0600 in root's folder.
        QCOMPARE(QFileInfo(pc.folder + "/varnoosk.run").permissions() & 0x0077, QFile::Permissions());

        listener.frames.clear();
        QProcess resumed;
        resumed.start(pc.folder + "/varno-osk-client", {"--resume", pc.folder});
        QVERIFY(finish(resumed));
        QCOMPARE(listener.fields(Kind::Finding, 0).first(), QString::number(modFindings::Resumed));
        QCOMPARE(listener.fields(Kind::Status, 0).last(), QStringLiteral("PS"));
        QVERIFY(!QFileInfo::exists(unit) && !QFileInfo::exists(pc.folder + "/varnoosk.run"));
        QVERIFY(owners(pc.root).contains("/home/alice2/d3/f3 3001:3001"));
    }

    // The client killed at random moments of its migration: the next run on
    // the computer, a rollback or the migration again, leaves the profile
    // wholly old or wholly new every time. VO_KILL_MOMENTS=N plays the same moments again.
    void killedClientEndsWhole()
    {
        ClientTestMode testMode;
        if (!testMode.problem().isEmpty())
            QSKIP(qPrintable(testMode.problem()));
        Listener listener;
        startListener(listener);
        Computer pc;
        QVERIFY(prepare(pc, testMode, listener.server.serverPort(), "migrate"));
        const QStringList before = owners(pc.root);
        QElapsedTimer timer;
        timer.start();
        QProcess client;
        client.start(pc.drop + "/varno-osk-client", {pc.drop});
        QVERIFY(finish(client));
        const qint64 whole = timer.elapsed();
        const QStringList after = owners(pc.root);
        QVERIFY(after != before && after.contains("/home/alice2/d3/f3 3001:3001"));
        QVERIFY(runClient(pc, testMode, listener.server.serverPort(), "rollback"));
        QCOMPARE(owners(pc.root), before);

        const quint32 played = qEnvironmentVariableIsSet("VO_KILL_MOMENTS") ? quint32(qEnvironmentVariableIntValue("VO_KILL_MOMENTS"))
                                                                            : QRandomGenerator::system()->generate();
        QRandomGenerator moments(played);
        int halfWay = 0;
        for (int kill = 0; kill < 50; ++kill) {
            QVERIFY(prepare(pc, testMode, listener.server.serverPort(), "migrate"));
            client.start(pc.drop + "/varno-osk-client", {pc.drop});
            QVERIFY(client.waitForStarted());
            QTest::qWait(int(moments.bounded(qint64(whole) + 1)));
            client.kill();
            QVERIFY(client.state() == QProcess::NotRunning || client.waitForFinished(10000));
            const QStringList killed = owners(pc.root);
            halfWay += killed != before && killed != after ? 1 : 0;
            // Every other time the migration runs again, else a rollback.
            const bool again = kill % 2 == 0;
            QVERIFY(runClient(pc, testMode, listener.server.serverPort(), again ? "migrate" : "rollback"));
            const QStringList now = owners(pc.root);
            QVERIFY2(now == (again ? after : before), qPrintable(QStringLiteral("kill %1 left the profile half moved (again: VO_KILL_MOMENTS=%2)").arg(kill).arg(played)));
            if (again) {
                QVERIFY(runClient(pc, testMode, listener.server.serverPort(), "rollback"));
                QCOMPARE(owners(pc.root), before);
            }
        }
        qInfo("%d of 50 kills came half-way (VO_KILL_MOMENTS=%u, a whole run %lld ms)", halfWay, played, whole);
    }

    // A second instance of a run while the first is at work (here, the
    // test holds the run's lock as the first would) changes nothing; once
    // the lock is free, the run goes ahead.
    void aSecondInstanceOfARunChangesNothing()
    {
        ClientTestMode testMode;
        if (!testMode.problem().isEmpty())
            QSKIP(qPrintable(testMode.problem()));
        Listener listener;
        startListener(listener);
        Computer pc;
        QVERIFY(prepare(pc, testMode, listener.server.serverPort(), "migrate"));
        const QStringList before = owners(pc.root);
        QVERIFY(QDir().mkpath(pc.folder));
        const int held = ::open(QFile::encodeName(pc.folder + "/run.lock").constData(), O_RDWR | O_CREAT, 0600);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
        QProcess client;
        client.start(pc.drop + "/varno-osk-client", {pc.drop});
        QVERIFY(finish(client));
        ::close(held);
        QCOMPARE(owners(pc.root), before);
        QVERIFY(listener.fields(Kind::Finding, 0).contains(QString::number(modFindings::RunAlreadyAtWork)));
        QVERIFY(listener.fields(Kind::Status, 0).contains("PE"));
        QVERIFY(runClient(pc, testMode, listener.server.serverPort(), "migrate"));
        QVERIFY(owners(pc.root) != before);
        QVERIFY(runClient(pc, testMode, listener.server.serverPort(), "rollback"));
        QCOMPARE(owners(pc.root), before);
    }

private:
    QTemporaryDir m_keys;
    QSslConfiguration m_configuration;
    QByteArray m_fingerprint;
};

QTEST_GUILESS_MAIN(tst_ClientService)
#include "tst_ClientService.moc"

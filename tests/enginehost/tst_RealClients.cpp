#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"

#include "job/JobFixture.h"
#include "support/NamespaceLab.h"
#include "support/SshdServer.h"
#include "support/TestRegistry.h"
#include "support/VoProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <map>
#include <memory>

using namespace JobFixture;

// The check on the clients as an administrator runs it, `vo check --clients`,
// against twenty computers of their own: each a network namespace with its
// own sshd and a private root for the client service. Some are switched off
// or cut off in the middle of their check, one runs no sshd, one has a host
// key nobody trusted; the others check themselves and leave nothing behind.
class TestRealClients : public QObject
{
    Q_OBJECT

    enum class Role { Clean, Killed, Cut, NoService, Untrusted };

    static Role role(int n)
    {
        switch (n) {
        case 3:
        case 4:
            return Role::Killed;
        case 5:
        case 6:
            return Role::Cut;
        case 7:
            return Role::NoService;
        case 8:
            return Role::Untrusted;
        default:
            return Role::Clean;
        }
    }

    static constexpr int Clients = 20;

    static QString name(int n) { return QStringLiteral("client-%1").arg(n); }

    // vo on the console's side of the lab, where the listener address is local.
    VoRun vo(const NamespaceLab &lab, const QStringList &arguments) const
    {
        return runProgram(QStringLiteral("ip"), NamespaceLab::exec(lab.engineNamespace()).mid(1) + QStringList {VO_EXECUTABLE} + arguments);
    }

private Q_SLOTS:
    void checkOfTwentyClients()
    {
        if (const QString why = SshdServer::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        NamespaceLab lab(Clients);
        if (!lab.ready())
            QSKIP(qPrintable(lab.problem()));
        QTemporaryDir home;
        // VO_KEEP_HOME=1 keeps the logs of the check for a look afterwards.
        home.setAutoRemove(qEnvironmentVariableIsEmpty("VO_KEEP_HOME"));
        QVERIFY(QDir().mkpath(home.filePath("run"))
            && QFile::setPermissions(home.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", home.filePath("run").toLocal8Bit());
        qputenv("VARNO_OSK_SSH_TIMEOUT", "2");
        TestRegistry registry;

        QByteArray sshConfig;
        for (int n = 1; n <= Clients; ++n)
            sshConfig += "Host " + name(n).toUtf8() + "\n    HostName " + NamespaceLab::ClientAddress(n).toUtf8() + "\n    User root\n";
        const QString configFile = writeFile(home.filePath("ssh_config"), sshConfig);
        for (const auto &[setting, text] :
            std::map<QString, QString> {{"LogPath", home.filePath("logs")}, {"ListenerIP", NamespaceLab::EngineAddress},
                {"ReportingPeriod", "2"}, {"KeepAliveIncrement", "2"}, {"MaxTransferors", "8"}, {"SshConfig", configFile}})
            QVERIFY2(vo(lab, {"config", "set", setting, text}).status == 0, qPrintable(setting));
        const VoRun key = vo(lab, {"engine", "key"});
        QVERIFY2(key.status == 0 && key.out.startsWith("ssh-ed25519 "), key.err.constData());

        std::vector<std::unique_ptr<SshdServer>> servers(Clients + 1);
        QStringList trusted;
        for (int n = 1; n <= Clients; ++n) {
            if (role(n) == Role::NoService)
                continue;
            auto &server = servers[static_cast<size_t>(n)] = std::make_unique<SshdServer>();
            server->placeIn(lab.clientNamespace(n), NamespaceLab::ClientAddress(n));
            QVERIFY2(server->start() && server->authorize(key.out), qPrintable(server->error()));
            // The realm tool of the computer: a slow one for those switched off or cut off meanwhile.
            const QString tools = server->clientRoot() + "/usr/sbin";
            const bool slow = role(n) == Role::Killed || role(n) == Role::Cut;
            QVERIFY(QDir().mkpath(tools));
            QVERIFY(!writeFile(
                tools + "/realm", "#!/bin/sh\ntouch \"$(dirname \"$0\")/asked\"\n" + QByteArray(slow ? "sleep 20\n" : "") + "exit 0\n")
                         .isEmpty());
            QVERIFY(QFile::setPermissions(tools + "/realm", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            if (role(n) != Role::Untrusted)
                trusted << name(n);
        }
        const VoRun trust = vo(lab, QStringList {"engine", "trust", "--yes"} + trusted);
        QVERIFY2(trust.status == 0, trust.err.constData());

        ComputerDB db;
        makeSound(global(db));
        for (int n = 1; n <= Clients; ++n)
            addComputer(db, name(n));
        SettingsFile::SaveOptions options;
        options.JobName = QStringLiteral("Lab");
        QVERIFY(SettingsFile().Save(db, home.filePath("lab.vos.json"), options).ok());

        QProcess check;
        check.start("ip",
            NamespaceLab::exec(lab.engineNamespace()).mid(1)
                + QStringList {VO_EXECUTABLE, "check", home.filePath("lab.vos.json"), "--clients", "--csv", home.filePath("report.csv")});
        // Switched off or cut off once their check is under way.
        QDeadlineTimer deadline(60'000);
        for (int n = 3; n <= 6; ++n) {
            while (!QFile::exists(servers[static_cast<size_t>(n)]->clientRoot() + "/usr/sbin/asked") && !deadline.hasExpired())
                QThread::msleep(50);
            if (role(n) == Role::Killed)
                lab.killClient(n);
            else
                QVERIFY(lab.setLinkUp(n, false));
        }
        QVERIFY(check.waitForFinished(120'000));
        const QByteArray out = check.readAllStandardOutput();
        QFile csv(home.filePath("report.csv"));
        QVERIFY2(csv.open(QIODevice::ReadOnly), out.constData());
        const QByteArray report = csv.readAll();

        // The report in the computers' own words: the codes of their faults.
        const auto codes = [&](int n) {
            QStringList found;
            static const QRegularExpression fault(
                QStringLiteral("^([^,]*),[^,]*,(?:error|warning),(\\d+),"), QRegularExpression::MultilineOption);
            for (auto match = fault.globalMatch(QString::fromUtf8(report)); match.hasNext();) {
                const QRegularExpressionMatch row = match.next();
                if (row.captured(1) == name(n))
                    found << row.captured(2);
            }
            return found;
        };
        for (int n = 1; n <= Clients; ++n) {
            const QStringList found = codes(n);
            const QByteArray seen = (name(n) + QStringLiteral(": ") + found.join(QLatin1Char(' '))).toUtf8();
            switch (role(n)) {
            case Role::Killed:
            case Role::Cut:
                QVERIFY2(found.contains("2010"), seen.constData());
                break;
            case Role::NoService:
                QVERIFY2(found.contains("2002"), seen.constData());
                break;
            case Role::Untrusted:
                QVERIFY2(found.contains("2005"), seen.constData());
                break;
            case Role::Clean: {
                // The account the job names is not on these computers: the client's own finding.
                // Reached and heard to the end: no fault of reaching it or of cleaning up.
                QVERIFY2(found.contains("1001"), seen.constData());
                for (const QString &code : found)
                    QVERIFY2(!code.startsWith("20"), seen.constData());
                // Nothing of the run is left on the computer: no configuration, token or program.
                QDirIterator files(servers[static_cast<size_t>(n)]->clientRoot(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
                while (files.hasNext()) {
                    const QString file = QFileInfo(files.next()).fileName();
                    QVERIFY2(file != "varnoosk.cfg" && file != "varnoosk.run" && file != "varno-osk-client", qPrintable(file));
                }
                break;
            }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestRealClients)
#include "tst_RealClients.moc"

#include "client/LocalComputer.h"

#include "support/VoProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The computer's tools as a test's root holds them: tools that record what
// they are asked, and nothing of this machine's own.
class tst_LocalComputer : public QObject
{
    Q_OBJECT

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static bool tool(const QString &path)
    {
        // Each call: its arguments on a line, then what came on its standard input.
        return QDir().mkpath(QFileInfo(path).path())
            && !writeFile(path, "#!/bin/sh\necho \"$*\" >> \"$0.asked\"\ncat >> \"$0.asked\"\nexit 0\n").isEmpty()
            && QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private Q_SLOTS:
    void realmAndReboot()
    {
        QTemporaryDir root;
        LocalComputer computer(root.path().toStdString());
        std::string problem;
        // Without the test's tools there is nothing to run: never this machine's.
        QVERIFY(!computer.realmToolsPresent() && !computer.reboot(false, problem) && !computer.leaveRealm("old.example", problem));

        QVERIFY(tool(root.filePath("usr/sbin/realm")) && tool(root.filePath("usr/bin/systemctl")));
        QVERIFY(computer.leaveRealm("old.example", problem));
        QVERIFY(computer.joinRealm("new.example", "joiner", "s3cret pass", problem));
        QVERIFY(computer.reboot(false, problem));
        // The password only on standard input.
        QCOMPARE(read(root.filePath("usr/sbin/realm.asked")), QByteArray("leave old.example\njoin --user=joiner new.example\ns3cret pass\n"));
        QCOMPARE(read(root.filePath("usr/bin/systemctl.asked")), QByteArray("reboot\n"));
    }

    // A SID is mapped by the directory client the computer has: SSSD's
    // binding when SSSD is there, else winbind; an answer that is no user
    // id, or no tool at all, maps nothing.
    void sidsMapThroughTheDirectoryClient()
    {
        QTemporaryDir root;
        LocalComputer computer(root.path().toStdString());
        const std::string sid = "S-1-5-21-1-2-3-1104";
        QVERIFY(!computer.uidOfSid(sid));
        const auto answer = [&](const char *path, const QByteArray &script) {
            return QDir().mkpath(QFileInfo(root.filePath(path)).path())
                && !writeFile(root.filePath(path), "#!/bin/sh\necho \"$*\" > \"$0.asked\"\n" + script).isEmpty()
                && QFile::setPermissions(root.filePath(path), QFile::ReadOwner | QFile::ExeOwner);
        };
        QVERIFY(answer("usr/bin/wbinfo", "echo 70001\n"));
        QCOMPARE(computer.uidOfSid(sid), std::optional<unsigned>(70001));
        QCOMPARE(read(root.filePath("usr/bin/wbinfo.asked")), QByteArray("--sid-to-uid S-1-5-21-1-2-3-1104\n"));
        QVERIFY(!computer.uidOfSid("not a SID"));

        // With SSSD, its binding answers, the SID as the script's argument.
        QVERIFY(answer("usr/sbin/sssd", "exit 0\n") && answer("usr/bin/python3", "echo 80002\n"));
        QCOMPARE(computer.uidOfSid(sid), std::optional<unsigned>(80002));
        const QByteArray asked = read(root.filePath("usr/bin/python3.asked"));
        QVERIFY2(asked.startsWith("-I -c import sys") && asked.contains("getidbysid") && asked.endsWith(" S-1-5-21-1-2-3-1104\n"), asked);
        QVERIFY(answer("usr/bin/python3", "echo 'no such SID' >&2\nexit 1\n"));
        QVERIFY(!computer.uidOfSid(sid));
    }
};

QTEST_GUILESS_MAIN(tst_LocalComputer)
#include "tst_LocalComputer.moc"

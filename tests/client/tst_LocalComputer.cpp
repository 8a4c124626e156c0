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
};

QTEST_GUILESS_MAIN(tst_LocalComputer)
#include "tst_LocalComputer.moc"

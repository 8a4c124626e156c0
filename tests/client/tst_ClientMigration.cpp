#include "client/ClientJournal.h"
#include "client/ClientMigration.h"
#include "client/LocalComputer.h"
#include "protocol/modFindings.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool write(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The realm tool of a test's computer: records what it is asked; a join
// makes the domain's accounts resolve (etc/passwd.DOMAIN is added).
const char kRealm[] = R"(#!/bin/sh
e="${0%/usr/sbin/realm}/etc"
echo "$*" >> "$0.asked"
case "$1" in
list) cat "$e/joined" 2>/dev/null ;;
leave) : > "$e/joined" ;;
join) read p; echo "password $p" >> "$0.asked"; echo "$3" > "$e/joined"
  [ -f "$e/passwd.$3" ] && cat "$e/passwd.$3" >> "$e/passwd"
  [ -f "$e/group.$3" ] && cat "$e/group.$3" >> "$e/group" ;;
esac
exit 0
)";

} // namespace

// A computer's migration worked on a test's root: the accounts in its
// etc/passwd, the realm through a recording tool, the profiles real folders
// whose owners change.
class tst_ClientMigration : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QString m_root;
    QString m_outside;
    QList<int> m_codes;
    QStringList m_said;

    QString path(const QString &relative) const { return m_root + "/" + relative; }

    void profile(const QString &home, uid_t uid, gid_t gid)
    {
        QVERIFY(write(path(home + "/notes.txt"), "n") && write(path(home + "/deep/er/file"), "f") && write(path(home + "/shared"), "s"));
        for (const QString &file : {home, home + "/notes.txt", home + "/deep", home + "/deep/er", home + "/deep/er/file"})
            QCOMPARE(::lchown(path(file).toLocal8Bit(), uid, gid), 0);
        // Another owner's file, and the user's with a shared group.
        QCOMPARE(::lchown(path(home + "/shared").toLocal8Bit(), 4000, 100), 0);
        QVERIFY(write(path(home + "/report"), "r"));
        QCOMPARE(::lchown(path(home + "/report").toLocal8Bit(), uid, 100), 0);
        // Links out of the profile, at two depths, and a hard link from outside.
        QVERIFY(::symlink(m_outside.toLocal8Bit() + "/target", path(home + "/out").toLocal8Bit()) == 0);
        QVERIFY(::symlink(m_outside.toLocal8Bit(), path(home + "/deep/away").toLocal8Bit()) == 0);
        QVERIFY(::link(path(home + "/notes.txt").toLocal8Bit(), (m_outside + "/hard-" + QFileInfo(home).fileName()).toLocal8Bit()) == 0);
    }

    // Every entry below the root and outside: its path, owner and group.
    QStringList snapshot() const
    {
        QStringList out;
        for (const QString &top : {m_root + "/home", m_outside}) {
            QDirIterator it(top, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                struct stat info
                {
                };
                ::lstat(file.toLocal8Bit(), &info);
                out << QStringLiteral("%1 %2:%3").arg(file.mid(m_dir->path().size())).arg(info.st_uid).arg(info.st_gid);
            }
        }
        out.sort();
        return out;
    }

    ClientMigration::Config config(std::initializer_list<std::pair<const std::string, std::string>> values)
    {
        ClientMigration::Config out {{"SOURCEUSERDOM", "*LOCAL ACCOUNT*"}, {"DESTUSERDOM", "*LOCAL ACCOUNT*"}, {"PROFILEACTIONS", "0"},
            {"REMOVEDESTPROFILE", "0"}, {"REBOOTPERM", "0"}, {"MINFREESPACE", "1"}};
        for (const auto &[key, value] : values)
            out[key] = value;
        return out;
    }

    // One run on the computer, as the client service makes it.
    void run(const ClientMigration::Config &settings, bool rollBack = false)
    {
        m_codes.clear();
        m_said.clear();
        LocalComputer computer(m_root.toStdString());
        ClientJournal journal(path("var/lib/varno-osk/journal").toStdString());
        std::string problem;
        QVERIFY(QDir().mkpath(path("var/lib/varno-osk/journal")) && journal.load(problem));
        if (!rollBack) {
            QVERIFY(journal.forget(problem));
            journal.setRun("job");
        }
        ClientMigration migration(
            computer, computer, settings, journal,
            [this](int code, const std::string &text) {
                m_codes << code;
                m_said << QString::number(code) + " " + QString::fromStdString(text);
            },
            [](const std::string &) {}, [] { return true; });
        if (rollBack) {
            migration.rollBack();
        } else {
            QVERIFY(migration.migrate());
            migration.verify();
            journal.setComplete(true);
            QVERIFY(journal.save(problem));
        }
    }

private Q_SLOTS:
    void init()
    {
        if (::geteuid() != 0)
            QSKIP("Re-owning profiles needs root.");
        m_dir = new QTemporaryDir;
        m_root = m_dir->filePath("pc");
        m_outside = m_dir->filePath("outside");
        QVERIFY(write(m_outside + "/target", "t"));
        QCOMPARE(::chown(m_outside.toLocal8Bit() + "/target", 2001, 2001), 0);
        QVERIFY(write(path("etc/passwd"),
            "root:x:0:0::/root:/bin/sh\nalice:x:2001:2001::/home/alice:/bin/sh\nbob:x:2002:2002::/home/bob:/bin/sh\n"
            "alice2:x:3001:3001::/home/alice2:/bin/sh\nnogroup:x:3002:100::/home/nogroup:/bin/sh\n"));
        QVERIFY(write(path("etc/group"), "users:x:100:\nalice:x:2001:\nbob:x:2002:\nalice2:x:3001:\n"));
        QVERIFY(write(path("etc/passwd.new.example"),
            "alice@new.example:x:5001:5001::/home/alice@new.example:/bin/sh\nbob@new.example:x:5002:5002::/home/bob@new.example:/bin/sh\n"));
        QVERIFY(write(path("etc/group.new.example"), "alice@new.example:x:5001:\nbob@new.example:x:5002:\n"));
        QVERIFY(write(path("usr/sbin/realm"), kRealm) && QFile::setPermissions(path("usr/sbin/realm"), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(QDir().mkpath(path("proc")));
        profile("home/alice", 2001, 2001);
        profile("home/bob", 2002, 2002);
    }
    void cleanup()
    {
        delete m_dir;
        m_dir = nullptr;
    }

    // Local to local: the profile moves to the destination's home and is
    // wholly the destination's, but for what was not the source's; the
    // rollback gives back exactly what there was.
    void localToLocalAndBack()
    {
        const QStringList before = snapshot();
        run(config({{"SOURCEUSER", "alice"}, {"DESTUSER", "alice2"}}));
        QVERIFY2(m_codes.contains(modFindings::ProfileMigrated) && m_codes.contains(modFindings::WorkVerified), qPrintable(m_said.join('\n')));
        QVERIFY(m_codes.contains(modFindings::HardLinkFromOutside));
        const QStringList after = snapshot();
        QVERIFY(after.contains("/pc/home/alice2/deep/er/file 3001:3001"));
        QVERIFY(after.contains("/pc/home/alice2/shared 4000:100"));
        QVERIFY(after.contains("/pc/home/alice2/report 3001:100"));
        // Linked from outside: left alone.
        QVERIFY(after.contains("/pc/home/alice2/notes.txt 2001:2001"));
        QVERIFY(after.contains("/outside/target 2001:2001"));
        QVERIFY(!QFileInfo::exists(path("home/alice")));
        QVERIFY(after.contains("/pc/home/bob/deep/er/file 2002:2002"));

        run({}, true);
        QVERIFY2(!m_codes.contains(modFindings::RollbackFailed), qPrintable(m_said.join('\n')));
        QCOMPARE(snapshot(), before);
        // Rolled back already: a second rollback has nothing left to do.
        run({}, true);
        QVERIFY(!m_codes.contains(modFindings::StepReversed) && !m_codes.contains(modFindings::RollbackFailed));
    }

    // Local to directory: the destination resolves only after the join,
    // which gets its password on standard input; "*ALL" takes every local
    // profile. The rollback leaves the domain again.
    void localToDirectoryAll()
    {
        const QStringList before = snapshot();
        run(config({{"SOURCEUSER", "*ALL"}, {"DESTUSER", "*ALL"}, {"DESTUSERDOM", "new.example"}, {"JOINDOMAIN", "new.example"},
            {"JOINDOMUSER", "joiner"}, {"JOINDOMPASS", "pw 1"}}));
        QVERIFY2(m_codes.count(modFindings::ProfileMigrated) == 2 && m_codes.contains(modFindings::WorkVerified),
            qPrintable(m_said.join('\n')));
        QCOMPARE(read(path("usr/sbin/realm.asked")), QByteArray("list --name-only\njoin --user=joiner new.example\npassword pw 1\nlist --name-only\n"));
        QVERIFY(snapshot().contains("/pc/home/bob@new.example/deep/er/file 5002:5002"));
        run(config({}), true);
        QVERIFY(read(path("usr/sbin/realm.asked")).endsWith("leave new.example\n"));
        QVERIFY(!m_codes.contains(modFindings::RealmNotReversed));
        QCOMPARE(snapshot(), before);
    }

    // Directory to directory: left and joined; a rollback without an
    // account of the source domain keeps the destination realm and says so.
    void directoryToDirectory()
    {
        QVERIFY(write(path("etc/joined"), "old.example\n"));
        QFile passwd(path("etc/passwd"));
        QVERIFY(passwd.open(QIODevice::Append) && passwd.write("carol@old.example:x:6001:100::/home/alice:/bin/sh\n") > 0);
        passwd.close();
        run(config({{"SOURCEUSER", "carol"}, {"SOURCEUSERDOM", "old.example"}, {"DESTUSER", "alice"}, {"DESTUSERDOM", "new.example"},
            {"JOINDOMAIN", "new.example"}, {"JOINDOMUSER", "joiner"}}));
        // The profile of another uid is no file of carol's: nothing of it moved but the folder.
        QVERIFY2(m_codes.contains(modFindings::RealmLeft) && m_codes.contains(modFindings::RealmJoined), qPrintable(m_said.join('\n')));
        run(config({}), true);
        QVERIFY(m_codes.contains(modFindings::RealmNotReversed));
        QCOMPARE(read(path("etc/joined")), QByteArray());
        QVERIFY(!read(path("usr/sbin/realm.asked")).contains("join --user=joiner old.example"));
        run(config({{"JOINDOMAIN", "old.example"}, {"JOINDOMUSER", "back"}, {"JOINDOMPASS", "x"}}), true);
        QCOMPARE(read(path("etc/joined")), QByteArray("old.example\n"));
    }

    // The destination's home: one in use fails its entry and changes
    // nothing, unless "overwrite" moves it aside (kept for the rollback);
    // a copy keeps the source; an entry that fails leaves the others done.
    void destinationHomeCopyAndPartialFailure()
    {
        QVERIFY(write(path("home/alice2/old-file"), "o"));
        const QStringList before = snapshot();
        run(config({{"SOURCEUSER", "alice,bob"}, {"DESTUSER", "alice2,ghost"}}));
        QVERIFY2(m_codes.contains(modFindings::DestinationHomeNotEmpty) && m_codes.contains(modFindings::DestinationAccountMissing),
            qPrintable(m_said.join('\n')));
        QCOMPARE(snapshot(), before);

        run(config({{"SOURCEUSER", "alice,bob"}, {"DESTUSER", "alice2,nogroup"}, {"REMOVEDESTPROFILE", "1"}, {"PROFILEACTIONS", "1"}}));
        QVERIFY2(m_codes.contains(modFindings::DestinationHomeMovedAside) && m_codes.count(modFindings::ProfileCopied) == 2,
            qPrintable(m_said.join('\n')));
        // bob's private group has no counterpart: the files keep it.
        QVERIFY(m_codes.contains(modFindings::GroupLeft));
        const QStringList after = snapshot();
        QVERIFY(after.contains("/pc/home/alice/deep/er/file 2001:2001"));
        QVERIFY(after.contains("/pc/home/alice2/deep/er/file 3001:3001"));
        QVERIFY(after.contains("/pc/home/nogroup/deep/er/file 3002:2002"));
        QVERIFY(after.contains("/pc/home/alice2.varno-osk-job/old-file 0:0"));
        run({}, true);
        QCOMPARE(snapshot(), before);

        run(config({{"SOURCEUSER", "bob"}, {"DESTUSER", "alice2"}, {"PROFILEACTIONS", "1"}, {"REMOVEDESTPROFILE", "1"},
            {"MINFREESPACE", "999999999"}}));
        QVERIFY(m_codes.contains(modFindings::DiskSpaceShort));
        QCOMPARE(snapshot(), before);
    }

    // Nothing starts for a user with a session open, nor through a profile
    // path that is itself a link.
    void inUseAndLinkedProfile()
    {
        QVERIFY(write(path("proc/4242/status"), "Name:\tbash\nUid:\t2001\t2001\t2001\t2001\n"));
        QVERIFY(QDir(path("home")).rename("bob", "bob-real") && ::symlink("bob-real", path("home/bob").toLocal8Bit()) == 0);
        const QStringList before = snapshot();
        run(config({{"SOURCEUSER", "alice,bob"}, {"DESTUSER", "alice2,nogroup"}}));
        QVERIFY2(m_codes.contains(modFindings::ProfileInUse) && m_codes.contains(modFindings::ProfileNotMigrated), qPrintable(m_said.join('\n')));
        QCOMPARE(snapshot(), before);
    }
};

QTEST_GUILESS_MAIN(tst_ClientMigration)
#include "tst_ClientMigration.moc"

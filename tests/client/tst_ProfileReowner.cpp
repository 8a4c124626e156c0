#include "client/ClientJournal.h"
#include "client/ProfileReowner.h"
#include "client/modProfileStep.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr uid_t kSource = 61001, kDestination = 61002, kOther = 61003;
constexpr gid_t kUsers = 100;
const ProfileReowner::Mapping kMapping {kSource, kDestination, true, kSource, kDestination};

// An ACL in the kernel's form: owner rw, the named users and groups r, mask and others.
QByteArray acl(QList<uid_t> users, QList<gid_t> groups)
{
    std::sort(users.begin(), users.end());
    std::sort(groups.begin(), groups.end());
    QByteArray out("\x02\0\0\0", 4);
    auto entry = [&out](quint16 tag, quint16 perm, quint32 id) {
        for (int i = 0; i < 2; ++i)
            out += char((tag >> (8 * i)) & 0xff);
        for (int i = 0; i < 2; ++i)
            out += char((perm >> (8 * i)) & 0xff);
        for (int i = 0; i < 4; ++i)
            out += char((id >> (8 * i)) & 0xff);
    };
    entry(0x01, 6, ~0u);
    for (uid_t user : users)
        entry(0x02, 4, user);
    entry(0x04, 4, ~0u);
    for (gid_t group : groups)
        entry(0x08, 4, group);
    entry(0x10, 4, ~0u);
    entry(0x20, 0, ~0u);
    return out;
}

void make(const QString &path, uid_t uid, gid_t gid, bool folder = false)
{
    const QByteArray name = path.toLocal8Bit();
    if (folder)
        QDir().mkpath(path);
    else
        QFile(path).open(QIODevice::WriteOnly);
    QVERIFY(::lchown(name.constData(), uid, gid) == 0);
}

void symlinkAs(const QString &target, const QString &at, uid_t uid)
{
    QVERIFY(::symlink(target.toLocal8Bit().constData(), at.toLocal8Bit().constData()) == 0);
    QVERIFY(::lchown(at.toLocal8Bit().constData(), uid, uid) == 0);
}

void setAcl(const QString &path, const char *attribute, const QByteArray &value)
{
    QVERIFY2(::setxattr(path.toLocal8Bit().constData(), attribute, value.constData(), std::size_t(value.size()), 0) == 0, qPrintable(path));
}

// Under `root`: outside/ (never to change) and home/alice, alice's profile with
// links out of it at every depth, hard links, files of others and ACLs.
QString makeProfile(const QString &root, int extra = 0)
{
    const QString home = root + "/home/alice";
    make(root + "/outside", kSource, kSource, true);
    make(root + "/outside/secret", kSource, kSource);
    make(root + "/outside/shared", kSource, kSource);
    make(home, kSource, kSource, true);
    make(home + "/docs/deep/deeper", kSource, kSource, true);
    make(home + "/docs", kSource, kSource, true);
    make(home + "/docs/deep", kSource, kSource, true);
    make(home + "/docs/a.txt", kSource, kSource);
    make(home + "/docs/deep/users.txt", kSource, kUsers);
    make(home + "/carol.txt", kOther, kOther);
    make(home + "/bob.txt", kDestination, kDestination);
    make(home + "/docs/deep/bob-too.txt", kDestination, kDestination);
    make(home + "/granted.txt", kSource, kSource);
    ::link((home + "/docs/a.txt").toLocal8Bit().constData(), (home + "/docs/deep/a-again.txt").toLocal8Bit().constData());
    ::link((root + "/outside/shared").toLocal8Bit().constData(), (home + "/shared").toLocal8Bit().constData());
    // A second folder at the top, walked on another thread: a hard link
    // across the two and a file that was the destination's before.
    make(home + "/music", kSource, kSource, true);
    ::link((home + "/docs/a.txt").toLocal8Bit().constData(), (home + "/music/a-third.txt").toLocal8Bit().constData());
    make(home + "/music/bob-three.txt", kDestination, kDestination);
    symlinkAs("../../outside/secret", home + "/secret", kSource);
    symlinkAs(root + "/outside", home + "/docs/out", kSource);
    symlinkAs("../../../../../outside", home + "/docs/deep/deeper/out", kSource);
    setAcl(home + "/docs/a.txt", "system.posix_acl_access", acl({kSource, kOther}, {kSource}));
    setAcl(home + "/granted.txt", "system.posix_acl_access", acl({kDestination}, {}));
    setAcl(home + "/docs", "system.posix_acl_default", acl({kSource}, {kSource, kUsers}));
    setAcl(root + "/outside/secret", "system.posix_acl_access", acl({kSource}, {}));
    for (int i = 0; i < extra; ++i)
        make(home + QString("/docs/deep/f%1").arg(i), kSource, kSource);
    return home;
}

// Every entry under `root` with its owner, group, mode and ACLs; links not followed.
QStringList snapshot(const QString &root)
{
    QStringList lines;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root.toStdString())) {
        struct stat info {};
        const std::string path = entry.path().string();
        ::lstat(path.c_str(), &info);
        QString line = QString("%1 %2:%3 %4").arg(QString::fromStdString(path).mid(root.size())).arg(info.st_uid).arg(info.st_gid).arg(info.st_mode);
        for (const char *attribute : {"system.posix_acl_access", "system.posix_acl_default"}) {
            char value[4096];
            const ssize_t got = S_ISLNK(info.st_mode) ? -1 : ::lgetxattr(path.c_str(), attribute, value, sizeof value);
            line += " " + (got > 0 ? QByteArray(value, int(got)).toHex() : QByteArray("-"));
        }
        lines << line;
    }
    lines.sort();
    return lines;
}

bool move(const QString &journalFolder, const QString &home, QString *problem = nullptr, QStringList *warnings = nullptr)
{
    ClientJournal journal(journalFolder.toStdString());
    std::string why;
    std::vector<std::string> said;
    const bool ok = journal.load(why) && modProfileStep::Move(journal, home.toStdString(), kMapping, said, why);
    if (problem)
        *problem = QString::fromStdString(why);
    for (const std::string &warning : said)
        if (warnings)
            *warnings << QString::fromStdString(warning);
    return ok;
}

} // namespace

class tst_ProfileReowner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (::geteuid() != 0)
            QSKIP("Re-owning files needs root; run the suite as root, as CI does.");
    }

    void forwardThenReverse()
    {
        QTemporaryDir root, journalFolder;
        const QString home = makeProfile(root.path());
        const QStringList before = snapshot(root.path());
        QString problem;
        QStringList warnings;
        QVERIFY2(move(journalFolder.path(), home, &problem, &warnings), qPrintable(problem));
        QCOMPARE(warnings, QStringList {"shared has hard links outside the profile; it was left as it is."});

        struct stat info {};
        auto owner = [&info](const QString &path) {
            ::lstat(path.toLocal8Bit().constData(), &info);
            return QString("%1:%2").arg(info.st_uid).arg(info.st_gid);
        };
        const QString moved = QString("%1:%1").arg(kDestination);
        for (const char *name : {"", "/docs", "/docs/a.txt", "/docs/deep/a-again.txt", "/music/a-third.txt", "/secret", "/docs/out",
                 "/docs/deep/deeper/out"})
            QCOMPARE(owner(home + name), moved);
        QCOMPARE(owner(home + "/docs/deep/users.txt"), QString("%1:%2").arg(kDestination).arg(kUsers));
        QCOMPARE(owner(home + "/shared"), QString("%1:%1").arg(kSource));
        QCOMPARE(owner(home + "/carol.txt"), QString("%1:%1").arg(kOther));
        QStringList after = snapshot(root.path());
        QVERIFY(after.filter("/outside").join('\n') == before.filter("/outside").join('\n'));
        QVERIFY(after.filter("/docs/a.txt ").first().endsWith(acl({kOther, kDestination}, {kDestination}).toHex() + " -"));
        QVERIFY(after.filter("/docs ").first().endsWith(acl({kDestination}, {kUsers, kDestination}).toHex()));

        // Twice forward is once forward; the reverse gives back exactly what was taken.
        QVERIFY2(move(journalFolder.path(), home, &problem), qPrintable(problem));
        QCOMPARE(snapshot(root.path()), after);
        ClientJournal journal(journalFolder.path().toStdString());
        std::string why;
        std::vector<std::string> said;
        QVERIFY(journal.load(why) && journal.steps().size() == 2);
        QVERIFY2(modProfileStep::RollBack(journal, said, why), why.c_str());
        QCOMPARE(snapshot(root.path()), before);
    }

    void refusesLinksAndOtherFileSystems()
    {
        QTemporaryDir root, journalFolder;
        const QString home = makeProfile(root.path());
        QVERIFY(::symlink("home/alice", (root.path() + "/profile").toLocal8Bit().constData()) == 0);
        QVERIFY(::symlink("home", (root.path() + "/homes").toLocal8Bit().constData()) == 0);
        const QStringList before = snapshot(root.path());
        QString problem;
        for (const char *path : {"/profile", "/homes/alice"}) {
            QVERIFY(!move(journalFolder.path(), root.path() + path, &problem));
            QVERIFY2(problem.contains("link"), qPrintable(problem));
        }
        QCOMPARE(snapshot(root.path()), before);

        make(home + "/mnt", kSource, kSource, true);
        if (QProcess::execute("mount", {"-t", "tmpfs", "none", home + "/mnt"}) != 0)
            QSKIP("No tmpfs could be mounted here; another file system inside the profile is not tried.");
        make(home + "/mnt/elsewhere", kSource, kSource);
        QStringList warnings;
        const bool moved = move(journalFolder.path(), home, &problem, &warnings);
        const QStringList inside = snapshot(home + "/mnt");
        QProcess::execute("umount", {home + "/mnt"});
        QVERIFY2(moved, qPrintable(problem));
        QVERIFY(warnings.contains("mnt lies on another file system; it was skipped."));
        QCOMPARE(inside.first().section(' ', 1, 1), QString("%1:%1").arg(kSource));
    }

    // The client killed at random moments of a move: resumed or reversed
    // from its journal, the profile is wholly old or wholly new every time.
    void killedMoveEndsWhole()
    {
        const int extra = 300;
        QTemporaryDir reference, referenceJournal;
        QStringList before, after;
        {
            const QString home = makeProfile(reference.path(), extra);
            before = snapshot(reference.path());
            QVERIFY(move(referenceJournal.path(), home));
            after = snapshot(reference.path());
        }
        // Most kills come after the journal says "begun": the parent waits
        // for the journal, then kills within the walk's time.
        auto start = [extra](const QString &root, const QString &journalFolder, QElapsedTimer &timer, bool waits = true) {
            const QString home = makeProfile(root, extra);
            const pid_t child = ::fork();
            if (child == 0)
                ::_exit(move(journalFolder, home) ? 0 : 1);
            const QByteArray journal = (journalFolder + "/journal").toLocal8Bit();
            while (waits && ::access(journal.constData(), F_OK) != 0 && ::waitpid(child, nullptr, WNOHANG) == 0)
                ::usleep(20);
            timer.start();
            return child;
        };
        QElapsedTimer timer;
        qint64 walk = 0;
        {
            // The walk ends when the journal is replaced by its "done" record.
            QTemporaryDir root, journalFolder;
            const pid_t child = start(root.path(), journalFolder.path(), timer);
            const QByteArray journal = (journalFolder.path() + "/journal").toLocal8Bit();
            struct stat first {}, now {};
            ::stat(journal.constData(), &first);
            while (::stat(journal.constData(), &now) == 0 && now.st_ino == first.st_ino && ::waitpid(child, nullptr, WNOHANG) == 0)
                ::usleep(20);
            walk = timer.nsecsElapsed() / 1000;
            ::waitpid(child, nullptr, 0);
        }
        // The moments of the kills come from one number; VO_REOWN_KILLS=N repeats a run.
        const unsigned kills = qEnvironmentVariableIsSet("VO_REOWN_KILLS") ? qEnvironmentVariableIntValue("VO_REOWN_KILLS") : unsigned(::time(nullptr));
        std::mt19937 moments(kills);
        int halfMoved = 0;
        for (int kill = 0; kill < 60; ++kill) {
            QTemporaryDir root, journalFolder;
            // Every fourth kill may come before the journal is written.
            const pid_t child = start(root.path(), journalFolder.path(), timer, kill % 4 != 0);
            // The changes come early in the measured time, which ends with the
            // journal made durable: the kills fall within its first sixth.
            ::usleep(useconds_t(std::uniform_int_distribution<qint64>(0, walk / 6)(moments)));
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);

            const QStringList killed = snapshot(root.path());
            halfMoved += killed != before && killed != after ? 1 : 0;
            ClientJournal journal(journalFolder.path().toStdString());
            std::string why;
            std::vector<std::string> said;
            QVERIFY2(journal.load(why), why.c_str());
            // A kill before the journal's first record leaves nothing to resume.
            const bool reverse = moments() % 2 == 0 || journal.steps().empty();
            QVERIFY2(modProfileStep::Finish(journal, reverse, said, why), why.c_str());
            if (reverse)
                QVERIFY2(modProfileStep::RollBack(journal, said, why), why.c_str());
            const QStringList now = snapshot(root.path());
            QVERIFY2(now == (reverse ? before : after),
                qPrintable(QString("kill %1 of VO_REOWN_KILLS=%2 left the profile half moved").arg(kill).arg(kills)));
        }
        qInfo("%d of 60 kills left a profile half moved (VO_REOWN_KILLS=%u, walk %lld us)", halfMoved, kills, walk);
        QVERIFY(halfMoved >= 5);
    }
};

QTEST_GUILESS_MAIN(tst_ProfileReowner)
#include "tst_ProfileReowner.moc"

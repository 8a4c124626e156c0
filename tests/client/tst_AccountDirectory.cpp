#include "client/AccountDirectory.h"
#include "client/modAccounts.h"

#include "support/VoProcess.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// The accounts of a computer's tree, found as the job names them.
class tst_AccountDirectory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formsAndPrivateGroups()
    {
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.filePath("etc")));
        QVERIFY(!writeFile(root.filePath("etc/passwd"),
            "root:x:0:0::/root:/bin/sh\n"
            "broken line\n"
            "alice:x:2001:2001::/home/alice:/bin/sh\n"
            "bob@corp.example:x:3001:3001::/home/bob:/bin/sh\n"
            "CORP\\carol:x:3002:100::/home/carol:/bin/sh\n"
            "dave:x:2003:2003::/home/dave:/bin/sh\n")
                     .isEmpty());
        QVERIFY(!writeFile(root.filePath("etc/group"),
            "users:x:100:carol\nalice:x:2001:\nbob@corp.example:x:3001:bob@corp.example\ndave:x:2003:dave,erin\n")
                     .isEmpty());
        FilesDirectory directory(root.path().toStdString());

        // Each form in its turn, local names as they are; homes inside the tree.
        const auto alice = modAccounts::Resolve(directory, "alice", std::string(modAccounts::LocalDomain));
        QVERIFY(alice && alice->uid == 2001 && alice->home == root.filePath("home/alice").toStdString());
        QCOMPARE(modAccounts::Resolve(directory, "bob", "corp.example")->uid, 3001u);
        QCOMPARE(modAccounts::Resolve(directory, "carol", "CORP")->uid, 3002u);
        QCOMPARE(modAccounts::Resolve(directory, "alice", "corp.example")->uid, 2001u);
        QVERIFY(!modAccounts::Resolve(directory, "bob", ""));
        QCOMPARE(directory.userById(2003)->name, std::string("dave"));

        // Private: its own name and nobody else in it.
        QCOMPARE(modAccounts::PrivateGroup(directory, *alice)->gid, 2001u);
        QVERIFY(modAccounts::PrivateGroup(directory, *directory.user("bob@corp.example")));
        QVERIFY(!modAccounts::PrivateGroup(directory, *directory.user("CORP\\carol"))); // users
        QVERIFY(!modAccounts::PrivateGroup(directory, *directory.user("dave"))); // erin is in it too
    }

    // The name service, read only: this machine's root.
    void nameService()
    {
        NameServiceDirectory directory;
        QCOMPARE(directory.user("root")->uid, 0u);
        QCOMPARE(directory.userById(0)->home, std::string("/root"));
        QCOMPARE(directory.groupById(0)->name, std::string("root"));
        QVERIFY(!directory.user("no-such-account-of-varno-osk"));
    }

    // A file that is too large is not read at all.
    void oversizedFilesAreNotRead()
    {
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.filePath("etc")));
        QVERIFY(!writeFile(root.filePath("etc/passwd"), "alice:x:2001:2001::/home/alice:/bin/sh\n" + QByteArray(17 * 1024 * 1024, '#'))
                     .isEmpty());
        QVERIFY(!FilesDirectory(root.path().toStdString()).user("alice"));
    }
};

QTEST_GUILESS_MAIN(tst_AccountDirectory)
#include "tst_AccountDirectory.moc"

#include "DatabaseChecks.h"

#include "common/AppState.h"
#include "common/modErrorHandler.h"
#include "database/ComputerDB.h"
#include "support/RecordingPresenter.h"

#include <QRandomGenerator>
#include <QTest>

using DatabaseChecks::invariantViolations;

namespace {

// A database whose lists a test can damage, as a broken saved file might.
class DamageableDB : public ComputerDB
{
public:
    using ComputerDB::computerListFor;
    using ComputerDB::folderListFor;
};

bool changed()
{
    return AppState::Get().DatabaseChanged;
}

} // namespace

class TestComputerDB : public QObject
{
    Q_OBJECT

private:
    DatabaseChecks::TempLogFolder m_logFolder;

private Q_SLOTS:
    void init() { AppState::Reset(); }

    void addFolderTrimsAndFindsExisting()
    {
        ComputerDB db;
        QVERIFY(!changed());
        QString name = QStringLiteral("  Sales ");
        const int id = db.AddFolder(name, -1);
        QCOMPARE(name, QStringLiteral("Sales"));
        QVERIFY(changed());
        AppState::Get().DatabaseChanged = false;

        QString again = QStringLiteral("  Sales ");
        QCOMPARE(db.AddFolder(again, -1), id);
        QCOMPARE(db.FolderCount(), 1);
        QVERIFY(changed()); // also when the folder was there already
        QCOMPARE(db.GetFolderName(id), QStringLiteral("Sales"));
        QCOMPARE(db.FindFolder(QStringLiteral("SALES"), -1), id);
        QCOMPARE(db.FindFolder(QStringLiteral(" Sales"), -1), -1); // no trimming on finding
        QCOMPARE(db.FindFolder(QStringLiteral("Sales"), id), -1);
        // Same name under another parent is another folder.
        QCOMPARE(db.AddFolder(QStringLiteral("sales"), id), 1);
        QCOMPARE(db.AddFolder(QStringLiteral("ÄRGER"), -1), 2);
        QCOMPARE(db.AddFolder(QStringLiteral("ärger"), -1), 2);
    }

    void addPathCreatesMissingAncestorsOnce()
    {
        ComputerDB db;
        QCOMPARE(db.AddPath(QString()), -1);
        QCOMPARE(db.FolderCount(), 0);
        QCOMPARE(db.AddPath(QStringLiteral("A\\B")), 1);
        QCOMPARE(db.FolderCount(), 2);
        QCOMPARE(db.Folders(0)->Name, QStringLiteral("A"));
        QCOMPARE(db.Folders(1)->ParentID, 0);
        QCOMPARE(db.AddPath(QStringLiteral("a\\b")), 1);
        QCOMPARE(db.FolderCount(), 2);

        const int floor = db.AddPath(QStringLiteral("Sales\\London\\Floor 2"));
        QCOMPARE(floor, 4);
        QCOMPARE(db.GetFolderName(db.Folders(floor)->ParentID), QStringLiteral("London"));
        QCOMPARE(db.FindFolder(QStringLiteral("Sales"), -1), 2);

        ComputerRecord imported;
        imported.Name = QStringLiteral("PC7");
        imported.DNSName = QStringLiteral("pc7.corp");
        imported.OU = QStringLiteral("Sales\\Paris");
        imported.CustomSettings = 9; // not taken over
        const int pc = db.AddComputerRecOU(imported);
        QCOMPARE(db.GetFolderName(db.Computers(pc)->FolderID), QStringLiteral("Paris"));
        QCOMPARE(db.Computers(pc)->CustomSettings, -1);
        QCOMPARE(db.Computers(pc)->DNSName, QStringLiteral("pc7.corp"));
        QVERIFY(invariantViolations(db).isEmpty());
    }

    void computerIdsAreNeverReused()
    {
        ComputerDB db;
        for (int i = 0; i < 6; ++i)
            QCOMPARE(db.AddComputer(QStringLiteral("PC%1").arg(i), QString(), -1, -1), i);
        const UserProfilesPtr list5 = db.GetComputerUserList(5);
        QVERIFY(list5);
        QVERIFY(list5 != db.GetComputerUserList(4)); // each computer its own list

        db.RemoveComputer(5);
        QCOMPARE(db.FindComputer(QStringLiteral("pc5")), -1);
        QCOMPARE(db.GetComputerName(5), QString());
        QVERIFY(!db.GetComputerUserList(5));
        QCOMPARE(db.Computers(5)->UserList, list5); // stays with the inactive record
        QCOMPARE(db.GetComputerCount(), 5);
        QCOMPARE(db.AddComputer(QStringLiteral("PC5"), QString(), -1, -1), 6);
        QCOMPARE(db.FindComputer(QStringLiteral("Pc5")), 6);

        db.RemoveComputer(5); // already gone: nothing
        db.RemoveComputer(-1);
        db.RemoveComputer(99);
        QCOMPARE(db.GetComputerCount(), 6);
        QVERIFY(invariantViolations(db).isEmpty());
    }

    void computerArrayGrowsInFifties()
    {
        ComputerDB db;
        QCOMPARE(db.ComputerCapacity(), 0);
        db.AddComputer(QStringLiteral("first"), QString(), -1, -1);
        QCOMPARE(db.ComputerCapacity(), 50);
        for (int i = 1; i < 50; ++i)
            db.AddComputer(QStringLiteral("c%1").arg(i), QString(), -1, -1);
        QCOMPARE(db.ComputerCapacity(), 50);
        db.AddComputer(QStringLiteral("c50"), QString(), -1, -1);
        QCOMPARE(db.ComputerCapacity(), 100);
        QCOMPARE(db.GetComputerName(0), QStringLiteral("first"));
    }

    void renameComputer()
    {
        ComputerDB db;
        const int folder = db.AddFolder(QStringLiteral("Other"), -1);
        const int a = db.AddComputer(QStringLiteral("alpha"), QString(), -1, -1);
        const int b = db.AddComputer(QStringLiteral("beta"), QString(), folder, -1);
        AppState::Get().DatabaseChanged = false;

        QVERIFY(!db.RenameComputer(a, QStringLiteral("BETA"))); // another computer, another folder
        QCOMPARE(db.GetComputerName(a), QStringLiteral("alpha"));
        QVERIFY(!changed());

        QVERIFY(db.RenameComputer(a, QStringLiteral("ALPHA")));
        QCOMPARE(db.GetComputerName(a), QStringLiteral("ALPHA"));
        QVERIFY(changed());
        QVERIFY(db.RenameComputer(a, QStringLiteral("gamma")));
        QCOMPARE(db.FindComputer(QStringLiteral("alpha")), -1);
        QCOMPARE(db.FindComputer(QStringLiteral("GAMMA")), a);
        QCOMPARE(db.FindComputer(QStringLiteral("beta")), b);
        QVERIFY(!db.RenameComputer(-1, QStringLiteral("delta")));
        QVERIFY(invariantViolations(db).isEmpty());
    }

    void nameIndexFindsCaseFoldedNames()
    {
        ComputerDB db;
        const int a = db.AddComputer(QStringLiteral("ÄRGER"), QString(), -1, -1);
        QCOMPARE(db.FindComputer(QStringLiteral("ärger")), a);
        // SameText calls the micro sign and the capital mu equal; so must the index.
        const int micro = db.AddComputer(QString(QChar(0x00B5)) + QStringLiteral("pc"), QString(), -1, -1);
        QCOMPARE(db.FindComputer(QString(QChar(0x039C)) + QStringLiteral("PC")), micro);
        QCOMPARE(ComputerDB::NameBucket(QStringLiteral("PC-01")), static_cast<int>(1071531620 % 10003));

        // Whatever SameText takes as one name, the index finds.
        const QList<QPair<QString, QString>> pairs = {
            {QString(QChar(0x1E9E)) + QStringLiteral("x"), QString(QChar(0x00DF)) + QStringLiteral("X")}, // capital and small sharp s
            {QString(QChar(0x017F)) + QStringLiteral("ky"), QStringLiteral("SKY")}, // long s
            {QString(QChar(0x212A)) + QStringLiteral("elvin"), QStringLiteral("kelvin")}, // Kelvin sign
            {QString(QChar(0x2126)) + QStringLiteral("hm"), QString(QChar(0x03C9)) + QStringLiteral("HM")}, // Ohm sign
            {QString(QChar(0x0178)) + QStringLiteral("ves"), QString(QChar(0x00FF)) + QStringLiteral("ves")},
        };
        int sameNames = 0;
        for (const auto &[stored, asked] : pairs) {
            if (!modText::SameText(stored, asked))
                continue;
            ++sameNames;
            const int id = db.AddComputer(stored, QString(), -1, -1);
            QCOMPARE(db.FindComputer(asked), id);
        }
        QVERIFY(sameNames >= 3);
    }

    void renameFolder()
    {
        ComputerDB db;
        const int a = db.AddFolder(QStringLiteral("A"), -1);
        const int b = db.AddFolder(QStringLiteral("B"), -1);
        const int inner = db.AddFolder(QStringLiteral("Inner"), a);
        QVERIFY(!db.RenameFolder(b, QString()));
        QVERIFY(!db.RenameFolder(b, QStringLiteral("a")));
        QVERIFY(db.RenameFolder(b, QStringLiteral("b")));
        QVERIFY(db.RenameFolder(b, QStringLiteral("Inner"))); // a folder of another parent may share it
        QVERIFY(db.RenameFolder(inner, QStringLiteral(" x "))); // taken as typed
        QCOMPARE(db.GetFolderName(inner), QStringLiteral(" x "));
        QCOMPARE(db.GetFolderName(99), QString());
    }

    void moveComputer()
    {
        ComputerDB db;
        const int folder = db.AddFolder(QStringLiteral("F"), -1);
        const int a = db.AddComputer(QStringLiteral("a"), QString(), folder, -1);
        const int b = db.AddComputer(QStringLiteral("b"), QString(), folder, -1);
        db.MoveComputer(a, folder); // to the end of the same list
        QCOMPARE(db.FolderComputers(folder)->Peek(0), b);
        QCOMPARE(db.FolderComputers(folder)->Peek(1), a);
        AppState::Get().DatabaseChanged = false;
        db.MoveComputer(a, -1);
        QVERIFY(changed());
        QCOMPARE(db.Computers(a)->FolderID, -1);
        QCOMPARE(db.RootComputers().Peek(0), a);
        QCOMPARE(db.FolderComputers(folder)->Count(), 1);
        QVERIFY(invariantViolations(db).isEmpty());
    }

    void moveFolderRefusals()
    {
        ComputerDB db;
        const int top = db.AddFolder(QStringLiteral("Top"), -1);
        const int child = db.AddFolder(QStringLiteral("Child"), top);
        const int grandchild = db.AddFolder(QStringLiteral("Grandchild"), child);
        const int other = db.AddFolder(QStringLiteral("Other"), -1);
        AppState::Get().DatabaseChanged = false;

        db.MoveFolder(top, top);
        db.MoveFolder(top, child);
        db.MoveFolder(top, grandchild);
        db.MoveFolder(child, top); // already there
        db.MoveFolder(child, -2);
        QVERIFY(!changed());
        QCOMPARE(db.Folders(top)->ParentID, -1);
        QCOMPARE(db.SubFolders(top)->Count(), 1);

        db.MoveFolder(child, other);
        QVERIFY(changed());
        QCOMPARE(db.Folders(child)->ParentID, other);
        QCOMPARE(db.SubFolders(top)->Count(), 0);
        db.MoveFolder(child, -1);
        QCOMPARE(db.RootFolders().Peek(db.RootFolders().Count() - 1), child);
        QVERIFY(invariantViolations(db).isEmpty());
    }

    void removeFolderRemovesSubtree()
    {
        ComputerDB db;
        const int keep = db.AddFolder(QStringLiteral("Keep"), -1);
        const int top = db.AddPath(QStringLiteral("Top"));
        const int deep = db.AddPath(QStringLiteral("Top\\Mid\\Deep"));
        const int mid = db.FindFolder(QStringLiteral("Mid"), top);
        const int c1 = db.AddComputer(QStringLiteral("c1"), QString(), top, -1);
        const int c2 = db.AddComputer(QStringLiteral("c2"), QString(), deep, -1);
        const int c3 = db.AddComputer(QStringLiteral("c3"), QString(), mid, -1);
        const int kept = db.AddComputer(QStringLiteral("kept"), QString(), keep, -1);

        db.RemoveFolder(top);
        for (int id : {top, mid, deep})
            QVERIFY(!db.Folders(id)->Active);
        for (int id : {c1, c2, c3}) {
            QVERIFY(!db.Computers(id)->Active);
            QCOMPARE(db.FindComputer(QStringLiteral("c%1").arg(id + 1)), -1);
        }
        QCOMPARE(db.FindComputer(QStringLiteral("kept")), kept);
        QCOMPARE(db.RootFolders().Count(), 1);
        QCOMPARE(db.FolderCount(), 4);
        QVERIFY(invariantViolations(db).isEmpty());

        db.RemoveFolder(top); // gone already
        db.RemoveFolder(-1);
        db.RemoveFolder(40);
        QCOMPARE(db.FolderCount(), 4);
    }

    void removeFolderLoopLimits_data()
    {
        QTest::addColumn<bool>("subfolders");
        QTest::addColumn<QString>("description");
        QTest::newRow("subfolders") << true << QStringLiteral("Infinite loop detected while removing subfolders. Remove failed.");
        QTest::newRow("computers") << false << QStringLiteral("Infinite loop detected while removing computers. Remove failed.");
    }

    void removeFolderLoopLimits()
    {
        QFETCH(bool, subfolders);
        QFETCH(QString, description);
        RecordingPresenter presenter;
        DamageableDB db;
        const int folder = db.AddFolder(QStringLiteral("Broken"), -1);
        const int child = db.AddFolder(QStringLiteral("Child"), folder);
        const int pc = db.AddComputer(QStringLiteral("pc"), QString(), folder, -1);
        // An entry that RemoveFolder / RemoveComputer cannot take away.
        if (subfolders)
            db.folderListFor(folder).Push(77);
        else
            db.computerListFor(folder).Push(77);

        const bool completed = modErrorHandler::Guard("frmMain.DeleteSelectedNode", [&] { db.RemoveFolder(folder); });
        QVERIFY(!completed);
        QCOMPARE(presenter.count(), 1);
        QVERIFY(presenter.last().text.contains(QStringLiteral("Function: frmMain.DeleteSelectedNode")));
        QVERIFY(presenter.last().text.endsWith(description));
        QVERIFY(presenter.last().text.contains(QStringLiteral("Error Number: 1 ")));
        // What went before stays gone; the folder itself stays.
        QVERIFY(!db.Folders(child)->Active);
        QVERIFY(db.Folders(folder)->Active);
        QCOMPARE(db.Computers(pc)->Active, subfolders);
    }

    void addIntoMissingFolderIsReported()
    {
        RecordingPresenter presenter;
        ComputerDB db;
        const int gone = db.AddFolder(QStringLiteral("Gone"), -1);
        db.RemoveFolder(gone);
        QCOMPARE(db.AddComputer(QStringLiteral("x"), QString(), gone, -1), -1);
        QCOMPARE(db.AddComputer(QStringLiteral("y"), QString(), 12, -1), -1);
        QCOMPARE(db.AddFolder(QStringLiteral("z"), 12), -1);
        QCOMPARE(db.ComputerCount(), 0);
        QCOMPARE(db.FolderCount(), 1);
        QCOMPARE(presenter.count(), 3);
        QVERIFY(presenter.messages().at(0).text.contains(QStringLiteral("Function: ComputerDB.AddComputer")));
        QVERIFY(presenter.messages().at(2).text.contains(QStringLiteral("Function: ComputerDB.AddFolder")));
        QVERIFY(invariantViolations(db).isEmpty());
    }

    void setComputerUserListShares()
    {
        ComputerDB db;
        const int pc = db.AddComputer(QStringLiteral("pc"), QString(), -1, -1);
        AppState::Get().DatabaseChanged = false;
        const UserProfilesPtr list = UserProfiles::create();
        db.SetComputerUserList(pc, list);
        QCOMPARE(db.GetComputerUserList(pc), list);
        db.SetComputerUserList(pc, nullptr);
        QCOMPARE(db.GetComputerUserList(pc), list);
        db.SetComputerUserList(7, list); // no such computer
        QVERIFY(!changed());
    }

    void getObjectParent_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("parentID");
        QTest::addColumn<QString>("parentType");
        // Folders 0 (top) and 1 (in 0); computers 0 under the root, 1 in folder 1.
        QTest::newRow("G") << QStringLiteral("G") << 5 << -1 << QStringLiteral("");
        QTest::newRow("C under root") << QStringLiteral("C") << 0 << -1 << QStringLiteral("G");
        QTest::newRow("C in folder") << QStringLiteral("C") << 1 << 1 << QStringLiteral("F");
        QTest::newRow("F at top") << QStringLiteral("F") << 0 << -1 << QStringLiteral("G");
        QTest::newRow("F in folder") << QStringLiteral("F") << 1 << 0 << QStringLiteral("F");
        QTest::newRow("C out of range") << QStringLiteral("C") << 2 << -1 << QStringLiteral("");
        QTest::newRow("C negative") << QStringLiteral("C") << -1 << -1 << QStringLiteral("");
        QTest::newRow("F out of range") << QStringLiteral("F") << 2 << -1 << QStringLiteral("");
        QTest::newRow("other type") << QStringLiteral("X") << 0 << -1 << QStringLiteral("");
        QTest::newRow("type words are exact") << QStringLiteral("c") << 1 << -1 << QStringLiteral("");
    }

    void getObjectParent()
    {
        QFETCH(QString, type);
        QFETCH(int, id);
        QFETCH(int, parentID);
        QFETCH(QString, parentType);
        ComputerDB db;
        db.AddPath(QStringLiteral("Top\\Inner"));
        db.AddComputer(QStringLiteral("rootpc"), QString(), -1, -1);
        db.AddComputer(QStringLiteral("innerpc"), QString(), 1, -1);
        int gotID = 42;
        QString gotType = QStringLiteral("junk");
        db.GetObjectParent(type, id, gotID, gotType);
        QCOMPARE(gotID, parentID);
        QCOMPARE(gotType, parentType);
    }

    void clearForgetsEverything()
    {
        ComputerDB db;
        for (int i = 0; i < 60; ++i)
            db.AddComputer(QStringLiteral("pc%1").arg(i), QString(), db.AddPath(QStringLiteral("G%1").arg(i % 3)), -1);
        db.AddSettings(GlobalSettings::create(), 0, QStringLiteral("F"));
        QVERIFY(changed());

        db.Clear();
        QVERIFY(!changed());
        QCOMPARE(db.ComputerCount(), 0);
        QCOMPARE(db.FolderCount(), 0);
        QCOMPARE(db.ComputerCapacity(), 0);
        QCOMPARE(db.FolderCapacity(), 0);
        QCOMPARE(db.RootFolders().Count(), 0);
        QCOMPARE(db.RootComputers().Count(), 0);
        QCOMPARE(db.SettingsCount(), 1);
        QCOMPARE(db.FindComputer(QStringLiteral("pc1")), -1);
        QVERIFY(!db.Computers(0));
        QVERIFY(!db.SubFolders(0));
        for (int b = 0; b < ComputerDB::NameIndexBuckets; ++b)
            QCOMPARE(db.NameIndex(b).Count(), 0);

        QCOMPARE(db.AddComputer(QStringLiteral("again"), QString(), -1, -1), 0);
        QCOMPARE(db.AddFolder(QStringLiteral("again"), -1), 0);
    }

    void loadingFolderRecords()
    {
        ComputerDB db;
        QCOMPARE(db.AddFolderRecord(QStringLiteral("Child"), 1, -1), 0);
        QCOMPARE(db.AddFolderRecord(QStringLiteral("Top"), -1, 3), 1);
        db.AddFolderRecord(QStringLiteral("Orphan"), 17, -1); // parent never saved
        db.AddFolderRecord(QStringLiteral("LoopA"), 4, -1); // 3 and 4 name each other
        db.AddFolderRecord(QStringLiteral("LoopB"), 3, -1);
        QCOMPARE(db.RootFolders().Count(), 0);
        QCOMPARE(db.FindFolder(QStringLiteral("Top"), -1), -1);

        db.RebuildFolderLists();
        QCOMPARE(db.FindFolder(QStringLiteral("Top"), -1), 1);
        QCOMPARE(db.FindFolder(QStringLiteral("Child"), 1), 0);
        QCOMPARE(db.Folders(1)->CustomSettings, 3);
        QCOMPARE(db.Folders(2)->ParentID, -1);
        QCOMPARE(db.Folders(3)->ParentID, -1);
        QCOMPARE(db.Folders(4)->ParentID, 3);
        db.RebuildFolderLists(); // twice changes nothing
        QVERIFY(invariantViolations(db).isEmpty());
    }

    void randomOperationsKeepInvariants()
    {
        RecordingPresenter presenter;
        ComputerDB db;
        QRandomGenerator random(20240611);
        const auto pickFolder = [&]() {
            if (db.FolderCount() == 0 || random.bounded(4) == 0)
                return -1;
            const int id = random.bounded(db.FolderCount());
            return db.Folders(id)->Active ? id : -1;
        };
        const auto pickComputer = [&]() { return db.ComputerCount() == 0 ? -1 : static_cast<int>(random.bounded(db.ComputerCount())); };

        for (int step = 0; step < 3000; ++step) {
            const QString name = QStringLiteral("n%1").arg(random.bounded(400));
            switch (random.bounded(10)) {
            case 0:
            case 1:
            case 2:
                db.AddComputer(random.bounded(2) ? name : name.toUpper(), QString(), pickFolder(), -1);
                break;
            case 3:
                db.RemoveComputer(pickComputer());
                break;
            case 4:
                if (const int id = pickComputer(); id >= 0 && db.Computers(id)->Active)
                    db.MoveComputer(id, pickFolder());
                break;
            case 5:
                if (const int id = pickComputer(); id >= 0 && db.Computers(id)->Active)
                    db.RenameComputer(id, name);
                break;
            case 6:
                db.AddFolder(QStringLiteral("g%1").arg(random.bounded(30)), pickFolder());
                break;
            case 7:
                if (random.bounded(4) == 0)
                    db.RemoveFolder(pickFolder());
                break;
            case 8:
                if (const int id = pickFolder(); id >= 0)
                    db.MoveFolder(id, pickFolder());
                break;
            case 9:
                if (const int id = pickFolder(); id >= 0)
                    db.RenameFolder(id, QStringLiteral("g%1").arg(random.bounded(30)));
                break;
            }
            if (step % 100 == 0) {
                const QStringList problems = invariantViolations(db);
                QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
            }
        }
        const QStringList problems = invariantViolations(db);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        QCOMPARE(presenter.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestComputerDB)
#include "tst_ComputerDB.moc"

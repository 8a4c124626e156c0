#include "DatabaseChecks.h"

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "support/RecordingPresenter.h"

#include <QTest>

using DatabaseChecks::invariantViolations;

namespace {

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

    void addFolderAndPath()
    {
        ComputerDB db;
        QString name = QStringLiteral("  Sales ");
        const int id = db.AddFolder(name, -1);
        QCOMPARE(name, QStringLiteral("Sales"));
        AppState::Get().DatabaseChanged = false;
        QString again = QStringLiteral("  Sales ");
        QCOMPARE(db.AddFolder(again, -1), id);
        QVERIFY(changed()); // also when the folder was there already
        QCOMPARE(db.FindFolder(QStringLiteral("SALES"), -1), id);
        QCOMPARE(db.FindFolder(QStringLiteral(" Sales"), -1), -1); // no trimming on finding
        QCOMPARE(db.AddFolder(QStringLiteral("sales"), id), 1); // another parent, another folder

        QCOMPARE(db.AddPath(QString()), -1);
        QCOMPARE(db.AddPath(QStringLiteral("A\\B")), 3);
        QCOMPARE(db.Folders(3)->ParentID, 2);
        QCOMPARE(db.AddPath(QStringLiteral("a\\b")), 3);

        ComputerRecord imported;
        imported.Name = QStringLiteral("PC7");
        imported.OU = QStringLiteral("Sales\\Paris");
        imported.CustomSettings = 9; // not taken over
        const int pc = db.AddComputerRecOU(imported);
        QCOMPARE(db.Folders(db.Computers(pc)->FolderID)->ParentID, id);
        QCOMPARE(db.Computers(pc)->CustomSettings, -1);
        QVERIFY(invariantViolations(db).isEmpty());
    }

    void computerIdsAreNeverReused()
    {
        ComputerDB db;
        for (int i = 0; i < 6; ++i)
            QCOMPARE(db.AddComputer(QStringLiteral("PC%1").arg(i), QString(), -1, -1), i);
        const UserProfilesPtr list5 = db.GetComputerUserList(5);
        QVERIFY(list5 && list5 != db.GetComputerUserList(4)); // each computer its own list

        db.RemoveComputer(5);
        QCOMPARE(db.FindComputer(QStringLiteral("pc5")), -1);
        QVERIFY(db.GetComputerName(5).isEmpty() && !db.GetComputerUserList(5));
        QCOMPARE(db.Computers(5)->UserList, list5); // stays with the inactive record
        QCOMPARE(db.AddComputer(QStringLiteral("PC5"), QString(), -1, -1), 6);
        for (int gone : {5, -1, 99})
            db.RemoveComputer(gone);
        QCOMPARE(db.GetComputerCount(), 6);

        // A user list is shared, not copied; nothing replaces it with none.
        const UserProfilesPtr list = UserProfiles::create();
        AppState::Get().DatabaseChanged = false;
        db.SetComputerUserList(0, list);
        db.SetComputerUserList(0, nullptr);
        QCOMPARE(db.GetComputerUserList(0), list);
        QVERIFY(!changed());
    }

    void nameIndexFindsCaseFoldedNames()
    {
        ComputerDB db;
        QCOMPARE(ComputerDB::NameBucket(QStringLiteral("PC-01")), static_cast<int>(1071531620 % 10003));
        // Whatever SameText takes as one name, the index finds.
        const QList<QPair<QString, QString>> pairs = {
            {QStringLiteral("ÄRGER"), QStringLiteral("ärger")},
            {QString(QChar(0x00B5)) + QStringLiteral("pc"), QString(QChar(0x039C)) + QStringLiteral("PC")}, // micro sign, capital mu
            {QString(QChar(0x1E9E)) + QStringLiteral("x"), QString(QChar(0x00DF)) + QStringLiteral("X")}, // capital and small sharp s
            {QString(QChar(0x017F)) + QStringLiteral("ky"), QStringLiteral("SKY")}, // long s
            {QString(QChar(0x212A)) + QStringLiteral("elvin"), QStringLiteral("kelvin")}, // Kelvin sign
            {QString(QChar(0x2126)) + QStringLiteral("hm"), QString(QChar(0x03C9)) + QStringLiteral("HM")}, // Ohm sign
        };
        int sameNames = 0;
        for (const auto &[stored, asked] : pairs) {
            if (!modText::SameText(stored, asked))
                continue;
            ++sameNames;
            const int id = db.AddComputer(stored, QString(), -1, -1);
            QCOMPARE(db.FindComputer(asked), id);
        }
        QVERIFY(sameNames >= 4);
    }

    // Moves and removals that succeed are followed by the random walk of the tree binding test.
    void refusedMovesAndSameFolderMove()
    {
        ComputerDB db;
        const int top = db.AddFolder(QStringLiteral("Top"), -1);
        const int child = db.AddFolder(QStringLiteral("Child"), top);
        const int grandchild = db.AddFolder(QStringLiteral("Grandchild"), child);
        const int a = db.AddComputer(QStringLiteral("a"), QString(), top, -1);
        const int b = db.AddComputer(QStringLiteral("b"), QString(), top, -1);
        AppState::Get().DatabaseChanged = false;

        // Refused: under itself, under its own subtree, where it is, beyond the root; folders that are not there.
        for (const auto &[id, parent] : {std::pair {top, top}, {top, child}, {top, grandchild}, {child, top}, {child, -2}, {40, -1}})
            db.MoveFolder(id, parent);
        db.RemoveFolder(40);
        QVERIFY(!changed());
        QVERIFY(invariantViolations(db).isEmpty());

        db.MoveComputer(a, top); // to the end of the same list
        QVERIFY(changed());
        QCOMPARE(db.FolderComputers(top)->Peek(0), b);
        QCOMPARE(db.FolderComputers(top)->Peek(1), a);
    }

    void addIntoMissingFolderIsReported()
    {
        RecordingPresenter presenter;
        ComputerDB db;
        const int gone = db.AddFolder(QStringLiteral("Gone"), -1);
        db.RemoveFolder(gone);
        QCOMPARE(db.AddComputer(QStringLiteral("x"), QString(), gone, -1), -1);
        QCOMPARE(db.AddFolder(QStringLiteral("z"), 12), -1);
        QVERIFY(db.ComputerCount() == 0 && db.FolderCount() == 1 && presenter.count() == 2);
        QVERIFY(presenter.messages().at(1).text.contains(QStringLiteral("Function: ComputerDB.AddFolder")));
    }

    void getObjectParent()
    {
        ComputerDB db;
        db.AddPath(QStringLiteral("Top\\Inner")); // folders 0 and 1 (in 0)
        db.AddComputer(QStringLiteral("rootpc"), QString(), -1, -1);
        db.AddComputer(QStringLiteral("innerpc"), QString(), 1, -1);
        // type, ID -> parent ID and type; out of range and unknown types have no parent.
        const QList<std::tuple<const char *, int, int, const char *>> rows {{"G", 5, -1, ""}, {"C", 0, -1, "G"}, {"C", 1, 1, "F"},
            {"F", 0, -1, "G"}, {"F", 1, 0, "F"}, {"C", 2, -1, ""}, {"F", 2, -1, ""}, {"c", 1, -1, ""}};
        for (const auto &[type, id, parentID, parentType] : rows) {
            int gotID = 42;
            QString gotType = QStringLiteral("junk");
            db.GetObjectParent(QString::fromLatin1(type), id, gotID, gotType);
            QVERIFY2(gotID == parentID && gotType == QLatin1String(parentType), qPrintable(QStringLiteral("%1 %2").arg(type).arg(id)));
        }
    }

    void clearForgetsEverything()
    {
        ComputerDB db;
        for (int i = 0; i < 60; ++i)
            db.AddComputer(QStringLiteral("pc%1").arg(i), QString(), db.AddPath(QStringLiteral("G%1").arg(i % 3)), -1);
        db.AddSettings(GlobalSettings::create(), 0, QStringLiteral("F"));

        db.Clear();
        QVERIFY(!changed());
        QVERIFY(db.RootFolders().Count() + db.RootComputers().Count() == 0 && db.SettingsCount() == 1);
        for (int b = 0; b < ComputerDB::NameIndexBuckets; ++b)
            QCOMPARE(db.NameIndex(b).Count(), 0);
        QCOMPARE(db.AddComputer(QStringLiteral("pc1"), QString(), -1, -1), 0);
        QCOMPARE(db.AddFolder(QStringLiteral("G1"), -1), 0);
    }
};

QTEST_GUILESS_MAIN(TestComputerDB)
#include "tst_ComputerDB.moc"

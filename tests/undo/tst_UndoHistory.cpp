#include "common/AppState.h"
#include "database/EditStep.h"
#include "database/MemoryTreeDisplay.h"
#include "undo/UndoHistory.h"

#include <QTest>

namespace {

// All that the administrator sees of a database: the tree with its texts and
// images, and each computer's record, settings, users and wave.
QString picture(const ComputerDB &db, const MemoryTreeDisplay &tree)
{
    QStringList lines;
    std::vector<std::pair<QString, int>> pending {{modGeneral::RootKey, 0}};
    while (!pending.empty()) {
        const auto [key, depth] = pending.back();
        pending.pop_back();
        lines << QString(depth, QLatin1Char(' ')) + key + QLatin1Char(' ') + tree.text(key) + QLatin1Char(' ')
                + QString::number(tree.icon(key)) + (tree.nodeDisabled(key) ? QStringLiteral(" disabled") : QString());
        std::vector<std::pair<QString, int>> children;
        for (QString child = tree.firstChildKey(key); !child.isEmpty(); child = tree.nextSiblingKey(child))
            children.emplace_back(child, depth + 1);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    for (int id = 0; id < db.ComputerCount(); ++id) {
        const ComputerRecord *record = db.Computers(id);
        if (!record->Active)
            continue;
        const GlobalSettingsPtr own = db.GetSettings(QStringLiteral("C"), id);
        lines << QStringLiteral("C%1 %2 %3 in %4 wave '%5' join '%6' users %7 %8")
                     .arg(id)
                     .arg(record->Name, record->DNSName)
                     .arg(record->FolderID)
                     .arg(record->Wave, own ? own->JoinName : QStringLiteral("-"))
                     .arg(record->UserList->GetUserCount())
                     .arg(record->Enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"));
    }
    for (int id = 0; id < db.FolderCount(); ++id) {
        if (const GlobalSettingsPtr own = db.GetSettings(QStringLiteral("F"), id))
            lines << QStringLiteral("F%1 join '%2'").arg(id).arg(own->JoinName);
    }
    QStringList waves;
    for (int n = 0; n < db.Waves().size(); ++n)
        waves << db.Waves().at(n).Name;
    lines << QStringLiteral("waves ") + waves.join(QLatin1Char(','));
    return lines.join(QLatin1Char('\n'));
}

GlobalSettingsPtr joining(const QString &name)
{
    GlobalSettingsPtr record = GlobalSettings::create();
    record->JoinName = name;
    return record;
}

} // namespace

class TestUndoHistory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each kind of change, made as one step, undone back to the picture
    // before it and redone to the picture after it, twice over: the
    // records keep their IDs and the tree shows what the records say.
    void everyChangeUndoneAndRedone()
    {
        MemoryTreeDisplay tree;
        tree.resetWithRoot();
        ComputerDB db;
        db.LinkTreeView(&tree, 24, 3, nullptr);
        UndoHistory history(db);
        QVERIFY(db.AddWave({"Pilot", {}, 0, -1}) && db.AddWave({"Rest", {}, 0, -1}));
        int office = -1;
        int finance = -1;
        int pc1 = -1;
        int pc2 = -1;
        {
            EditStep step(db, QStringLiteral("Set-up"));
            office = db.AddFolder(QStringLiteral("Office"), -1);
            finance = db.AddFolder(QStringLiteral("Finance"), office);
            pc1 = db.AddComputer(QStringLiteral("PC-1"), QStringLiteral("pc-1.lan"), finance, -1);
            pc2 = db.AddComputer(QStringLiteral("PC-2"), QString(), office, -1);
            db.AddSettings(joining(QStringLiteral("FIN")), finance, QStringLiteral("F"));
            db.AddSettings(joining(QStringLiteral("PC1")), pc1, QStringLiteral("C"));
            db.GetComputerUserList(pc1)->AddUserToUser(QStringLiteral("alice"), QStringLiteral("alice.new"));
            db.SetComputerWave(pc1, QStringLiteral("Pilot"));
        }
        QCOMPARE(history.undoText(), QStringLiteral("Set-up"));

        const std::vector<std::pair<QString, std::function<void()>>> gestures = {
            {"rename", [&] { QVERIFY(db.RenameComputer(pc1, "PC-ONE")); tree.setText(modGeneral::ComputerKey(pc1), "PC-ONE");
                           QVERIFY(db.RenameFolder(finance, "Money")); tree.setText(modGeneral::FolderKey(finance), "Money"); }},
            {"move", [&] { db.MoveComputer(pc2, finance); db.MoveFolder(finance, -1); }},
            {"settings", [&] {
                 db.AddSettings(joining("NEW"), pc2, "C");
                 db.RemoveSettings(finance, "F");
                 const GlobalSettingsPtr before = db.GetSettings("C", pc1)->Clone();
                 db.GetSettings("C", pc1)->JoinName = "EDITED";
                 db.NoteSettingsEdited("C", pc1, before);
             }},
            {"users", [&] {
                 const UserProfiles before = *db.GetComputerUserList(pc1);
                 db.GetComputerUserList(pc1)->AddUserToUser("bob", "bob.new");
                 db.NoteUserListEdited(pc1, before);
             }},
            {"waves", [&] { db.SetComputerWave(pc2, "Rest"); QVERIFY(db.ReplaceWave(0, {"Early", {}, 0, -1})); db.RemoveWave(1); }},
            {"disable", [&] { QVERIFY(db.SetComputerEnabled(pc1, false) && db.SetComputerEnabled(pc2, false)); }},
            {"enable", [&] { QVERIFY(db.SetComputerEnabled(pc2, true)); }},
            // PC-1 goes with it disabled, and comes back so.
            {"delete a group with what it holds", [&] { db.RemoveFolder(finance); }},
            {"import", [&] {
                 ComputerRecord record;
                 record.OU = "Branch\\East";
                 for (int n = 0; n < 30; ++n) {
                     record.Name = QStringLiteral("NEW-%1").arg(n);
                     db.AddComputerRecOU(record);
                 }
             }},
        };
        for (const auto &[what, gesture] : gestures) {
            const QString before = picture(db, tree);
            const int computers = db.ComputerCount();
            {
                EditStep step(db, what);
                gesture();
            }
            const QString after = picture(db, tree);
            QVERIFY2(after != before, qPrintable(what));
            QCOMPARE(history.undoText(), what);
            for (int pass = 0; pass < 2; ++pass) {
                history.undo();
                QCOMPARE(picture(db, tree), before);
                history.redo();
                QCOMPARE(picture(db, tree), after);
                // Undone and redone, a record takes no new ID.
                QCOMPARE(db.ComputerCount(), computers + (what == "import" ? 30 : 0));
            }
        }
        // All the way back, and forward again.
        const QString last = picture(db, tree);
        while (history.canUndo())
            history.undo();
        QCOMPARE(db.GetComputerCount(), 0);
        QCOMPARE(tree.childCount(modGeneral::RootKey), 0);
        while (history.canRedo())
            history.redo();
        QCOMPARE(picture(db, tree), last);
    }

    // The saved state is the clean one: undone back to it, there is nothing
    // to save; a change no step holds ends what can be undone; a locked
    // history undoes nothing.
    void cleanStateAndLimits()
    {
        ComputerDB db;
        UndoHistory history(db);
        AppState::Get().DatabaseChanged = false;
        {
            EditStep step(db, QStringLiteral("New Computer"));
            db.AddComputer(QStringLiteral("A"), QString(), -1, -1);
            // A step inside a step joins it.
            EditStep inner(db, QStringLiteral("inner"));
            db.AddComputer(QStringLiteral("B"), QString(), -1, -1);
        }
        QCOMPARE(history.stack().count(), 1);
        QVERIFY(AppState::Get().DatabaseChanged);
        history.setSaved();
        {
            EditStep step(db, QStringLiteral("Delete"));
            db.RemoveComputer(0);
        }
        history.undo();
        QVERIFY(!AppState::Get().DatabaseChanged);
        history.undo();
        QVERIFY(AppState::Get().DatabaseChanged);
        QCOMPARE(db.GetComputerCount(), 0);
        history.redo();
        QVERIFY(!AppState::Get().DatabaseChanged);

        history.setLocked(true);
        QVERIFY(!history.canUndo());
        history.undo();
        QCOMPARE(db.GetComputerCount(), 2);
        history.setLocked(false);

        // A step that changed nothing is no step.
        { EditStep step(db, QStringLiteral("Nothing")); }
        QCOMPARE(history.redoText(), QStringLiteral("Delete"));
        db.AddComputer(QStringLiteral("C"), QString(), -1, -1);
        QVERIFY(!history.canUndo());
        QVERIFY(!history.stack().isClean());
    }
};

QTEST_GUILESS_MAIN(TestUndoHistory)
#include "tst_UndoHistory.moc"

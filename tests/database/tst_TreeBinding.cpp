#include "DatabaseChecks.h"

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "database/MemoryTreeDisplay.h"
#include "database/ProgressSink.h"
#include "support/RecordingPresenter.h"

#include <QRandomGenerator>
#include <QTest>

using DatabaseChecks::LinkedDB;
using DatabaseChecks::treeViolations;
using modGeneral::ComputerKey;
using modGeneral::FolderKey;
using modGeneral::RootKey;

namespace {

const QString F = QStringLiteral("F");
const QString C = QStringLiteral("C");

class RecordingProgress final : public ProgressSink
{
public:
    void Start(int minimum, int maximum, const QString &caption, const QString &message) override
    {
        starts.append(QStringLiteral("%1-%2 %3: %4").arg(minimum).arg(maximum).arg(caption, message));
    }
    void SetValue(int) override { }
    void IncVal() override { }
    bool CancelVal() override { return false; }

    QStringList starts;
};

QStringList texts(const TreeDisplay &tree, const QString &key)
{
    QStringList result;
    for (const QString &child : tree.childKeys(key))
        result.append(tree.text(child));
    return result;
}

QString icons(const TreeDisplay &tree, const QString &key)
{
    return QStringLiteral("%1/%2").arg(tree.icon(key)).arg(tree.expandedIcon(key));
}

QStringList icons(const TreeDisplay &tree, const QStringList &keys)
{
    QStringList result;
    for (const QString &key : keys)
        result.append(icons(tree, key));
    return result;
}

} // namespace

class TestTreeBinding : public QObject
{
    Q_OBJECT

private:
    DatabaseChecks::TempLogFolder m_logFolder;

private Q_SLOTS:
    void init() { AppState::Reset(); }

    void builtTreeSortsSiblings()
    {
        LinkedDB linked(false);
        auto &[tree, db] = linked;
        const int b = db.AddFolder(QStringLiteral("b"), -1);
        for (const char *name : {"A", "c"})
            db.AddFolder(QString::fromLatin1(name), -1);
        for (const char *name : {"zeta", "Alpha"})
            db.AddComputer(QString::fromLatin1(name), QString(), -1, -1);
        db.AddComputer(QStringLiteral("mid"), QString(), b, -1);
        db.AddFolder(QStringLiteral("Inner"), b);

        RecordingProgress progress;
        linked.link(&progress);
        QCOMPARE(tree.childKeys(RootKey), (QStringList {"F1", "F0", "F2", "C1", "C0"}));
        QCOMPARE(texts(tree, FolderKey(b)), (QStringList {"Inner", "mid"}));
        QCOMPARE(icons(tree, {QStringLiteral("F0"), QStringLiteral("C0")}), (QStringList {"3/0", "24/0"}));
        QCOMPARE(progress.starts,
            (QStringList {"0-4 Importing: Creating Folder Hierarchy...", "0-3 Importing: Adding Computers to Hierarchy..."}));
        QVERIFY(treeViolations(db, tree).isEmpty());
    }

    void addsAfterRenamesFollowTheRecords()
    {
        LinkedDB linked;
        auto &[tree, db] = linked;
        const int a = db.AddComputer(QStringLiteral("a"), QString(), -1, -1);
        db.AddComputer(QStringLiteral("c"), QString(), -1, -1);
        db.AddComputer(QStringLiteral("e"), QString(), -1, -1);

        // The window renames a label in place; the node does not move.
        QVERIFY(db.RenameComputer(a, QStringLiteral("z")));
        tree.setText(ComputerKey(a), QStringLiteral("z"));
        db.AddComputer(QStringLiteral("d"), QString(), -1, -1); // before the first greater record: e
        db.AddComputer(QStringLiteral("zz"), QString(), -1, -1); // none greater: after the last record, z
        QCOMPARE(texts(tree, RootKey), (QStringList {"z", "zz", "c", "d", "e"}));
    }

    void clearLetsGoOfTheTree()
    {
        // Moves and removals are followed by the random walk below; Clear
        // must stop the mirroring, and the window empties the tree itself.
        LinkedDB linked;
        auto &[tree, db] = linked;
        db.AddComputer(QStringLiteral("kept"), QString(), -1, -1);
        db.Clear();
        db.AddComputer(QStringLiteral("unseen"), QString(), -1, -1);
        QCOMPARE(texts(tree, RootKey), QStringList {"kept"});
    }

    // The icons follow each change of the records, and SetColorsForEdit, which
    // works them all out afresh, arrives at the same ones.
    void settingsIcons()
    {
        LinkedDB linked;
        auto &[tree, db] = linked;
        const int outer = db.AddPath(QStringLiteral("Outer"));
        const int group = db.AddPath(QStringLiteral("Outer\\Group"));
        const int inner = db.AddPath(QStringLiteral("Outer\\Group\\Inner"));
        const int pc = db.AddComputer(QStringLiteral("pc"), QString(), group, -1);
        const int plain = db.AddComputer(QStringLiteral("plain"), QString(), group, -1);
        const QStringList keys {ComputerKey(pc), FolderKey(group), FolderKey(outer), RootKey, FolderKey(inner), ComputerKey(plain)};
        const auto shown = [&] {
            const QStringList followed = icons(tree, keys);
            db.SetColorsForEdit();
            return icons(tree, keys) == followed ? followed : followed + QStringList {"afresh:"} + icons(tree, keys);
        };
        const QStringList unmarked {"24/0", "3/2", "3/2", "23/22", "3/2", "24/0"};
        db.SetColorsForEdit(); // nodes are added without an open-folder icon; the window sets them all once

        db.AddSettings(GlobalSettings::create(), pc, C);
        QCOMPARE(shown(), (QStringList {"4/0", "21/20", "21/20", "23/22", "3/2", "24/0"}));
        QCOMPARE(db.CountCustomBelow(RootKey, false), 1);

        // The only record below goes: back to plain, all the way up.
        db.RemoveSettings(pc, C);
        QCOMPARE(shown(), unmarked);

        // A group with its own record shows it whatever happens below, and
        // hides what is below from the folders above.
        db.AddSettings(GlobalSettings::create(), group, F);
        db.AddSettings(GlobalSettings::create(), pc, C);
        db.RemoveSettings(pc, C);
        QCOMPARE(shown(), (QStringList {"24/0", "23/22", "21/20", "23/22", "3/2", "24/0"}));
        db.RemoveNodeSettings(FolderKey(group));
        QCOMPARE(shown(), unmarked);

        // Two records below: removing one keeps the mark; a computer that goes takes its record along.
        db.AddSettings(GlobalSettings::create(), pc, C);
        db.AddSettings(GlobalSettings::create(), plain, C);
        db.RemoveSettings(pc, C);
        QCOMPARE(shown(), (QStringList {"24/0", "21/20", "21/20", "23/22", "3/2", "4/0"}));
        db.RemoveComputer(plain);
        QCOMPARE(shown().mid(0, 5), unmarked.mid(0, 5));

        // A computer with its own record keeps its mark when it moves; the groups follow.
        db.AddSettings(GlobalSettings::create(), pc, C);
        db.MoveComputer(pc, inner);
        QCOMPARE(shown().mid(0, 5), (QStringList {"4/0", "21/20", "21/20", "23/22", "21/20"}));
    }

    void treeFailuresAreReported()
    {
        RecordingPresenter presenter;
        LinkedDB linked(false);
        linked.db.AddFolder(QStringLiteral("f"), -1);
        linked.link();
        linked.db.ReloadTreeView(); // onto a tree that still has the nodes
        QCOMPARE(presenter.count(), 1);
        QVERIFY(presenter.last().text.contains(QStringLiteral("Function: ComputerDB.BuildTree")));
    }

    void randomOperationsKeepTheTreeInStep_data()
    {
        QTest::addColumn<bool>("renames");
        QTest::newRow("sorted") << false;
        QTest::newRow("with renames") << true;
    }

    // Without renames every add must land between a sibling of its kind
    // that is not greater and one that is; with renames the order is the
    // window's, but names, parents and counts must still match.
    void randomOperationsKeepTheTreeInStep()
    {
        QFETCH(bool, renames);
        RecordingPresenter presenter;
        LinkedDB linked;
        auto &[tree, db] = linked;
        QRandomGenerator random(renames ? 77 : 78);
        const auto pickFolder = [&]() {
            const int id = db.FolderCount() == 0 || random.bounded(4) == 0 ? -1 : static_cast<int>(random.bounded(db.FolderCount()));
            return id >= 0 && db.Folders(id)->Active ? id : -1;
        };
        const auto pickComputer = [&]() {
            const int id = db.ComputerCount() == 0 ? -1 : static_cast<int>(random.bounded(db.ComputerCount()));
            return id >= 0 && db.Computers(id)->Active ? id : -1;
        };
        const auto name = [&]() {
            static const QStringList stems = {"pc", "PC", "Srv", "alpha", "Beta", "ärger", "ÄRGER", "z"};
            return stems.at(random.bounded(stems.size())) + QString::number(random.bounded(60));
        };
        const auto placedInOrder = [&](const QString &key) {
            const QStringList siblings = tree.childKeys(tree.parentKey(key));
            const int at = siblings.indexOf(key);
            const auto sameKind = [&](int i) { return i >= 0 && i < siblings.size() && siblings.at(i).at(0) == key.at(0); };
            const QString own = tree.text(key);
            return renames
                || ((!sameKind(at - 1) || modText::CompareText(tree.text(siblings.at(at - 1)), own) <= 0)
                    && (!sameKind(at + 1) || modText::CompareText(tree.text(siblings.at(at + 1)), own) > 0));
        };

        for (int step = 0; step < 2500; ++step) {
            const int op = random.bounded(renames ? 10 : 8);
            const int pc = pickComputer();
            const QString newName = name();
            if (op <= 2)
                QVERIFY(placedInOrder(ComputerKey(db.AddComputer(newName, QString(), pickFolder(), -1))));
            else if (op == 3)
                QVERIFY(placedInOrder(FolderKey(db.AddFolder(QStringLiteral("g") + newName, pickFolder()))));
            else if (op == 4 && pc >= 0) {
                db.MoveComputer(pc, pickFolder());
                QVERIFY(placedInOrder(ComputerKey(pc)));
            } else if (op == 5)
                db.RemoveComputer(pc);
            else if (const int id = pickFolder(); op == 6 && id >= 0)
                db.MoveFolder(id, pickFolder());
            else if (op == 7 && random.bounded(5) == 0)
                db.RemoveFolder(id);
            else if (op == 8 && pc >= 0 && db.RenameComputer(pc, newName))
                tree.setText(ComputerKey(pc), newName);
            else if (op == 9 && id >= 0 && db.RenameFolder(id, QStringLiteral("g") + newName))
                tree.setText(FolderKey(id), QStringLiteral("g") + newName);
            if (step % 50 == 0 || step == 2499) {
                QStringList problems = DatabaseChecks::invariantViolations(db);
                problems += treeViolations(db, tree, !renames);
                QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
            }
        }
        QCOMPARE(presenter.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTreeBinding)
#include "tst_TreeBinding.moc"

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "database/MemoryTreeDisplay.h"
#include "database/ProgressSink.h"
#include "shell/TreeCommands.h"
#include "shell/TreeControl.h"
#include "common/TreeImage.h"

#include "support/RecordingPresenter.h"

#include <QTemporaryDir>
#include <QTest>

using modGeneral::ComputerKey;
using modGeneral::FolderKey;
using modGeneral::RootKey;

namespace {

// The tree control as the commands see it, over a tree held in memory.
class FakeControl final : public TreeControl
{
public:
    explicit FakeControl(const TreeDisplay &tree)
        : m_tree(tree)
    { }

    QString selectedKey() const override { return m_tree.contains(selected) ? selected : QString(); }
    void selectNode(const QString &key) override
    {
        if (m_tree.contains(key))
            selected = key;
    }
    void setExpanded(const QString &, bool) override { }
    void beginLabelEdit(const QString &key) override { edits.append(key); }
    void setDropHighlight(const QString &key) override { highlight = key; }
    void setLoading(bool loading) override { loadingCalls.append(loading); }
    void setWaitCursor(bool wait) override { waitCalls.append(wait); }

    QString selected;
    QString highlight;
    QStringList edits;
    QList<bool> loadingCalls;
    QList<bool> waitCalls;

private:
    const TreeDisplay &m_tree;
};

class RecordingProgress final : public ProgressSink
{
public:
    void Start(int, int, const QString &caption, const QString &message) override { starts.append(caption + ": " + message); }
    void SetValue(int) override { }
    void IncVal() override { }
    bool CancelVal() override { return false; }
    QStringList starts;
};

// A database linked to a tree in memory, with the commands on both, set up
// the way the main window loads.
struct Console
{
    Console()
        : control(tree)
        , commands(database, tree, control)
    {
        commands.SetLoadSelectedNode([this] { loads.append(control.selectedKey()); });
        commands.InitializeTreeView();
        database.LinkTreeView(&tree, 24, 3, nullptr);
        loads.clear();
    }

    int folder(const QString &name, int parent = -1) { return database.AddFolder(name, parent); }
    int computer(const QString &name, int parent = -1) { return database.AddComputer(name, QString(), parent, -1); }
    void select(const QString &key)
    {
        control.selected = key;
        loads.clear();
    }

    QStringList childTexts(const QString &key) const
    {
        QStringList texts;
        for (const QString &child : tree.childKeys(key))
            texts.append(tree.text(child));
        return texts;
    }

    // Press, the moves that start a drag, over `target`, drop. Returns the
    // node marked as drop target before the drop.
    QString drag(const QString &source, const QString &target)
    {
        commands.tvMain_MouseDown(source);
        for (int i = 0; i < TreeCommands::DragThreshold; ++i)
            commands.tvMain_MouseMove(true);
        commands.tvMain_DragOver(target);
        const QString marked = control.highlight;
        commands.tvMain_DragDrop();
        commands.DragEnded();
        return marked;
    }

    ComputerDB database;
    MemoryTreeDisplay tree;
    FakeControl control;
    TreeCommands commands;
    QStringList loads;
};

} // namespace

class TestTreeCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Internal errors write the error log; keep it out of the real temporary folder.
        QVERIFY(m_temp.isValid());
        qputenv("TMP", m_temp.path().toLocal8Bit());
    }
    void init() { AppState::Reset(); }

    void newComputerName_data()
    {
        QTest::addColumn<QStringList>("existing"); // "name" at the root or "name@G" in folder "G"
        QTest::addColumn<QString>("select"); // "", "root", "folder", "computer"
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("inFolder");

        // clang-format off
        QTest::newRow("nothing selected") << QStringList() << QString() << "New Computer 1" << false;
        QTest::newRow("folder selected") << QStringList() << "folder" << "New Computer 1" << true;
        QTest::newRow("computer selected goes to its folder") << QStringList {"PC@G"} << "computer" << "New Computer 1" << true;
        QTest::newRow("first gap") << QStringList {"New Computer 1", "New Computer 3"} << "root" << "New Computer 2" << false;
        QTest::newRow("names count in every folder") << QStringList {"New Computer 1@G"} << "root" << "New Computer 2" << false;
        QTest::newRow("without regard to case") << QStringList {"NEW COMPUTER 1", "new computer 2"} << "" << "New Computer 3" << false;
        // clang-format on
    }
    void newComputerName()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, select);
        QFETCH(QString, name);
        QFETCH(bool, inFolder);

        Console c;
        const int folder = c.folder(QStringLiteral("G"));
        int last = -1;
        for (const QString &entry : existing)
            last = c.computer(entry.section('@', 0, 0), entry.contains('@') ? folder : -1);
        c.select(select == "root"      ? RootKey
                : select == "folder"   ? FolderKey(folder)
                : select == "computer" ? ComputerKey(last)
                                       : QString());

        c.commands.AddNewComputer();

        const int id = c.database.FindComputer(name);
        QVERIFY(id >= 0);
        QCOMPARE(c.database.GetComputerName(id), name);
        QCOMPARE(c.database.Computers(id)->FolderID, inFolder ? folder : -1);
        const QString key = ComputerKey(id);
        QCOMPARE(c.tree.parentKey(key), inFolder ? FolderKey(folder) : RootKey);
        // Selected, loaded into the panel and open for typing the name.
        QCOMPARE(c.control.selected, key);
        QCOMPARE(c.loads, QStringList {key});
        QCOMPARE(c.control.edits, QStringList {key});
    }

    void newGroupNamesCountPerParent()
    {
        Console c;
        const int a = c.folder(QStringLiteral("A"));
        c.folder(QStringLiteral("New Group 1"));
        c.folder(QStringLiteral("new group 3"));
        c.folder(QStringLiteral("New Group 1"), a);

        c.select(RootKey);
        c.commands.AddNewFolder();
        QVERIFY(c.database.FindFolder(QStringLiteral("New Group 2"), -1) >= 0);

        c.select(FolderKey(a));
        c.commands.AddNewFolder();
        const int added = c.database.FindFolder(QStringLiteral("New Group 2"), a);
        QVERIFY(added >= 0);
        QCOMPARE(c.control.edits.constLast(), FolderKey(added));
        QCOMPARE(c.childTexts(FolderKey(a)), (QStringList {"New Group 1", "New Group 2"}));
    }

    void afterLabelEdit_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("newText");
        QTest::addColumn<bool>("renamed");
        QTest::addColumn<QString>("message");

        const QString exists = QStringLiteral("The specified name already exists. Please try again.");
        // clang-format off
        QTest::newRow("computer") << "PC1" << "PC9" << true << "";
        QTest::newRow("computer name used in another folder") << "PC1" << "pc2" << false << exists;
        QTest::newRow("computer in other letter case") << "PC1" << "pc1" << true << "";
        QTest::newRow("folder name used under another parent") << "Sub" << "a" << true << "";
        QTest::newRow("folder name of a sibling") << "Sub" << "SUB2" << false << exists;
        QTest::newRow("empty name") << "Sub" << "" << false << "You must provide a name for this object.";
        QTest::newRow("blanks are kept") << "PC1" << " PC 7 " << true << "";
        QTest::newRow("root") << "root" << "Everything" << false << "";
        QTest::newRow("unchanged") << "PC1" << "PC1" << false << "";
        // clang-format on
    }
    void afterLabelEdit()
    {
        QFETCH(QString, node);
        QFETCH(QString, newText);
        QFETCH(bool, renamed);
        QFETCH(QString, message);

        Console c;
        RecordingPresenter presenter;
        const int a = c.folder(QStringLiteral("A"));
        const int sub = c.folder(QStringLiteral("Sub"), a);
        c.folder(QStringLiteral("Sub2"), a);
        const int pc1 = c.computer(QStringLiteral("PC1"), a);
        c.computer(QStringLiteral("PC2"), c.folder(QStringLiteral("B")));
        AppState::Get().DatabaseChanged = false;

        const QString key = node == "PC1" ? ComputerKey(pc1) : node == "Sub" ? FolderKey(sub) : RootKey;
        const QString before = c.tree.text(key);
        c.select(key);

        QCOMPARE(c.commands.tvMain_AfterLabelEdit(key, newText), renamed);

        QCOMPARE(c.tree.text(key), renamed ? newText : before);
        const QString stored = node == "PC1" ? c.database.GetComputerName(pc1)
            : node == "Sub"                  ? c.database.GetFolderName(sub)
                                             : QStringLiteral("All Computers");
        QCOMPARE(stored, c.tree.text(key));
        QCOMPARE(AppState::Get().DatabaseChanged, renamed);
        QCOMPARE(c.loads.size(), renamed ? 1 : 0);
        QCOMPARE(presenter.count(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(presenter.last().text, message);
            QCOMPARE(presenter.last().icon, Presenter::Icon::Information);
        }
    }

    void afterLabelEditOfAMissingNode()
    {
        Console c;
        RecordingPresenter presenter;
        QVERIFY(!c.commands.tvMain_AfterLabelEdit(ComputerKey(7), QStringLiteral("X")));
        QCOMPARE(presenter.count(), 1);
        QVERIFY(presenter.last().text.contains("Function: frmMain.AfterLabelEdit"));
        QVERIFY(presenter.last().text.endsWith("Attempting to load the selected object failed."));
        QCOMPARE(presenter.last().icon, Presenter::Icon::Critical);
    }

    void renamedNodeTakesItsPlaceByName()
    {
        Console c;
        const int a = c.folder(QStringLiteral("Alpha"));
        c.folder(QStringLiteral("Mike"));
        c.computer(QStringLiteral("delta"));
        const int echo = c.computer(QStringLiteral("Echo"));
        c.computer(QStringLiteral("foxtrot"));

        QVERIFY(c.commands.tvMain_AfterLabelEdit(ComputerKey(echo), QStringLiteral("Able")));
        QCOMPARE(c.childTexts(RootKey), (QStringList {"Alpha", "Mike", "Able", "delta", "foxtrot"}));
        QVERIFY(c.commands.tvMain_AfterLabelEdit(ComputerKey(echo), QStringLiteral("zulu")));
        QVERIFY(c.commands.tvMain_AfterLabelEdit(FolderKey(a), QStringLiteral("Oscar")));
        QCOMPARE(c.childTexts(RootKey), (QStringList {"Mike", "Oscar", "delta", "foxtrot", "zulu"}));

        // A node added after the renames lands where the names say.
        c.computer(QStringLiteral("Golf"));
        QCOMPARE(c.childTexts(RootKey), (QStringList {"Mike", "Oscar", "delta", "foxtrot", "Golf", "zulu"}));
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<int>("answer");
        QTest::newRow("group, yes") << true << int(Presenter::Yes);
        QTest::newRow("computer, no") << false << int(Presenter::No);
        QTest::newRow("computer, yes") << false << int(Presenter::Yes);
    }
    void deleteAsksFirst()
    {
        QFETCH(bool, folder);
        QFETCH(int, answer);

        Console c;
        RecordingPresenter presenter;
        const int group = c.folder(QStringLiteral("Sales"));
        const int inside = c.computer(QStringLiteral("S1"), group);
        const int pc = c.computer(QStringLiteral("Lab PC"));
        const QString key = folder ? FolderKey(group) : ComputerKey(pc);
        c.select(key);
        presenter.setNextAnswer(Presenter::Answer(answer));

        c.commands.tvMain_KeyDown(TreeCommands::KeyDelete);

        QCOMPARE(presenter.count(), 1);
        const Presenter::Message &question = presenter.last();
        QCOMPARE(question.caption, QStringLiteral("Confirm Delete"));
        QCOMPARE(question.buttons, Presenter::Buttons::YesNo);
        QCOMPARE(question.icon, Presenter::Icon::Question);
        QCOMPARE(question.text,
            folder ? QStringLiteral("Are you sure you'd like to delete the group 'Sales'?")
                   : QStringLiteral("Are you sure you'd like to delete the computer 'Lab PC'?"));
        const bool yes = answer == Presenter::Yes;
        QCOMPARE(c.tree.contains(key), !yes);
        // A group goes with what it holds.
        QCOMPARE(c.database.FindComputer(folder ? QStringLiteral("S1") : QStringLiteral("Lab PC")), yes ? -1 : folder ? inside : pc);
        QCOMPARE(c.loads.size(), yes ? 1 : 0);
    }

    void rootRefusals()
    {
        Console c;
        RecordingPresenter presenter;
        c.select(RootKey);

        c.commands.tvMain_KeyDown(TreeCommands::KeyF2);
        QCOMPARE(presenter.count(), 0);
        c.commands.DeleteSelectedNode();
        QCOMPARE(presenter.last().text, QStringLiteral("Can't delete root node."));
        c.commands.mnuTVRename_Click();
        QCOMPARE(presenter.last().text, QStringLiteral("Can't rename root node."));
        QCOMPARE(presenter.count(), 2);
        QVERIFY(c.control.edits.isEmpty());
        QVERIFY(!c.commands.CanEditLabel(RootKey));

        // The same gestures on a computer start editing.
        const int pc = c.computer(QStringLiteral("PC"));
        c.select(ComputerKey(pc));
        c.commands.tvMain_KeyDown(TreeCommands::KeyF2);
        c.commands.mnuTVRename_Click();
        QCOMPARE(c.control.edits, (QStringList {ComputerKey(pc), ComputerKey(pc)}));
        QVERIFY(c.commands.CanEditLabel(ComputerKey(pc)));
    }

    void dragStartsOnTheFourthMove()
    {
        Console c;
        const int folder = c.folder(QStringLiteral("G"));
        const int pc = c.computer(QStringLiteral("PC"));
        TreeCommands &commands = c.commands;
        auto press = [&](const QString &key) {
            commands.DragEnded();
            commands.tvMain_MouseDown(key);
            for (int i = 1; i < TreeCommands::DragThreshold; ++i)
                QVERIFY(!commands.tvMain_MouseMove(true));
        };

        press(ComputerKey(pc));
        QVERIFY(commands.tvMain_MouseMove(true));
        QCOMPARE(commands.DragImage(), int(TreeImage::DragComputer));
        QVERIFY(!commands.tvMain_MouseMove(true));

        // The button came up: the count starts over.
        QVERIFY(!commands.tvMain_MouseMove(false));
        QVERIFY(!commands.DragStarted());
        press(FolderKey(folder));
        QVERIFY(commands.tvMain_MouseMove(true));
        QCOMPARE(commands.DragImage(), int(TreeImage::DragFolder));

        // Nothing to drag: no node under the press, or the root that never moves.
        for (const QString &key : {QString(), RootKey, QStringLiteral("C99")}) {
            press(key);
            for (int i = 0; i < TreeCommands::DragThreshold; ++i)
                QVERIFY(!commands.tvMain_MouseMove(true));
        }
    }

    void dropRules_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("parentAfter");

        // clang-format off
        QTest::newRow("computer onto the root") << "pc" << "root" << "root";
        QTest::newRow("computer onto a group") << "rootpc" << "child" << "child";
        QTest::newRow("computer onto a computer") << "pc" << "rootpc" << "child";
        QTest::newRow("computer onto nothing") << "pc" << "none" << "child";
        QTest::newRow("group onto another group") << "child" << "other" << "other";
        QTest::newRow("group onto the root") << "child" << "root" << "root";
        QTest::newRow("group onto its own child") << "top" << "child" << "root";
        QTest::newRow("group onto itself") << "top" << "top" << "root";
        QTest::newRow("group onto a computer") << "other" << "rootpc" << "root";
        // clang-format on
    }
    void dropRules()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, parentAfter);

        Console c;
        const int top = c.folder(QStringLiteral("Top"));
        const int child = c.folder(QStringLiteral("Child"), top);
        const int other = c.folder(QStringLiteral("Other"));
        const int pc = c.computer(QStringLiteral("PC"), child);
        const int rootPc = c.computer(QStringLiteral("A-PC"));
        const QHash<QString, QString> keys {{"root", RootKey}, {"top", FolderKey(top)}, {"child", FolderKey(child)},
            {"other", FolderKey(other)}, {"pc", ComputerKey(pc)}, {"rootpc", ComputerKey(rootPc)}, {"none", QString()}};
        const QStringList before = c.tree.outline();
        AppState::Get().DatabaseChanged = false;

        // The node under the pointer is marked, also where a drop moves nothing.
        QCOMPARE(c.drag(keys.value(source), keys.value(target)), keys.value(target));

        QCOMPARE(c.tree.parentKey(keys.value(source)), keys.value(parentAfter));
        QCOMPARE(AppState::Get().DatabaseChanged, c.tree.outline() != before);
        QVERIFY(c.control.highlight.isEmpty());
        if (source == "pc" && target == "root") // after the root's groups, in name order among its computers
            QCOMPARE(c.childTexts(RootKey), (QStringList {"Other", "Top", "A-PC", "PC"}));
    }

    void migrationRunningBlocksEveryEdit()
    {
        Console c;
        RecordingPresenter presenter;
        const int group = c.folder(QStringLiteral("G"));
        const int pc = c.computer(QStringLiteral("PC"));
        const QStringList before = c.tree.outline();
        AppState::Get().MigrationRunning = true;
        AppState::Get().DatabaseChanged = false;
        TreeCommands &commands = c.commands;

        for (const QString &key : {ComputerKey(pc), RootKey}) {
            c.select(key);
            commands.AddNewComputer();
            commands.AddNewFolder();
            commands.tvMain_KeyDown(TreeCommands::KeyF2);
            commands.tvMain_KeyDown(TreeCommands::KeyDelete);
            commands.DeleteSelectedNode();
            commands.mnuTVRename_Click();
        }
        c.select(ComputerKey(pc));
        commands.RenameNode();
        QVERIFY(!commands.CanEditLabel(ComputerKey(pc)));
        QVERIFY(!commands.tvMain_AfterLabelEdit(ComputerKey(pc), QStringLiteral("Other")));

        commands.tvMain_MouseDown(ComputerKey(pc));
        for (int i = 0; i < 2 * TreeCommands::DragThreshold; ++i)
            QVERIFY(!commands.tvMain_MouseMove(true));
        QVERIFY(!commands.tvMain_DragOver(FolderKey(group)));
        QVERIFY(c.control.highlight.isEmpty());
        commands.tvMain_DragDrop();

        // A rebuild would wipe the client statuses the tree shows.
        commands.mnuRefresh_Click();
        QVERIFY(c.control.waitCalls.isEmpty());

        const TreePopup popup = commands.tvMain_RightClick(ComputerKey(pc));
        QVERIFY(popup.Show && !popup.RenameEnabled && !popup.DeleteEnabled);

        QCOMPARE(c.tree.outline(), before);
        QVERIFY(c.control.edits.isEmpty());
        QCOMPARE(presenter.count(), 0);
        QVERIFY(!AppState::Get().DatabaseChanged);
    }

    void rightClick()
    {
        Console c;
        const int pc = c.computer(QStringLiteral("PC"));
        const int group = c.folder(QStringLiteral("G"));
        TreeCommands &commands = c.commands;

        TreePopup popup = commands.tvMain_RightClick(RootKey);
        QVERIFY(popup.Show && !popup.RenameEnabled && !popup.DeleteEnabled && !popup.ComputerNode);
        QVERIFY(c.loads.isEmpty()); // the root was selected already

        popup = commands.tvMain_RightClick(ComputerKey(pc));
        QCOMPARE(popup.Key, ComputerKey(pc));
        QVERIFY(popup.Show && popup.RenameEnabled && popup.DeleteEnabled && popup.ComputerNode);
        QCOMPARE(c.loads, QStringList {ComputerKey(pc)});

        QVERIFY(!commands.tvMain_RightClick(FolderKey(group)).ComputerNode);
        QVERIFY(!commands.tvMain_RightClick(QString()).Show);
        QCOMPARE(c.control.selected, FolderKey(group));

        // No menu while a ping test or a network test is running.
        AppState::Get().MigrationRunning = true;
        AppState::Get().Mode = AppState::RunPingTest;
        QVERIFY(!commands.tvMain_RightClick(ComputerKey(pc)).Show);
        AppState::Get().Mode = AppState::RunNetworkTest;
        QVERIFY(!commands.tvMain_RightClick(ComputerKey(pc)).Show);
        AppState::Get().Mode = AppState::RunMigration;
        QVERIFY(commands.tvMain_RightClick(ComputerKey(pc)).Show);
    }

    void refreshAndReload()
    {
        Console c;
        const int group = c.folder(QStringLiteral("B"));
        c.folder(QStringLiteral("a"), group);
        c.computer(QStringLiteral("PC"), group);
        const QStringList before = c.tree.outline();
        c.tree.setText(FolderKey(group), QStringLiteral("stale"));

        c.commands.mnuRefresh_Click();
        QCOMPARE(c.tree.outline(), before);
        QCOMPARE(c.control.waitCalls, (QList<bool> {true, false}));

        RecordingProgress progress;
        c.select(FolderKey(group));
        c.commands.ReloadComputerDatabase(&progress);
        QCOMPARE(progress.starts, (QStringList {"Importing: Creating Folder Hierarchy...", "Importing: Adding Computers to Hierarchy..."}));
        QCOMPARE(c.control.loadingCalls, (QList<bool> {true, false}));
        QCOMPARE(c.tree.outline(), before);
        QVERIFY(c.database.IsLinked());
        QCOMPARE(c.loads.constLast(), RootKey);
    }

private:
    QTemporaryDir m_temp;
};

QTEST_GUILESS_MAIN(TestTreeCommands)
#include "tst_TreeCommands.moc"

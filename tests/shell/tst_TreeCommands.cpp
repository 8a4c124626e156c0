#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "database/MemoryTreeDisplay.h"
#include "database/ProgressSink.h"
#include "shell/TreeCommands.h"
#include "shell/TreeControl.h"
#include "shell/modTreeImages.h"

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
    void setExpanded(const QString &key, bool expanded) override { expandedCalls.append(key + (expanded ? "+" : "-")); }
    void beginLabelEdit(const QString &key) override { edits.append(key); }
    void setDropHighlight(const QString &key) override { highlight = key; }
    void setLoading(bool loading) override { loadingCalls.append(loading); }
    void setWaitCursor(bool wait) override { waitCalls.append(wait); }

    QString selected;
    QString highlight;
    QStringList edits;
    QStringList expandedCalls;
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

    QStringList childTexts(const QString &key) const
    {
        QStringList texts;
        for (const QString &child : tree.childKeys(key))
            texts.append(tree.text(child));
        return texts;
    }

    // Press on `source`, four moves with the button down, over `target`,
    // drop. Returns the node marked as drop target before the drop.
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
        QTest::addColumn<QStringList>("existing"); // "name" at the root or "name@folder" in folder "G"
        QTest::addColumn<QString>("select"); // "", "root", "folder", "computer"
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("inFolder");

        // clang-format off
        QTest::newRow("nothing selected") << QStringList() << QString() << "New Computer 1" << false;
        QTest::newRow("root selected") << QStringList() << "root" << "New Computer 1" << false;
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

        Console console;
        const int folder = console.database.AddFolder(QStringLiteral("G"), -1);
        int lastComputer = -1;
        for (const QString &entry : existing) {
            const QStringList parts = entry.split('@');
            lastComputer = console.database.AddComputer(parts.at(0), QString(), parts.size() > 1 ? folder : -1, -1);
        }
        console.control.selected = select == "root" ? RootKey
            : select == "folder"                    ? FolderKey(folder)
            : select == "computer"                  ? ComputerKey(lastComputer)
                                                    : QString();
        console.loads.clear();

        console.commands.AddNewComputer();

        const int id = console.database.FindComputer(name);
        QVERIFY(id >= 0);
        QCOMPARE(console.database.GetComputerName(id), name);
        QCOMPARE(console.database.Computers(id)->FolderID, inFolder ? folder : -1);
        const QString key = ComputerKey(id);
        QCOMPARE(console.tree.parentKey(key), inFolder ? FolderKey(folder) : RootKey);
        // Selected, loaded into the panel and open for typing the name.
        QCOMPARE(console.control.selected, key);
        QCOMPARE(console.loads, QStringList {key});
        QCOMPARE(console.control.edits, QStringList {key});
    }

    void newGroupNamesCountPerParent()
    {
        Console console;
        const int a = console.database.AddFolder(QStringLiteral("A"), -1);
        console.database.AddFolder(QStringLiteral("New Group 1"), -1);
        console.database.AddFolder(QStringLiteral("new group 3"), -1);
        console.database.AddFolder(QStringLiteral("New Group 1"), a);

        console.control.selected = RootKey;
        console.commands.AddNewFolder();
        QVERIFY(console.database.FindFolder(QStringLiteral("New Group 2"), -1) >= 0);

        console.control.selected = FolderKey(a);
        console.commands.AddNewFolder();
        const int added = console.database.FindFolder(QStringLiteral("New Group 2"), a);
        QVERIFY(added >= 0);
        QCOMPARE(console.control.selected, FolderKey(added));
        QCOMPARE(console.control.edits.constLast(), FolderKey(added));
        QCOMPARE(console.childTexts(FolderKey(a)), (QStringList {"New Group 1", "New Group 2"}));
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
        QTest::newRow("empty computer name") << "PC1" << "" << false << "You must provide a name for this object.";
        QTest::newRow("empty folder name") << "Sub" << "" << false << "You must provide a name for this object.";
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

        Console console;
        RecordingPresenter presenter;
        const int a = console.database.AddFolder(QStringLiteral("A"), -1);
        const int b = console.database.AddFolder(QStringLiteral("B"), -1);
        const int sub = console.database.AddFolder(QStringLiteral("Sub"), a);
        console.database.AddFolder(QStringLiteral("Sub2"), a);
        const int pc1 = console.database.AddComputer(QStringLiteral("PC1"), QString(), a, -1);
        console.database.AddComputer(QStringLiteral("PC2"), QString(), b, -1);
        AppState::Get().DatabaseChanged = false;

        const QString key = node == "PC1" ? ComputerKey(pc1) : node == "Sub" ? FolderKey(sub) : RootKey;
        const QString before = console.tree.text(key);
        console.control.selected = key;
        console.loads.clear();

        QCOMPARE(console.commands.tvMain_AfterLabelEdit(key, newText), renamed);

        QCOMPARE(console.tree.text(key), renamed ? newText : before);
        const QString stored = node == "PC1" ? console.database.GetComputerName(pc1)
            : node == "Sub"                  ? console.database.GetFolderName(sub)
                                             : QStringLiteral("All Computers");
        QCOMPARE(stored, console.tree.text(key));
        QCOMPARE(AppState::Get().DatabaseChanged, renamed);
        QCOMPARE(console.loads.size(), renamed ? 1 : 0);
        if (message.isEmpty()) {
            QCOMPARE(presenter.count(), 0);
        } else {
            QCOMPARE(presenter.count(), 1);
            QCOMPARE(presenter.last().text, message);
            QCOMPARE(presenter.last().icon, Presenter::Icon::Information);
        }
    }

    void afterLabelEditOfAMissingNode()
    {
        Console console;
        RecordingPresenter presenter;
        QVERIFY(!console.commands.tvMain_AfterLabelEdit(ComputerKey(7), QStringLiteral("X")));
        QCOMPARE(presenter.count(), 1);
        QVERIFY(presenter.last().text.contains("Function: frmMain.AfterLabelEdit"));
        QVERIFY(presenter.last().text.endsWith("Attempting to load the selected object failed."));
        QCOMPARE(presenter.last().icon, Presenter::Icon::Critical);
    }

    void renamedNodeTakesItsPlaceByName()
    {
        Console console;
        const int a = console.database.AddFolder(QStringLiteral("Alpha"), -1);
        console.database.AddFolder(QStringLiteral("Mike"), -1);
        console.database.AddComputer(QStringLiteral("delta"), QString(), -1, -1);
        const int echo = console.database.AddComputer(QStringLiteral("Echo"), QString(), -1, -1);
        console.database.AddComputer(QStringLiteral("foxtrot"), QString(), -1, -1);

        QVERIFY(console.commands.tvMain_AfterLabelEdit(ComputerKey(echo), QStringLiteral("Able")));
        QCOMPARE(console.childTexts(RootKey), (QStringList {"Alpha", "Mike", "Able", "delta", "foxtrot"}));
        QVERIFY(console.commands.tvMain_AfterLabelEdit(ComputerKey(echo), QStringLiteral("zulu")));
        QCOMPARE(console.childTexts(RootKey), (QStringList {"Alpha", "Mike", "delta", "foxtrot", "zulu"}));
        QVERIFY(console.commands.tvMain_AfterLabelEdit(FolderKey(a), QStringLiteral("Oscar")));
        QCOMPARE(console.childTexts(RootKey), (QStringList {"Mike", "Oscar", "delta", "foxtrot", "zulu"}));

        // A node added after the renames lands where the names say.
        console.database.AddComputer(QStringLiteral("Golf"), QString(), -1, -1);
        QCOMPARE(console.childTexts(RootKey), (QStringList {"Mike", "Oscar", "delta", "foxtrot", "Golf", "zulu"}));
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<int>("answer");
        // clang-format off
        QTest::newRow("group, yes") << true << int(Presenter::Yes);
        QTest::newRow("group, no") << true << int(Presenter::No);
        QTest::newRow("computer, yes") << false << int(Presenter::Yes);
        QTest::newRow("computer, no") << false << int(Presenter::No);
        // clang-format on
    }
    void deleteAsksFirst()
    {
        QFETCH(bool, folder);
        QFETCH(int, answer);

        Console console;
        RecordingPresenter presenter;
        const int group = console.database.AddFolder(QStringLiteral("Sales"), -1);
        const int inside = console.database.AddComputer(QStringLiteral("S1"), QString(), group, -1);
        const int pc = console.database.AddComputer(QStringLiteral("Lab PC"), QString(), -1, -1);
        const QString key = folder ? FolderKey(group) : ComputerKey(pc);
        console.control.selected = key;
        console.loads.clear();
        presenter.setNextAnswer(Presenter::Answer(answer));

        console.commands.tvMain_KeyDown(TreeCommands::KeyDelete);

        QCOMPARE(presenter.count(), 1);
        const Presenter::Message &question = presenter.last();
        QCOMPARE(question.caption, QStringLiteral("Confirm Delete"));
        QCOMPARE(question.buttons, Presenter::Buttons::YesNo);
        QCOMPARE(question.icon, Presenter::Icon::Question);
        QCOMPARE(question.text,
            folder ? QStringLiteral("Are you sure you'd like to delete the group 'Sales'?")
                   : QStringLiteral("Are you sure you'd like to delete the computer 'Lab PC'?"));
        const bool yes = answer == Presenter::Yes;
        QCOMPARE(console.tree.contains(key), !yes);
        if (folder) {
            QCOMPARE(console.database.GetFolderName(group).isEmpty(), yes);
            QCOMPARE(console.database.FindComputer(QStringLiteral("S1")), yes ? -1 : inside);
        } else {
            QCOMPARE(console.database.FindComputer(QStringLiteral("Lab PC")), yes ? -1 : pc);
        }
        QCOMPARE(console.loads.size(), yes ? 1 : 0);
    }

    void rootRefusals()
    {
        Console console;
        RecordingPresenter presenter;
        console.control.selected = RootKey;

        console.commands.tvMain_KeyDown(TreeCommands::KeyF2);
        QCOMPARE(presenter.count(), 0);
        QVERIFY(console.control.edits.isEmpty());

        console.commands.DeleteSelectedNode();
        QCOMPARE(presenter.last().text, QStringLiteral("Can't delete root node."));
        console.commands.mnuTVRename_Click();
        QCOMPARE(presenter.last().text, QStringLiteral("Can't rename root node."));
        QCOMPARE(presenter.count(), 2);
        QVERIFY(console.control.edits.isEmpty());
        QVERIFY(!console.commands.CanEditLabel(RootKey));

        // The same gestures on a computer start editing.
        const int pc = console.database.AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        console.control.selected = ComputerKey(pc);
        console.commands.tvMain_KeyDown(TreeCommands::KeyF2);
        console.commands.mnuTVRename_Click();
        QCOMPARE(console.control.edits, (QStringList {ComputerKey(pc), ComputerKey(pc)}));
        QVERIFY(console.commands.CanEditLabel(ComputerKey(pc)));
    }

    void dragStartsOnTheFourthMove()
    {
        Console console;
        const int folder = console.database.AddFolder(QStringLiteral("G"), -1);
        const int pc = console.database.AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        TreeCommands &commands = console.commands;

        commands.tvMain_MouseDown(ComputerKey(pc));
        for (int i = 1; i < TreeCommands::DragThreshold; ++i)
            QVERIFY(!commands.tvMain_MouseMove(true));
        QVERIFY(commands.tvMain_MouseMove(true));
        QCOMPARE(commands.DragImage(), int(modTreeImages::DragComputer));
        QVERIFY(commands.DragStarted());
        QVERIFY(!commands.tvMain_MouseMove(true));

        // The button came up: the count starts over.
        QVERIFY(!commands.tvMain_MouseMove(false));
        QVERIFY(!commands.DragStarted());
        commands.tvMain_MouseDown(FolderKey(folder));
        for (int i = 1; i < TreeCommands::DragThreshold; ++i)
            QVERIFY(!commands.tvMain_MouseMove(true));
        QVERIFY(commands.tvMain_MouseMove(true));
        QCOMPARE(commands.DragImage(), int(modTreeImages::DragFolder));

        // Nothing to drag: no node under the press, or the root that never moves.
        for (const QString &key : {QString(), RootKey, QStringLiteral("C99")}) {
            commands.DragEnded();
            commands.tvMain_MouseDown(key);
            for (int i = 0; i < 2 * TreeCommands::DragThreshold; ++i)
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

        Console console;
        ComputerDB &db = console.database;
        const int top = db.AddFolder(QStringLiteral("Top"), -1);
        const int child = db.AddFolder(QStringLiteral("Child"), top);
        const int other = db.AddFolder(QStringLiteral("Other"), -1);
        const int pc = db.AddComputer(QStringLiteral("PC"), QString(), child, -1);
        const int rootPc = db.AddComputer(QStringLiteral("A-PC"), QString(), -1, -1);
        const QHash<QString, QString> keys {{"root", RootKey}, {"top", FolderKey(top)}, {"child", FolderKey(child)},
            {"other", FolderKey(other)}, {"pc", ComputerKey(pc)}, {"rootpc", ComputerKey(rootPc)}, {"none", QString()}};
        const QStringList before = console.tree.outline();
        AppState::Get().DatabaseChanged = false;

        // The node under the pointer is marked, also where a drop moves nothing.
        QCOMPARE(console.drag(keys.value(source), keys.value(target)), keys.value(target));

        const QString sourceKey = keys.value(source);
        QCOMPARE(console.tree.parentKey(sourceKey), keys.value(parentAfter));
        const bool moved = console.tree.outline() != before;
        QCOMPARE(AppState::Get().DatabaseChanged, moved);
        QVERIFY(console.control.highlight.isEmpty());
        if (source == "pc" && target == "root") {
            // After the root's groups, in name order among its computers.
            QCOMPARE(console.childTexts(RootKey), (QStringList {"Other", "Top", "A-PC", "PC"}));
        }
    }

    void migrationRunningBlocksEveryEdit()
    {
        Console console;
        RecordingPresenter presenter;
        const int group = console.database.AddFolder(QStringLiteral("G"), -1);
        const int pc = console.database.AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        const QStringList before = console.tree.outline();
        AppState::Get().MigrationRunning = true;
        AppState::Get().DatabaseChanged = false;
        TreeCommands &commands = console.commands;

        console.control.selected = ComputerKey(pc);
        commands.AddNewComputer();
        commands.AddNewFolder();
        commands.RenameNode();
        commands.tvMain_KeyDown(TreeCommands::KeyF2);
        commands.tvMain_KeyDown(TreeCommands::KeyDelete);
        commands.DeleteSelectedNode();
        commands.mnuTVRename_Click();
        QVERIFY(!commands.CanEditLabel(ComputerKey(pc)));
        QVERIFY(!commands.tvMain_AfterLabelEdit(ComputerKey(pc), QStringLiteral("Other")));
        console.control.selected = RootKey;
        commands.mnuTVRename_Click();
        commands.DeleteSelectedNode();

        commands.tvMain_MouseDown(ComputerKey(pc));
        for (int i = 0; i < 2 * TreeCommands::DragThreshold; ++i)
            QVERIFY(!commands.tvMain_MouseMove(true));
        QVERIFY(!commands.tvMain_DragOver(FolderKey(group)));
        QVERIFY(console.control.highlight.isEmpty());
        commands.tvMain_DragDrop();

        commands.mnuRefresh_Click();
        QVERIFY(console.control.waitCalls.isEmpty());

        const TreePopup popup = commands.tvMain_RightClick(ComputerKey(pc));
        QVERIFY(popup.Show);
        QVERIFY(!popup.RenameEnabled);
        QVERIFY(!popup.DeleteEnabled);

        QCOMPARE(console.tree.outline(), before);
        QVERIFY(console.control.edits.isEmpty());
        QCOMPARE(presenter.count(), 0);
        QVERIFY(!AppState::Get().DatabaseChanged);
    }

    void rightClick()
    {
        Console console;
        const int pc = console.database.AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        const int group = console.database.AddFolder(QStringLiteral("G"), -1);
        TreeCommands &commands = console.commands;

        TreePopup popup = commands.tvMain_RightClick(RootKey);
        QVERIFY(popup.Show);
        QVERIFY(!popup.RenameEnabled);
        QVERIFY(!popup.DeleteEnabled);
        QVERIFY(!popup.ComputerNode);
        QVERIFY(console.loads.isEmpty()); // the root was selected already

        popup = commands.tvMain_RightClick(ComputerKey(pc));
        QCOMPARE(popup.Key, ComputerKey(pc));
        QVERIFY(popup.Show && popup.RenameEnabled && popup.DeleteEnabled && popup.ComputerNode);
        QCOMPARE(console.control.selected, ComputerKey(pc));
        QCOMPARE(console.loads, QStringList {ComputerKey(pc)});

        popup = commands.tvMain_RightClick(FolderKey(group));
        QVERIFY(popup.RenameEnabled && !popup.ComputerNode);

        QVERIFY(!commands.tvMain_RightClick(QString()).Show);
        QCOMPARE(console.control.selected, FolderKey(group));

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
        Console console;
        const int group = console.database.AddFolder(QStringLiteral("B"), -1);
        console.database.AddFolder(QStringLiteral("a"), group);
        console.database.AddComputer(QStringLiteral("PC"), QString(), group, -1);
        const QStringList before = console.tree.outline();
        console.tree.setText(FolderKey(group), QStringLiteral("stale"));

        console.commands.mnuRefresh_Click();
        QCOMPARE(console.tree.outline(), before);
        QCOMPARE(console.control.waitCalls, (QList<bool> {true, false}));

        RecordingProgress progress;
        console.control.selected = FolderKey(group);
        console.commands.ReloadComputerDatabase(&progress);
        QCOMPARE(progress.starts, (QStringList {"Importing: Creating Folder Hierarchy...", "Importing: Adding Computers to Hierarchy..."}));
        QCOMPARE(console.control.loadingCalls, (QList<bool> {true, false}));
        QCOMPARE(console.tree.outline(), before);
        QVERIFY(console.database.IsLinked());
        QCOMPARE(console.loads.constLast(), RootKey);
    }

    void expandShowsTheImageBefore()
    {
        Console console;
        const int group = console.database.AddFolder(QStringLiteral("G"), -1);
        const int pc = console.database.AddComputer(QStringLiteral("PC"), QString(), group, -1);
        console.commands.tvMain_Expand(FolderKey(group));
        QCOMPARE(console.tree.expandedIcon(FolderKey(group)), 2);
        // A computer does not open.
        console.commands.tvMain_Expand(ComputerKey(pc));
        QCOMPARE(console.tree.expandedIcon(ComputerKey(pc)), 0);
        console.tree.setIcon(FolderKey(group), 21);
        console.commands.tvMain_Expand(FolderKey(group));
        QCOMPARE(console.tree.expandedIcon(FolderKey(group)), 20);
    }

    void statusImages_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("image");
        using namespace modTreeImages;
        const QList<QPair<const char *, int>> rows {{"NP", StatusNotProcessed}, {"ID", StatusNotProcessed}, {"L0", StatusLoading},
            {"L9", StatusLoading}, {"CL", StatusExecuting}, {"U3", StatusUnloading}, {"PS", StatusSuccess}, {"XW", StatusWarnings},
            {"PE", StatusErrors}, {"XC", StatusCanceled}, {"XA", StatusAborted}, {"AP", StatusAborting}, {"A5", StatusAborting},
            {"Q1", StatusUnknown}, {"L", StatusUnknown}, {"LA", StatusUnknown}};
        for (const auto &[code, image] : rows)
            QTest::newRow(code) << QString::fromLatin1(code) << image;
    }
    void statusImages()
    {
        QFETCH(QString, code);
        QFETCH(int, image);
        QCOMPARE(modTreeImages::StatusImage(code), image);
        QVERIFY(modTreeImages::AllImages().contains(image));
    }

private:
    QTemporaryDir m_temp;
};

QTEST_GUILESS_MAIN(TestTreeCommands)
#include "tst_TreeCommands.moc"

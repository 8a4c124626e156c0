#include "common/AppState.h"
#include "common/RunState.h"
#include "common/TreeImage.h"
#include "database/ComputerDB.h"
#include "database/EditHistory.h"
#include "database/MemoryTreeDisplay.h"
#include "shell/TreeCommands.h"
#include "shell/TreeControl.h"

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
    QStringList selectedKeys() const override { return more.isEmpty() ? QStringList {selectedKey()} : more; }
    void selectNode(const QString &key) override { selected = m_tree.contains(key) ? key : selected; }
    void setExpanded(const QString &, bool) override { }
    void beginLabelEdit(const QString &key) override { edits.append(key); }
    void setDropHighlight(const QString &key) override { highlight = key; }
    void setLoading(bool loading) override { loadingCalls.append(loading); }
    void setWaitCursor(bool wait) override { waitCalls.append(wait); }

    QString selected;
    // Several selected: these, the current one among them.
    QStringList more;
    QString highlight;
    QStringList edits;
    QList<bool> loadingCalls;
    QList<bool> waitCalls;

private:
    const TreeDisplay &m_tree;
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
    // Press and the moves before the one that starts a drag.
    void pressToDrag(const QString &key)
    {
        commands.DragEnded();
        commands.tvMain_MouseDown(key);
        for (int i = 1; i < TreeCommands::DragThreshold; ++i)
            QVERIFY(!commands.tvMain_MouseMove(true));
    }
    // A whole drag onto `target`; returns the node marked as drop target before the drop.
    QString drag(const QString &source, const QString &target)
    {
        pressToDrag(source);
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

    void newObjectName_data()
    {
        QTest::addColumn<QStringList>("existing"); // "name" at the root or "name@G" in group "G"
        QTest::addColumn<QString>("select"); // "", "root", "folder", "computer"
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("inFolder");

        const QString computer1 = QStringLiteral("New Computer 1");
        // clang-format off
        QTest::newRow("nothing selected") << QStringList() << QString() << computer1 << false;
        QTest::newRow("folder selected") << QStringList() << "folder" << computer1 << true;
        QTest::newRow("computer selected goes to its folder") << QStringList {"PC@G"} << "computer" << computer1 << true;
        QTest::newRow("first gap") << QStringList {"New Computer 1", "New Computer 3"} << "root" << "New Computer 2" << false;
        QTest::newRow("names count in every folder") << QStringList {"New Computer 1@G"} << "root" << "New Computer 2" << false;
        QTest::newRow("without regard to case") << QStringList {"NEW COMPUTER 1", "new computer 2"} << "" << "New Computer 3" << false;
        QTest::newRow("group names count per parent") << QStringList {"New Group 1", "new group 3", "New Group 2@G"} << "root" << "New Group 2" << false;
        QTest::newRow("group in the selected group") << QStringList {"New Group 1@G", "New Group 2"} << "folder" << "New Group 2" << true;
        // clang-format on
    }
    void newObjectName()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, select);
        QFETCH(QString, name);
        QFETCH(bool, inFolder);

        Console c;
        RecordingPresenter presenter;
        const int folder = c.folder(QStringLiteral("G"));
        int last = -1;
        for (const QString &entry : existing) {
            const QString entryName = entry.section('@', 0, 0);
            const int parent = entry.contains('@') ? folder : -1;
            last = entryName.contains("group", Qt::CaseInsensitive) ? c.folder(entryName, parent) : c.computer(entryName, parent);
        }
        c.select(QHash<QString, QString> {{"root", RootKey}, {"folder", FolderKey(folder)}, {"computer", ComputerKey(last)}}.value(select));
        const bool group = name.contains("Group");

        group ? c.commands.AddNewFolder() : c.commands.AddNewComputer();

        const int id = group ? c.database.FindFolder(name, inFolder ? folder : -1) : c.database.FindComputer(name);
        const QString key = group ? FolderKey(id) : ComputerKey(id);
        QCOMPARE(presenter.count(), 0);
        QCOMPARE(c.tree.parentKey(key), inFolder ? FolderKey(folder) : RootKey);
        // Selected, loaded into the panel and open for typing the name.
        QCOMPARE(c.control.selected, key);
        QCOMPARE(c.loads, QStringList {key});
        QCOMPARE(c.control.edits, QStringList {key});
    }

    void afterLabelEdit_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("newText");
        QTest::addColumn<bool>("renamed");
        QTest::addColumn<QString>("message");

        const QString exists = QStringLiteral("The specified name already exists. Please try again.");
        const QString notComputer = QStringLiteral("The specified name is not a valid computer name: it may have at most 15 characters, "
                                                   "letters, digits, hyphens and underscores, and not only digits. Please try again.");
        // clang-format off
        QTest::newRow("computer") << "PC1" << "PC9" << true << "";
        QTest::newRow("computer name used in another folder") << "PC1" << "pc2" << false << exists;
        QTest::newRow("computer in other letter case") << "PC1" << "pc1" << true << "";
        QTest::newRow("folder name used under another parent") << "Sub" << "a" << true << "";
        QTest::newRow("folder name of a sibling") << "Sub" << "SUB2" << false << exists;
        QTest::newRow("empty name") << "Sub" << "" << false << "You must provide a name for this object.";
        QTest::newRow("blanks are kept in group names") << "Sub" << " Sub 7 " << true << "";
        QTest::newRow("computer name with a blank") << "PC1" << "PC 1" << false << notComputer;
        QTest::newRow("computer name of 15 characters") << "PC1" << "ABCDEFGHIJKLMNO" << true << "";
        QTest::newRow("computer name of 16 characters") << "PC1" << "ABCDEFGHIJKLMNOP" << false << notComputer;
        QTest::newRow("computer name with a forbidden character") << "PC1" << "PC*1" << false << notComputer;
        QTest::newRow("group names may be longer") << "Sub" << "Sales and Marketing EU" << true << "";
        QTest::newRow("group name longer than a file keeps") << "Sub" << QString(10923, QChar(0x20AC)) << false << "The specified name is longer than 32767 bytes, more than a settings file keeps. Please try again.";
        QTest::newRow("root") << "root" << "Everything" << false << "";
        QTest::newRow("unchanged still counts as an edit") << "PC1" << "PC1" << true << "";
        QTest::newRow("node gone") << "C99" << "X" << false << "Attempting to load the selected object failed.";
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
        c.computer(QStringLiteral("PC3"), a);
        c.computer(QStringLiteral("PC2"), c.folder(QStringLiteral("B")));
        AppState::Get().DatabaseChanged = false;
        const QString key = node == "PC1" ? ComputerKey(pc1) : node == "Sub" ? FolderKey(sub) : node == "root" ? RootKey : node;
        const QString before = c.tree.text(key);
        const QStringList siblings = c.tree.childKeys(c.tree.parentKey(key));
        c.select(key);

        QCOMPARE(c.commands.tvMain_AfterLabelEdit(key, newText), renamed);

        QCOMPARE(c.tree.text(key), renamed ? newText : before);
        // A renamed node stays where the administrator was looking.
        QCOMPARE(c.tree.childKeys(c.tree.parentKey(key)), siblings);
        if (node == "PC1" || node == "Sub")
            QCOMPARE(node == "PC1" ? c.database.GetComputerName(pc1) : c.database.GetFolderName(sub), c.tree.text(key));
        QCOMPARE(AppState::Get().DatabaseChanged, renamed);
        QCOMPARE(c.loads.size(), renamed ? 1 : 0);
        QCOMPARE(presenter.count(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY2(presenter.last().text.endsWith(message), qPrintable(presenter.last().text));
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<int>("answer");
        QTest::newRow("group, yes") << true << int(Presenter::Yes);
        QTest::newRow("computer, no") << false << int(Presenter::No);
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

        QVERIFY(presenter.count() == 1 && presenter.last().caption == QStringLiteral("Confirm Delete"));
        QCOMPARE(presenter.last().buttons, Presenter::Buttons::YesNo);
        QCOMPARE(presenter.last().text,
            folder ? QStringLiteral("Are you sure you'd like to delete the group 'Sales'?")
                   : QStringLiteral("Are you sure you'd like to delete the computer 'Lab PC'?"));
        const bool yes = answer == Presenter::Yes;
        QCOMPARE(c.tree.contains(key), !yes);
        // A group goes with what it holds.
        QCOMPARE(c.database.FindComputer(folder ? QStringLiteral("S1") : QStringLiteral("Lab PC")), yes ? -1 : folder ? inside : pc);
        // Either answer reloads the panel for what is selected now.
        QCOMPARE(c.loads, QStringList {c.control.selectedKey()});
    }

    // Several nodes: a node inside a selected group goes with its group and
    // is not counted twice; the question counts what the groups hold; a
    // drag and Move To move each node that may go and leave the others.
    // An edit of many computers: one question that counts them, computers it
    // would not change left alone, each given its own copy, one step.
    void manyComputersAtOnce()
    {
        struct Steps final : EditHistory
        {
            QStringList texts;
            void recorded(const QString &text, std::vector<DatabaseChange>) override { texts << text; }
            void unrecorded() override { }
        } steps;
        Console c;
        RecordingPresenter presenter;
        const auto own = [&](int id) { return c.database.GetSettings(QStringLiteral("C"), id); };
        const int sales = c.folder(QStringLiteral("Sales"));
        GlobalSettingsPtr salesRecord = GlobalSettings::create();
        salesRecord->JoinName = QStringLiteral("SALES");
        c.database.AddSettings(salesRecord, sales, QStringLiteral("F"));
        const int s1 = c.computer(QStringLiteral("S1"), sales);
        const int s2 = c.computer(QStringLiteral("S2"), sales);
        c.database.AddSettings(GlobalSettings::create(), s2, QStringLiteral("C"));
        const int pc = c.computer(QStringLiteral("PC"));
        c.database.GetComputerUserList(pc)->AddUserToUser(QStringLiteral("alice"), QStringLiteral("alice.new"));
        const int lab = c.computer(QStringLiteral("LAB"));
        c.database.SetEditHistory(&steps);
        c.select(ComputerKey(pc));
        c.control.more = {FolderKey(sales), ComputerKey(pc), ComputerKey(lab)};

        presenter.setNextAnswer(Presenter::Yes);
        QCOMPARE(c.commands.EditSelectedComputers(TreeCommands::BulkEdit::GiveOwnSettings), 3);
        QCOMPARE(presenter.last().text, QStringLiteral("Give 3 computers settings of their own, each a copy of the settings it "
                                                       "inherits now?  1 computer of the selection is left as it is: own settings already."));
        QCOMPARE(own(s1)->JoinName, QStringLiteral("SALES"));
        QVERIFY(own(s1) != salesRecord && own(s1) != own(lab) && own(pc) != own(lab));
        QCOMPARE(own(s2)->JoinName, QString());
        QCOMPARE(steps.texts, QStringList {"Give Own Settings (3 computers)"});

        presenter.setNextAnswer(Presenter::Yes);
        QCOMPARE(c.commands.EditSelectedComputers(TreeCommands::BulkEdit::AddAllUsers), 3);
        QCOMPARE(c.database.GetComputerUserList(pc)->GetUserCount(), 1);
        QCOMPARE(c.database.GetComputerUserList(lab)->GetType(), int(ListAllUsers));

        // Written once; PC alone can take a migration of users by name now.
        presenter.setNextAnswer(Presenter::Yes);
        QCOMPARE(c.commands.AddUserMigrationsToSelection([](const UserProfilesPtr &list) {
            list->AddUserToUser(QStringLiteral("bob"), QStringLiteral("bob.new"));
        }),
            1);
        QCOMPARE(c.database.GetComputerUserList(pc)->GetUserCount(), 2);
        QCOMPARE(c.database.GetComputerUserList(s1)->GetUserCount(), 1);

        presenter.setNextAnswer(Presenter::No);
        QCOMPARE(c.commands.EditSelectedComputers(TreeCommands::BulkEdit::InheritSettings), 0);
        QVERIFY(own(s1));
        presenter.setNextAnswer(Presenter::Yes);
        QCOMPARE(c.commands.EditSelectedComputers(TreeCommands::BulkEdit::InheritSettings), 4);
        QVERIFY(!own(s1) && !own(s2) && !own(pc) && !own(lab));
        QCOMPARE(steps.texts.size(), 4);

        // Set once, from the first computer's settings; each its own copy.
        presenter.setNextAnswer(Presenter::Yes);
        int shownFor = 0;
        QCOMPARE(c.commands.SetSettingsOfSelection([&](const GlobalSettings &start, int count) {
            shownFor = count;
            GlobalSettingsPtr edited = start.Clone();
            edited->JoinName = QStringLiteral("SET");
            return edited;
        }),
            4);
        QCOMPARE(shownFor, 4);
        QVERIFY(own(s1)->JoinName == QStringLiteral("SET") && own(lab)->JoinName == QStringLiteral("SET") && own(s1) != own(lab));
        QCOMPARE(steps.texts.last(), QStringLiteral("Set Settings (4 computers)"));

        // Disabled, each stays where it is with what it has, marked in the tree.
        QVERIFY(c.database.SetComputerEnabled(lab, false));
        presenter.setNextAnswer(Presenter::Yes);
        QCOMPARE(c.commands.EditSelectedComputers(TreeCommands::BulkEdit::Disable), 3);
        QVERIFY(presenter.last().text.startsWith(QStringLiteral("Disable 3 computers? ")));
        QVERIFY(presenter.last().text.endsWith(QStringLiteral("1 computer of the selection is left as it is: disabled already.")));
        QCOMPARE(steps.texts.last(), QStringLiteral("Disable Computers (3 computers)"));
        QVERIFY(c.tree.nodeDisabled(ComputerKey(s1)) && c.tree.nodeDisabled(ComputerKey(pc)) && !c.database.Computers(s2)->Enabled);
        QCOMPARE(own(s1)->JoinName, QStringLiteral("SET"));
        presenter.setNextAnswer(Presenter::Yes);
        QCOMPARE(c.commands.EditSelectedComputers(TreeCommands::BulkEdit::Enable), 4);
        QVERIFY(!c.tree.nodeDisabled(ComputerKey(lab)) && c.database.Computers(lab)->Enabled);
        c.database.SetEditHistory(nullptr);
    }

    void severalNodes()
    {
        Console c;
        RecordingPresenter presenter;
        const int sales = c.folder(QStringLiteral("Sales"));
        const int london = c.folder(QStringLiteral("London"), sales);
        const int s1 = c.computer(QStringLiteral("S1"), london);
        const int pc = c.computer(QStringLiteral("PC"));
        const int lab = c.folder(QStringLiteral("Lab"));
        c.select(ComputerKey(pc));
        c.control.more = {FolderKey(sales), ComputerKey(s1), ComputerKey(pc)};
        QCOMPARE(c.commands.SelectedTopNodes(), (QStringList {FolderKey(sales), ComputerKey(pc)}));

        presenter.setNextAnswer(Presenter::No);
        c.commands.DeleteSelectedNode();
        QCOMPARE(
            presenter.last().text, QStringLiteral("Are you sure you'd like to delete 2 selected nodes: 2 groups and 2 computers in all?"));
        QVERIFY(c.tree.contains(FolderKey(sales)));

        // Sales may not go into London, below itself; PC may.
        presenter.setNextChoice(int(c.commands.GroupPaths().indexOf({QStringLiteral("Sales/London"), FolderKey(london)})));
        c.commands.MoveSelectedNodes();
        QCOMPARE(presenter.choiceRequests().last().items, (QStringList {"All Computers", "Lab", "Sales", "Sales/London"}));
        QCOMPARE(c.tree.parentKey(ComputerKey(pc)), FolderKey(london));
        QCOMPARE(c.tree.parentKey(FolderKey(sales)), modGeneral::RootKey);
        QVERIFY(presenter.last().text.startsWith(QStringLiteral("1 of the selected nodes stayed")));

        const int pc2 = c.computer(QStringLiteral("PC2"));
        c.control.more = {FolderKey(sales), ComputerKey(pc2)};
        // Over London, below Sales: the drag is still welcome, since PC2 may go there.
        c.pressToDrag(ComputerKey(pc2));
        QVERIFY(c.commands.tvMain_MouseMove(true) && c.commands.tvMain_DragOver(FolderKey(london)));
        c.drag(ComputerKey(pc2), FolderKey(lab));
        QCOMPARE(c.tree.parentKey(FolderKey(sales)), FolderKey(lab));
        QCOMPARE(c.tree.parentKey(ComputerKey(pc2)), FolderKey(lab));

        presenter.setNextAnswer(Presenter::Yes);
        c.control.more = {FolderKey(lab), modGeneral::RootKey};
        c.commands.DeleteSelectedNode();
        QCOMPARE(presenter.last().text, QStringLiteral("Can't delete root node."));
        QVERIFY(c.tree.contains(FolderKey(lab)));
    }

    void rootRefusals()
    {
        Console c;
        RecordingPresenter presenter;
        c.select(RootKey);
        c.commands.tvMain_KeyDown(TreeCommands::KeyF2);
        c.commands.DeleteSelectedNode();
        c.commands.mnuTVRename_Click();
        QCOMPARE(presenter.count(), 2);
        QCOMPARE(presenter.messages().at(0).text, QStringLiteral("Can't delete root node."));
        QCOMPARE(presenter.messages().at(1).text, QStringLiteral("Can't rename root node."));
        QVERIFY(c.control.edits.isEmpty() && !c.commands.CanEditLabel(RootKey));

        // The same gestures on a computer start editing.
        const QString pc = ComputerKey(c.computer(QStringLiteral("PC")));
        c.select(pc);
        c.commands.tvMain_KeyDown(TreeCommands::KeyF2);
        c.commands.mnuTVRename_Click();
        QVERIFY(c.control.edits == QStringList({pc, pc}) && c.commands.CanEditLabel(pc));
    }

    void dragStartsOnTheFourthMove()
    {
        Console c;
        TreeCommands &commands = c.commands;
        c.pressToDrag(ComputerKey(c.computer(QStringLiteral("PC"))));
        QVERIFY(commands.tvMain_MouseMove(true));
        QCOMPARE(commands.DragImage(), int(TreeImage::DragComputer));
        QVERIFY(!commands.tvMain_MouseMove(true));
        // The button came up: the count starts over.
        QVERIFY(!commands.tvMain_MouseMove(false) && !commands.DragStarted());
        c.pressToDrag(FolderKey(c.folder(QStringLiteral("G"))));
        QVERIFY(commands.tvMain_MouseMove(true));
        QCOMPARE(commands.DragImage(), int(TreeImage::DragFolder));

        // Nothing to drag: no node under the press, or the root that never moves.
        for (const QString &key : {QString(), RootKey, QStringLiteral("C99")}) {
            c.pressToDrag(key);
            QVERIFY(!commands.tvMain_MouseMove(true));
        }
    }

    void dropRules_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("parentAfter");
        QTest::addColumn<bool>("moved");
        // clang-format off
        QTest::newRow("computer onto the root") << "pc" << "root" << "root" << true;
        QTest::newRow("computer onto a group") << "rootpc" << "child" << "child" << true;
        QTest::newRow("computer onto its own group") << "pc" << "child" << "child" << true;
        QTest::newRow("computer onto a computer") << "pc" << "rootpc" << "child" << false;
        QTest::newRow("computer onto nothing") << "pc" << "none" << "child" << false;
        QTest::newRow("group onto another group") << "child" << "other" << "other" << true;
        QTest::newRow("group onto the root") << "child" << "root" << "root" << true;
        QTest::newRow("group onto its own parent") << "child" << "top" << "top" << false;
        QTest::newRow("group onto its own child") << "top" << "child" << "root" << false;
        QTest::newRow("group onto itself") << "top" << "top" << "root" << false;
        QTest::newRow("group onto a computer") << "other" << "rootpc" << "root" << false;
        // clang-format on
    }
    void dropRules()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, parentAfter);
        QFETCH(bool, moved);
        Console c;
        const int top = c.folder(QStringLiteral("Top"));
        const int child = c.folder(QStringLiteral("Child"), top);
        const int other = c.folder(QStringLiteral("Other"));
        const int pc = c.computer(QStringLiteral("PC"), child);
        const int neighbour = c.computer(QStringLiteral("PC2"), child);
        const int rootPc = c.computer(QStringLiteral("A-PC"));
        const QHash<QString, QString> keys {{"root", RootKey}, {"top", FolderKey(top)}, {"child", FolderKey(child)},
            {"other", FolderKey(other)}, {"pc", ComputerKey(pc)}, {"rootpc", ComputerKey(rootPc)}, {"none", QString()}};
        AppState::Get().DatabaseChanged = false;

        // The node under the pointer is marked, also where a drop moves nothing.
        QCOMPARE(c.drag(keys.value(source), keys.value(target)), keys.value(target));

        QCOMPARE(c.tree.parentKey(keys.value(source)), keys.value(parentAfter));
        QCOMPARE(AppState::Get().DatabaseChanged, moved);
        QVERIFY(c.control.highlight.isEmpty());
        if (source == "pc" && target == "root") // after the root's groups, in name order among its computers
            QCOMPARE(c.tree.childKeys(RootKey), (QStringList {FolderKey(other), FolderKey(top), ComputerKey(rootPc), ComputerKey(pc)}));
        if (source == "pc" && target == "child") { // to the end of its group's list; the tree keeps name order
            QCOMPARE(c.database.FolderComputers(child)->Peek(0), neighbour);
            QCOMPARE(c.database.FolderComputers(child)->Peek(1), pc);
            QCOMPARE(c.tree.childKeys(FolderKey(child)), (QStringList {ComputerKey(pc), ComputerKey(neighbour)}));
        }
    }

    void migrationRunningBlocksEveryEdit()
    {
        Console c;
        RecordingPresenter presenter;
        const int group = c.folder(QStringLiteral("G"));
        const int pc = c.computer(QStringLiteral("PC"));
        const QStringList before = c.tree.outline();
        RunState::instance().startMigration();
        AppState::Get().DatabaseChanged = false;
        TreeCommands &commands = c.commands;

        for (const QString &key : {ComputerKey(pc), RootKey}) {
            c.select(key);
            commands.AddNewComputer();
            commands.AddNewFolder();
            commands.tvMain_KeyDown(TreeCommands::KeyF2);
            commands.tvMain_KeyDown(TreeCommands::KeyDelete);
            commands.mnuTVRename_Click();
        }
        QVERIFY(!commands.CanEditLabel(ComputerKey(pc)));
        QVERIFY(!commands.tvMain_AfterLabelEdit(ComputerKey(pc), QStringLiteral("Other")));
        c.pressToDrag(ComputerKey(pc));
        QVERIFY(!commands.tvMain_MouseMove(true));
        QVERIFY(!commands.tvMain_DragOver(FolderKey(group)));
        commands.tvMain_DragDrop();
        // A rebuild would wipe the client statuses the tree shows.
        commands.mnuRefresh_Click();
        const TreePopup popup = commands.tvMain_RightClick(ComputerKey(pc));
        QVERIFY(popup.Show && !popup.RenameEnabled && !popup.DeleteEnabled && !popup.MoveEnabled);

        QCOMPARE(c.tree.outline(), before);
        QVERIFY(c.control.edits.isEmpty() && c.control.highlight.isEmpty() && c.control.waitCalls.isEmpty());
        QVERIFY(presenter.count() == 0 && !AppState::Get().DatabaseChanged);
    }

    void rightClick()
    {
        Console c;
        const int pc = c.computer(QStringLiteral("PC"));
        const int group = c.folder(QStringLiteral("G"));
        TreeCommands &commands = c.commands;
        TreePopup popup = commands.tvMain_RightClick(RootKey);
        QVERIFY(popup.Show && !popup.RenameEnabled && !popup.DeleteEnabled && !popup.ComputerNode);
        popup = commands.tvMain_RightClick(ComputerKey(pc));
        QVERIFY(popup.Show && popup.RenameEnabled && popup.DeleteEnabled && popup.ComputerNode);
        QVERIFY(!commands.tvMain_RightClick(FolderKey(group)).ComputerNode);
        QVERIFY(!commands.tvMain_RightClick(QString()).Show);
        // The panel follows the selection; the root was selected already.
        QCOMPARE(c.loads, (QStringList {ComputerKey(pc), FolderKey(group)}));

        // No menu while a ping test or a network test is running.
        RunState::instance().startPingTest();
        QVERIFY(!commands.tvMain_RightClick(ComputerKey(pc)).Show);
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

        c.select(FolderKey(group));
        c.commands.ReloadComputerDatabase(nullptr);
        QVERIFY(c.control.loadingCalls == QList<bool>({true, false}) && c.tree.outline() == before);
        QCOMPARE(c.loads.constLast(), RootKey);
    }

private:
    QTemporaryDir m_temp;
};

QTEST_GUILESS_MAIN(TestTreeCommands)
#include "tst_TreeCommands.moc"

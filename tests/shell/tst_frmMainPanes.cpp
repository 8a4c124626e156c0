#include "MainWindowFixture.h"

#include "shell/TreeCommands.h"
#include "shell/forms/ObjectSettingsPanel.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

using modGeneral::ComputerKey;
using modGeneral::FolderKey;
using modGeneral::RootKey;

namespace {

const QColor InheritedGrey(128, 128, 128);

QColor textColour(QLineEdit *edit)
{
    return edit->palette().color(QPalette::Active, QPalette::Text);
}

// Root settings every level below inherits, a group without its own, a
// computer in it.
struct Job
{
    int Sales = -1;
    int London = -1;
    int Desk = -1;
};

Job fillJob(ComputerDB &db)
{
    Job ids;
    const GlobalSettingsPtr global = db.GetSettings(QStringLiteral("G"), -1);
    global->SourceDomain = QStringLiteral("OLDCORP");
    global->DestinationDomain = QStringLiteral("NEWCORP");
    global->RebootPermitted = 1;
    ids.Sales = db.AddFolder(QStringLiteral("Sales"), -1);
    ids.London = db.AddFolder(QStringLiteral("London"), ids.Sales);
    ids.Desk = db.AddComputer(QStringLiteral("DESK-01"), QString(), ids.London, -1);
    AppState::Get().DatabaseChanged = false;
    return ids;
}

} // namespace

class TestMainWindowPanes : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;
    std::unique_ptr<frmMain> m_window;

    frmMain &window() { return *m_window; }
    QLineEdit *text(const char *name) { return f.control<QLineEdit>(window(), QString::fromLatin1(name)); }
    QCheckBox *check(const char *name) { return f.control<QCheckBox>(window(), QString::fromLatin1(name)); }

    void showWindow()
    {
        m_window = std::make_unique<frmMain>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

private Q_SLOTS:
    void init()
    {
        f.init();
        showWindow();
    }

    void cleanup()
    {
        m_window.reset();
        f.cleanup();
    }

    void startsWithTheRootShown()
    {
        QCOMPARE(window().treeView()->objectName(), QStringLiteral("tvMain"));
        QCOMPARE(window().treeView()->selectedKey(), RootKey);
        QCOMPARE(f.control<QLabel>(window(), QStringLiteral("lblObjSetTitle"))->text(), QStringLiteral("Global Settings"));
        QVERIFY(!f.control<QPushButton>(window(), QStringLiteral("cmdObjSettingsSave"))->isEnabled());
        QVERIFY(f.control<QPushButton>(window(), QStringLiteral("cmdCompNew"))->isEnabled());
    }

    void groupShowsInheritedValuesInGrey()
    {
        const Job ids = fillJob(*window().database());
        f.click(window(), FolderKey(ids.Sales));
        QCOMPARE(window().treeView()->selectedKey(), FolderKey(ids.Sales));
        QCOMPARE(f.control<QLabel>(window(), QStringLiteral("lblObjSetTitle"))->text(), QStringLiteral("Sales"));
        QCOMPARE(text("txtSourceContext")->text(), QStringLiteral("OLDCORP"));
        QCOMPARE(textColour(text("txtSourceContext")), InheritedGrey);
        QCOMPARE(check("chkRebootAllow")->checkState(), Qt::PartiallyChecked);

        // The root defines them itself: the same values in the normal colour.
        f.click(window(), RootKey);
        QCOMPARE(text("txtSourceContext")->text(), QStringLiteral("OLDCORP"));
        QVERIFY(textColour(text("txtSourceContext")) != InheritedGrey);
        QCOMPARE(check("chkRebootAllow")->checkState(), Qt::Checked);
    }

    void savingOnAnInheritingNodeGivesItItsOwnRecord()
    {
        ComputerDB &db = *window().database();
        const Job ids = fillJob(db);
        ComputerTreeView *tree = window().treeView();
        QCOMPARE(tree->icon(FolderKey(ids.Sales)), 3);

        f.click(window(), FolderKey(ids.Sales));
        f.retype(text("txtDestContext"), QStringLiteral("SALESCORP"));
        QTest::mouseClick(f.control<QPushButton>(window(), QStringLiteral("cmdObjSettingsSave")), Qt::LeftButton);
        QCOMPARE(f.presenter->count(), 0);
        const GlobalSettingsPtr own = db.GetSettings(QStringLiteral("F"), ids.Sales);
        QVERIFY(own);
        QCOMPARE(own->DestinationDomain, QStringLiteral("SALESCORP"));
        QCOMPARE(own->SourceDomain, QStringLiteral("OLDCORP")); // what the panel showed, inherited or not
        QCOMPARE(own->RebootPermitted, 1);
        QCOMPARE(db.GetSettings(QStringLiteral("G"), -1)->DestinationDomain, QStringLiteral("NEWCORP"));
        QVERIFY(AppState::Get().DatabaseChanged);
        QCOMPARE(tree->icon(FolderKey(ids.Sales)), 23);
        QCOMPARE(tree->expandedIcon(FolderKey(ids.Sales)), 22);
        QCOMPARE(check("chkRebootAllow")->checkState(), Qt::Checked);
        QVERIFY(textColour(text("txtSourceContext")) != InheritedGrey);

        // A computer's own record marks the group between it and the owner above.
        f.click(window(), ComputerKey(ids.Desk));
        QCOMPARE(textColour(text("txtDestContext")), InheritedGrey);
        QCOMPARE(text("txtDestContext")->text(), QStringLiteral("SALESCORP"));
        f.retype(text("txtSourceContext"), QStringLiteral("BRANCH"));
        QTest::mouseClick(f.control<QPushButton>(window(), QStringLiteral("cmdObjSettingsSave")), Qt::LeftButton);
        QCOMPARE(tree->icon(ComputerKey(ids.Desk)), 4);
        QCOMPARE(tree->icon(FolderKey(ids.London)), 21);
        QCOMPARE(tree->icon(FolderKey(ids.Sales)), 23);
    }

    void cancelOnLeavingKeepsTheEditsAndTheNode()
    {
        ComputerDB &db = *window().database();
        const Job ids = fillJob(db);
        f.click(window(), FolderKey(ids.Sales));
        f.retype(text("txtSourceContext"), QStringLiteral("EDITED"));
        QVERIFY(window().SettingsChanged());

        f.presenter->setNextAnswer(Presenter::Cancel);
        f.click(window(), ComputerKey(ids.Desk));
        QCOMPARE(f.presenter->count(), 1);
        QCOMPARE(f.presenter->last().caption, QStringLiteral("Save Settings"));
        QCOMPARE(f.presenter->last().buttons, Presenter::Buttons::YesNoCancel);
        QCOMPARE(window().treeView()->selectedKey(), FolderKey(ids.Sales));
        QCOMPARE(text("txtSourceContext")->text(), QStringLiteral("EDITED"));
        QVERIFY(window().SettingsChanged());
        QVERIFY(f.control<QPushButton>(window(), QStringLiteral("cmdObjSettingsSave"))->isEnabled());

        // New Computer leaves the node too, and asks first.
        f.presenter->setNextAnswer(Presenter::Cancel);
        QTest::mouseClick(f.control<QPushButton>(window(), QStringLiteral("cmdCompNew")), Qt::LeftButton);
        QCOMPARE(db.GetComputerCount(), 1);
        QCOMPARE(text("txtSourceContext")->text(), QStringLiteral("EDITED"));

        // No throws the edits away and moves on.
        f.presenter->setNextAnswer(Presenter::No);
        f.click(window(), ComputerKey(ids.Desk));
        QCOMPARE(window().treeView()->selectedKey(), ComputerKey(ids.Desk));
        QCOMPARE(f.control<QLabel>(window(), QStringLiteral("lblObjSetTitle"))->text(), QStringLiteral("DESK-01"));
        QVERIFY(!db.GetSettings(QStringLiteral("F"), ids.Sales));
        QVERIFY(!window().SettingsChanged());

        // Yes stores them on the node they were made on.
        f.retype(text("txtSourceContext"), QStringLiteral("DESKCORP"));
        f.presenter->setNextAnswer(Presenter::Yes);
        f.click(window(), RootKey);
        QCOMPARE(window().treeView()->selectedKey(), RootKey);
        QVERIFY(db.GetSettings(QStringLiteral("C"), ids.Desk));
        QCOMPARE(db.GetSettings(QStringLiteral("C"), ids.Desk)->SourceDomain, QStringLiteral("DESKCORP"));
        QCOMPARE(text("txtSourceContext")->text(), QStringLiteral("OLDCORP"));
    }

    void treeOrderAfterAddsRenamesAndMoves()
    {
        ComputerDB &db = *window().database();
        auto add = [&](const char *button, const QString &name) {
            f.click(window(), RootKey);
            QTest::mouseClick(f.control<QPushButton>(window(), QString::fromLatin1(button)), Qt::LeftButton);
            QLineEdit *editor = f.labelEditor(window());
            QVERIFY(editor);
            editor->selectAll();
            QTest::keyClicks(editor, name);
            QTest::keyClick(editor, Qt::Key_Return);
            QTRY_VERIFY(!f.labelEditor(window()));
        };
        add("cmdFoldNew", QStringLiteral("zeta"));
        add("cmdCompNew", QStringLiteral("pc-b"));
        add("cmdFoldNew", QStringLiteral("Alpha"));
        add("cmdCompNew", QStringLiteral("PC-A"));
        QTRY_COMPARE(f.childTexts(window(), RootKey), (QStringList {"Alpha", "zeta", "PC-A", "pc-b"}));
        QCOMPARE(f.presenter->count(), 0);

        // F2 on "zeta" renames it before "Alpha".
        const QString zeta = FolderKey(db.FindFolder(QStringLiteral("zeta"), -1));
        f.click(window(), zeta);
        QTest::keyClick(window().treeView(), Qt::Key_F2);
        QLineEdit *editor = f.labelEditor(window());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("Admin"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(f.childTexts(window(), RootKey), (QStringList {"Admin", "Alpha", "PC-A", "pc-b"}));
        QCOMPARE(f.control<QLabel>(window(), QStringLiteral("lblObjSetTitle"))->text(), QStringLiteral("Admin"));

        // A computer dragged into a group goes after the group's folders, by name.
        const int alpha = db.FindFolder(QStringLiteral("Alpha"), -1);
        db.AddFolder(QStringLiteral("Inner"), alpha);
        db.AddComputer(QStringLiteral("PC-C"), QString(), alpha, -1);
        TreeCommands &commands = window().tree();
        commands.tvMain_MouseDown(ComputerKey(db.FindComputer(QStringLiteral("pc-b"))));
        for (int i = 0; i < TreeCommands::DragThreshold; ++i)
            commands.tvMain_MouseMove(true);
        QVERIFY(commands.DragStarted());
        QVERIFY(commands.tvMain_DragOver(FolderKey(alpha)));
        commands.tvMain_DragDrop();
        QCOMPARE(f.childTexts(window(), FolderKey(alpha)), (QStringList {"Inner", "pc-b", "PC-C"}));
        QCOMPARE(f.childTexts(window(), RootKey), (QStringList {"Admin", "Alpha", "PC-A"}));
    }

    void popupMenuFollowsTheNode()
    {
        ComputerDB &db = *window().database();
        const int pc = db.AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        auto *popup = window().findChild<QMenu *>(QStringLiteral("mnuTVRightClick"));

        f.click(window(), RootKey, Qt::RightButton);
        QTRY_VERIFY(popup->isVisible());
        QVERIFY(!f.action(window(), QStringLiteral("mnuTVRename"))->isEnabled());
        QVERIFY(!f.action(window(), QStringLiteral("mnuTVDelete"))->isEnabled());
        popup->hide();

        f.click(window(), ComputerKey(pc), Qt::RightButton);
        QTRY_VERIFY(popup->isVisible());
        QCOMPARE(window().treeView()->selectedKey(), ComputerKey(pc));
        QVERIFY(f.action(window(), QStringLiteral("mnuTVRename"))->isEnabled());
        QVERIFY(!f.action(window(), QStringLiteral("mnuOpenClientLog"))->isEnabled());
        popup->hide();

        f.presenter->setNextAnswer(Presenter::Yes);
        f.action(window(), QStringLiteral("mnuTVDelete"))->trigger();
        QCOMPARE(f.presenter->last().caption, QStringLiteral("Confirm Delete"));
        QCOMPARE(f.presenter->last().text, QStringLiteral("Are you sure you'd like to delete the computer 'PC'?"));
        QCOMPARE(db.GetComputerCount(), 0);
        QCOMPARE(f.childTexts(window(), RootKey), QStringList());
        QCOMPARE(window().treeView()->selectedKey(), RootKey);
        QCOMPARE(window().objectSettings()->model().ObjectKey(), RootKey);
    }

    void aRunningMigrationBlocksEveryGesture()
    {
        ComputerDB &db = *window().database();
        const int pc = db.AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        const int group = db.AddFolder(QStringLiteral("Group"), -1);
        f.click(window(), ComputerKey(pc));
        window().Running(true);

        for (const char *name : {"mnuNewComputer", "mnuNewGroup", "mnuNewSettings", "mnuLoad", "mnuRefresh"})
            QVERIFY2(!f.action(window(), QString::fromLatin1(name))->isEnabled(), name);
        QVERIFY(!f.control<QPushButton>(window(), QStringLiteral("cmdCompNew"))->isEnabled());
        QVERIFY(!f.control<QPushButton>(window(), QStringLiteral("cmdFoldNew"))->isEnabled());
        QVERIFY(f.action(window(), QStringLiteral("mnuSaveState"))->isEnabled());

        QTest::keyClick(window().treeView(), Qt::Key_F2);
        QVERIFY(!f.labelEditor(window()));
        QTest::keyClick(window().treeView(), Qt::Key_Delete);
        TreeCommands &commands = window().tree();
        commands.AddNewComputer();
        commands.AddNewFolder();
        commands.mnuTVRename_Click();
        commands.tvMain_MouseDown(ComputerKey(pc));
        for (int i = 0; i < TreeCommands::DragThreshold; ++i)
            QVERIFY(!commands.tvMain_MouseMove(true));
        QVERIFY(!commands.tvMain_DragOver(FolderKey(group)));
        commands.tvMain_DragDrop();
        f.click(window(), ComputerKey(pc), Qt::RightButton);
        QVERIFY(!f.action(window(), QStringLiteral("mnuTVDelete"))->isEnabled());
        window().findChild<QMenu *>(QStringLiteral("mnuTVRightClick"))->hide();

        QCOMPARE(f.presenter->count(), 0);
        QCOMPARE(db.GetComputerCount(), 1);
        QCOMPARE(db.Computers(pc)->FolderID, -1);
        QCOMPARE(db.FolderCount(), 1);
        QCOMPARE(f.childTexts(window(), RootKey), (QStringList {"Group", "PC"}));

        window().Running(false);
        QVERIFY(f.action(window(), QStringLiteral("mnuNewComputer"))->isEnabled());
        QVERIFY(f.control<QPushButton>(window(), QStringLiteral("cmdCompNew"))->isEnabled());
    }

    void refreshKeepsTheOwnSettingsImages()
    {
        ComputerDB &db = *window().database();
        const Job ids = fillJob(db);
        db.AddSettings(db.GetSettings(QStringLiteral("G"), -1)->Clone(), ids.Desk, QStringLiteral("C"));
        f.action(window(), QStringLiteral("mnuRefresh"))->trigger();
        QCOMPARE(window().treeView()->icon(ComputerKey(ids.Desk)), 4);
        QCOMPARE(window().treeView()->icon(FolderKey(ids.London)), 21);
        QCOMPARE(f.childTexts(window(), FolderKey(ids.London)), QStringList {"DESK-01"});
        QCOMPARE(window().treeView()->selectedKey(), RootKey);
    }
};

QTEST_MAIN(TestMainWindowPanes)
#include "tst_frmMainPanes.moc"

#include "MainWindowFixture.h"

#include "shell/forms/ObjectSettingsPanel.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

using modGeneral::ComputerKey;
using modGeneral::FolderKey;
using modGeneral::RootKey;

namespace {

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
    ComputerDB &db() { return *m_window->database(); }
    QLineEdit *text(const char *name) { return f.control<QLineEdit>(window(), QString::fromLatin1(name)); }
    QCheckBox *check(const char *name) { return f.control<QCheckBox>(window(), QString::fromLatin1(name)); }
    QPushButton *button(const char *name) { return f.control<QPushButton>(window(), QString::fromLatin1(name)); }
    QAction *action(const char *name) { return f.action(window(), QString::fromLatin1(name)); }
    QString title() { return f.control<QLabel>(window(), QStringLiteral("lblObjSetTitle"))->text(); }
    ComputerTreeView *tree() { return window().treeView(); }

private Q_SLOTS:
    void init()
    {
        f.init();
        m_window = std::make_unique<frmMain>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        f.cleanup();
    }

    void savingOnAnInheritingNodeGivesItItsOwnRecord()
    {
        QCOMPARE(tree()->selectedKey(), RootKey);
        QCOMPARE(title(), QStringLiteral("Global Settings"));
        const Job ids = fillJob(db());
        QCOMPARE(tree()->icon(FolderKey(ids.Sales)), 3);

        // Clicking a node shows its settings, inherited ones in grey.
        f.click(window(), FolderKey(ids.Sales));
        QCOMPARE(title(), QStringLiteral("Sales"));
        QCOMPARE(text("txtSourceContext")->text(), QStringLiteral("OLDCORP"));
        QCOMPARE(check("chkRebootAllow")->checkState(), Qt::PartiallyChecked);

        f.retype(text("txtDestContext"), QStringLiteral("SALESCORP"));
        QTest::mouseClick(button("cmdObjSettingsSave"), Qt::LeftButton);
        QCOMPARE(f.presenter->count(), 0);
        const GlobalSettingsPtr own = db().GetSettings(QStringLiteral("F"), ids.Sales);
        QVERIFY(own);
        QCOMPARE(own->DestinationDomain, QStringLiteral("SALESCORP"));
        QCOMPARE(own->SourceDomain, QStringLiteral("OLDCORP")); // what the panel showed, inherited or not
        QCOMPARE(db().GetSettings(QStringLiteral("G"), -1)->DestinationDomain, QStringLiteral("NEWCORP"));
        QCOMPARE(tree()->icon(FolderKey(ids.Sales)), 23);
        QCOMPARE(tree()->expandedIcon(FolderKey(ids.Sales)), 22);
        QCOMPARE(check("chkRebootAllow")->checkState(), Qt::Checked);

        // A computer's own record marks the group between it and the owner above.
        f.click(window(), ComputerKey(ids.Desk));
        QCOMPARE(text("txtDestContext")->text(), QStringLiteral("SALESCORP"));
        f.retype(text("txtSourceContext"), QStringLiteral("BRANCH"));
        QTest::mouseClick(button("cmdObjSettingsSave"), Qt::LeftButton);
        QCOMPARE(tree()->icon(ComputerKey(ids.Desk)), 4);
        QCOMPARE(tree()->icon(FolderKey(ids.London)), 21);
        QCOMPARE(tree()->icon(FolderKey(ids.Sales)), 23);

        // A rebuilt tree marks them again.
        QVERIFY(f.trigger(window(), QStringLiteral("mnuRefresh")));
        QCOMPARE(tree()->icon(ComputerKey(ids.Desk)), 4);
        QCOMPARE(tree()->icon(FolderKey(ids.London)), 21);
        QCOMPARE(tree()->selectedKey(), RootKey);
    }

    void cancelOnLeavingKeepsTheEditsAndTheNode()
    {
        const Job ids = fillJob(db());
        f.click(window(), FolderKey(ids.Sales));
        f.retype(text("txtSourceContext"), QStringLiteral("EDITED"));
        QVERIFY(window().SettingsChanged());

        f.presenter->setNextAnswer(Presenter::Cancel);
        f.click(window(), ComputerKey(ids.Desk));
        QCOMPARE(f.presenter->count(), 1);
        QCOMPARE(f.presenter->last().caption, QStringLiteral("Save Settings"));
        QCOMPARE(tree()->selectedKey(), FolderKey(ids.Sales));
        QCOMPARE(text("txtSourceContext")->text(), QStringLiteral("EDITED"));
        QVERIFY(button("cmdObjSettingsSave")->isEnabled());

        // New Computer leaves the node too, and asks first.
        f.presenter->setNextAnswer(Presenter::Cancel);
        QTest::mouseClick(button("cmdCompNew"), Qt::LeftButton);
        QCOMPARE(f.presenter->count(), 2);
        QCOMPARE(db().GetComputerCount(), 1);

        // No throws the edits away and moves on.
        f.presenter->setNextAnswer(Presenter::No);
        f.click(window(), ComputerKey(ids.Desk));
        QCOMPARE(tree()->selectedKey(), ComputerKey(ids.Desk));
        QCOMPARE(title(), QStringLiteral("DESK-01"));
        QVERIFY(!db().GetSettings(QStringLiteral("F"), ids.Sales));
        QVERIFY(!window().SettingsChanged());

        // Yes stores them on the node they were made on.
        f.retype(text("txtSourceContext"), QStringLiteral("DESKCORP"));
        f.presenter->setNextAnswer(Presenter::Yes);
        f.click(window(), RootKey);
        QCOMPARE(tree()->selectedKey(), RootKey);
        QCOMPARE(db().GetSettings(QStringLiteral("C"), ids.Desk)->SourceDomain, QStringLiteral("DESKCORP"));
        QCOMPARE(text("txtSourceContext")->text(), QStringLiteral("OLDCORP"));
    }

    void newButtonsOpenTheLabelAndTheTreeKeepsItsOrder()
    {
        auto typeLabel = [&](const QString &name) {
            QLineEdit *editor = f.labelEditor(window());
            QVERIFY(editor);
            editor->selectAll();
            QTest::keyClicks(editor, name);
            QTest::keyClick(editor, Qt::Key_Return);
            QTRY_VERIFY(!f.labelEditor(window()));
        };
        using Add = std::pair<const char *, const char *>;
        for (const auto &[command, name] : {Add {"cmdFoldNew", "zeta"}, Add {"cmdCompNew", "pc-b"}, Add {"cmdFoldNew", "Alpha"}}) {
            f.click(window(), RootKey);
            QTest::mouseClick(button(command), Qt::LeftButton);
            typeLabel(QString::fromLatin1(name));
        }
        QTRY_COMPARE(f.childTexts(window(), RootKey), (QStringList {"Alpha", "zeta", "pc-b"}));

        // F2 renames; the node keeps its place and the panel follows the new name.
        f.click(window(), FolderKey(db().FindFolder(QStringLiteral("zeta"), -1)));
        QTest::keyClick(tree(), Qt::Key_F2);
        typeLabel(QStringLiteral("Admin"));
        QTRY_COMPARE(f.childTexts(window(), RootKey), (QStringList {"Alpha", "Admin", "pc-b"}));
        QCOMPARE(title(), QStringLiteral("Admin"));
        QCOMPARE(f.presenter->count(), 0);
    }

    void popupMenuFollowsTheNode()
    {
        const int pc = db().AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        auto *popup = window().findChild<QMenu *>(QStringLiteral("mnuTVRightClick"));

        f.click(window(), RootKey, Qt::RightButton);
        QTRY_VERIFY(popup->isVisible());
        QVERIFY(!action("mnuTVRename")->isEnabled() && !action("mnuTVDelete")->isEnabled());
        popup->hide();

        f.click(window(), ComputerKey(pc), Qt::RightButton);
        QTRY_VERIFY(popup->isVisible());
        QCOMPARE(tree()->selectedKey(), ComputerKey(pc));
        QVERIFY(action("mnuTVRename")->isEnabled());
        QVERIFY(!action("mnuOpenClientLog")->isEnabled());
        popup->hide();

        f.presenter->setNextAnswer(Presenter::Yes);
        QVERIFY(f.trigger(window(), QStringLiteral("mnuTVDelete")));
        QCOMPARE(f.presenter->last().text, QStringLiteral("Are you sure you'd like to delete the computer 'PC'?"));
        QCOMPARE(db().GetComputerCount(), 0);
        QCOMPARE(tree()->selectedKey(), RootKey);
        QCOMPARE(window().objectSettings()->model().ObjectKey(), RootKey);
    }

    void aRunningMigrationBlocksEveryGesture()
    {
        const int pc = db().AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        f.click(window(), ComputerKey(pc));
        window().Running(true);

        for (const char *name : {"mnuNewComputer", "mnuNewGroup", "mnuNewSettings", "mnuLoad", "mnuRefresh"})
            QVERIFY2(!action(name)->isEnabled(), name);
        QVERIFY(!button("cmdCompNew")->isEnabled() && !button("cmdFoldNew")->isEnabled());
        QVERIFY(action("mnuSaveState")->isEnabled());

        QTest::keyClick(tree(), Qt::Key_F2);
        QVERIFY(!f.labelEditor(window()));
        QTest::keyClick(tree(), Qt::Key_Delete);
        f.click(window(), ComputerKey(pc), Qt::RightButton);
        QVERIFY(!action("mnuTVDelete")->isEnabled());
        window().findChild<QMenu *>(QStringLiteral("mnuTVRightClick"))->hide();
        QCOMPARE(f.presenter->count(), 0);
        QCOMPARE(db().GetComputerCount(), 1);

        window().Running(false);
        QVERIFY(action("mnuNewComputer")->isEnabled());
        QVERIFY(button("cmdCompNew")->isEnabled());
    }
};

QTEST_MAIN(TestMainWindowPanes)
#include "tst_frmMainPanes.moc"

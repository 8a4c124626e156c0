#include "MainWindowFixture.h"

#include "common/RunState.h"
#include "settingsfile/PasswordSealer.h"
#include "shell/SettingsFileController.h"

using modGeneral::ComputerKey;
using modGeneral::RootKey;

class TestMainWindowDesk : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;

    [[nodiscard]] bool trigger(QWidget &window, const char *name) { return f.trigger(window, QString::fromLatin1(name)); }
    QString text(QWidget &window, const char *name) { return f.action(window, QString::fromLatin1(name))->text(); }
    bool enabled(QWidget &window, const char *name) { return f.action(window, QString::fromLatin1(name))->isEnabled(); }

private Q_SLOTS:
    void init() { f.init(); }
    void cleanup()
    {
        RunState::instance().reset();
        f.cleanup();
    }

    // Undo and Redo through the Edit menu: the menu names the step, a redone
    // computer keeps its ID, the saved state is the one without changes,
    // the panel's edits are offered first, a run locks the history and a
    // load starts a new one.
    void undoAndRedoThroughTheMenu()
    {
        frmMain window;
        window.settingsFiles()->setPassphraseCost(PasswordSealer::Cost::Minimum());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ComputerDB &db = *window.database();
        QVERIFY(!enabled(window, "mnuUndo"));
        QCOMPARE(text(window, "mnuUndo"), QStringLiteral("&Undo"));

        QVERIFY(trigger(window, "mnuNewComputer"));
        QCOMPARE(text(window, "mnuUndo"), QStringLiteral("&Undo New Computer"));
        QVERIFY(trigger(window, "mnuUndo"));
        QCOMPARE(db.GetComputerCount(), 0);
        QCOMPARE(window.treeView()->selectedKey(), RootKey);
        QCOMPARE(text(window, "mnuRedo"), QStringLiteral("&Redo New Computer"));
        QVERIFY(trigger(window, "mnuRedo"));
        QCOMPARE(db.FindComputer(QStringLiteral("New Computer 1")), 0);
        QVERIFY(window.treeView()->contains(ComputerKey(0)));

        f.presenter->setNextFileName(f.file(QStringLiteral("desk.vos.json")));
        QVERIFY(trigger(window, "mnuSaveAs"));
        QVERIFY(!AppState::Get().DatabaseChanged);
        window.treeView()->selectNode(ComputerKey(0));
        f.presenter->setNextAnswer(Presenter::Yes);
        QTest::keyClick(window.treeView(), Qt::Key_Delete);
        QCOMPARE(text(window, "mnuUndo"), QStringLiteral("&Undo Delete 'New Computer 1'"));
        QVERIFY(AppState::Get().DatabaseChanged);
        QVERIFY(trigger(window, "mnuUndo"));
        QVERIFY(!AppState::Get().DatabaseChanged);
        QVERIFY(trigger(window, "mnuRedo"));

        // Edits in the panel: dropped when the administrator says No, and the step is undone.
        window.treeView()->selectNode(RootKey);
        f.retype(window.findChild<QLineEdit *>(QStringLiteral("txtSourceContext")), QStringLiteral("EDITED"));
        f.presenter->setNextAnswer(Presenter::No);
        QVERIFY(trigger(window, "mnuUndo"));
        QCOMPARE(db.GetComputerCount(), 1);
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("txtSourceContext"))->text(), QString());
        QVERIFY(!window.SettingsChanged());

        QVERIFY(RunState::instance().startMigration());
        QVERIFY(!enabled(window, "mnuUndo"));
        QVERIFY(!enabled(window, "mnuRedo"));
        RunState::instance().backToEditing();
        QVERIFY(enabled(window, "mnuUndo"));

        QVERIFY(trigger(window, "mnuRecent0"));
        QVERIFY(!enabled(window, "mnuUndo"));
        QVERIFY(!enabled(window, "mnuRedo"));
    }
};

QTEST_MAIN(TestMainWindowDesk)
#include "tst_frmMainDesk.moc"

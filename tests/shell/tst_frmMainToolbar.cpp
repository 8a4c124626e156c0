#include "MainWindowFixture.h"

#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include <optional>

using Command = RunState::Command;

namespace {

// The toolbar's commands in its order, the run state's command that enables
// each (Find is always there), and the tip its button shows.
struct Entry
{
    const char *name;
    std::optional<Command> command;
    const char *tip;
};
const Entry kEntries[] = {
    {"mnuNewGroup", Command::NewGroup, "New Group"},
    {"mnuNewComputer", Command::NewComputer, "New Computer"},
    {"mnuSave", Command::Save, "Save Settings (Ctrl+S)"},
    {"mnuReadinessReport", Command::ReadinessReport, "Readiness Report"},
    {"mnuStartMigration", Command::StartMigration, "Start Migration"},
    {"mnuCancelMigration", Command::CancelMigration, "Cancel Migration"},
    {"mnuAbortMigration", Command::AbortMigration, "Abort Migration"},
    {"mnuFind", std::nullopt, "Find (Ctrl+F)"},
};

QToolBar *toolbar(frmMain &window)
{
    return window.findChild<QToolBar *>(QStringLiteral("tbMain"));
}

void shown(frmMain &window)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
}

} // namespace

class TestMainWindowToolbar : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;

private Q_SLOTS:
    void init() { f.init(); }
    void cleanup() { f.cleanup(); }

    // The buttons are the menu entries themselves, each with a drawing and
    // a tip that names its shortcut; a click does what the entry does.
    void holdsTheMenuEntries()
    {
        frmMain window;
        shown(window);
        QToolBar *bar = toolbar(window);
        QVERIFY(bar && bar->isVisible());
        QCOMPARE(bar->accessibleName(), QStringLiteral("Main toolbar"));
        QStringList names;
        QStringList tips;
        for (QAction *action : bar->actions()) {
            if (action->isSeparator())
                continue;
            names.append(action->objectName());
            tips.append(bar->widgetForAction(action)->toolTip());
            const bool inMenu = std::any_of(action->associatedObjects().cbegin(), action->associatedObjects().cend(),
                [](const QObject *user) { return qobject_cast<const QMenu *>(user); });
            QVERIFY2(inMenu && action == f.action(window, action->objectName()), qPrintable(action->objectName()));
            // Sharp at scale 2: drawn at twice the size, not a small picture stretched.
            QCOMPARE(action->icon().pixmap(QSize(24, 24), 2.0).size(), QSize(48, 48));
        }
        QStringList expectedNames;
        QStringList expectedTips;
        for (const Entry &entry : kEntries) {
            expectedNames.append(QString::fromLatin1(entry.name));
            expectedTips.append(QString::fromLatin1(entry.tip));
        }
        QCOMPARE(names, expectedNames);
        QCOMPARE(tips, expectedTips);

        const int groups = window.database()->GetFolderCount();
        QTest::mouseClick(bar->widgetForAction(f.action(window, QStringLiteral("mnuNewGroup"))), Qt::LeftButton);
        QCOMPARE(window.database()->GetFolderCount(), groups + 1);
    }

    // Each button is enabled exactly when the run state's table enables its
    // menu entry, through a run and a test.
    void followsTheRunState()
    {
        frmMain window;
        shown(window);
        QToolBar *bar = toolbar(window);
        const auto check = [&](const char *when) {
            for (const Entry &entry : kEntries) {
                const bool expected = !entry.command || RunState::instance().isEnabled(*entry.command);
                const bool enabled = bar->widgetForAction(f.action(window, QString::fromLatin1(entry.name)))->isEnabled();
                QVERIFY2(
                    enabled == expected, qPrintable(QStringLiteral("%1 while %2").arg(QLatin1String(entry.name), QLatin1String(when))));
            }
        };
        RunState &state = RunState::instance();
        check("editing");
        state.startMigration();
        check("migrating");
        state.nothingLeftToCancel();
        check("nothing is left to cancel");
        state.abortSent();
        check("aborting");
        state.processingComplete();
        check("complete");
        state.backToEditing();
        check("editing again");
        state.startPingTest();
        check("pinging");
        state.backToEditing();
    }

    // View > Toolbar hides and shows it, and the next start opens it as it was left.
    void viewEntryHidesAndShowsIt()
    {
        {
            frmMain window;
            shown(window);
            QAction *entry = f.action(window, QStringLiteral("mnuToolbar"));
            QVERIFY(entry && entry->isCheckable() && entry->isChecked());
            QVERIFY(window.findChild<QMenu *>(QStringLiteral("mnuView"))->actions().contains(entry));
            QVERIFY(f.trigger(window, QStringLiteral("mnuToolbar")));
            QVERIFY(!toolbar(window)->isVisible() && !entry->isChecked());
            QVERIFY(window.close());
        }
        QCOMPARE(f.setting(QStringLiteral("Toolbar")), QStringLiteral("0"));
        frmMain window;
        shown(window);
        QAction *entry = f.action(window, QStringLiteral("mnuToolbar"));
        QVERIFY(!toolbar(window)->isVisible() && !entry->isChecked());
        QVERIFY(f.trigger(window, QStringLiteral("mnuToolbar")));
        QVERIFY(toolbar(window)->isVisible() && entry->isChecked());
    }
};

QTEST_MAIN(TestMainWindowToolbar)
#include "tst_frmMainToolbar.moc"

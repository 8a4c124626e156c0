#pragma once

#include "common/AppState.h"
#include "common/RunState.h"
#include "common/modRegistry.h"
#include "database/ComputerDB.h"
#include "shell/forms/ComputerTreeView.h"
#include "shell/forms/RunControlPane.h"
#include "shell/forms/frmMain.h"
#include "shell/modStartup.h"

#include "support/FixedAddressTable.h"
#include "support/RecordingOpener.h"
#include "support/RecordingPresenter.h"
#include "support/TestRegistry.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A fresh registry, results folder, scripted presenter and recording
// opener per test, the
// welcome screen switched off, and ways to reach the main window's controls
// by their names.
struct MainWindowFixture
{
    static inline const QString AppKey = QStringLiteral("HKCU\\Software\\Brindlewood\\Varno-Osk");

    void init()
    {
        AppState::Reset();
        registry = std::make_unique<TestRegistry>();
        logs = std::make_unique<QTemporaryDir>();
        presenter = std::make_unique<RecordingPresenter>();
        opener = std::make_unique<RecordingOpener>();
        QVERIFY(modStartup::PrepareRegistry());
        QVERIFY(modRegistry::SaveSettingString(AppKey, QStringLiteral("LogPath"), logs->path()));
        QVERIFY(modRegistry::SaveSettingString(AppKey, QStringLiteral("WelcomeScreen"), QStringLiteral("1")));
        QVERIFY(modRegistry::SaveSettingString(AppKey, QStringLiteral("Engine"), QStringLiteral("rehearsal")));
    }

    void cleanup()
    {
        opener.reset();
        presenter.reset();
        registry.reset();
        logs.reset();
        AppState::Reset();
    }

    // Settings files go beside the test's registry store.
    QString file(const QString &name) const { return registry->folder() + QLatin1Char('/') + name; }

    static QString setting(const QString &name) { return modRegistry::GetSettingString(AppKey, name); }

    static QAction *action(QWidget &window, const QString &name) { return window.findChild<QAction *>(name); }

    // Presses a menu item the way the administrator can: only when it is
    // there and enabled. Use as QVERIFY(trigger(window, "mnuX")).
    [[nodiscard]] static bool trigger(QWidget &window, const QString &name)
    {
        QAction *item = action(window, name);
        if (!item || !item->isEnabled()) {
            qWarning("%s is %s", qPrintable(name), item ? "disabled" : "missing");
            return false;
        }
        item->trigger();
        return true;
    }

    static bool visible(QWidget &window, const char *name) { return action(window, QString::fromLatin1(name))->isVisible(); }

    // A button of the pane that shows a run or a test.
    static QPushButton *runButton(const frmMain &window, const char *name)
    {
        return window.runControl()->findChild<QPushButton *>(QString::fromLatin1(name));
    }

    // Back to editing after a test: its start item offered again, the tree open to changes.
    static void editingAfter(frmMain &window, const char *start, const char *stop)
    {
        QCOMPARE(RunState::instance().state(), RunState::State::Editing);
        QVERIFY(visible(window, start) && !visible(window, stop));
        QVERIFY(action(window, QStringLiteral("mnuNewComputer"))->isEnabled());
    }

    static QStringList childTexts(const frmMain &window, const QString &key)
    {
        QStringList texts;
        const QTreeWidgetItem *parent = window.treeView()->itemForKey(key);
        for (int i = 0; parent && i < parent->childCount(); ++i)
            texts.append(parent->child(i)->text(0));
        return texts;
    }

    static void click(
        const frmMain &window, const QString &key, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers modifiers = {})
    {
        ComputerTreeView *tree = window.treeView();
        QTreeWidgetItem *item = tree->itemForKey(key);
        for (QTreeWidgetItem *up = item ? item->parent() : nullptr; up; up = up->parent())
            up->setExpanded(true);
        QTest::mouseClick(tree->viewport(), button, modifiers, tree->visualItemRect(item).center());
    }

    // Replaces a text field's contents the way typing does.
    static void retype(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    std::unique_ptr<TestRegistry> registry;
    std::unique_ptr<QTemporaryDir> logs;
    std::unique_ptr<RecordingPresenter> presenter;
    std::unique_ptr<RecordingOpener> opener;
    // A run's listener stays on this machine, whatever its interfaces.
    FixedAddressTable addresses {{QStringLiteral("127.0.0.1")}};
};

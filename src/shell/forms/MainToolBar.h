#pragma once

#include <QToolBar>

class QAction;

// The main window's toolbar `tbMain`: the commands used most, as buttons of
// the very menu entries (the same QActions). The run state's table, which
// enables and disables the entries, so covers the buttons too; the toolbar
// keeps no enabled state of its own.
class MainToolBar : public QToolBar
{
    Q_OBJECT

public:
    // The menu entries the toolbar shows, in its order.
    struct Commands
    {
        QAction *NewGroup = nullptr;
        QAction *NewComputer = nullptr;
        QAction *Save = nullptr;
        QAction *ReadinessReport = nullptr;
        QAction *StartMigration = nullptr;
        QAction *CancelMigration = nullptr;
        QAction *AbortMigration = nullptr;
        QAction *Find = nullptr;
    };

    MainToolBar(const Commands &commands, QWidget *parent);

    // View > Toolbar, which hides and shows it; its tick follows the
    // toolbar however it is hidden.
    QAction *viewAction() const { return toggleViewAction(); }

    // A menu entry's caption with its shortcut, when it has one: "Save
    // Settings (Ctrl+S)", "Start Migration".
    static QString toolTipOf(const QAction &action);
};

#pragma once

#include <QObject>

class ComputerTreeView;
class QAction;
class QMenu;

// The main window's log items, bound to modLogView: View > Handler Log, the
// Transferor Logs submenu (filled anew each time the View menu opens, since
// the engine adds logs while it runs), Client Logs Folder, and the tree
// pop-up's Open Newest Client Log for the selected node.
class LogViewMenus : public QObject
{
    Q_OBJECT

public:
    struct Items
    {
        QMenu *View = nullptr;
        QAction *HandlerLog = nullptr;
        QMenu *TransferorLogs = nullptr;
        QAction *ClientLogsFolder = nullptr;
        QAction *OpenClientLog = nullptr;
        ComputerTreeView *Tree = nullptr;
    };

    LogViewMenus(const Items &items, QObject *parent);

    // The submenu's items: one per transferor log of the current job, or
    // the one greyed "No Transferor Logs Found".
    void mnuView_Click();

private:
    void mnuTransferorLog_Click(QAction *item);
    void mnuOpenClientLog_Click();

    Items m_items;
};

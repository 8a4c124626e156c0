#include "shell/forms/LogViewMenus.h"

#include "common/modErrorHandler.h"
#include "logview/modLogView.h"
#include "shell/forms/ComputerTreeView.h"

#include <QAction>
#include <QMenu>

namespace {

// The file name travels in the item's data: its caption doubles any "&".
void showLog(QAction *item, const QString &fileName)
{
    item->setText(QString(fileName).replace(QLatin1Char('&'), QStringLiteral("&&")));
    item->setData(fileName);
    item->setEnabled(true);
}

} // namespace

LogViewMenus::LogViewMenus(const Items &items, QObject *parent)
    : QObject(parent)
    , m_items(items)
{
    QAction *first = m_items.TransferorLogs->addAction(modLogView::NoTransferorLogsCaption);
    first->setObjectName(QStringLiteral("mnuTransferorLog0"));
    first->setEnabled(false);

    connect(m_items.View, &QMenu::aboutToShow, this, &LogViewMenus::mnuView_Click);
    connect(m_items.TransferorLogs, &QMenu::triggered, this, &LogViewMenus::mnuTransferorLog_Click);
    connect(m_items.HandlerLog, &QAction::triggered, this,
        [] { modErrorHandler::Guard("frmMain.mnuHandlerLog_Click", [] { modLogView::OpenHandlerLog(); }); });
    connect(m_items.ClientLogsFolder, &QAction::triggered, this,
        [] { modErrorHandler::Guard("frmMain.mnuClientLogsFolder_Click", [] { modLogView::OpenClientLogsFolder(); }); });
    connect(m_items.OpenClientLog, &QAction::triggered, this, &LogViewMenus::mnuOpenClientLog_Click);
}

void LogViewMenus::mnuView_Click()
{
    modErrorHandler::Guard("frmMain.mnuView_Click", [&] {
        const QList<QAction *> items = m_items.TransferorLogs->actions();
        for (qsizetype i = 1; i < items.size(); ++i) {
            m_items.TransferorLogs->removeAction(items.at(i));
            delete items.at(i);
        }
        QAction *first = items.constFirst();
        const QStringList logs = modLogView::TransferorLogs();
        if (logs.isEmpty()) {
            first->setText(modLogView::NoTransferorLogsCaption);
            first->setData(QVariant());
            first->setEnabled(false);
            return;
        }
        showLog(first, logs.constFirst());
        for (qsizetype i = 1; i < logs.size(); ++i) {
            QAction *item = m_items.TransferorLogs->addAction(QString());
            item->setObjectName(QStringLiteral("mnuTransferorLog") + QString::number(i));
            showLog(item, logs.at(i));
        }
    });
}

void LogViewMenus::mnuTransferorLog_Click(QAction *item)
{
    modErrorHandler::Guard("frmMain.mnuTransferorLog_Click", [&] {
        if (item->data().isValid())
            modLogView::OpenTransferorLog(item->data().toString());
    });
}

void LogViewMenus::mnuOpenClientLog_Click()
{
    modErrorHandler::Guard("frmMain.mnuOpenClientLog_Click", [&] {
        const QTreeWidgetItem *node = m_items.Tree->itemForKey(m_items.Tree->selectedKey());
        if (node)
            modLogView::OpenNewestClientLog(node->text(0));
    });
}

#include "shell/forms/MainToolBar.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>

#include <utility>

MainToolBar::MainToolBar(const Commands &commands, QWidget *parent)
    : QToolBar(parent)
{
    setObjectName(QStringLiteral("tbMain"));
    // The title names the View entry until it is given its own caption below.
    setWindowTitle(QStringLiteral("Main toolbar"));
    setAccessibleName(QStringLiteral("Main toolbar"));
    // Where it stands is not kept between starts; one place is easier to find.
    setMovable(false);
    setFloatable(false);
    toggleViewAction()->setObjectName(QStringLiteral("mnuToolbar"));
    toggleViewAction()->setText(QStringLiteral("Tool&bar"));

    // A null entry starts a new group of buttons.
    const std::pair<QAction *, const char *> entries[] = {
        {commands.NewGroup, "new-group"},
        {commands.NewComputer, "new-computer"},
        {nullptr, nullptr},
        {commands.Save, "save"},
        {nullptr, nullptr},
        {commands.ReadinessReport, "readiness-report"},
        {commands.StartMigration, "start-migration"},
        {commands.CancelMigration, "cancel-migration"},
        {commands.AbortMigration, "abort-migration"},
        {nullptr, nullptr},
        {commands.Find, "find"},
    };
    for (const auto &[action, icon] : entries) {
        if (!action) {
            addSeparator();
            continue;
        }
        // Drawings, not pixmaps: sharp at any screen scale. The menu entry
        // shows the same picture.
        action->setIcon(QIcon(QStringLiteral(":/shell/toolbar/") + QLatin1String(icon) + QStringLiteral(".svg")));
        action->setToolTip(toolTipOf(*action));
        addAction(action);
    }
}

QString MainToolBar::toolTipOf(const QAction &action)
{
    // The icon text is the caption without its Alt letter and "...".
    const QString name = action.iconText();
    const QKeySequence shortcut = action.shortcut();
    return shortcut.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, shortcut.toString(QKeySequence::NativeText));
}

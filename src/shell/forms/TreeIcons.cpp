#include "shell/forms/TreeIcons.h"

#include "common/TreeImage.h"
#include "engine/ClientStatus.h"

// Resources of a static library stay out of the program unless something
// names them.
static void initTreeIconResources()
{
    Q_INIT_RESOURCE(tree_icons);
}

TreeIcons::TreeIcons()
{
    initTreeIconResources();
}

QString TreeIcons::resourcePath(int number)
{
    using namespace TreeImage;
    const char *name = nullptr;
    switch (number) {
    case FolderOpen:
        name = "folder-open";
        break;
    case Folder:
        name = "folder";
        break;
    case ComputerCustom:
        name = "computer-own-settings";
        break;
    case DragComputer:
        name = "drag-computer";
        break;
    case DragFolder:
        name = "drag-folder";
        break;
    case FolderCustomBelowOpen:
        name = "folder-settings-below-open";
        break;
    case FolderCustomBelow:
        name = "folder-settings-below";
        break;
    case FolderCustomOpen:
        name = "folder-own-settings-open";
        break;
    case FolderCustom:
        name = "folder-own-settings";
        break;
    case Computer:
        name = "computer";
        break;
    case StatusNotProcessed:
        name = "status-not-processed";
        break;
    case StatusLoading:
        name = "status-loading";
        break;
    case StatusExecuting:
        name = "status-executing";
        break;
    case StatusUnloading:
        name = "status-unloading";
        break;
    case StatusSuccess:
        name = "status-success";
        break;
    case StatusWarnings:
        name = "status-warnings";
        break;
    case StatusErrors:
        name = "status-errors";
        break;
    case StatusCanceled:
        name = "status-canceled";
        break;
    case StatusAborted:
        name = "status-aborted";
        break;
    case StatusAborting:
        name = "status-aborting";
        break;
    case StatusUnknown:
        name = "status-unknown";
        break;
    default:
        return QString();
    }
    return QStringLiteral(":/shell/tree/") + QLatin1String(name) + QStringLiteral(".svg");
}

QString TreeIcons::disabledResourcePath(int number)
{
    switch (number) {
    case TreeImage::Computer:
        return QStringLiteral(":/shell/tree/computer-disabled.svg");
    case TreeImage::ComputerCustom:
        return QStringLiteral(":/shell/tree/computer-own-settings-disabled.svg");
    default:
        return resourcePath(number);
    }
}

QIcon TreeIcons::load(const QString &path)
{
    QIcon made;
    if (!path.isEmpty()) {
        made.addFile(path, QSize(), QIcon::Normal);
        // The same drawing on a selected row; the style's tinted variant
        // turns the status colours muddy.
        made.addFile(path, QSize(), QIcon::Selected);
    }
    return made;
}

QIcon TreeIcons::icon(int number) const
{
    auto found = m_icons.constFind(number);
    if (found == m_icons.constEnd())
        found = m_icons.insert(number, load(resourcePath(number)));
    return *found;
}

QIcon TreeIcons::disabledIcon(int number) const
{
    auto found = m_disabledIcons.constFind(number);
    if (found == m_disabledIcons.constEnd())
        found = m_disabledIcons.insert(number, load(disabledResourcePath(number)));
    return *found;
}

QIcon TreeIcons::statusIcon(const QString &code) const
{
    return icon(ClientStatus::Image(code));
}

#include "shell/modRecentlyUsed.h"

#include "common/modRegistry.h"

#include <QDir>

namespace modRecentlyUsed {

QString ValueName(int index)
{
    return QStringLiteral("RecentlyUsed") + QString::number(index);
}

QStringList ReadRecentlyUsed(const QString &keyPath)
{
    QStringList paths;
    for (int i = 0; i < Count; ++i)
        paths.append(modRegistry::GetSettingString(keyPath, ValueName(i)));
    return paths;
}

void WriteRecentlyUsed(const QString &keyPath, const QStringList &paths)
{
    for (int i = 0; i < Count; ++i)
        modRegistry::SaveSettingString(keyPath, ValueName(i), i < paths.size() ? paths.at(i) : QString());
}

QStringList AddRecentlyUsed(const QStringList &paths, const QString &path)
{
    // "/a/./b.vos" and "/a/b.vos" are one file; case counts, as it does on
    // the file systems the console saves to.
    const QString added = QDir::cleanPath(path);
    QStringList result;
    if (!added.isEmpty())
        result.append(added);
    for (const QString &entry : paths) {
        if (entry.isEmpty() || QDir::cleanPath(entry) == added)
            continue;
        result.append(entry);
    }
    while (result.size() > Count)
        result.removeLast();
    return result;
}

QList<MenuItem> MenuItems(const QStringList &paths)
{
    QList<MenuItem> items;
    for (int i = 0; i < Count; ++i) {
        const QString path = i < paths.size() ? paths.at(i) : QString();
        MenuItem item;
        if (!path.isEmpty()) {
            item.Caption = path;
            item.Visible = true;
            item.Enabled = true;
        } else {
            item.Caption = NoneCaption;
            item.Visible = i == 0;
            item.Enabled = false;
        }
        items.append(item);
    }
    return items;
}

} // namespace modRecentlyUsed

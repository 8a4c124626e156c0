#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The File menu's Recent list: the five settings files used last, kept in the
// registry values "RecentlyUsed0" (newest) to "RecentlyUsed4".
namespace modRecentlyUsed {

constexpr int Count = 5;

// "RecentlyUsed" followed by the digit.
QString ValueName(int index);

// Always Count entries; a missing value is empty text.
QStringList ReadRecentlyUsed(const QString &keyPath);
// Writes all Count values; slots beyond the list are written empty.
void WriteRecentlyUsed(const QString &keyPath, const QStringList &paths);

// The path moved (or added) to the front; the same file is never listed
// twice, and the oldest falls off past Count. Empty entries are dropped.
QStringList AddRecentlyUsed(const QStringList &paths, const QString &path);

struct MenuItem
{
    QString Caption;
    bool Visible = false;
    bool Enabled = false;
};

// What the five menu items show. A file gives its path as the caption, shown
// and enabled; an empty slot gives "(None)", disabled, and only the first
// item stays visible, so that an empty list still shows one greyed "(None)".
QList<MenuItem> MenuItems(const QStringList &paths);

inline const QString NoneCaption = QStringLiteral("(None)");

} // namespace modRecentlyUsed

#pragma once

#include <QHash>
#include <QIcon>
#include <QString>

// The pictures of the tree's image numbers (common/TreeImage.h): our own SVG
// drawings, so they stay sharp at any screen scale. Icons are made on first
// use and kept; an instance lives with its tree.
class TreeIcons
{
public:
    TreeIcons();

    // A null icon for a number without a picture.
    QIcon icon(int number) const;
    // The picture of a disabled computer: a computer's own drawing crossed
    // by a no-entry sign; other numbers keep their picture.
    QIcon disabledIcon(int number) const;
    // The picture of a client status code during a run.
    QIcon statusIcon(const QString &code) const;
    // The resource path of a number's drawing; empty without one.
    static QString resourcePath(int number);
    static QString disabledResourcePath(int number);

private:
    static QIcon load(const QString &path);

    mutable QHash<int, QIcon> m_icons;
    mutable QHash<int, QIcon> m_disabledIcons;
};

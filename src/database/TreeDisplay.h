#pragma once

#include "common/modGeneral.h"

#include <QString>
#include <QStringList>

// The tree the console shows the database in. Nodes are named by their keys
// ("F-1" the root, "F" + folder ID, "C" + computer ID); an empty key stands
// for the invisible top level above the root. The console's tree control
// implements this, as does MemoryTreeDisplay for tests and the command line.
class TreeDisplay
{
public:
    // Where a node goes, relative to another node: as its last or first
    // child, or as its sibling just before or just after it.
    enum class Relation {
        LastChild,
        FirstChild,
        Previous,
        Next,
    };

    virtual ~TreeDisplay() = default;

    // Adds a node; false (and nothing added) when the key is taken or the
    // relative node does not exist. The expanded icon starts at 0 (none).
    virtual bool addNode(const QString &relativeKey, Relation relation, const QString &key, const QString &text, int icon) = 0;
    // Moves a node with its subtree; false when either node is missing or the
    // target lies inside the moved subtree.
    virtual bool moveNode(const QString &key, const QString &relativeKey, Relation relation) = 0;
    // Removes a node with its subtree.
    virtual bool removeNode(const QString &key) = 0;
    virtual void clear() = 0;

    virtual bool contains(const QString &key) const = 0;
    virtual QString text(const QString &key) const = 0;
    virtual void setText(const QString &key, const QString &text) = 0;
    virtual int icon(const QString &key) const = 0;
    virtual void setIcon(const QString &key, int icon) = 0;
    virtual int expandedIcon(const QString &key) const = 0;
    virtual void setExpandedIcon(const QString &key, int icon) = 0;
    // A node's status in words while a status picture shows it (a client's
    // status text in a run); a picture that is no status drops it. Only a
    // tree that tells it to someone keeps it.
    virtual void setStatusText(const QString & /*key*/, const QString & /*text*/) { }
    // A disabled computer keeps its pictures; the tree marks it beside them,
    // in words as well as looks.
    virtual bool nodeDisabled(const QString &key) const = 0;
    virtual void setNodeDisabled(const QString &key, bool disabled) = 0;

    // Empty for a top-level node or a missing one.
    virtual QString parentKey(const QString &key) const = 0;
    // Children in display order; empty text when there is none.
    virtual QString firstChildKey(const QString &key) const = 0;
    virtual QString nextSiblingKey(const QString &key) const = 0;
    virtual int childCount(const QString &key) const = 0;

    QStringList childKeys(const QString &key) const;
    // Every computer's key, depth first from the top level, as the tree
    // shows them fully expanded.
    QStringList computerKeysInOrder() const;
    // The parsed key of a node; not valid when the tree has no such node.
    NodeInfo GetNodeInfo(const QString &key) const;
};

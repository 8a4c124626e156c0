#pragma once

#include <QString>
#include <QStringList>

// The side of the tree control that the tree gestures drive besides its
// nodes (which are a TreeDisplay): the selection, label editing and the
// states the window shows while the tree is rebuilt or dragged over.
class TreeControl
{
public:
    virtual ~TreeControl() = default;

    // The key of the selected node; empty when none is.
    virtual QString selectedKey() const = 0;
    // Every selected node's key, the current one among them; empty when none
    // is. Ctrl- and Shift-click select several.
    virtual QStringList selectedKeys() const = 0;
    // Selects a node and brings it into view; a node among several selected
    // becomes the current one and keeps the others. Raises no node click:
    // the caller decides whether the settings panel follows.
    virtual void selectNode(const QString &key) = 0;
    virtual void setExpanded(const QString &key, bool expanded) = 0;
    // Opens the label editor on a node; the edited text comes back through
    // TreeCommands::tvMain_AfterLabelEdit.
    virtual void beginLabelEdit(const QString &key) = 0;
    // Marks the node a drop would land on; empty text clears the mark.
    virtual void setDropHighlight(const QString &key) = 0;
    // The loading notice in place of the tree during a rebuild.
    virtual void setLoading(bool loading) = 0;
    virtual void setWaitCursor(bool wait) = 0;
};

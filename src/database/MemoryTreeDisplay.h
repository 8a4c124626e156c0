#pragma once

#include "database/TreeDisplay.h"

#include <memory>
#include <unordered_map>

// A tree display held in memory: a key index over nodes whose children are
// doubly linked, so that adding next to a known node, moving and removing do
// not depend on how many siblings a node has.
class MemoryTreeDisplay final : public TreeDisplay
{
public:
    MemoryTreeDisplay();
    ~MemoryTreeDisplay() override;

    // What the main window does before linking a database: an empty tree
    // with the root "F-1" "All Computers" (icon 23, expanded 22).
    void resetWithRoot();

    bool addNode(const QString &relativeKey, Relation relation, const QString &key, const QString &text, int icon) override;
    bool moveNode(const QString &key, const QString &relativeKey, Relation relation) override;
    bool removeNode(const QString &key) override;
    void clear() override;

    bool contains(const QString &key) const override;
    QString text(const QString &key) const override;
    void setText(const QString &key, const QString &text) override;
    int icon(const QString &key) const override;
    void setIcon(const QString &key, int icon) override;
    int expandedIcon(const QString &key) const override;
    void setExpandedIcon(const QString &key, int icon) override;
    bool nodeDisabled(const QString &key) const override;
    void setNodeDisabled(const QString &key, bool disabled) override;

    QString parentKey(const QString &key) const override;
    QString firstChildKey(const QString &key) const override;
    QString nextSiblingKey(const QString &key) const override;
    int childCount(const QString &key) const override;

    int nodeCount() const { return static_cast<int>(m_nodes.size()); }
    // One line per node, depth first: two blanks per level, then
    // "key text icon/expandedIcon", and " disabled" for a disabled node.
    QStringList outline() const;

private:
    struct Node
    {
        QString key;
        QString text;
        int icon = 0;
        int expandedIcon = 0;
        bool disabled = false;
        Node *parent = nullptr;
        Node *firstChild = nullptr;
        Node *lastChild = nullptr;
        Node *previous = nullptr;
        Node *next = nullptr;
        int childCount = 0;
    };

    Node *find(const QString &key) const;
    // The node a relative key names: the invisible top for an empty key.
    Node *findRelative(const QString &key) const;
    static void detach(Node *node);
    // Links `node` in at the place `relation` names; false when that is impossible.
    bool attach(Node *node, Node *relative, Relation relation);

    std::unordered_map<QString, std::unique_ptr<Node>> m_nodes;
    Node m_top;
};

#include "database/MemoryTreeDisplay.h"

#include <vector>

MemoryTreeDisplay::MemoryTreeDisplay() = default;

MemoryTreeDisplay::~MemoryTreeDisplay() = default;

void MemoryTreeDisplay::resetWithRoot()
{
    clear();
    addNode(QString(), Relation::LastChild, modGeneral::RootKey, QStringLiteral("All Computers"), 23);
    setExpandedIcon(modGeneral::RootKey, 22);
}

MemoryTreeDisplay::Node *MemoryTreeDisplay::find(const QString &key) const
{
    const auto it = m_nodes.find(key);
    return it == m_nodes.end() ? nullptr : it->second.get();
}

MemoryTreeDisplay::Node *MemoryTreeDisplay::findRelative(const QString &key) const
{
    if (key.isEmpty())
        return const_cast<Node *>(&m_top);
    return find(key);
}

void MemoryTreeDisplay::detach(Node *node)
{
    Node *parent = node->parent;
    if (!parent)
        return;
    if (node->previous)
        node->previous->next = node->next;
    else
        parent->firstChild = node->next;
    if (node->next)
        node->next->previous = node->previous;
    else
        parent->lastChild = node->previous;
    --parent->childCount;
    node->parent = nullptr;
    node->previous = nullptr;
    node->next = nullptr;
}

bool MemoryTreeDisplay::attach(Node *node, Node *relative, Relation relation)
{
    Node *parent = nullptr;
    Node *before = nullptr; // node goes just before this one; nullptr: at the end
    switch (relation) {
    case Relation::LastChild:
        parent = relative;
        break;
    case Relation::FirstChild:
        parent = relative;
        before = relative->firstChild;
        break;
    case Relation::Previous:
        if (relative == &m_top)
            return false;
        parent = relative->parent;
        before = relative;
        break;
    case Relation::Next:
        if (relative == &m_top)
            return false;
        parent = relative->parent;
        before = relative->next;
        break;
    }
    if (!parent)
        return false;

    node->parent = parent;
    node->next = before;
    node->previous = before ? before->previous : parent->lastChild;
    if (node->previous)
        node->previous->next = node;
    else
        parent->firstChild = node;
    if (before)
        before->previous = node;
    else
        parent->lastChild = node;
    ++parent->childCount;
    return true;
}

bool MemoryTreeDisplay::addNode(const QString &relativeKey, Relation relation, const QString &key, const QString &text, int icon)
{
    if (key.isEmpty() || find(key))
        return false;
    Node *relative = findRelative(relativeKey);
    if (!relative)
        return false;

    auto node = std::make_unique<Node>();
    node->key = key;
    node->text = text;
    node->icon = icon;
    if (!attach(node.get(), relative, relation))
        return false;
    m_nodes.emplace(key, std::move(node));
    return true;
}

bool MemoryTreeDisplay::moveNode(const QString &key, const QString &relativeKey, Relation relation)
{
    Node *node = find(key);
    Node *relative = findRelative(relativeKey);
    if (!node || !relative)
        return false;
    // A node cannot go below itself.
    for (const Node *up = relative; up; up = up->parent) {
        if (up == node)
            return false;
    }
    if ((relation == Relation::Previous || relation == Relation::Next) && relative == &m_top)
        return false;

    Node *oldParent = node->parent;
    Node *oldNext = node->next;
    detach(node);
    if (!attach(node, relative, relation)) {
        // Back where it was.
        if (oldNext)
            attach(node, oldNext, Relation::Previous);
        else
            attach(node, oldParent, Relation::LastChild);
        return false;
    }
    return true;
}

bool MemoryTreeDisplay::removeNode(const QString &key)
{
    Node *node = find(key);
    if (!node)
        return false;
    detach(node);

    std::vector<Node *> pending {node};
    std::vector<QString> keys;
    while (!pending.empty()) {
        Node *current = pending.back();
        pending.pop_back();
        keys.push_back(current->key);
        for (Node *child = current->firstChild; child; child = child->next)
            pending.push_back(child);
    }
    for (const QString &gone : keys)
        m_nodes.erase(gone);
    return true;
}

void MemoryTreeDisplay::clear()
{
    m_nodes.clear();
    m_top.firstChild = nullptr;
    m_top.lastChild = nullptr;
    m_top.childCount = 0;
}

bool MemoryTreeDisplay::contains(const QString &key) const
{
    return find(key) != nullptr;
}

QString MemoryTreeDisplay::text(const QString &key) const
{
    const Node *node = find(key);
    return node ? node->text : QString();
}

void MemoryTreeDisplay::setText(const QString &key, const QString &text)
{
    if (Node *node = find(key))
        node->text = text;
}

int MemoryTreeDisplay::icon(const QString &key) const
{
    const Node *node = find(key);
    return node ? node->icon : 0;
}

void MemoryTreeDisplay::setIcon(const QString &key, int icon)
{
    if (Node *node = find(key))
        node->icon = icon;
}

int MemoryTreeDisplay::expandedIcon(const QString &key) const
{
    const Node *node = find(key);
    return node ? node->expandedIcon : 0;
}

void MemoryTreeDisplay::setExpandedIcon(const QString &key, int icon)
{
    if (Node *node = find(key))
        node->expandedIcon = icon;
}

bool MemoryTreeDisplay::nodeDisabled(const QString &key) const
{
    const Node *node = find(key);
    return node && node->disabled;
}

void MemoryTreeDisplay::setNodeDisabled(const QString &key, bool disabled)
{
    if (Node *node = find(key))
        node->disabled = disabled;
}

QString MemoryTreeDisplay::parentKey(const QString &key) const
{
    const Node *node = find(key);
    return node && node->parent ? node->parent->key : QString();
}

QString MemoryTreeDisplay::firstChildKey(const QString &key) const
{
    const Node *node = findRelative(key);
    return node && node->firstChild ? node->firstChild->key : QString();
}

QString MemoryTreeDisplay::nextSiblingKey(const QString &key) const
{
    const Node *node = find(key);
    return node && node->next ? node->next->key : QString();
}

int MemoryTreeDisplay::childCount(const QString &key) const
{
    const Node *node = findRelative(key);
    return node ? node->childCount : 0;
}

QStringList MemoryTreeDisplay::outline() const
{
    QStringList lines;
    std::vector<std::pair<const Node *, int>> pending;
    for (const Node *child = m_top.lastChild; child; child = child->previous)
        pending.emplace_back(child, 0);
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        lines.append(QString(depth * 2, QLatin1Char(' ')) + node->key + QLatin1Char(' ') + node->text + QLatin1Char(' ')
            + QString::number(node->icon) + QLatin1Char('/') + QString::number(node->expandedIcon)
            + (node->disabled ? QStringLiteral(" disabled") : QString()));
        for (const Node *child = node->lastChild; child; child = child->previous)
            pending.emplace_back(child, depth + 1);
    }
    return lines;
}

#include "shell/TreeFinder.h"

#include "common/modGeneral.h"
#include "database/TreeDisplay.h"

#include <utility>

TreeFinder::TreeFinder(const TreeDisplay &tree, std::function<quint64()> changes)
    : m_tree(tree)
    , m_changes(std::move(changes))
{ }

void TreeFinder::gather()
{
    m_entries.clear();
    // "All Computers" holds everything; finding it would find nothing.
    QStringList pending {m_tree.firstChildKey(modGeneral::RootKey)};
    while (!pending.isEmpty()) {
        const QString key = pending.takeLast();
        if (key.isEmpty())
            continue;
        m_entries.push_back({key, m_tree.text(key).toCaseFolded()});
        // The sibling comes after the whole subtree, so it goes below it on the stack.
        pending.append(m_tree.nextSiblingKey(key));
        pending.append(m_tree.firstChildKey(key));
    }
    m_gatheredAt = m_changes();
    m_gathered = true;
}

void TreeFinder::Prepare()
{
    if (!m_gathered || m_changes() != m_gatheredAt) {
        gather();
        // The old hits point into the old list.
        m_text.clear();
        m_hits.clear();
        m_current = -1;
    }
}

qsizetype TreeFinder::Find(const QString &text)
{
    const bool stale = !m_gathered || m_changes() != m_gatheredAt;
    if (stale)
        gather();
    // A longer text finds only among the hits of the shorter one.
    const bool narrowing = !stale && !m_text.isEmpty() && text.startsWith(m_text, Qt::CaseInsensitive);
    m_text = text;
    m_current = -1;
    if (text.isEmpty()) {
        m_hits.clear();
        return 0;
    }
    // Folded once, the names and the text compare as plain text: several
    // times faster than comparing with the case ignored.
    const QString folded = text.toCaseFolded();
    std::vector<qsizetype> hits;
    if (narrowing) {
        for (const qsizetype at : m_hits) {
            if (m_entries[size_t(at)].name.contains(folded))
                hits.push_back(at);
        }
    } else {
        for (qsizetype at = 0; at < qsizetype(m_entries.size()); ++at) {
            if (m_entries[size_t(at)].name.contains(folded))
                hits.push_back(at);
        }
    }
    m_hits = std::move(hits);
    return Count();
}

QString TreeFinder::Next()
{
    if (m_hits.empty())
        return QString();
    m_current = (m_current + 1) % Count();
    return m_entries[size_t(m_hits[size_t(m_current)])].key;
}

QString TreeFinder::Previous()
{
    if (m_hits.empty())
        return QString();
    m_current = m_current <= 0 ? Count() - 1 : m_current - 1;
    return m_entries[size_t(m_hits[size_t(m_current)])].key;
}

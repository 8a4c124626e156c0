#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class TreeDisplay;

// Find in the computer tree: the groups and computers whose name holds the
// text, case ignored, in the order the tree shows them fully expanded, and
// a place among them that steps forwards and backwards with wrap-around.
// The names are gathered once and again only after the tree changed, so a
// keystroke in a tree of 100,000 computers scans a flat list.
class TreeFinder
{
public:
    // `changes` answers a number that moves whenever the tree changes.
    TreeFinder(const TreeDisplay &tree, std::function<quint64()> changes);

    // Gathers the names now if the tree changed since: the find box does
    // it when it opens, so that no keystroke waits for it.
    void Prepare();
    // The number of hits; the place is before the first.
    qsizetype Find(const QString &text);
    qsizetype Count() const { return m_hits.size(); }
    // The place, from 0; -1 before the first step.
    qsizetype Current() const { return m_current; }
    // The key of the next or previous hit, wrapping; empty with no hit.
    QString Next();
    QString Previous();

private:
    struct Entry
    {
        QString key;
        // Case-folded.
        QString name;
    };
    void gather();

    const TreeDisplay &m_tree;
    std::function<quint64()> m_changes;
    quint64 m_gatheredAt = 0;
    bool m_gathered = false;
    std::vector<Entry> m_entries;
    QString m_text;
    // Positions in m_entries.
    std::vector<qsizetype> m_hits;
    qsizetype m_current = -1;
};

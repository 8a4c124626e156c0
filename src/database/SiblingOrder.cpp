#include "database/SiblingOrder.h"

#include "common/modText.h"

#include <limits>

bool SiblingOrder::EntryLess::operator()(const Entry &a, const Entry &b) const
{
    const int byName = modText::CompareText(a.name, b.name);
    if (byName != 0)
        return byName < 0;
    return a.sequence < b.sequence;
}

qint64 SiblingOrder::groupKey(Kind kind, int parentID)
{
    return (static_cast<qint64>(kind) << 32) | static_cast<quint32>(parentID);
}

SiblingOrder::Group *SiblingOrder::group(Kind kind, int parentID)
{
    const auto it = m_groups.find(groupKey(kind, parentID));
    return it == m_groups.end() ? nullptr : &it->second;
}

const SiblingOrder::Group *SiblingOrder::group(Kind kind, int parentID) const
{
    const auto it = m_groups.find(groupKey(kind, parentID));
    return it == m_groups.end() ? nullptr : &it->second;
}

quint64 &SiblingOrder::sequenceOf(Kind kind, int id)
{
    std::vector<quint64> &sequences = m_sequences[kind];
    if (static_cast<size_t>(id) >= sequences.size())
        sequences.resize(static_cast<size_t>(id) + 1, 0);
    return sequences[static_cast<size_t>(id)];
}

void SiblingOrder::insert(Group &group, Kind kind, int id, const QString &name)
{
    const quint64 sequence = m_nextSequence++;
    sequenceOf(kind, id) = sequence;
    group.insert(Entry {name, sequence, id});
}

bool SiblingOrder::has(Kind kind, int parentID) const
{
    return group(kind, parentID) != nullptr;
}

void SiblingOrder::build(Kind kind, int parentID, const std::vector<std::pair<QString, int>> &children)
{
    Group &built = m_groups[groupKey(kind, parentID)];
    built.clear();
    for (const auto &[name, id] : children) {
        if (id >= 0)
            insert(built, kind, id, name);
    }
}

void SiblingOrder::append(Kind kind, int parentID, int id, const QString &name)
{
    if (Group *g = group(kind, parentID); g && id >= 0)
        insert(*g, kind, id, name);
}

void SiblingOrder::remove(Kind kind, int parentID, int id, const QString &name)
{
    Group *g = group(kind, parentID);
    if (!g || id < 0)
        return;
    const auto it = g->find(Entry {name, sequenceOf(kind, id), id});
    if (it != g->end() && it->id == id) {
        g->erase(it);
        return;
    }
    // Not where its name says: a list that held the ID twice. Drop it by ID.
    for (auto scan = g->begin(); scan != g->end(); ++scan) {
        if (scan->id == id) {
            g->erase(scan);
            return;
        }
    }
}

void SiblingOrder::rename(Kind kind, int parentID, int id, const QString &oldName, const QString &newName)
{
    Group *g = group(kind, parentID);
    if (!g || id < 0)
        return;
    auto it = g->find(Entry {oldName, sequenceOf(kind, id), id});
    if (it == g->end() || it->id != id) {
        for (it = g->begin(); it != g->end() && it->id != id; ++it) { }
        if (it == g->end())
            return;
    }
    // A rename keeps the place in the parent's list, so the sequence stays.
    const quint64 sequence = it->sequence;
    g->erase(it);
    g->insert(Entry {newName, sequence, id});
}

void SiblingOrder::clear()
{
    m_groups.clear();
    m_sequences[Folders].clear();
    m_sequences[Computers].clear();
    m_nextSequence = 1;
}

int SiblingOrder::firstGreater(Kind kind, int parentID, const QString &name) const
{
    const Group *g = group(kind, parentID);
    if (!g)
        return -1;
    // Every entry with an equal name has a smaller sequence than this probe.
    const auto it = g->upper_bound(Entry {name, std::numeric_limits<quint64>::max(), -1});
    return it == g->end() ? -1 : it->id;
}

int SiblingOrder::lastExcept(Kind kind, int parentID, int skipID) const
{
    const Group *g = group(kind, parentID);
    if (!g)
        return -1;
    for (auto it = g->rbegin(); it != g->rend(); ++it) {
        if (it->id != skipID)
            return it->id;
    }
    return -1;
}

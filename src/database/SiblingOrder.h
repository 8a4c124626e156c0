#pragma once

#include <QString>

#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

// The children of each parent, folders and computers apart, in the order the
// tree display shows them: by name without regard to case, equal names in the
// order of the parent's list. The database keeps one such order for every
// parent that a linked tree has added a node to, and updates it with every
// change of the lists and names, so that placing a new node needs a lookup
// instead of sorting all its siblings again.
class SiblingOrder
{
public:
    enum Kind : int {
        Folders = 0,
        Computers = 1,
    };

    bool has(Kind kind, int parentID) const;
    // The parent's children as (name, ID) in list order.
    void build(Kind kind, int parentID, const std::vector<std::pair<QString, int>> &children);
    // The list of the parent gained `id` at its end.
    void append(Kind kind, int parentID, int id, const QString &name);
    void remove(Kind kind, int parentID, int id, const QString &name);
    void rename(Kind kind, int parentID, int id, const QString &oldName, const QString &newName);
    void clear();

    // The first child whose name is greater than `name`; -1 when none is.
    int firstGreater(Kind kind, int parentID, const QString &name) const;
    // The last child in order other than `skipID`; -1 when there is none.
    int lastExcept(Kind kind, int parentID, int skipID) const;

private:
    struct Entry
    {
        QString name;
        // Position in the parent's list: later appends get larger numbers.
        quint64 sequence = 0;
        int id = -1;
    };
    struct EntryLess
    {
        bool operator()(const Entry &a, const Entry &b) const;
    };
    using Group = std::set<Entry, EntryLess>;

    static qint64 groupKey(Kind kind, int parentID);
    Group *group(Kind kind, int parentID);
    const Group *group(Kind kind, int parentID) const;
    quint64 &sequenceOf(Kind kind, int id);
    void insert(Group &group, Kind kind, int id, const QString &name);

    std::unordered_map<qint64, Group> m_groups;
    std::vector<quint64> m_sequences[2];
    quint64 m_nextSequence = 1;
};

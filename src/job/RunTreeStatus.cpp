#include "job/RunTreeStatus.h"

#include "common/TreeImage.h"
#include "database/TreeDisplay.h"

RunTreeStatus::RunTreeStatus(TreeDisplay &tree)
    : m_tree(tree)
{ }

void RunTreeStatus::SetColorsForRun(const QString &nodeKey)
{
    m_status.clear();
    m_groups.clear();
    prepare(nodeKey);
}

// Depth first; returns the number of computers below `groupKey`, all of
// them not started.
int RunTreeStatus::prepare(const QString &groupKey)
{
    int computers = 0;
    for (QString key = m_tree.firstChildKey(groupKey); !key.isEmpty(); key = m_tree.nextSiblingKey(key)) {
        if (key.startsWith(QLatin1Char('C'))) {
            // A disabled computer takes no part, and its group need not wait for it.
            if (m_tree.nodeDisabled(key))
                continue;
            m_tree.setIcon(key, TreeImage::StatusNotProcessed);
            m_tree.setStatusText(key, QString());
            ++computers;
        } else {
            m_tree.setIcon(key, TreeImage::Folder);
            m_tree.setExpandedIcon(key, TreeImage::FolderOpen);
            computers += prepare(key);
        }
    }
    Counts counts {};
    counts[static_cast<int>(ClientStatus::Category::NotStarted)] = computers;
    m_groups.insert(groupKey, counts);
    return computers;
}

void RunTreeStatus::SetNodeStatus(const QString &nodeKey, const QString &code)
{
    if (!m_tree.contains(nodeKey))
        return;
    const ClientStatus::Entry shown = ClientStatus::Lookup(code);
    m_tree.setIcon(nodeKey, shown.Image);
    m_tree.setStatusText(nodeKey, shown.Text);
    QString &status = m_status[nodeKey];
    const int before = static_cast<int>(ClientStatus::CategoryOf(status));
    const int after = static_cast<int>(ClientStatus::CategoryOf(code));
    status = code;
    if (before == after)
        return;
    for (QString group = m_tree.parentKey(nodeKey); !group.isEmpty(); group = m_tree.parentKey(group)) {
        // A group added after the run was prepared has no counts; it and
        // the groups above it keep their images.
        const auto found = m_groups.find(group);
        if (found == m_groups.end())
            return;
        Counts &counts = *found;
        --counts[before];
        ++counts[after];
        showGroup(group, counts);
    }
}

void RunTreeStatus::showGroup(const QString &groupKey, const Counts &counts)
{
    for (const ClientStatus::Category category : ClientStatus::WorstFirst) {
        if (counts[static_cast<int>(category)] <= 0)
            continue;
        const int image = ClientStatus::GroupImage(category);
        const int icon = image < 0 ? int(TreeImage::Folder) : image;
        const int expanded = image < 0 ? int(TreeImage::FolderOpen) : image;
        if (m_tree.icon(groupKey) != icon)
            m_tree.setIcon(groupKey, icon);
        if (m_tree.expandedIcon(groupKey) != expanded)
            m_tree.setExpandedIcon(groupKey, expanded);
        return;
    }
}

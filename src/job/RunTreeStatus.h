#pragma once

#include "engine/ClientStatus.h"

#include <QHash>
#include <QString>

#include <array>

class TreeDisplay;

// The tree's images during a run: every computer shows its client's last
// status, and every group above it the worst state of the computers below
// (ClientStatus::WorstFirst), so the administrator sees where a run went
// wrong without opening the groups.
//
// Each group keeps how many computers below it are in each category; a
// status change moves one computer between two counts on the way up to the
// root. The cost of an event is the depth of the tree, never its size.
class RunTreeStatus
{
public:
    explicit RunTreeStatus(TreeDisplay &tree);

    // Prepares the tree below `nodeKey` for a run: computers get the
    // not-processed image and an empty status, groups the folder images.
    void SetColorsForRun(const QString &nodeKey = QStringLiteral("F-1"));
    // Shows a client's status on its computer node ("C12") and on the
    // groups above it; keeps the code as the node's status.
    void SetNodeStatus(const QString &nodeKey, const QString &code);
    // The code last shown on a computer node; empty before its first.
    QString Status(const QString &nodeKey) const { return m_status.value(nodeKey); }

private:
    using Counts = std::array<int, ClientStatus::CategoryCount>;

    int prepare(const QString &groupKey);
    void showGroup(const QString &groupKey, const Counts &counts);

    TreeDisplay &m_tree;
    QHash<QString, QString> m_status;
    QHash<QString, Counts> m_groups;
};

#pragma once

#include <QString>

// What a tree node key names: "C" + computer ID, "F" + folder ID, "F-1" the root.
struct NodeInfo
{
    enum Type : int {
        None = 0,
        Computer = 1,
        Folder = 2,
    };

    int Type = None;
    int ID = 0;
    bool Valid = false;
};

namespace modGeneral {

NodeInfo ParseNodeKey(const QString &key);

inline QString ComputerKey(int id)
{
    return QStringLiteral("C") + QString::number(id);
}

inline QString FolderKey(int id)
{
    return QStringLiteral("F") + QString::number(id);
}

inline const QString RootKey = QStringLiteral("F-1");

} // namespace modGeneral

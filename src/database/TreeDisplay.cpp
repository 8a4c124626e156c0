#include "database/TreeDisplay.h"

QStringList TreeDisplay::childKeys(const QString &key) const
{
    QStringList keys;
    for (QString child = firstChildKey(key); !child.isEmpty(); child = nextSiblingKey(child))
        keys.append(child);
    return keys;
}

NodeInfo TreeDisplay::GetNodeInfo(const QString &key) const
{
    if (key.isEmpty() || !contains(key))
        return NodeInfo();
    return modGeneral::ParseNodeKey(key);
}

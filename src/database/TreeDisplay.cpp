#include "database/TreeDisplay.h"

QStringList TreeDisplay::childKeys(const QString &key) const
{
    QStringList keys;
    for (QString child = firstChildKey(key); !child.isEmpty(); child = nextSiblingKey(child))
        keys.append(child);
    return keys;
}

QStringList TreeDisplay::computerKeysInOrder() const
{
    QStringList computers;
    QStringList pending {firstChildKey(QString())};
    while (!pending.isEmpty()) {
        const QString key = pending.takeLast();
        if (key.isEmpty())
            continue;
        if (key.startsWith(QLatin1Char('C')))
            computers.append(key);
        // The sibling comes after the whole subtree, so it goes below it on the stack.
        pending.append(nextSiblingKey(key));
        pending.append(firstChildKey(key));
    }
    return computers;
}

NodeInfo TreeDisplay::GetNodeInfo(const QString &key) const
{
    if (key.isEmpty() || !contains(key))
        return NodeInfo();
    return modGeneral::ParseNodeKey(key);
}

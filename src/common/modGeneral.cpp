#include "common/modGeneral.h"

namespace modGeneral {

NodeInfo ParseNodeKey(const QString &key)
{
    NodeInfo info;
    if (key.size() < 2)
        return info;
    bool numeric = false;
    const int id = key.mid(1).toInt(&numeric);
    if (!numeric)
        return info;
    const QChar kind = key.at(0);
    if (kind == QLatin1Char('F'))
        info.Type = NodeInfo::Folder;
    else if (kind == QLatin1Char('C'))
        info.Type = NodeInfo::Computer;
    else
        return info;
    info.ID = id;
    info.Valid = id >= -1;
    if (!info.Valid)
        info.Type = NodeInfo::None;
    return info;
}

} // namespace modGeneral

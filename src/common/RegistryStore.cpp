#include "common/RegistryStore.h"

#include <array>

namespace Reg {

namespace {

struct Hive
{
    const char *shortName;
    const char *longName;
    RegKey root;
};

constexpr std::array<Hive, 7> kHives = {{
    {"HKCR", "HKEY_CLASSES_ROOT", ClassesRoot},
    {"HKCU", "HKEY_CURRENT_USER", CurrentUser},
    {"HKLM", "HKEY_LOCAL_MACHINE", LocalMachine},
    {"HKU", "HKEY_USERS", Users},
    {"HKPD", "HKEY_PERFORMANCE_DATA", PerformanceData},
    {"HKCC", "HKEY_CURRENT_CONFIG", CurrentConfig},
    {"HKDD", "HKEY_DYN_DATA", DynData},
}};

struct TypeEntry
{
    quint32 type;
    const char *name;
};

constexpr std::array<TypeEntry, 7> kTypes = {{
    {TypeNone, "REG_NONE"},
    {TypeSz, "REG_SZ"},
    {TypeExpandSz, "REG_EXPAND_SZ"},
    {TypeBinary, "REG_BINARY"},
    {TypeDword, "REG_DWORD"},
    {TypeMultiSz, "REG_MULTI_SZ"},
    {TypeQword, "REG_QWORD"},
}};

} // namespace

QString RootName(RegKey root)
{
    for (const Hive &hive : kHives) {
        if (hive.root == root)
            return QLatin1String(hive.longName);
    }
    return QString();
}

RegKey RootFromName(const QString &name)
{
    for (const Hive &hive : kHives) {
        if (name.compare(QLatin1String(hive.shortName), Qt::CaseInsensitive) == 0
            || name.compare(QLatin1String(hive.longName), Qt::CaseInsensitive) == 0)
            return hive.root;
    }
    return NoKey;
}

QString TypeName(quint32 type)
{
    for (const TypeEntry &entry : kTypes) {
        if (entry.type == type)
            return QLatin1String(entry.name);
    }
    return QStringLiteral("REG_UNKNOWN(%1)").arg(type);
}

bool TypeFromName(const QString &name, quint32 *type)
{
    for (const TypeEntry &entry : kTypes) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            *type = entry.type;
            return true;
        }
    }
    return false;
}

QString CodeText(long code)
{
    switch (code) {
    case Success:
        return QStringLiteral("The operation completed successfully.");
    case FileNotFound:
        return QStringLiteral("The system was unable to find the specified registry key or value.");
    case AccessDenied:
        return QStringLiteral("Access is denied.");
    case InvalidHandle:
        return QStringLiteral("The handle is invalid.");
    case OutOfMemory:
        return QStringLiteral("Not enough memory resources are available to complete this operation.");
    case BadNetPath:
        return QStringLiteral("The network path was not found.");
    case InvalidParameter:
        return QStringLiteral("The parameter is incorrect.");
    case DiskFull:
        return QStringLiteral("There is not enough space on the disk.");
    case BadPathName:
        return QStringLiteral("The specified path is invalid.");
    case Busy:
        return QStringLiteral("The requested resource is in use.");
    case MoreData:
        return QStringLiteral("More data is available.");
    case BadDb:
        return QStringLiteral("The configuration registry database is corrupt.");
    case CantOpen:
        return QStringLiteral("The configuration registry key could not be opened.");
    case RegistryIoFailed:
        return QStringLiteral("An I/O operation initiated by the registry failed unrecoverably.");
    case KeyDeleted:
        return QStringLiteral("Illegal operation attempted on a registry key that has been marked for deletion.");
    case DefaultReturned:
        return QStringLiteral("The value was not found; the default was returned.");
    case KeyNotOpened:
        return QStringLiteral("The registry key could not be opened.");
    case NoValue:
        return QStringLiteral("Neither the value nor a default could be returned.");
    default:
        return QStringLiteral("Registry error %1.").arg(code);
    }
}

} // namespace Reg

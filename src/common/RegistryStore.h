#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Handle of an open registry key. The predefined roots are handles that are
// always open; every other handle comes from openKey or createKey.
using RegKey = quint64;

// Names, types and codes of the Windows registry, spelled so that they do not
// collide with the macros of <windows.h> when a native store is added.
namespace Reg {

constexpr RegKey NoKey = 0;

// How many levels of keys the platform allows below a root.
constexpr int MaxKeyDepth = 512;

enum Root : RegKey {
    ClassesRoot = 0x80000000,
    CurrentUser = 0x80000001,
    LocalMachine = 0x80000002,
    Users = 0x80000003,
    PerformanceData = 0x80000004,
    CurrentConfig = 0x80000005,
    DynData = 0x80000006,
};

enum Access : quint32 {
    QueryValue = 0x0001,
    SetValue = 0x0002,
    KeyRead = 0x20019,
    KeyWrite = 0x20006,
    KeyAllAccess = 0xF003F,
};

enum Type : quint32 {
    TypeNone = 0,
    TypeSz = 1,
    TypeExpandSz = 2,
    TypeBinary = 3,
    TypeDword = 4,
    TypeMultiSz = 7,
    TypeQword = 11,
};

// Result codes. 0 and the platform's codes come from the store; -1, 9001 and
// 9002 are the console's own (see modRegistry).
enum Code : long {
    Success = 0,
    FileNotFound = 2,
    AccessDenied = 5,
    InvalidHandle = 6,
    OutOfMemory = 14,
    BadNetPath = 53,
    InvalidParameter = 87,
    DiskFull = 112,
    BadPathName = 161,
    Busy = 170,
    MoreData = 234,
    BadDb = 1009,
    CantOpen = 1011,
    RegistryIoFailed = 1016,
    KeyDeleted = 1018,
    DefaultReturned = -1,
    KeyNotOpened = 9001,
    NoValue = 9002,
};

// "HKEY_CURRENT_USER" for CurrentUser; empty for anything else.
QString RootName(RegKey root);
// The root named by a short or long hive name in any case; NoKey when none.
RegKey RootFromName(const QString &name);

// "REG_SZ" for TypeSz, and back; TypeFromName answers false for unknown names.
QString TypeName(quint32 type);
bool TypeFromName(const QString &name, quint32 *type);

// The platform's words for a result code.
QString CodeText(long code);

} // namespace Reg

// The hierarchical key/value store behind modRegistry: the counterpart of the
// platform's registry functions, with the same handles, value types and
// result codes. Key and value names are matched without regard to case.
class RegistryStore
{
public:
    struct Value
    {
        QString name;
        quint32 type = Reg::TypeNone;
        QByteArray data;
    };

    virtual ~RegistryStore() = default;

    // The root key of `machineName`'s registry; empty means this machine.
    virtual long connect(const QString &machineName, RegKey root, RegKey *result) = 0;
    virtual long openKey(RegKey parent, const QString &subKey, quint32 access, RegKey *result) = 0;
    // Opens the key, creating it and every missing key on the way.
    virtual long createKey(RegKey parent, const QString &subKey, RegKey *result) = 0;
    virtual long closeKey(RegKey key) = 0;

    // An empty value name is the key's default value.
    virtual long setValue(RegKey key, const QString &name, quint32 type, const QByteArray &data) = 0;
    virtual long queryValue(RegKey key, const QString &name, quint32 *type, QByteArray *data) = 0;
    virtual long deleteValue(RegKey key, const QString &name) = 0;
    // Removes the subkey with everything below it.
    virtual long deleteTree(RegKey key, const QString &subKey) = 0;

    // Subkeys by name, values in the order they were first written.
    virtual long enumKeys(RegKey key, QStringList *names) = 0;
    virtual long enumValues(RegKey key, QList<Value> *values) = 0;
    // "HKEY_CURRENT_USER\Software\..." with the names as stored.
    virtual long keyName(RegKey key, QString *fullName) = 0;

    // Why the last failing call failed, in a sentence for the administrator;
    // empty when the platform's text for the code says it all.
    virtual QString lastErrorText() const = 0;
};

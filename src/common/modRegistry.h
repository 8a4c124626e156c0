#pragma once

#include "common/RegistryStore.h"

#include <QVariant>

#include <memory>
#include <optional>

// Registry access by textual key path ("HKCU\Software\Brindlewood\Varno-Osk").
//
// Every operation reports a result code and never raises: 0 success; 9001 the
// key was not opened; 9002 neither a stored value nor the default was handed
// back; -1 the caller's default was returned; anything else is the
// platform's own code (2 not found, 53 no such machine, 234 more data, ...).
namespace modRegistry {

// Values are read through a buffer of this many characters.
constexpr int ReadBufferChars = 255;

// The hive before the first "\" in any case, short or long; the rest without
// one trailing "\". 1 for a path without "\". An unknown hive leaves
// `rootKey` as Reg::NoKey, so that the open that follows fails.
long ParseKeyPath(const QString &keyPath, RegKey &rootKey, QString &subKey);

// An empty machine name is this machine.
long OpenKey(const QString &keyPath, const QString &machineName, quint32 access, RegKey &key);
long CreateKey(const QString &subKeyName, RegKey parentKey, const QString &parentKeyPath, const QString &machineName, RegKey &newKey);
long CloseKey(RegKey key);

// Where a key handle is given it is used and left open; with Reg::NoKey the
// operation opens `keyPath` itself and closes it again.
long SetStringValue(const QString &valueName, const QString &text, RegKey key, const QString &keyPath, const QString &machineName = QString());

// Reads a value into `result`: text for REG_SZ and REG_EXPAND_SZ, the first
// byte for REG_BINARY, the number for REG_DWORD. When `result` already holds
// a value of another type, the text is converted to that type, and a text
// that does not convert counts as one that cannot be stored.
long GetValue(const QString &valueName, QVariant &result, const std::optional<QVariant> &defaultValue, RegKey key,
              const QString &keyPath, const QString &machineName = QString());

bool SaveSettingString(const QString &keyPath, const QString &valueName, const QString &text);
QString GetSettingString(const QString &keyPath, const QString &valueName);

// Beyond the console's own needs: what the vo reg command does. These work on
// a key the caller opened, and hand back the store's own codes.
long SetValue(const QString &valueName, quint32 type, const QByteArray &data, RegKey key, const QString &keyPath,
              const QString &machineName = QString());
long QueryRawValue(RegKey key, const QString &valueName, quint32 &type, QByteArray &data);
long DeleteValue(RegKey key, const QString &valueName);
long EnumKeys(RegKey key, QStringList &names);
long EnumValues(RegKey key, QList<RegistryStore::Value> &values);
// The key's full name as stored: "HKEY_CURRENT_USER\Software\Brindlewood\Varno-Osk".
long KeyName(RegKey key, QString &fullName);
// Removes the key with everything below it.
long DeleteKey(const QString &keyPath, const QString &machineName = QString());

// How a value's raw data reads as text, and back, for the value types.
QString StringFromData(const QByteArray &data);
QByteArray DataFromString(const QString &text);

// The store file: VARNO_OSK_REGISTRY when set, else
// $XDG_CONFIG_HOME/varno-osk/registry.db.
QString DefaultStorePath();
RegistryStore &Store();
// Replaces the store (tests, another platform); nullptr returns to the default.
void SetStore(std::unique_ptr<RegistryStore> store);
// The store's own words for the last failure, else the platform's text for `code`.
QString ErrorText(long code);

} // namespace modRegistry

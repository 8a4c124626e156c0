#include "common/modRegistry.h"

#include "common/SqliteRegistryStore.h"

#include <QStandardPaths>
#include <QtEndian>

namespace modRegistry {

namespace {

std::unique_ptr<RegistryStore> s_store;

// Puts `value` into the caller's variable. A variable that already holds a
// value of another type takes only what converts to that type.
bool storeInto(QVariant &target, const QVariant &value)
{
    if (!target.isValid() || target.metaType() == value.metaType()) {
        target = value;
        return true;
    }
    QVariant converted = value;
    if (!converted.convert(target.metaType()))
        return false;
    target = converted;
    return true;
}

// How many characters of the read buffer the value fills.
qsizetype bufferCharsNeeded(quint32 type, const QByteArray &data)
{
    if (type == Reg::TypeSz || type == Reg::TypeExpandSz || type == Reg::TypeMultiSz)
        return data.size() / 2;
    return data.size();
}

// Opens `keyPath` unless the caller handed in an open key.
class KeyInUse
{
public:
    KeyInUse(RegKey key, const QString &keyPath, const QString &machineName, quint32 access)
        : m_key(key)
    {
        if (m_key != Reg::NoKey)
            return;
        if (OpenKey(keyPath, machineName, access, m_key) != Reg::Success) {
            m_key = Reg::NoKey;
            return;
        }
        m_openedHere = true;
    }
    ~KeyInUse()
    {
        if (m_openedHere)
            CloseKey(m_key);
    }
    KeyInUse(const KeyInUse &) = delete;
    KeyInUse &operator=(const KeyInUse &) = delete;

    bool isOpen() const { return m_key != Reg::NoKey; }
    RegKey key() const { return m_key; }

private:
    RegKey m_key;
    bool m_openedHere = false;
};

} // namespace

long ParseKeyPath(const QString &keyPath, RegKey &rootKey, QString &subKey)
{
    const qsizetype slash = keyPath.indexOf(QLatin1Char('\\'));
    if (slash < 0)
        return 1;
    rootKey = Reg::RootFromName(keyPath.left(slash));
    subKey = keyPath.mid(slash + 1);
    if (subKey.endsWith(QLatin1Char('\\')))
        subKey.chop(1);
    return 0;
}

long OpenKey(const QString &keyPath, const QString &machineName, quint32 access, RegKey &key)
{
    RegKey root = Reg::NoKey;
    QString subKey;
    if (ParseKeyPath(keyPath, root, subKey) != 0)
        return Reg::KeyNotOpened;
    if (!machineName.isEmpty()) {
        RegKey remoteRoot = Reg::NoKey;
        if (long code = Store().connect(machineName, root, &remoteRoot); code != Reg::Success)
            return code;
        root = remoteRoot;
    }
    return Store().openKey(root, subKey, access, &key);
}

long CreateKey(const QString &subKeyName, RegKey parentKey, const QString &parentKeyPath, const QString &machineName, RegKey &newKey)
{
    KeyInUse parent(parentKey, parentKeyPath, machineName, Reg::KeyAllAccess);
    if (!parent.isOpen())
        return Reg::KeyNotOpened;
    return Store().createKey(parent.key(), subKeyName, &newKey);
}

long CloseKey(RegKey key)
{
    return Store().closeKey(key);
}

long SetValue(const QString &valueName, quint32 type, const QByteArray &data, RegKey key, const QString &keyPath, const QString &machineName)
{
    KeyInUse open(key, keyPath, machineName, Reg::KeyAllAccess);
    if (!open.isOpen())
        return Reg::KeyNotOpened;
    return Store().setValue(open.key(), valueName, type, data);
}

long SetStringValue(const QString &valueName, const QString &text, RegKey key, const QString &keyPath, const QString &machineName)
{
    return SetValue(valueName, Reg::TypeSz, DataFromString(text), key, keyPath, machineName);
}

long GetValue(const QString &valueName, QVariant &result, const std::optional<QVariant> &defaultValue, RegKey key,
              const QString &keyPath, const QString &machineName)
{
    KeyInUse open(key, keyPath, machineName, Reg::KeyRead);
    if (!open.isOpen())
        return Reg::KeyNotOpened;

    quint32 type = Reg::TypeNone;
    QByteArray data;
    long code = Store().queryValue(open.key(), valueName, &type, &data);
    if (code == Reg::Success && bufferCharsNeeded(type, data) > ReadBufferChars)
        code = Reg::MoreData;

    if (code == Reg::FileNotFound && defaultValue) {
        result = *defaultValue;
        return Reg::DefaultReturned;
    }
    if (code != Reg::Success)
        return code;

    switch (type) {
    case Reg::TypeSz:
    case Reg::TypeExpandSz:
        if (!storeInto(result, StringFromData(data))) {
            if (defaultValue && storeInto(result, *defaultValue))
                return Reg::DefaultReturned;
            return Reg::NoValue;
        }
        return Reg::Success;
    case Reg::TypeBinary:
        result = data.isEmpty() ? 0 : static_cast<int>(static_cast<quint8>(data.at(0)));
        return Reg::Success;
    case Reg::TypeDword:
        result = data.size() < 4 ? 0 : qFromLittleEndian<qint32>(data.constData());
        return Reg::Success;
    default:
        return Reg::Success;
    }
}

bool SaveSettingString(const QString &keyPath, const QString &valueName, const QString &text)
{
    return SetStringValue(valueName, text, Reg::NoKey, keyPath) == Reg::Success;
}

QString GetSettingString(const QString &keyPath, const QString &valueName)
{
    QVariant value;
    if (GetValue(valueName, value, QVariant(QString()), Reg::NoKey, keyPath) != Reg::Success)
        return QString();
    return value.toString();
}

long QueryRawValue(RegKey key, const QString &valueName, quint32 &type, QByteArray &data)
{
    return Store().queryValue(key, valueName, &type, &data);
}

long DeleteValue(RegKey key, const QString &valueName)
{
    return Store().deleteValue(key, valueName);
}

long EnumKeys(RegKey key, QStringList &names)
{
    return Store().enumKeys(key, &names);
}

long EnumValues(RegKey key, QList<RegistryStore::Value> &values)
{
    return Store().enumValues(key, &values);
}

long KeyName(RegKey key, QString &fullName)
{
    return Store().keyName(key, &fullName);
}

long DeleteKey(const QString &keyPath, const QString &machineName)
{
    RegKey root = Reg::NoKey;
    QString subKey;
    if (ParseKeyPath(keyPath, root, subKey) != 0)
        return Reg::KeyNotOpened;
    if (!machineName.isEmpty()) {
        if (long code = Store().connect(machineName, root, &root); code != Reg::Success)
            return code;
    }
    return Store().deleteTree(root, subKey);
}

QString StringFromData(const QByteArray &data)
{
    // The stored size counts the terminating null; the text is one character
    // shorter. A value written without the null loses its last character,
    // exactly as the platform's own reader does.
    const qsizetype chars = data.size() / 2;
    if (chars == 0)
        return QString();
    QString text(chars - 1, Qt::Uninitialized);
    for (qsizetype i = 0; i < chars - 1; ++i)
        text[i] = QChar(qFromLittleEndian<quint16>(data.constData() + 2 * i));
    return text;
}

QByteArray DataFromString(const QString &text)
{
    // UTF-16LE with its terminating null: what the registry keeps for REG_SZ.
    QByteArray data((text.size() + 1) * 2, '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text.at(i).unicode(), data.data() + 2 * i);
    return data;
}

QString DefaultStorePath()
{
    const QString fromEnvironment = qEnvironmentVariable("VARNO_OSK_REGISTRY");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/varno-osk/registry.db");
}

RegistryStore &Store()
{
    if (!s_store)
        s_store = std::make_unique<SqliteRegistryStore>(DefaultStorePath());
    return *s_store;
}

void SetStore(std::unique_ptr<RegistryStore> store)
{
    s_store = std::move(store);
}

QString ErrorText(long code)
{
    const QString own = s_store ? s_store->lastErrorText() : QString();
    return own.isEmpty() ? Reg::CodeText(code) : own;
}

} // namespace modRegistry

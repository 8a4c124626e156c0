#include "common/ConsoleConfig.h"

#include "common/AppState.h"
#include "common/modFormat.h"
#include "common/modGeneral.h"
#include "common/modRegistry.h"

#include <iterator>

namespace {

struct Entry
{
    const char *name;
    // The default as text; the ones that are numbers in the header or
    // depend on this machine are made in Default.
    const char *fixedDefault;
    bool numeric;
};

// In the order of ConsoleConfig::Value.
constexpr Entry kValues[] = {
    {"LogPath", "", false},
    {"ListenerIP", "", false},
    {"ListenerPort", "", true},
    {"ConsoleIP", "", false},
    {"DestShare", "ADMIN$", false},
    {"DestPath", "", false},
    {"StatusCheckPeriod", "15", true},
    {"ReportingPeriod", "120", true},
    {"KeepAliveIncrement", "300", true},
    {"LoggingLevel", "1", true},
    {"MaxTransferors", "", true},
    {"PingsInFlight", "", true},
    {"RetryInterval", "300", true},
    {"PendingTimeout", "0", true},
    // Start-up shows the welcome screen unless this is "1".
    {"WelcomeScreen", "", false},
    {"CLogFile", "varnoosk.log", false},
    {"CStatusFile", "varnoosk.sts", false},
    {"HLogFile", "handler.log", false},
    {"TLogFile", "transferor*.log", false},
    {"SourcePath", "", false},
    // No default: the first Start Migration asks (modRehearsal::Chosen).
    {"Engine", "", false},
    {"SshConfig", "", false},
    {"LastRun", "", false},
    {"LastRunSettings", "", false},
};

static_assert(std::size(kValues) == ConsoleConfig::LastRunSettings + 1);

const Entry &entry(ConsoleConfig::Value value)
{
    return kValues[value];
}

} // namespace

QString ConsoleConfig::Name(Value value)
{
    return QString::fromLatin1(entry(value).name);
}

QString ConsoleConfig::Default(Value value)
{
    switch (value) {
    case LogPath:
        return modGeneral::DefaultLogRoot();
    case SourcePath:
        return modGeneral::ClientFolder() + QLatin1Char('/');
    case ListenerPort:
        return QString::number(DefaultListenerPort);
    case MaxTransferors:
        return QString::number(DefaultMaxTransferors);
    case PingsInFlight:
        return QString::number(DefaultPingsInFlight);
    default:
        return QString::fromLatin1(entry(value).fixedDefault);
    }
}

bool ConsoleConfig::IsNumeric(Value value)
{
    return entry(value).numeric;
}

ConsoleConfig::ConsoleConfig(const QString &keyPath)
    : m_keyPath(keyPath.isEmpty() ? AppState::Get().AppKeyPath : keyPath)
{ }

bool ConsoleConfig::Read(Value value, QString &text) const
{
    text = Default(value);
    QVariant stored = QString();
    const long code = modRegistry::GetValue(Name(value), stored, std::nullopt, Reg::NoKey, m_keyPath);
    if (code == Reg::FileNotFound)
        return true;
    if (code != Reg::Success)
        return false;
    // A number stored as REG_DWORD reads as its digits.
    const QString storedText = stored.toString();
    if (!IsNumeric(value) || modFormat::IsNumeric(storedText))
        text = storedText;
    return true;
}

long ConsoleConfig::ReadAsStored(Value value, QString &text) const
{
    text = Default(value);
    RegKey key = Reg::NoKey;
    const long opened = modRegistry::OpenKey(m_keyPath, QString(), Reg::KeyRead, key);
    if (opened != Reg::Success)
        return opened;
    QVariant stored = QString();
    if (modRegistry::GetValue(Name(value), stored, std::nullopt, key, m_keyPath) == Reg::Success)
        text = stored.toString();
    modRegistry::CloseKey(key);
    return Reg::Success;
}

QString ConsoleConfig::Text(Value value) const
{
    QString text;
    Read(value, text);
    return text;
}

bool ConsoleConfig::Read(Value value, int &number) const
{
    QString text;
    const bool read = Read(value, text);
    bool fits = false;
    number = text.toInt(&fits);
    if (!fits)
        number = Default(value).toInt();
    return read;
}

int ConsoleConfig::Number(Value value) const
{
    int number = 0;
    Read(value, number);
    return number;
}

bool ConsoleConfig::Write(Value value, const QString &text) const
{
    return modRegistry::SaveSettingString(m_keyPath, Name(value), text);
}

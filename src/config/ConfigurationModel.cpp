#include "config/ConfigurationModel.h"

#include "common/ConsoleCertificate.h"

#include "common/AppState.h"
#include "common/modDuration.h"
#include "common/modFormat.h"
#include "common/modRegistry.h"
#include "common/modRehearsal.h"
#include "network/AddressTable.h"
#include "network/modNetwork.h"

const QString ConfigurationModel::UseListenerIP = QStringLiteral("- Use Listener IP -");
const QString ConfigurationModel::NoIPsFound = QStringLiteral("- No IPs Found -");
const QString ConfigurationModel::RegistryNotOpened = QStringLiteral("The registry could not be opened.  Settings will not be saved.");

namespace {

using Config = ConsoleConfig;

// Bounds are inclusive.
bool numberWithin(const QString &text, int low, int high)
{
    if (!modFormat::IsNumeric(text))
        return false;
    bool fits = false;
    const int value = text.toInt(&fits);
    return fits && value >= low && value <= high;
}

// Destination share and path are folders on a client, relative to the
// share: no drive, no "\\server".
bool clientFolder(const QString &text)
{
    return modFormat::IsValidPath(text, true, false, false, false);
}

// The order in which SaveSettings writes; the checks go in field order.
constexpr Config::Value kWriteOrder[] = {Config::LogPath, Config::ListenerIP, Config::ListenerPort, Config::DestShare, Config::DestPath,
    Config::ConsoleIP, Config::StatusCheckPeriod, Config::ReportingPeriod, Config::KeepAliveIncrement, Config::LoggingLevel,
    Config::MaxTransferors, Config::PingsInFlight, Config::RetryInterval, Config::PendingTimeout};

bool isDuration(ConfigurationModel::Field field)
{
    return field == Config::RetryInterval || field == Config::PendingTimeout;
}

const QString kOff = QStringLiteral("off");

// A duration typed as the dialog shows it ("5 min", "off"), in seconds; -1 when it is none.
qint64 durationSeconds(ConfigurationModel::Field field, const QString &text)
{
    qint64 seconds = -1;
    if (field == Config::PendingTimeout && text.trimmed().compare(kOff, Qt::CaseInsensitive) == 0)
        return 0;
    return modDuration::Parse(text, seconds) ? seconds : -1;
}

} // namespace

ConfigurationModel::ConfigurationModel(const QString &keyPath)
    : m_keyPath(keyPath.isEmpty() ? AppState::Get().AppKeyPath : keyPath)
{
    for (int field = 0; field < FieldCount; ++field)
        m_texts[field] = ShownText(Field(field), Config::Default(Field(field)));
}

bool ConfigurationModel::keyOpens() const
{
    RegKey key = Reg::NoKey;
    if (modRegistry::OpenKey(m_keyPath, QString(), Reg::KeyRead, key) != Reg::Success)
        return false;
    modRegistry::CloseKey(key);
    return true;
}

bool ConfigurationModel::Load()
{
    // Loopback addresses come last: they serve clients on this machine only.
    m_localAddresses = AddressTable::current().Addresses(true);
    const Config config(m_keyPath);
    const bool opened = keyOpens();
    // A field shows the text as it is stored, a number that is none too
    // ("80a"): Start Migration refuses it, so the dialog's check must name
    // it rather than show the default that hides it.
    for (int field = 0; field < FieldCount; ++field) {
        QString stored;
        config.ReadAsStored(Field(field), stored);
        m_texts[field] = ShownText(Field(field), stored);
    }
    // The list offers only this machine's addresses; a stored one that is
    // gone shows the first, as the next run will use it.
    QString &listener = m_texts[Config::ListenerIP];
    if (!m_localAddresses.contains(listener))
        listener = AddressTable::current().Addresses(false).value(0, NoIPsFound);

    // Any number above 0 clears the box, "1.5" as well as "2".
    const QString welcome = config.Text(Config::WelcomeScreen);
    bool number = false;
    const double value = welcome.toDouble(&number);
    m_showWelcome = !(number && value > 0);
    return opened;
}

QString ConfigurationModel::ShownText(Field field, const QString &stored)
{
    if (field == Config::ConsoleIP && stored.isEmpty())
        return UseListenerIP;
    // Stored as seconds, shown as the duration they are.
    if (isDuration(field) && modFormat::IsNumeric(stored)) {
        const qint64 seconds = stored.toLongLong();
        return field == Config::PendingTimeout && seconds == 0 ? kOff : modDuration::Text(seconds);
    }
    return stored;
}

QString ConfigurationModel::StoredText(Field field, const QString &text)
{
    if (field == Config::ConsoleIP && text == UseListenerIP)
        return QString();
    if (isDuration(field)) {
        const qint64 seconds = durationSeconds(field, text);
        return seconds < 0 ? text : QString::number(seconds);
    }
    return text;
}

std::optional<ConfigurationModel::Refusal> ConfigurationModel::CheckField(Field field, const QString &text)
{
    bool passes = false;
    QString message;
    switch (field) {
    case Config::LogPath:
        // The log folder is on this machine, not on a client: the check is
        // the one GetLogRoot applies, so that what passes here is the folder
        // the logs really go to (the default included).
        passes = modFormat::IsValidLocalPath(text, true);
        message = QStringLiteral("You must specify a valid log path.");
        break;
    case Config::ListenerIP:
        // The addresses are handed to the engine and the clients as they
        // stand, so they must be plain dotted text, not merely readable as one.
        passes = modNetwork::IsDottedAddress(text);
        message = QStringLiteral("You must enter a valid listener IP address.");
        break;
    case Config::ListenerPort:
        passes = numberWithin(text, 1025, 65535);
        message = QStringLiteral("You must enter a valid listener TCP port between 1025 and 65535.");
        break;
    case Config::ConsoleIP:
        passes = text == UseListenerIP || modNetwork::IsDottedAddress(text);
        message = QStringLiteral("You must enter a valid Console IP address.");
        break;
    case Config::DestShare:
        passes = clientFolder(text) && !text.contains(QLatin1Char('\\'));
        message = QStringLiteral("You must enter the name of a valid share which exists on all client PCs.  Enter only a share "
                                 "name, not the full path name.");
        break;
    case Config::DestPath:
        // Empty is the default and means the share's own folder; the path
        // check would take it for a path with an empty folder name.
        passes = text.isEmpty() || clientFolder(text);
        message = QStringLiteral("You must enter a valid path name to which files will be copied in the destination share.  "
                                 "Enter only folders/sub-folders, not the full path name.");
        break;
    case Config::StatusCheckPeriod:
        passes = numberWithin(text, 1, 999);
        message = QStringLiteral("Please enter the status check period in seconds.  This value must be between 1 and 999.");
        break;
    case Config::ReportingPeriod:
        passes = numberWithin(text, 1, 999);
        message = QStringLiteral("Please enter the reporting period in seconds.  This value must be between 1 and 999.");
        break;
    case Config::KeepAliveIncrement:
        passes = numberWithin(text, 1, 999);
        message = QStringLiteral("Please enter the keep alive incremental period in seconds.  This value must be between 1 and 999.");
        break;
    case Config::LoggingLevel:
        passes = numberWithin(text, 1, 9);
        message = QStringLiteral("Please enter a valid logging level between 1 (basic) and 9 (verbose debug).");
        break;
    case Config::MaxTransferors:
        passes = numberWithin(text, 1, Config::MaxTransferorsLimit);
        message = QStringLiteral("Please enter a valid number of maximum transferors between 1 and ")
            + QString::number(Config::MaxTransferorsLimit) + QLatin1Char('.');
        break;
    case Config::PingsInFlight:
        passes = numberWithin(text, 1, Config::PingsInFlightLimit);
        message = QStringLiteral("Please enter how many pings of a ping test may be under way at once, between 1 and ")
            + QString::number(Config::PingsInFlightLimit) + QLatin1Char('.');
        break;
    case Config::RetryInterval: {
        const qint64 seconds = durationSeconds(field, text);
        passes = seconds >= Config::RetryIntervalMin && seconds <= Config::RetryIntervalMax;
        message = QStringLiteral("Please enter how long to wait before a client that could not be reached is tried again, "
                                 "from 10 s to 24 h (for example \"5 min\").");
        break;
    }
    case Config::PendingTimeout: {
        const qint64 seconds = durationSeconds(field, text);
        passes = seconds == 0 || (seconds >= Config::PendingTimeoutMin && seconds <= Config::PendingTimeoutMax);
        message = QStringLiteral("Please enter how long a client that could not be reached is tried again before it ends with "
                                 "errors, from 1 min to 14 d (for example \"12 h\"), or \"off\" to end it at its first try.");
        break;
    }
    case Config::Engine:
        passes = text == QLatin1String(modRehearsal::EngineRehearsal) || text == QLatin1String(modRehearsal::EngineSsh);
        message
            = QStringLiteral("Engine is \"rehearsal\" (the simulated engine plays the job) or \"ssh\" (the clients are reached over ssh).");
        break;
    case Config::SshConfig:
        passes = text.isEmpty() || modFormat::IsValidLocalPath(text, false);
        message = QStringLiteral("SshConfig is empty (the user's own ssh configuration) or the absolute path of an ssh_config file.");
        break;
    default:
        return std::nullopt;
    }
    if (passes)
        return std::nullopt;
    return Refusal {field, message};
}

std::optional<ConfigurationModel::Refusal> ConfigurationModel::Check() const
{
    for (int field = 0; field < FieldCount; ++field) {
        if (auto refusal = CheckField(Field(field), m_texts.at(field)))
            return refusal;
    }
    return std::nullopt;
}

ConfigurationModel::Outcome ConfigurationModel::SaveSettings() const
{
    if (const auto refusal = Check())
        return {false, refusal->field, refusal->message};
    if (!keyOpens())
        return {false, std::nullopt, RegistryNotOpened};
    const Config config(m_keyPath);
    bool written = true;
    for (const Config::Value field : kWriteOrder)
        written = config.Write(field, StoredText(field, m_texts.at(field))) && written;
    // "1" keeps the welcome screen away.
    written = config.Write(Config::WelcomeScreen, m_showWelcome ? QStringLiteral("0") : QStringLiteral("1")) && written;
    if (!written)
        return {false, std::nullopt, RegistryNotOpened};
    return {true, std::nullopt, QString()};
}

QString ConfigurationModel::CertificateText()
{
    const ConsoleCertificate certificate;
    if (!certificate.Exists())
        return QStringLiteral("None yet: made by the first check on the clients");
    ConsoleCertificate::Pair pair;
    QString problem;
    return certificate.Read(pair, problem) ? ConsoleCertificate::Displayed(pair.fingerprint) : problem;
}

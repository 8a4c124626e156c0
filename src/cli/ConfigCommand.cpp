#include "cli/ConfigCommand.h"

#include "cli/modCommandLine.h"
#include "common/AppState.h"
#include "common/ConsoleConfig.h"
#include "common/modConsoleKey.h"
#include "common/modFormat.h"
#include "common/modRegistry.h"
#include "config/ConfigurationModel.h"
#include "network/AddressTable.h"

#include <QTextStream>

namespace {

using C = ConsoleConfig;

// The values the configuration dialog shows, in its order.
constexpr C::Value kShown[] = {C::LogPath, C::ListenerIP, C::ListenerPort, C::ConsoleIP, C::DestShare, C::DestPath, C::StatusCheckPeriod,
    C::ReportingPeriod, C::KeepAliveIncrement, C::LoggingLevel, C::MaxTransferors, C::PingsInFlight, C::RetryInterval, C::PendingTimeout, C::WelcomeScreen, C::Engine, C::SshConfig};

std::optional<C::Value> valueNamed(const QString &name)
{
    for (const C::Value value : kShown) {
        if (C::Name(value).compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

QString defaultText(C::Value value)
{
    switch (value) {
    case C::ListenerIP: {
        const QStringList local = AddressTable::current().Addresses(false);
        return local.isEmpty() ? QStringLiteral("(this machine has no address)")
                               : local.constFirst() + QStringLiteral(" (the first local address)");
    }
    case C::ConsoleIP:
        return QStringLiteral("(empty: the listener address)");
    case C::WelcomeScreen:
        return QStringLiteral("(empty: the welcome screen is shown)");
    case C::Engine:
        return QStringLiteral("(not chosen: Start Migration asks, vo run refuses)");
    default: {
        const QString text = C::Default(value);
        return text.isEmpty() ? QStringLiteral("(empty)") : ConfigurationModel::ShownText(value, text);
    }
    }
}

} // namespace

ConfigCommand::ConfigCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString ConfigCommand::usage()
{
    return QStringLiteral("Usage: vo config show\n"
                          "       vo config set NAME VALUE\n"
                          "\n"
                          "The console's configuration, as Tools > Configuration... shows it.\n"
                          "\n"
                          "  show   every value, where it comes from (stored, or the default) and its\n"
                          "         default\n"
                          "  set    check VALUE as the configuration dialog checks the field, with the\n"
                          "         same message, and store it; nothing is stored when it fails\n"
                          "\n"
                          "NAME is one of LogPath, ListenerIP, ListenerPort, ConsoleIP, DestShare,\n"
                          "DestPath, StatusCheckPeriod, ReportingPeriod, KeepAliveIncrement,\n"
                          "LoggingLevel, MaxTransferors (1 to %1), PingsInFlight (pings of a ping test\n"
                          "under way at once, 1 to %2), RetryInterval (how long before a client that\n"
                          "could not be reached is tried again: 10 s to 24 h, typed as \"90\", \"5 min\",\n"
                          "\"1 h 30 min\"), PendingTimeout (how long it is tried, and a client that\n"
                          "stopped reporting waited for, before it ends with errors: 1 min to 14 d, or\n"
                          "\"off\" to end it at once), WelcomeScreen (0 shows the welcome screen, 1\n"
                          "does not), Engine (\"ssh\": Start Migration and vo run migrate the clients,\n"
                          "which the engine reaches over ssh; \"rehearsal\": they rehearse the job with\n"
                          "the simulated engine, which changes no computer; not set: the first Start\n"
                          "Migration asks, vo run refuses), SshConfig (an ssh_config file for ssh; empty:\n"
                          "the user's own). An empty ConsoleIP, or \"- Use Listener IP -\",\n"
                          "gives the clients the listener address.\n")
        .arg(ConsoleConfig::MaxTransferorsLimit)
        .arg(ConsoleConfig::PingsInFlightLimit);
}

int ConfigCommand::failure(const QString &message)
{
    return modCommandLine::Fail(m_err, message);
}

int ConfigCommand::run(const QStringList &arguments)
{
    const QString command = arguments.value(0).toLower();
    if (modCommandLine::IsHelp(command)) {
        m_out << usage();
        return 0;
    }
    if (command == QLatin1String("show") && arguments.size() == 1)
        return show();
    if (command == QLatin1String("set") && arguments.size() == 3)
        return set(arguments.at(1), arguments.at(2));
    m_err << "ERROR: Invalid syntax.\n\n" << usage();
    m_err.flush();
    return 1;
}

int ConfigCommand::show()
{
    const QString keyPath = AppState::Get().AppKeyPath;
    // A key that is not there yet holds no value, and every default is true;
    // a store that cannot be read would make every value look like one.
    RegKey key = Reg::NoKey;
    if (const long opened = modRegistry::OpenKey(keyPath, QString(), Reg::KeyRead, key); opened == Reg::Success)
        modRegistry::CloseKey(key);
    else if (opened != Reg::FileNotFound)
        return failure(
            QStringLiteral("The configuration cannot be shown: the registry could not be read. %1").arg(modRegistry::ErrorText(opened)));
    for (const C::Value value : kShown) {
        QVariant stored = QString();
        const bool isStored = modRegistry::GetValue(C::Name(value), stored, std::nullopt, Reg::NoKey, keyPath) == Reg::Success;
        // A stored number that is not one reads as its default; the dialog
        // shows the stored text instead, so that its check can name it.
        const QString text = C().Text(value);
        const bool used = isStored && text == stored.toString();
        m_out << C::Name(value).leftJustified(20);
        if (!used) {
            m_out << defaultText(value) << "  [default";
            if (isStored)
                m_out << "; the stored \"" << stored.toString() << "\" is not a number";
            m_out << "]\n";
            continue;
        }
        m_out << (text.isEmpty() ? QStringLiteral("(empty)") : ConfigurationModel::ShownText(value, text)) << "  [stored";
        m_out << "; default " << defaultText(value);
        // Shown, not fixed: the next run empties it (modNetwork::GetListenerIP).
        if (value == C::ListenerIP && !AddressTable::current().Addresses(true).contains(text))
            m_out << "; not an address of this machine, so a run uses the default";
        if (value == C::LogPath && !modFormat::IsValidLocalPath(text, true))
            m_out << "; not an absolute folder, so the logs go to the default";
        m_out << "]\n";
    }
    m_out.flush();
    return 0;
}

int ConfigCommand::set(const QString &name, const QString &value)
{
    const std::optional<C::Value> field = valueNamed(name);
    if (!field)
        return failure(QStringLiteral("\"%1\" is not a configuration value (vo config --help names them).").arg(name));
    if (!modConsoleKey::Prepare())
        return 1;
    QString text = value;
    if (*field == C::WelcomeScreen) {
        if (text != QLatin1String("0") && text != QLatin1String("1"))
            return failure(QStringLiteral("WelcomeScreen is 0 (show the welcome screen) or 1 (do not show it)."));
    } else {
        // The stored form of the dialog's "- Use Listener IP -".
        if (*field == C::ConsoleIP && text.isEmpty())
            text = ConfigurationModel::UseListenerIP;
        if (const auto refusal = ConfigurationModel::CheckField(*field, text))
            return failure(refusal->message);
        text = ConfigurationModel::StoredText(*field, text);
    }
    if (!C().Write(*field, text))
        return failure(ConfigurationModel::RegistryNotOpened);
    return 0;
}

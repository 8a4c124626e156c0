#include "job/StartMigration.h"

#include "common/AppInfo.h"
#include "common/AppState.h"
#include "common/ConsoleConfig.h"
#include "common/Presenter.h"
#include "common/RunState.h"
#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "common/modGeneral.h"
#include "common/modMessages.h"
#include "common/modRegistry.h"
#include "common/modRehearsal.h"
#include "database/ComputerDB.h"
#include "validation/JobValidator.h"
#include "validation/ValidationReport.h"

#include <QDir>
#include <QVariant>

#include <utility>

namespace {

const QString CR = QStringLiteral("\r");

} // namespace

const QString StartMigration::ExistingMigrationCaption = QStringLiteral("Existing Migration Found");
const QString StartMigration::EngineCaption = QStringLiteral("Migrate or Rehearse");

StartMigration::StartMigration(const ComputerDB &database, Hooks hooks)
    : m_database(database)
    , m_hooks(std::move(hooks))
{ }

bool StartMigration::Check()
{
    // First of all, although the order of the questions would put it later:
    // during a run the results folder fills with the run's own logs, so a
    // second start would ask whether to append to them and offer to save the
    // panel before finding out that it can do nothing.
    if (!RunState::instance().isEnabled(RunState::Command::StartMigration))
        return false;
    // Before the questions: no answer to them could make the engine migrate.
    if (const QString refusal = modRehearsal::Refusal(); !refusal.isEmpty()) {
        modErrorHandler::ShowMessage(modErrorHandler::Warning, refusal);
        return false;
    }
    if (everyComputerDisabled()) {
        modErrorHandler::ShowMessage(modErrorHandler::Information,
            QStringLiteral("Every computer is disabled, so there is nothing to migrate.  Select the computers to migrate and "
                           "choose Edit > Enable."));
        return false;
    }
    if (!resultsMayBeAppended())
        return false;
    if (m_hooks.PromptToSaveRecord && !m_hooks.PromptToSaveRecord())
        return false;
    if (!readListenerPort())
        return false;
    // Once the registry is known to answer, and before anything that
    // depends on the engine: the listener's checks are a real run's.
    if (!engineChosen())
        return false;

    m_address = m_hooks.ListenerAddress ? m_hooks.ListenerAddress() : QString();
    if (m_address.isEmpty()) {
        modErrorHandler::ShowMessage(modErrorHandler::Warning, QStringLiteral("Listener IP address not found.  Migration cannot proceed."));
        return false;
    }
    if (!modFormat::IsNumeric(m_port)) {
        modErrorHandler::ShowMessage(
            modErrorHandler::Warning, QStringLiteral("Invalid Listener Port specified.  Migration cannot proceed "));
        return false;
    }
    return confirm() && validate();
}

bool StartMigration::HasEarlierLogs(const QString &resultsFolder)
{
    return !QDir(resultsFolder).entryList({QStringLiteral("*.log")}, QDir::Files).isEmpty();
}

bool StartMigration::engineChosen()
{
    // Asked once, and never answered for the administrator: a console that
    // went from rehearsing to changing computers on its own would be the
    // worst surprise it could give.
    if (modRehearsal::Chosen() != modRehearsal::Choice::NotChosen)
        return true;
    Presenter::Message box;
    box.owner = m_hooks.Owner;
    box.caption = EngineCaption;
    box.icon = Presenter::Icon::Question;
    box.buttons = Presenter::Buttons::YesNoCancel;
    box.buttonCaptions = {QStringLiteral("&Migrate the Clients"), QStringLiteral("&Rehearse"), QStringLiteral("Cancel")};
    box.defaultButton = 1;
    box.text = QStringLiteral("Should this console migrate the clients, or rehearse?") + CR + CR
        + QStringLiteral("Migrate the Clients: the ssh engine reaches every computer of the job and its client service does the "
                         "work there: profiles get their new owners, the computer may change realm and reboot.")
        + CR + CR + QStringLiteral("Rehearse: the simulated engine plays the job; no computer is changed.") + CR + CR
        + QStringLiteral("The answer is kept for every later migration (the registry value Engine, which "
                         "vo config set Engine ssh or vo config set Engine rehearsal changes).");
    const Presenter::Answer answer = Presenter::current().showMessage(box);
    if (answer != Presenter::Yes && answer != Presenter::No)
        return false;
    const char *engine = answer == Presenter::Yes ? modRehearsal::EngineSsh : modRehearsal::EngineRehearsal;
    if (!ConsoleConfig().Write(ConsoleConfig::Engine, QString::fromLatin1(engine))) {
        modErrorHandler::ShowMessage(
            modErrorHandler::Error, QStringLiteral("The registry value Engine could not be stored.  Migration cannot proceed."));
        return false;
    }
    return true;
}

bool StartMigration::resultsMayBeAppended()
{
    const QString folder = modGeneral::GetLogPath();
    if (!HasEarlierLogs(folder))
        return true;

    const QString job = AppState::Get().CurrentJobName;
    Presenter::Message box;
    box.owner = m_hooks.Owner;
    box.caption = ExistingMigrationCaption;
    box.icon = Presenter::Icon::Exclamation;
    box.buttons = Presenter::Buttons::YesNo;
    box.defaultButton = 1;
    box.text = QStringLiteral("Migration log files were found in results folder:") + CR + QLatin1Char('\'')
        + QDir::toNativeSeparators(folder) + QStringLiteral("'.") + CR + CR
        + QStringLiteral("It is recommended that you run each migration under a separate job name") + CR
        + QStringLiteral("to keep all migration logs and associated save files encapsulated.") + CR
        + QStringLiteral("To change the migration job name, click on the Edit menu and choose") + CR
        + QStringLiteral("'Migration Job Name...'  If you proceed without changing the name, the") + CR
        + QStringLiteral("results of this migration will be appended to the existing log files.") + CR + CR
        + QStringLiteral("Do you wish to proceed with this migration as job '") + job + QStringLiteral("'?");
    if (Presenter::current().showMessage(box) == Presenter::Yes)
        return true;
    if (m_hooks.OpenJobNameDialog)
        m_hooks.OpenJobNameDialog();
    return false;
}

bool StartMigration::readListenerPort()
{
    const long result = ConsoleConfig().ReadAsStored(ConsoleConfig::ListenerPort, m_port);
    if (result != Reg::Success) {
        modErrorHandler::ShowMessage(
            modErrorHandler::Error, QStringLiteral("Unable to open registry. (") + QString::number(result) + QLatin1Char(')'));
        return false;
    }
    return true;
}

bool StartMigration::confirm()
{
    Presenter::Message box;
    box.owner = m_hooks.Owner;
    box.caption = AppInfo::Title();
    box.icon = Presenter::Icon::Question;
    box.buttons = Presenter::Buttons::YesNo;
    box.text = QStringLiteral("Please verify options before proceeding with migration:") + CR + CR + QStringLiteral("Migration Job Name: ")
        + AppState::Get().CurrentJobName + CR + CR + QStringLiteral("Listener IP: ") + m_address + CR + QStringLiteral("Listener Port: ")
        + m_port + CR + CR + QStringLiteral("Do you wish to proceed?");
    return Presenter::current().showMessage(box) == Presenter::Yes;
}

bool StartMigration::everyComputerDisabled() const
{
    bool any = false;
    for (int id = 0; id < m_database.ComputerCount(); ++id) {
        if (const ComputerRecord *computer = m_database.Computers(id); computer && computer->Active) {
            if (computer->Enabled)
                return false;
            any = true;
        }
    }
    return any;
}

bool StartMigration::validate()
{
    const ValidationResult result = JobValidator(m_database, modRehearsal::EngineRehearses() ? QString() : m_address).Verify(0);
    if (result.passed())
        return true;
    const ValidationReport report = ValidationReport::Build(result, m_database);
    if (m_hooks.ShowValidationFault)
        m_hooks.ShowValidationFault(report);
    if (!report.Warning) {
        modErrorHandler::ShowMessage(modErrorHandler::Warning, report.Message);
        return false;
    }
    // Ignore All and Ignore Once both go on at once: the computers after
    // this one are not checked either way.
    const int answer = modMessages::ShowCustomMessage(
        m_hooks.Owner, report.Message, AppInfo::Title(), modMessages::IconQuestion, ValidationReport::WarningButtons());
    return answer != 3;
}

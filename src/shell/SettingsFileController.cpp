#include "shell/SettingsFileController.h"

#include "common/AppState.h"
#include "common/Presenter.h"
#include "common/modErrorHandler.h"
#include "common/modGeneral.h"
#include "database/ComputerDB.h"
#include "shell/modRecentlyUsed.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString CR = QStringLiteral("\r");
const QString PassphraseCaption = QStringLiteral("Settings File Passphrase");

QString quoted(const QString &path)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
}

} // namespace

SettingsFileController::SettingsFileController(ComputerDB &database, QObject *parent)
    : QObject(parent)
    , m_database(database)
{ }

SettingsFileController::~SettingsFileController() = default;

QString SettingsFileController::key(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// ---- decisions --------------------------------------------------------------------------

bool SettingsFileController::NeedsSave() const
{
    return AppState::Get().DatabaseChanged || (m_panel.HasEdits && m_panel.HasEdits());
}

bool SettingsFileController::DatabaseHasPasswords(const ComputerDB &database)
{
    for (int slot = 0; slot < database.SettingsCount(); ++slot) {
        const GlobalSettingsPtr record = database.SettingsTable(slot);
        if (!record || !record->Valid)
            continue;
        for (int userType = 0; userType < UserTypeCount; ++userType) {
            if (!record->account(userType).Password.isEmpty())
                return true;
        }
    }
    return false;
}

bool SettingsFileController::PassphraseKnown(const QString &path) const
{
    return m_passphrases.contains(key(path));
}

QString SettingsFileController::DialogFolder(bool saving) const
{
    const QString current = AppState::Get().CurrentSettingsFile;
    if (!current.isEmpty() && QFileInfo(current).absoluteDir().exists())
        return QFileInfo(current).absolutePath();
    // Loading after a new start most likely means the file worked on last.
    if (!saving) {
        const QStringList recent = modRecentlyUsed::ReadRecentlyUsed(AppState::Get().AppKeyPath);
        const QString newest = QDir::fromNativeSeparators(recent.value(0));
        if (!newest.isEmpty() && QFileInfo(newest).absoluteDir().exists())
            return QFileInfo(newest).absolutePath();
    }
    // The job's results folder is where the job-name change looks for its
    // settings file. An empty folder there does not use up the job name.
    const QString results = modGeneral::GetLogPath();
    if (saving ? QDir().mkpath(results) : QDir(results).exists())
        return results;
    const QString root = modGeneral::GetLogRoot();
    return QDir(root).exists() ? root : QDir::homePath();
}

// ---- the save prompt ----------------------------------------------------------------------

bool SettingsFileController::PromptToSaveSettingsFile()
{
    bool goOn = false;
    modErrorHandler::Guard("frmMain.PromptToSaveSettingsFile", [&] {
        if (!NeedsSave()) {
            goOn = true;
            return;
        }
        Presenter::Message box;
        box.owner = m_owner;
        box.caption = QStringLiteral("Unsaved Settings");
        box.icon = Presenter::Icon::Question;
        box.buttons = Presenter::Buttons::YesNoCancel;
        box.text = QStringLiteral("The computers or settings of this migration have changed since they") + CR
            + QStringLiteral("were last saved.  Do you want to save them to a settings file first?");
        switch (Presenter::current().showMessage(box)) {
        case Presenter::Yes:
            // The panel's edits first, so that the file holds them; a refused
            // edit keeps the administrator where the message points.
            if (m_panel.HasEdits && m_panel.HasEdits() && m_panel.SaveEdits && !m_panel.SaveEdits())
                return;
            goOn = mnuSave_Click();
            return;
        case Presenter::No:
            if (m_panel.HasEdits && m_panel.HasEdits() && m_panel.DiscardEdits)
                m_panel.DiscardEdits();
            goOn = true;
            return;
        default:
            return;
        }
    });
    return goOn;
}

// ---- saving -------------------------------------------------------------------------------

bool SettingsFileController::mnuSave_Click()
{
    bool saved = false;
    modErrorHandler::Guard("frmMain.mnuSave_Click", [&] {
        const QString current = AppState::Get().CurrentSettingsFile;
        if (current.isEmpty()) {
            saved = mnuSaveAs_Click();
            return;
        }
        if (m_panel.PromptToSaveRecord && !m_panel.PromptToSaveRecord())
            return;
        saved = save(current, Contents::Settings, AppState::Get().CurrentJobName, {});
    });
    return saved;
}

bool SettingsFileController::mnuSaveAs_Click()
{
    bool saved = false;
    modErrorHandler::Guard("frmMain.mnuSaveAs_Click", [&] {
        if (m_panel.PromptToSaveRecord && !m_panel.PromptToSaveRecord())
            return;
        const std::optional<QString> path
            = askFileName(true, QStringLiteral("Save Settings As"), AppState::Get().CurrentJobName + FileExtension);
        if (!path)
            return;
        saved = save(*path, Contents::Settings, AppState::Get().CurrentJobName, {});
    });
    return saved;
}

bool SettingsFileController::mnuSaveState_Click(const QMap<int, QString> &lastStatus)
{
    bool saved = false;
    modErrorHandler::Guard("frmMain.mnuSaveState_Click", [&] {
        if (m_panel.PromptToSaveRecord && !m_panel.PromptToSaveRecord())
            return;
        const std::optional<QString> path = askFileName(
            true, QStringLiteral("Save Migration State"), AppState::Get().CurrentJobName + QStringLiteral(" state") + FileExtension);
        if (!path)
            return;
        saved = save(*path, Contents::MigrationState, AppState::Get().CurrentJobName, lastStatus);
    });
    return saved;
}

bool SettingsFileController::SaveNewJob(const ComputerDB &job, const QString &jobName, QString *savedPath)
{
    bool saved = false;
    modErrorHandler::Guard("frmMain.mnuNewJobFromUnfinished_Click", [&] {
        if (m_panel.PromptToSaveRecord && !m_panel.PromptToSaveRecord())
            return;
        const std::optional<QString> path = askFileName(true, QStringLiteral("New Job from Unfinished Computers"), jobName + FileExtension);
        if (!path)
            return;
        if (key(*path) == key(AppState::Get().CurrentSettingsFile)) {
            modErrorHandler::ShowMessage(modErrorHandler::Warning,
                QStringLiteral("The new job cannot replace the settings file that is open.  Please choose another name."));
            return;
        }
        const std::optional<QString> passphrase = passphraseForSaving(*path, job);
        if (!passphrase)
            return;
        SettingsFile::SaveOptions options;
        options.JobName = jobName;
        options.Passphrase = *passphrase;
        options.Cost = m_cost;
        // A file of its own: the sealing of the open file is not touched.
        const SettingsFileResult result = SettingsFile().Save(job, *path, options);
        if (!result.ok()) {
            showFailure(result, QStringLiteral("frmMain.mnuNewJobFromUnfinished_Click"));
            return;
        }
        addRecentlyUsed(*path);
        if (savedPath)
            *savedPath = *path;
        saved = true;
    });
    return saved;
}

bool SettingsFileController::SaveSettingsFile(const QString &path)
{
    bool saved = false;
    modErrorHandler::Guard("frmMain.SaveSettingsFile", [&] { saved = save(path, Contents::Settings, AppState::Get().CurrentJobName, {}); });
    return saved;
}

bool SettingsFileController::SaveSettingsFileCopy(const QString &newJobName)
{
    bool saved = false;
    modErrorHandler::Guard("frmMain.SaveSettingsFileCopy", [&] {
        const QString folder = modGeneral::GetLogPath(newJobName);
        if (!QDir().mkpath(folder)) {
            modErrorHandler::ShowMessage(modErrorHandler::Error,
                QStringLiteral("The results folder %1 cannot be created; the settings file was not copied.").arg(quoted(folder)),
                QStringLiteral("frmMain.SaveSettingsFileCopy"));
            return;
        }
        const QString path = folder + newJobName + FileExtension;
        // The copy holds the same passwords: it is sealed as the original was.
        const QString original = key(AppState::Get().CurrentSettingsFile);
        if (m_passphrases.contains(original) && !m_passphrases.contains(key(path)))
            m_passphrases.insert(key(path), m_passphrases.value(original));
        saved = save(path, Contents::Settings, newJobName, {});
    });
    return saved;
}

std::optional<QString> SettingsFileController::passphraseForSaving(const QString &path, const ComputerDB &database)
{
    if (!DatabaseHasPasswords(database))
        return QString();
    const auto known = m_passphrases.constFind(key(path));
    if (known != m_passphrases.constEnd())
        return *known;

    Presenter::TextRequest request;
    request.owner = m_owner;
    request.caption = PassphraseCaption;
    request.password = true;
    const QString question = QStringLiteral("The settings hold account passwords.  Type a passphrase to keep them,") + CR
        + QStringLiteral("sealed, in the settings file %1.  The same passphrase").arg(quoted(QFileInfo(path).fileName())) + CR
        + QStringLiteral("is needed to load the file.") + CR + CR
        + QStringLiteral("Leave it empty to save the settings without the passwords.");
    request.text = question;
    std::optional<QString> passphrase;
    // Nothing opens the passwords without the passphrase: a typo would lock
    // them away for good, so it is typed twice.
    for (;;) {
        passphrase = Presenter::current().askText(request);
        if (!passphrase)
            return std::nullopt;
        if (passphrase->isEmpty())
            break;
        Presenter::TextRequest again = request;
        again.text = QStringLiteral("Type the passphrase for the settings file %1 again.").arg(quoted(QFileInfo(path).fileName()));
        const std::optional<QString> confirmed = Presenter::current().askText(again);
        if (!confirmed)
            return std::nullopt;
        if (*confirmed == *passphrase)
            break;
        request.text = QStringLiteral("The two passphrases were not the same.") + CR + CR + question;
    }
    if (passphrase->isEmpty()) {
        modErrorHandler::ShowMessage(modErrorHandler::Information,
            QStringLiteral("The account passwords are left out of the settings file %1.").arg(quoted(path)) + CR
                + QStringLiteral("After loading it, enter them again before a migration starts."));
    }
    m_passphrases.insert(key(path), *passphrase);
    return passphrase;
}

bool SettingsFileController::save(const QString &path, Contents contents, const QString &jobName, const QMap<int, QString> &lastStatus)
{
    const std::optional<QString> passphrase = passphraseForSaving(path, m_database);
    if (!passphrase)
        return false;

    SettingsFile::SaveOptions options;
    options.JobName = jobName;
    options.Passphrase = *passphrase;
    options.Cost = m_cost;
    if (contents == Contents::MigrationState)
        options.LastStatus = lastStatus;
    const SettingsFileResult result = m_file.Save(m_database, path, options);
    if (!result.ok()) {
        showFailure(result, QStringLiteral("frmMain.SaveSettingsFile"));
        return false;
    }

    // A migration state is a copy beside the settings: what is open stays open.
    if (contents == Contents::Settings) {
        AppState::State &state = AppState::Get();
        state.CurrentSettingsFile = key(path);
        state.DatabaseChanged = false;
        Q_EMIT currentFileChanged();
    }
    addRecentlyUsed(path);
    return true;
}

// ---- loading ------------------------------------------------------------------------------

bool SettingsFileController::LoadRecentlyUsed(int index)
{
    bool done = false;
    modErrorHandler::Guard("frmMain.mnuRecent_Click", [&] {
        const QStringList paths = modRecentlyUsed::ReadRecentlyUsed(AppState::Get().AppKeyPath);
        if (index >= 0 && index < paths.size() && !paths.at(index).isEmpty())
            done = LoadSettingsFile(paths.at(index));
    });
    return done;
}

bool SettingsFileController::LoadSettingsFile(const QString &requestedPath)
{
    bool done = false;
    modErrorHandler::Guard("frmMain.LoadSettingsFile", [&] {
        if (!PromptToSaveSettingsFile())
            return;
        QString path = requestedPath;
        if (path.isEmpty()) {
            const std::optional<QString> chosen = askFileName(false, QStringLiteral("Load Settings"), QString());
            if (!chosen)
                return;
            path = *chosen;
        }

        const SettingsFileResult result = load(path);
        if (!result.ok()) {
            // Cancelled at the passphrase: nothing to say.
            if (!result.Message.isEmpty())
                showFailure(result, QStringLiteral("frmMain.LoadSettingsFile"));
            return;
        }

        AppState::State &state = AppState::Get();
        state.CurrentSettingsFile = key(path);
        state.CurrentJobName = result.JobName.isEmpty() ? modGeneral::GetNextMigJobName(state.CurrentJobName) : result.JobName;
        state.DatabaseChanged = false;
        if (m_panel.DiscardEdits)
            m_panel.DiscardEdits();
        addRecentlyUsed(path);
        done = true;
        Q_EMIT currentFileChanged();
        Q_EMIT loaded(result);
    });
    return done;
}

SettingsFileResult SettingsFileController::load(const QString &path)
{
    const QString fileKey = key(path);
    const auto known = m_passphrases.constFind(fileKey);
    SettingsFileResult result = m_file.Load(path, known != m_passphrases.constEnd() ? *known : QString(), m_database);

    Presenter::TextRequest request;
    request.owner = m_owner;
    request.caption = PassphraseCaption;
    request.password = true;
    const QString question = QStringLiteral("The passwords in the settings file %1 are sealed").arg(quoted(QFileInfo(path).fileName())) + CR
        + QStringLiteral("with a passphrase.  Type the passphrase to load the file.");
    // A wrong passphrase is asked again, until it opens the file or the
    // administrator gives up; one that no longer opens it is forgotten.
    while (result.status == SettingsFileResult::PassphraseRequired || result.status == SettingsFileResult::WrongPassphrase) {
        m_passphrases.remove(fileKey);
        request.text = result.status == SettingsFileResult::WrongPassphrase
            ? QStringLiteral("The passphrase is wrong.") + CR + CR + question
            : question;
        const std::optional<QString> passphrase = Presenter::current().askText(request);
        if (!passphrase) {
            SettingsFileResult cancelled;
            cancelled.status = SettingsFileResult::PassphraseRequired;
            return cancelled;
        }
        result = m_file.Load(path, *passphrase, m_database);
        if (result.ok())
            m_passphrases.insert(fileKey, *passphrase);
    }
    return result;
}

// ---- helpers ------------------------------------------------------------------------------

std::optional<QString> SettingsFileController::askFileName(bool saving, const QString &caption, const QString &suggestedName)
{
    Presenter::FileRequest request;
    request.owner = m_owner;
    request.caption = caption;
    request.filter = DialogFilter;
    request.folder = DialogFolder(saving);
    request.fileName = suggestedName;
    request.defaultSuffix = FileExtension.mid(1);
    std::optional<QString> path = saving ? Presenter::current().askSaveFileName(request) : Presenter::current().askOpenFileName(request);
    if (!path || path->isEmpty())
        return std::nullopt;
    // A name typed without any ending gets the usual one, whichever dialog asked.
    if (saving && QFileInfo(*path).suffix().isEmpty())
        *path += FileExtension;
    return path;
}

void SettingsFileController::addRecentlyUsed(const QString &path)
{
    const QString keyPath = AppState::Get().AppKeyPath;
    modRecentlyUsed::WriteRecentlyUsed(
        keyPath, modRecentlyUsed::AddRecentlyUsed(modRecentlyUsed::ReadRecentlyUsed(keyPath), QDir::toNativeSeparators(key(path))));
    Q_EMIT recentlyUsedChanged();
}

void SettingsFileController::showFailure(const SettingsFileResult &result, const QString &procedureName)
{
    // Unexpected failures were reported where they happened.
    if (result.status == SettingsFileResult::Unexpected)
        return;
    modErrorHandler::ShowMessage(modErrorHandler::Error, result.Message, procedureName);
}

#pragma once

#include "settingsfile/PasswordSealer.h"
#include "settingsfile/SettingsFile.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class ComputerDB;

// The File menu's settings files: Save, Save As, Save Migration State, Load
// and the Recent list, the prompt that offers to save before the database is
// cleared or replaced, and the copy saved when the job gets a new name.
//
// The main window only calls these and redraws when told; what is asked when
// lives here, so that tests drive it without a window:
// - a passphrase is asked only for files with passwords: on saving, when the
//   database holds any account password; on loading, when the file's
//   passwords are sealed. The answer is kept per file, in memory only, so it
//   is asked once per file in a session. An empty passphrase saves without
//   the passwords, after saying so.
// - a file that is saved or loaded goes to the front of the Recent list.
// - a refused file leaves the database as it was and shows its message.
class SettingsFileController final : public QObject
{
    Q_OBJECT

public:
    // The usual name ending of a settings file, and the file dialogs' filter.
    static inline const QString FileExtension = QStringLiteral(".vos.json");
    static inline const QString DialogFilter = QStringLiteral("Varno-Osk settings files (*.vos.json);;All files (*)");

    // What the controller needs of the settings panel: its unsaved edits
    // belong to the database the file holds.
    struct PanelHooks
    {
        // The panel holds edits that are not saved into the database.
        std::function<bool()> HasEdits;
        // Stores the edits into the database; false when an input check refused them.
        std::function<bool()> SaveEdits;
        // Forgets the edits.
        std::function<void()> DiscardEdits;
        // The panel's own "save before proceeding?" question; false: do not go on.
        std::function<bool()> PromptToSaveRecord;
    };

    // `database` outlives the controller.
    explicit SettingsFileController(ComputerDB &database, QObject *parent = nullptr);
    ~SettingsFileController() override;

    // The window the dialogs belong to.
    void setOwner(QObject *owner) { m_owner = owner; }
    void setPanelHooks(PanelHooks hooks) { m_panel = std::move(hooks); }
    // The key derivation's cost for files newly sealed; unset takes the
    // settings file's own choice. Tests ask for the minimum.
    void setPassphraseCost(std::optional<PasswordSealer::Cost> cost) { m_cost = cost; }
    SettingsFile &settingsFile() { return m_file; }

    // ---- decisions ----
    // Whether anything would be lost by clearing or replacing the database.
    bool NeedsSave() const;
    static bool DatabaseHasPasswords(const ComputerDB &database);
    bool PassphraseKnown(const QString &path) const;
    // The start folder of the file dialogs: the current file's folder; for
    // loading, else the newest Recent file's folder; else the job's results
    // folder (made for saving), else the results root.
    QString DialogFolder(bool saving) const;

    // ---- commands ----
    // The prompt before New Settings, Load and exit. True: go on.
    bool PromptToSaveSettingsFile();
    // File > Save Settings: to the current file, or Save As when there is none.
    bool mnuSave_Click();
    bool mnuSaveAs_Click();
    // File > Save Migration State: a copy of the database with the last status
    // of each computer. The current file stays what it was.
    bool mnuSaveState_Click(const QMap<int, QString> &lastStatus);
    // File > New Job from Unfinished Computers: saves `job`, a database
    // made beside the console's, as a new settings file of the job
    // `jobName`, asking where. The console's own database and current file
    // stay what they were; the new file joins the Recent list.
    bool SaveNewJob(const ComputerDB &job, const QString &jobName, QString *savedPath = nullptr);
    // File > Load Settings, a Recent entry, the welcome screen's Load: asks
    // to save first; an empty path asks for the file. True when it loaded;
    // `loaded` has then been emitted.
    bool LoadSettingsFile(const QString &path);
    // The Recent entry `index`, 0 newest.
    bool LoadRecentlyUsed(int index);
    // Yes in the job-name change prompt: the current file saved again in the
    // new job's results folder, named after the job, as the current file.
    bool SaveSettingsFileCopy(const QString &newJobName);

    // Saves the database to `path` as the current settings file.
    bool SaveSettingsFile(const QString &path);

Q_SIGNALS:
    // The registry's Recent list changed; the File menu shows it again.
    void recentlyUsedChanged();
    // The database holds a loaded file now; its tree must be built again.
    // CurrentSettingsFile and CurrentJobName are already set.
    void loaded(const SettingsFileResult &result);
    // CurrentSettingsFile or the saved state changed.
    void currentFileChanged();

private:
    enum class Contents {
        Settings,
        MigrationState,
    };
    bool save(const QString &path, Contents contents, const QString &jobName, const QMap<int, QString> &lastStatus);
    // The passphrase to save `path` with; nullopt when the administrator cancelled.
    std::optional<QString> passphraseForSaving(const QString &path, const ComputerDB &database);
    SettingsFileResult load(const QString &path);
    std::optional<QString> askFileName(bool saving, const QString &caption, const QString &suggestedName);
    void addRecentlyUsed(const QString &path);
    void showFailure(const SettingsFileResult &result, const QString &procedureName);
    static QString key(const QString &path);

    ComputerDB &m_database;
    SettingsFile m_file;
    QObject *m_owner = nullptr;
    PanelHooks m_panel;
    std::optional<PasswordSealer::Cost> m_cost;
    // By cleaned absolute path; an empty passphrase is a remembered answer too.
    QHash<QString, QString> m_passphrases;
};

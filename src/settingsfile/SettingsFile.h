#pragma once

#include "settingsfile/AtomicFileWriter.h"
#include "settingsfile/PasswordSealer.h"
#include "settingsfile/SettingsFileResult.h"

#include <QMap>
#include <QString>

#include <optional>

class ComputerDB;

// Saving the computer database to a settings file and loading it back (the
// File menu's Save Settings, Save Settings As, Save Migration State and Load
// Settings; the format is docs/settings-file.md).
//
// The console keeps one SettingsFile beside its database: it remembers the
// salt and cost of the passwords of the file last loaded or saved, so that
// saving again with the same passphrase writes the same bytes for whatever
// did not change.
class SettingsFile
{
public:
    struct SaveOptions
    {
        QString JobName;
        // Empty: the passwords are left out of the file, which says so.
        QString Passphrase;
        // The Argon2id cost for a new salt. Unset: the cost of the file last
        // loaded or saved, else PasswordSealer::Cost::Default().
        std::optional<PasswordSealer::Cost> Cost;
        // Save Migration State: the last known status text by computer ID.
        std::optional<QMap<int, QString>> LastStatus;
    };

    // Writes the whole database to `path`, replacing the file there as a
    // whole or not at all. The database and DatabaseChanged are untouched.
    SettingsFileResult Save(const ComputerDB &database, const QString &path, const SaveOptions &options);

    // Reads and checks the whole file, and only then replaces the contents
    // of `database` with it; a refused file leaves the database as it was.
    // The tree is unlinked afterwards (the caller links it again, which
    // builds it), and DatabaseChanged is false. The job name and statuses
    // come back in the result.
    SettingsFileResult Load(const QString &path, const QString &passphrase, ComputerDB &database);

    // Tests make the writing of the next saves fail on purpose.
    void setWriteFaultHook(AtomicFileWriter::FaultHook hook) { m_faultHook = std::move(hook); }

private:
    std::optional<PasswordSealer::Parameters> m_sealing;
    AtomicFileWriter::FaultHook m_faultHook;
};

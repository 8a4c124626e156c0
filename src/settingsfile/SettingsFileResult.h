#pragma once

#include <QMap>
#include <QString>

#include <optional>

// The outcome of saving or loading a settings file. On failure `Message` is
// a complete sentence for the administrator that names the file and the
// problem; the caller shows it (the file layer never shows anything itself).
struct SettingsFileResult
{
    enum Status {
        Ok,
        CannotRead, // the file could not be opened or read
        CannotWrite, // saving failed; the old file is as it was
        NotSettingsFile, // some other kind of file
        NewerVersion, // written by a newer console
        Truncated, // ends before its data is complete
        Damaged, // not valid JSON, or its data breaks the format's rules
        PassphraseRequired, // the passwords are sealed and no passphrase was given
        WrongPassphrase,
        Unexpected, // an internal failure, already reported and logged
    };

    Status status = Ok;
    QString Message;

    // Filled by a successful load.
    QString JobName;
    bool PasswordsIncluded = false;
    std::optional<QMap<int, QString>> LastStatus;

    bool ok() const { return status == Ok; }
};

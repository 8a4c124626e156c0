#include "settingsfile/SettingsFile.h"

#include "common/modErrorHandler.h"
#include "common/modFileRead.h"
#include "common/modLimits.h"
#include "settingsfile/DatabaseSnapshot.h"
#include "settingsfile/SettingsFileCodec.h"

#include <QDir>
#include <QFile>

namespace {

QString quoted(const QString &path)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
}

SettingsFileResult failure(SettingsFileResult::Status status, const QString &message)
{
    SettingsFileResult result;
    result.status = status;
    result.Message = message;
    return result;
}

SettingsFileResult notSaved(const QString &path, const QString &reason)
{
    return failure(SettingsFileResult::CannotWrite,
        QStringLiteral("The settings file %1 could not be saved: %2. Any earlier file of that name is unchanged.")
            .arg(quoted(path), reason));
}

} // namespace

SettingsFileResult SettingsFile::Save(const ComputerDB &database, const QString &path, const SaveOptions &options)
{
    SettingsFileResult result = failure(SettingsFileResult::Unexpected,
        QStringLiteral("The settings file %1 could not be saved because of an unexpected error.").arg(quoted(path)));
    modErrorHandler::Guard("SettingsFile.Save", [&] {
        DatabaseSnapshot snapshot = DatabaseSnapshot::Capture(database);
        snapshot.JobName = options.JobName;
        snapshot.LastStatus = options.LastStatus;
        // Never write a file that loading would refuse: all of it is
        // checked before the first byte goes out, so the old file stays.
        if (const QString refusal = SettingsFileCodec::Refusal(snapshot, !options.Passphrase.isEmpty()); !refusal.isEmpty()) {
            result = notSaved(path, refusal);
            return;
        }

        std::optional<PasswordSealer> sealer;
        std::optional<PasswordSealer::Parameters> sealing;
        if (!options.Passphrase.isEmpty()) {
            const PasswordSealer::Cost cost = options.Cost.value_or(m_sealing ? m_sealing->KdfCost : PasswordSealer::Cost::Default());
            sealing = m_sealing && m_sealing->KdfCost == cost ? *m_sealing : PasswordSealer::NewParameters(cost);
            sealer.emplace();
            if (!sealer->Derive(options.Passphrase, *sealing)) {
                result = notSaved(path, QStringLiteral("there is not enough memory to derive the key from the passphrase"));
                return;
            }
        }

        // Straight to the disk in pieces: the text of a large database is
        // as big as the database itself.
        AtomicFileWriter writer(path);
        writer.setFaultHook(m_faultHook);
        const bool written = writer.Begin()
            && SettingsFileCodec::Encode(
                snapshot, sealer ? &*sealer : nullptr, [&](const char *data, qsizetype size) { return writer.Append(data, size); })
            && writer.Commit();
        if (!written) {
            result = notSaved(path, writer.ErrorString());
            return;
        }
        if (sealing)
            m_sealing = sealing;
        result = SettingsFileResult();
        result.JobName = options.JobName;
        result.PasswordsIncluded = sealer.has_value();
        result.LastStatus = snapshot.LastStatus;
    });
    return result;
}

SettingsFileResult SettingsFile::Load(const QString &path, const QString &passphrase, ComputerDB &database)
{
    SettingsFileResult result = failure(SettingsFileResult::Unexpected,
        QStringLiteral("The settings file %1 could not be loaded because of an unexpected error.").arg(quoted(path)));
    modErrorHandler::Guard("SettingsFile.Load", [&] {
        // Before opening: a pipe without a writer blocks the opening itself.
        if (const QString refusal = modFileRead::Refusal(path, modLimits::MaxSettingsFileBytes); !refusal.isEmpty()) {
            result = failure(
                SettingsFileResult::CannotRead, QStringLiteral("The settings file %1 cannot be read: %2.").arg(quoted(path), refusal));
            return;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            result = failure(SettingsFileResult::CannotRead,
                QStringLiteral("The settings file %1 cannot be read: %2.").arg(quoted(path), file.errorString()));
            return;
        }
        // Read, not mapped: another program may truncate or rewrite the file
        // while it loads (a copy tool, a sync client), and a mapped file that
        // shrinks kills the reader with SIGBUS instead of giving a message.
        SettingsFileCodec::Decoded decoded = SettingsFileCodec::Decode(file, path, passphrase);
        if (!decoded.Result.ok()) {
            result = decoded.Result;
            return;
        }
        // Everything is checked; from here on the file only goes in.
        decoded.Snapshot.Restore(database);
        // A file without passwords gets a fresh salt when it is first saved with a passphrase.
        m_sealing = decoded.Sealing;
        result = decoded.Result;
    });
    return result;
}

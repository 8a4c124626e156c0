#pragma once

#include "settingsfile/DatabaseSnapshot.h"
#include "settingsfile/PasswordSealer.h"
#include "settingsfile/SettingsFileResult.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>

// The settings file's bytes and the snapshot they hold, both ways (the
// format is described in docs/settings-file.md).
//
// Encoding is deterministic: the same snapshot and the same sealer give the
// same bytes. Decoding checks everything (format, version, JSON, every
// field's presence and type, IDs, parents, owners, list kinds, the
// passphrase, every sealed password) before it hands a snapshot back, so a
// snapshot from Decode can go into a database without a further check.
class SettingsFileCodec
{
public:
    static const QString FormatName; // "varno-osk-settings"
    // The newest version this console reads and writes. A file without
    // waves, wave membership or directory identities is written as
    // PlainVersion, which consoles from before the waves load as well.
    static constexpr int FormatVersion = 2;
    static constexpr int PlainVersion = 1;
    // Takes the text piece by piece; false stops the writing (a full disk, say).
    using Sink = std::function<bool(const char *data, qsizetype size)>;

    // `sealer` seals the passwords; without one (nullptr) they are left out
    // and the file says so.
    static QByteArray Encode(const DatabaseSnapshot &snapshot, const PasswordSealer *sealer);
    // What Decode would refuse in the file of `snapshot` (a text, a count
    // or an ID past modLimits), to follow "could not be saved: "; empty
    // when it all fits. `passwords` counts the passwords in as they would
    // be sealed.
    static QString Refusal(const DatabaseSnapshot &snapshot, bool passwords);
    // The same text handed to `write` in pieces of about a megabyte, so that
    // a large database never stands in memory a second time as text. False
    // when `write` refused a piece.
    static bool Encode(const DatabaseSnapshot &snapshot, const PasswordSealer *sealer, const Sink &write);

    struct Decoded
    {
        SettingsFileResult Result;
        DatabaseSnapshot Snapshot;
        // The salt and cost of the sealed passwords, when the file has them.
        std::optional<PasswordSealer::Parameters> Sealing;
    };

    // `fileName` is only used in messages.
    static Decoded Decode(const QByteArray &bytes, const QString &fileName, const QString &passphrase);
    // The text of an open, seekable device (a file), read a piece at a
    // time: a large file never stands in memory whole.
    static Decoded Decode(QIODevice &device, const QString &fileName, const QString &passphrase);
};

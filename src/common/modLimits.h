#pragma once

#include <QString>
#include <QStringView>

// What the console's database may hold. A settings file past any of these
// is refused on loading, so saving checks them before it writes, and every
// way in (typing and pasting, the directory and user list imports, `vo`)
// stops at them with a message instead of taking in what could never be
// saved and loaded again.
namespace modLimits {

// No text of a real job comes near the longest path Windows knows: names,
// DNS names, directory paths, accounts and the job name are all far
// shorter. A longer text is refused as damaged.
inline constexpr qsizetype MaxTextBytes = 32767;
// A field limited to this many characters (UTF-16 code units) always fits
// MaxTextBytes: no code unit takes more than three bytes of UTF-8.
inline constexpr int MaxTextLength = int(MaxTextBytes / 3);

// A file stores a sealed password as Base64 of a 24-byte nonce, the UTF-8
// text padded to the next multiple of 16 (at least one byte of padding)
// and a 16-byte tag; that Base64 is a text of the file like any other.
inline constexpr qsizetype MaxPasswordBytes = ((MaxTextBytes / 4) * 3 - 24 - 16) / 16 * 16 - 1;
inline constexpr int MaxPasswordLength = int(MaxPasswordBytes / 3);

// IDs a sequence (folders, computers) may have handed out: every ID costs
// a record on loading. Ten times the largest job the console is built for
// (100,000 computers) leaves room for years of removals.
inline constexpr int MaxNextID = 1 << 20;
// IDs one user list may have handed out, and all lists together: the IDs
// of deleted entries cost memory on loading too.
inline constexpr int MaxUserListIDs = 1 << 16;
inline constexpr qint64 MaxAllUserListIDs = qint64(1) << 22;

// A settings file far beyond the few hundred megabytes of the largest job.
inline constexpr qint64 MaxSettingsFileBytes = qint64(2) << 30;

// The UTF-8 size of `text`, counted without converting it.
qsizetype Utf8Bytes(QStringView text);
inline bool TextFits(QStringView text)
{
    return Utf8Bytes(text) <= MaxTextBytes;
}

// "is longer than 32767 bytes", the words every refusal of a long text ends with.
QString TooLong();

} // namespace modLimits

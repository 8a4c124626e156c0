#pragma once

#include <QByteArray>
#include <QString>

// The console's own key pair, which it logs in to clients with: an ed25519
// key without passphrase (a transferor cannot type one; an agent holding the
// key is used when there is one), private half 0600 in a 0700 folder of the
// per-user data folder, made by ssh-keygen on first use.
class ConsoleKey
{
public:
    // `folder` empty: defaultFolder().
    explicit ConsoleKey(QString folder = {});

    // $VARNO_OSK_SSH_FOLDER when set (tests keep their keys apart that way),
    // else <data folder>/varno-osk/ssh. The known-hosts file lives there too.
    static QString defaultFolder();

    QString folder() const { return m_folder; }
    QString privateFile() const;

    // Makes the pair when there is none. False with the reason in error().
    bool ensure();
    // A new pair; the one before is kept beside it as ".old" (and its
    // public half as ".old.pub"), so that an administrator who rotated by
    // mistake can still reach the clients with it and put it back.
    bool rotate();
    // The public half as an authorized_keys line, made first when missing.
    QByteArray publicKey();

    QString error() const { return m_error; }

private:
    bool generate();

    QString m_folder;
    QString m_error;
};

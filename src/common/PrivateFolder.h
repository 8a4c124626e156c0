#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

class QFile;

// A folder the console writes into on others' behalf: the results folder of
// a job (clients' files are copied there, and it may sit on a shared disk),
// the folder of an export, the folder a run report goes to. The path up to
// and including the folder is the administrator's choice and may well be a
// link; everything below it is reached without following a link and without
// leaving the folder, so that a link planted inside cannot point the
// console's writes at any other file. A file or folder below that is not the
// console's own (another owner, a second hard link) is refused too.
//
// What is written here may hold passwords, however scrambled: folders made
// below are 0700 and files 0600, whatever the umask says.
//
// Every failure is kept in ErrorString(), naming the path that was refused.
class PrivateFolder
{
public:
    // Private: the folder is made with its parents when missing (they keep
    // what they have) and closed to other users, as the results and export
    // folders are the console's. AsItIs: a folder the user chose (where a
    // report goes) must exist and is left as it is.
    enum class Access { Private, AsItIs };

    PrivateFolder() = default;
    ~PrivateFolder();
    PrivateFolder(PrivateFolder &&other) noexcept;
    PrivateFolder &operator=(PrivateFolder &&other) noexcept;
    PrivateFolder(const PrivateFolder &) = delete;
    PrivateFolder &operator=(const PrivateFolder &) = delete;

    bool Open(const QString &path, Access access = Access::Private);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    // The folder as given to Open, ending in "/".
    const QString &Path() const { return m_path; }
    // `relative` below the folder, as messages name it.
    QString FilePath(const QString &relative) const { return m_path + relative; }

    // A folder below, made when missing, with the folders on its way.
    bool MakeFolder(const QString &relative);
    // A file below for `file` to use: ReadOnly; WriteOnly or ReadWrite (made,
    // or emptied once it is known to be the console's own); with Append, made
    // when missing and kept. `file` owns the descriptor and has no file name.
    bool OpenFile(QFile &file, const QString &relative, QIODevice::OpenMode mode);
    // `content` as the whole file below, written in place.
    bool Write(const QString &relative, const QByteArray &content);
    // The same whole or not at all: a new file, flushed to disk, takes the
    // old one's place (a report that is being replaced stays readable).
    bool Replace(const QString &relative, const QByteArray &content);
    bool Remove(const QString &relative);
    // Everything written on the folder's file system so far reaches the
    // disk: one call after many files instead of one flush per file.
    bool Sync();

    QString ErrorString() const { return m_error; }

private:
    int openBelow(const QString &relative, int flags);
    bool fail(const QString &relative, int error);

    int m_fd = -1;
    QString m_path;
    QString m_error;
};

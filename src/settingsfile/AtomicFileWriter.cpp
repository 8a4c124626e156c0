#include "settingsfile/AtomicFileWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

bool AtomicFileWriter::IsTemporaryOf(const QString &fileName, const QString &target)
{
    // mkstemp's six characters are letters and digits.
    const qsizetype stem = target.size() + 2;
    if (fileName.size() != stem + 6 || !fileName.startsWith(QLatin1Char('.')) || fileName.at(stem - 1) != QLatin1Char('.')
        || QStringView(fileName).mid(1, target.size()) != target)
        return false;
    for (const QChar c : QStringView(fileName).mid(stem)) {
        if (c.unicode() > 127 || !c.isLetterOrNumber())
            return false;
    }
    return true;
}

void AtomicFileWriter::removeLeftovers(const QString &folder, const QString &target) const
{
    QDirIterator entries(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        const QString path = entries.next();
        if (!IsTemporaryOf(entries.fileName(), target))
            continue;
        const QByteArray encoded = QFile::encodeName(path);
        // Not following a link, and never waiting on a pipe of that name.
        const int fd = ::open(encoded.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat status
        {
        };
        // A writer at work holds its lock until its rename is done.
        if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(encoded.constData());
        ::close(fd);
    }
}

AtomicFileWriter::AtomicFileWriter(QString path)
    : m_path(std::move(path))
{ }

bool AtomicFileWriter::step(Step step)
{
    if (!m_faultHook || m_faultHook(step))
        return true;
    // An injected failure looks like the most likely real one of each step.
    errno = step == Step::Create ? EACCES : step == Step::Write || step == Step::Sync ? ENOSPC : EIO;
    return false;
}

bool AtomicFileWriter::fail(const QString &what, int error)
{
    m_error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    return false;
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_temporary.constData());
    }
}

bool AtomicFileWriter::discard(const QString &what)
{
    const int error = errno;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    ::unlink(m_temporary.constData());
    return fail(what, error);
}

bool AtomicFileWriter::Write(const QByteArray &data)
{
    return Begin() && Append(data.constData(), data.size()) && Commit();
}

bool AtomicFileWriter::Begin()
{
    m_error.clear();
    const QFileInfo target(m_path);
    const QString folder = target.absolutePath();
    if (target.isDir()) {
        m_error = QStringLiteral("a folder has that name");
        return false;
    }

    // Before the new one takes its room on the disk.
    removeLeftovers(folder, target.fileName());

    // Beside the target, so that the rename stays on one file system; hidden
    // and unique, so that a left-over from a crash never collides.
    m_temporary = QFile::encodeName(folder + QLatin1Char('/') + QLatin1Char('.') + target.fileName() + QStringLiteral(".XXXXXX"));
    if (step(Step::Create))
        m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
    if (m_fd < 0)
        return fail(QStringLiteral("cannot create a file in \"%1\"").arg(QDir::toNativeSeparators(folder)), errno);
    // Released by the close after the rename, or by the system when this
    // process dies; a file system without locks only loses the clean-up.
    ::flock(m_fd, LOCK_EX | LOCK_NB);

    // mkstemp gives 0600; a settings file gets what any new file of the user gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat existing
    {
    };
    const mode_t mode = ::stat(QFile::encodeName(m_path).constData(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~mask);
    ::fchmod(m_fd, mode);
    return true;
}

bool AtomicFileWriter::Append(const char *data, qsizetype size)
{
    if (m_fd < 0)
        return false;
    if (!step(Step::Write) || !writeAll(m_fd, data, size))
        return discard(QStringLiteral("cannot write the new contents"));
    return true;
}

bool AtomicFileWriter::Commit()
{
    if (m_fd < 0)
        return false;
    if (!step(Step::Sync) || ::fsync(m_fd) != 0)
        return discard(QStringLiteral("cannot flush the new contents to the disk"));
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0) {
        const int error = errno;
        ::unlink(m_temporary.constData());
        return fail(QStringLiteral("cannot close the new file"), error);
    }

    if (!step(Step::Rename) || ::rename(m_temporary.constData(), QFile::encodeName(m_path).constData()) != 0) {
        const int error = errno;
        ::unlink(m_temporary.constData());
        return fail(QStringLiteral("cannot replace the file"), error);
    }

    const QString folder = QFileInfo(m_path).absolutePath();
    const int directory = step(Step::SyncFolder) ? ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return true;
}

#include "database/AtomicFileWriter.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes a descriptor once; a failing close after a successful fsync cannot lose data.
struct Descriptor
{
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

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

bool AtomicFileWriter::Write(const QByteArray &data)
{
    m_error.clear();
    const QFileInfo target(m_path);
    const QString folder = target.absolutePath();
    if (target.isDir()) {
        m_error = QStringLiteral("a folder has that name");
        return false;
    }

    // Beside the target, so that the rename stays on one file system; hidden
    // and unique, so that a left-over from a crash never collides.
    QByteArray temporary = QFile::encodeName(folder + QLatin1Char('/') + QLatin1Char('.') + target.fileName() + QStringLiteral(".XXXXXX"));
    Descriptor file;
    if (step(Step::Create))
        file.fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (file.fd < 0)
        return fail(QStringLiteral("cannot create a file in \"%1\"").arg(QDir::toNativeSeparators(folder)), errno);

    auto discard = [&](const QString &what) {
        const int error = errno;
        ::close(file.fd);
        file.fd = -1;
        ::unlink(temporary.constData());
        return fail(what, error);
    };

    // mkstemp gives 0600; a settings file gets what any new file of the user gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat existing
    {
    };
    const mode_t mode = ::stat(QFile::encodeName(m_path).constData(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~mask);
    ::fchmod(file.fd, mode);

    if (!step(Step::Write) || !writeAll(file.fd, data.constData(), data.size()))
        return discard(QStringLiteral("cannot write the new contents"));
    if (!step(Step::Sync) || ::fsync(file.fd) != 0)
        return discard(QStringLiteral("cannot flush the new contents to the disk"));
    if (::close(file.fd) != 0) {
        file.fd = -1;
        const int error = errno;
        ::unlink(temporary.constData());
        return fail(QStringLiteral("cannot close the new file"), error);
    }
    file.fd = -1;

    if (!step(Step::Rename) || ::rename(temporary.constData(), QFile::encodeName(m_path).constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return fail(QStringLiteral("cannot replace the file"), error);
    }

    Descriptor directory;
    if (step(Step::SyncFolder))
        directory.fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory.fd >= 0)
        ::fsync(directory.fd);
    return true;
}

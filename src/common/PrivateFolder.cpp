#include "common/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;
// Not an errno: the file or folder below is someone else's, or a second
// name of a file elsewhere.
constexpr int kNotOurs = -1;

// The umask as it stands; reading it means setting it, so it is read once.
mode_t currentUmask()
{
    static const mode_t mask = [] {
        const mode_t old = ::umask(0077);
        ::umask(old);
        return old;
    }();
    return mask;
}

QByteArray encoded(const QString &relative)
{
    return QFile::encodeName(relative);
}

// openat2 has no glibc wrapper on Debian 12. It may ask for a retry when a
// rename elsewhere raced with the lookup.
int openat2Beneath(int folder, const QByteArray &relative, int flags, mode_t mode)
{
    open_how how = {};
    how.flags = static_cast<quint64>(flags | O_CLOEXEC | O_NOFOLLOW);
    how.mode = (flags & O_CREAT) ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0;; ++attempt) {
        const long fd = ::syscall(SYS_openat2, folder, relative.constData(), &how, sizeof how);
        if (fd >= 0 || (errno != EAGAIN && errno != EINTR) || attempt == 16)
            return static_cast<int>(fd);
    }
}

// A file or folder the console may write: its own, with no other name, and
// closed to others from now on.
int claim(int fd, mode_t wanted)
{
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        return errno;
    if (info.st_uid != ::geteuid() || (S_ISREG(info.st_mode) && info.st_nlink > 1))
        return kNotOurs;
    if ((info.st_mode & 07777) != wanted && ::fchmod(fd, wanted) != 0)
        return errno;
    return 0;
}

void closeQuietly(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

bool writeAll(int fd, const QByteArray &content)
{
    const char *data = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

} // namespace

PrivateFolder::~PrivateFolder()
{
    Close();
}

PrivateFolder::PrivateFolder(PrivateFolder &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_path(std::move(other.m_path))
    , m_error(std::move(other.m_error))
{ }

PrivateFolder &PrivateFolder::operator=(PrivateFolder &&other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_error = std::move(other.m_error);
    }
    return *this;
}

bool PrivateFolder::Open(const QString &path, Access access)
{
    Close();
    m_path = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    m_error.clear();
    if (path.isEmpty() || (access == Access::Private && !QDir().mkpath(path))) {
        m_error = QStringLiteral("The folder \"%1\" cannot be created.").arg(QDir::toNativeSeparators(path));
        return false;
    }
    // The folder itself is trusted, links and all.
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = QStringLiteral("The folder \"%1\" cannot be opened: %2.")
                      .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (access == Access::Private)
        ::fchmod(m_fd, kFolderMode);
    return true;
}

void PrivateFolder::Close()
{
    closeQuietly(std::exchange(m_fd, -1));
}

bool PrivateFolder::fail(const QString &relative, int error)
{
    const QString path = QDir::toNativeSeparators(FilePath(relative));
    // A link met on the way, or as a folder in its last step, which reads as "not a folder".
    if (error == ELOOP || error == EXDEV || error == ENOTDIR) {
        // Which step of the way is the link: the first one that is.
        const QStringList steps = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        QString prefix;
        for (const QString &step : steps) {
            prefix += (prefix.isEmpty() ? QString() : QStringLiteral("/")) + step;
            struct stat info = {};
            if (::fstatat(m_fd, encoded(prefix).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
                m_error = QStringLiteral("\"%1\" is a symbolic link; the console writes nothing through a link.")
                              .arg(QDir::toNativeSeparators(FilePath(prefix)));
                return false;
            }
        }
    }
    if (error == EXDEV) {
        m_error = QStringLiteral("\"%1\" leads out of the folder \"%2\".").arg(path, QDir::toNativeSeparators(m_path));
    } else if (error == kNotOurs) {
        m_error = QStringLiteral("\"%1\" belongs to another user or is a second name of another file; the console writes nothing to it.")
                      .arg(path);
    } else {
        m_error = QStringLiteral("\"%1\" cannot be used: %2.").arg(path, QString::fromLocal8Bit(std::strerror(error)));
    }
    return false;
}

int PrivateFolder::openBelow(const QString &relative, int flags)
{
    if (m_fd < 0) {
        fail(relative, EBADF);
        return -1;
    }
    const bool folder = (flags & O_DIRECTORY) != 0;
    const bool writing = (flags & O_ACCMODE) != O_RDONLY || folder;
    const int fd = openat2Beneath(m_fd, encoded(relative), flags, kFileMode);
    if (fd < 0) {
        fail(relative, errno);
        return -1;
    }
    if (writing) {
        if (const int refused = claim(fd, folder ? kFolderMode : kFileMode); refused != 0) {
            ::close(fd);
            fail(relative, refused);
            return -1;
        }
    }
    return fd;
}

bool PrivateFolder::MakeFolder(const QString &relative)
{
    const QStringList steps = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString made;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        made += (made.isEmpty() ? QString() : QStringLiteral("/")) + steps.at(i);
        // mkdirat does not follow a link in its last step; the steps before
        // are folders that openBelow has already checked.
        const bool created = ::mkdirat(m_fd, encoded(made).constData(), kFolderMode) == 0;
        if (!created && errno != EEXIST)
            return fail(made, errno);
        // A folder made just now is ours and, unless the umask takes the
        // owner's own bits, already 0700.
        if (created && (currentUmask() & kFolderMode) == 0)
            continue;
        const int fd = openBelow(made, O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        ::close(fd);
    }
    return true;
}

bool PrivateFolder::OpenFile(QFile &file, const QString &relative, QIODevice::OpenMode mode)
{
    int flags = O_RDONLY;
    if (mode & QIODevice::WriteOnly)
        flags = ((mode & QIODevice::ReadOnly) ? O_RDWR : O_WRONLY) | O_CREAT | ((mode & QIODevice::Append) ? O_APPEND : 0);
    const int fd = openBelow(relative, flags);
    if (fd < 0)
        return false;
    // Emptied only now that it is known to be ours.
    if ((mode & QIODevice::WriteOnly) && !(mode & QIODevice::Append) && ::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(relative, error);
    }
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(relative, EIO);
    }
    return true;
}

bool PrivateFolder::Write(const QString &relative, const QByteArray &content)
{
    const int fd = openBelow(relative, O_WRONLY | O_CREAT);
    if (fd < 0)
        return false;
    const bool written = ::ftruncate(fd, 0) == 0 && writeAll(fd, content);
    const int error = errno;
    if (::close(fd) != 0 || !written)
        return fail(relative, written ? errno : error);
    return true;
}

bool PrivateFolder::Replace(const QString &relative, const QByteArray &content)
{
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QString() : relative.left(slash);
    const QString name = relative.mid(slash + 1);
    const int parent = folder.isEmpty() ? ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0) : openBelow(folder, O_RDONLY | O_DIRECTORY);
    if (parent < 0)
        return folder.isEmpty() ? fail(relative, errno) : false;
    const auto done = [&](bool ok) {
        ::close(parent);
        return ok;
    };
    // A link in its place is refused rather than replaced, so that it is noticed.
    struct stat info = {};
    if (::fstatat(parent, encoded(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
        return done(fail(relative, ELOOP));

    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = encoded(QStringLiteral(".%1.%2").arg(name).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        fd = ::openat(parent, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kFileMode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return done(fail(relative, errno));
    const bool written = ::fchmod(fd, kFileMode) == 0 && writeAll(fd, content) && ::fdatasync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 || !written || ::renameat(parent, temporary.constData(), parent, encoded(name).constData()) != 0) {
        const int failure = written ? errno : error;
        ::unlinkat(parent, temporary.constData(), 0);
        return done(fail(relative, failure));
    }
    ::fsync(parent);
    return done(true);
}

bool PrivateFolder::Remove(const QString &relative)
{
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QString() : relative.left(slash);
    const int parent = folder.isEmpty() ? m_fd : openBelow(folder, O_RDONLY | O_DIRECTORY);
    if (parent < 0)
        return false;
    const bool removed = ::unlinkat(parent, encoded(relative.mid(slash + 1)).constData(), 0) == 0;
    const int error = errno;
    if (parent != m_fd)
        ::close(parent);
    return removed || fail(relative, error);
}

bool PrivateFolder::Sync()
{
    if (m_fd >= 0 && ::syncfs(m_fd) == 0)
        return true;
    return fail(QString(), m_fd < 0 ? EBADF : errno);
}

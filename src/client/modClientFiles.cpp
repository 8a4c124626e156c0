#include "client/modClientFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace modClientFiles {

namespace {

// The program's own copy is the largest file the service moves.
constexpr std::size_t kMaxMoveBytes = 512u * 1024 * 1024;

std::string reason(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

bool writeAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool writeNew(const std::string &path, const std::string &data, mode_t mode, std::string &problem)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        problem = reason("Cannot create " + path);
        return false;
    }
    const bool ok = writeAll(fd, data.data(), data.size()) && ::fsync(fd) == 0;
    if (!ok)
        problem = reason("Cannot write " + path);
    ::close(fd);
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}

} // namespace

std::string Join(const std::string &folder, const std::string &name)
{
    if (folder.empty() || folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

bool ReadBounded(const std::string &path, std::size_t limit, std::string &data, std::string &problem)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        problem = reason("Cannot open " + path);
        return false;
    }
    struct stat info
    {
    };
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok) {
        problem = path + " is not a regular file.";
    } else if (static_cast<std::size_t>(info.st_size) > limit) {
        problem = path + " is " + std::to_string(info.st_size) + " bytes long; at most " + std::to_string(limit) + " are read.";
        ok = false;
    } else {
        data.assign(static_cast<std::size_t>(info.st_size), '\0');
        std::size_t done = 0;
        // A file that grows while it is read is cut at the size it had.
        while (done < data.size()) {
            const ssize_t got = ::read(fd, data.data() + done, data.size() - done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        data.resize(done);
    }
    ::close(fd);
    return ok;
}

bool Replace(const std::string &path, const std::string &data, std::string &problem)
{
    const std::string fresh = path + ".new";
    ::unlink(fresh.c_str());
    if (!writeNew(fresh, data, 0600, problem))
        return false;
    if (::rename(fresh.c_str(), path.c_str()) != 0) {
        problem = reason("Cannot replace " + path);
        ::unlink(fresh.c_str());
        return false;
    }
    return true;
}

int OpenLog(const std::string &path, std::string &problem)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        problem = reason("Cannot open the log " + path);
    return fd;
}

bool MakeFolders(const std::string &path, std::string &problem)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            problem = reason("Cannot make " + part);
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        problem = path + " is not a folder.";
        return false;
    }
    return true;
}

bool MakePrivateFolder(const std::string &path, std::string &problem)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string parent = path.substr(0, slash);
        if (::mkdir(parent.c_str(), 0755) != 0 && errno != EEXIST) {
            problem = reason("Cannot make " + parent);
            return false;
        }
    }
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = reason("Cannot make " + path);
        return false;
    }
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        problem = path + " is not a folder of this user's own.";
        return false;
    }
    if (::chmod(path.c_str(), 0700) != 0) {
        problem = reason("Cannot make " + path + " private");
        return false;
    }
    return true;
}

bool Move(const std::string &from, const std::string &to, std::string &problem)
{
    struct stat info
    {
    };
    if (::lstat(from.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = from + " is not a regular file.";
        return false;
    }
    ::unlink(to.c_str());
    if (::rename(from.c_str(), to.c_str()) == 0)
        return true;
    if (errno != EXDEV) {
        problem = reason("Cannot move " + from);
        return false;
    }
    std::string data;
    if (!ReadBounded(from, kMaxMoveBytes, data, problem) || !writeNew(to, data, info.st_mode & 0700, problem))
        return false;
    ::unlink(from.c_str());
    return true;
}

} // namespace modClientFiles

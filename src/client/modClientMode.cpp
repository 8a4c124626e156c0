#include "client/modClientMode.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace modClientMode {

namespace {

constexpr std::size_t kMaxConfBytes = 4096;

// Owned by root and writable by nobody else.
bool trusted(const struct stat &info)
{
    return info.st_uid == 0 && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A folder whose entries nobody but root can replace: root's and writable
// by nobody else, or root's and sticky (/tmp), where others may add names
// but never rename or remove root's.
bool trustedFolder(const struct stat &info)
{
    return S_ISDIR(info.st_mode) && info.st_uid == 0 && ((info.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (info.st_mode & S_ISVTX) != 0);
}

} // namespace

std::string TestRoots(std::string &problem)
{
    const std::string path = VO_CLIENT_CONF;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno != ENOENT)
            problem = path + ": " + std::strerror(errno);
        return {};
    }
    // Every folder above the file, from the top: one that another user may
    // write could have the file replaced.
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        struct stat folder {};
        const std::string above = path.substr(0, slash);
        if (::lstat(above.c_str(), &folder) != 0 || !trustedFolder(folder)) {
            problem = above + " is not a folder that only root may change, so " + path + " is not trusted.";
            return {};
        }
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !trusted(info)
        || static_cast<std::size_t>(info.st_size) > kMaxConfBytes) {
        if (fd >= 0)
            ::close(fd);
        problem = path + " is not a small file that only root may change.";
        return {};
    }
    std::string text(kMaxConfBytes, '\0');
    const ssize_t got = ::read(fd, text.data(), text.size());
    ::close(fd);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    std::string roots;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        constexpr std::string_view key = "TestRoots=";
        if (line.compare(0, key.size(), key) == 0)
            roots = line.substr(key.size());
        at = end + 1;
    }
    while (roots.size() > 1 && roots.back() == '/')
        roots.pop_back();
    if (!roots.empty() && roots.front() != '/') {
        problem = path + ": TestRoots must name an absolute folder.";
        return {};
    }
    return roots;
}

std::string TestRoot(const std::string &testRoots, const std::string &computer, std::string &problem)
{
    if (computer.empty() || computer == "." || computer == ".." || computer.find('/') != std::string::npos) {
        problem = "\"" + computer + "\" cannot name a client root.";
        return {};
    }
    return testRoots + "/" + computer;
}

} // namespace modClientMode

#include "client/LocalComputer.h"

#include "client/modClientFiles.h"
#include "client/modFields.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace {

constexpr std::size_t kMaxToolOutput = 64u * 1024;
constexpr int kToolSeconds = 30;
constexpr std::size_t kMaxToolInput = 4096;
// How often a running tool's wait asks whether it is still wanted.
constexpr int kWaitingMs = 1000;

// Runs `program` with a clean environment and a time limit; its standard
// output, cut at kMaxToolOutput. nullopt when it could not run, failed, or
// `stillWanted` said no while it ran.
std::optional<std::string> runTool(const std::string &program, const std::vector<std::string> &arguments,
    const std::function<bool()> &stillWanted, const std::string &input = {})
{
    // `input` (a password, say) goes through a pipe, never the command line;
    // it is far smaller than a pipe holds, so it is written whole at once.
    if (input.size() > kMaxToolInput)
        return std::nullopt;
    int out[2];
    int in[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return std::nullopt;
    if (::pipe2(in, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        for (const int fd : {out[0], out[1], in[0], in[1]})
            ::close(fd);
        return std::nullopt;
    }
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(in[0], STDIN_FILENO);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDERR_FILENO);
        std::vector<char *> argv {const_cast<char *>(program.c_str())};
        for (const std::string &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        char path[] = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";
        char *environment[] {path, nullptr};
        ::execve(program.c_str(), argv.data(), environment);
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(in[0]);
    if (!input.empty() && ::write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size()))
        ::kill(child, SIGKILL);
    ::close(in[1]);
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kToolSeconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd wait {out[0], POLLIN, 0};
        const int ready = left <= 0 ? 0 : ::poll(&wait, 1, static_cast<int>(std::min<long long>(left, kWaitingMs)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || left <= 0 || (ready == 0 && !stillWanted())) {
            ::kill(child, SIGKILL);
            break;
        }
        if (ready == 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::read(out[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        if (output.size() < kMaxToolOutput)
            output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(out[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    output.resize(std::min(output.size(), kMaxToolOutput));
    return output;
}

} // namespace

LocalComputer::LocalComputer(std::string root)
    : m_root(std::move(root))
{
    while (!m_root.empty() && m_root.back() == '/')
        m_root.pop_back();
    if (m_root.empty())
        m_directory = std::make_unique<NameServiceDirectory>();
    else
        m_directory = std::make_unique<FilesDirectory>(m_root);
}

LocalComputer::~LocalComputer() = default;

std::optional<ComputerView::Account> LocalComputer::account(const std::string &name)
{
    const auto user = m_directory->user(name);
    return user ? std::optional<Account>(Account {user->uid, user->home}) : std::nullopt;
}

std::optional<ComputerView::Account> LocalComputer::accountOf(unsigned uid)
{
    const auto user = m_directory->userById(uid);
    return user ? std::optional<Account>(Account {user->uid, user->home}) : std::nullopt;
}

bool LocalComputer::hasSession(unsigned uid)
{
    const std::string proc = m_root + "/proc";
    DIR *folder = ::opendir(proc.c_str());
    if (!folder)
        return false;
    bool found = false;
    while (const dirent *entry = ::readdir(folder)) {
        unsigned pid = 0;
        if (!modFields::ToUnsigned(entry->d_name, pid))
            continue;
        // Files under /proc show a size of 0, so the line is read from a bounded buffer.
        const int fd = ::open((proc + "/" + entry->d_name + "/status").c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        ::close(fd);
        if (got <= 0)
            continue;
        const std::string status(buffer, static_cast<std::size_t>(got));
        const std::size_t at = status.find("\nUid:");
        if (at == std::string::npos)
            continue;
        const std::size_t start = status.find_first_not_of(" \t", at + 5);
        const std::size_t end = status.find_first_of(" \t\n", start);
        unsigned processUid = 0;
        if (start != std::string::npos && modFields::ToUnsigned(std::string_view(status).substr(start, end - start), processUid)
            && processUid == uid) {
            found = true;
            break;
        }
    }
    ::closedir(folder);
    return found;
}

bool LocalComputer::folderExists(const std::string &path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string LocalComputer::profilesFolder()
{
    return m_root + "/home";
}

std::optional<unsigned long long> LocalComputer::freeBytes(const std::string &path)
{
    struct statvfs info
    {
    };
    if (::statvfs(path.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<unsigned long long>(info.f_bavail) * info.f_frsize;
}

std::string LocalComputer::realmTool() const
{
    return tool({"/usr/sbin/realm", "/usr/bin/realm"});
}

bool LocalComputer::realmToolsPresent()
{
    return !realmTool().empty();
}

std::optional<std::string> LocalComputer::joinedDomain()
{
    const std::string tool = realmTool();
    if (tool.empty())
        return std::nullopt;
    // Without --all, realm lists only the realms the computer is joined to.
    const std::optional<std::string> output = runTool(tool, {"list", "--name-only"}, [this] { return stillWanted(); });
    if (!output)
        return std::nullopt;
    const std::string_view first = modFields::Split(*output, '\n').front();
    return std::string(first.substr(0, first.find_last_not_of(" \t\r") + 1));
}

bool LocalComputer::privileged()
{
    return ::geteuid() == 0;
}

std::string LocalComputer::tool(std::initializer_list<const char *> candidates) const
{
    for (const char *candidate : candidates) {
        const std::string path = m_root + candidate;
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

bool LocalComputer::leaveRealm(const std::string &domain, std::string &problem)
{
    const std::string realm = realmTool();
    if (realm.empty() || !runTool(realm, {"leave", domain}, [this] { return stillWanted(); })) {
        problem = "realm leave " + domain + " failed";
        return false;
    }
    return true;
}

bool LocalComputer::joinRealm(const std::string &domain, const std::string &user, const std::string &password, std::string &problem)
{
    const std::string realm = realmTool();
    if (realm.empty() || !runTool(realm, {"join", "--user=" + user, domain}, [this] { return stillWanted(); }, password + "\n")) {
        problem = "realm join " + domain + " as " + user + " failed";
        return false;
    }
    return true;
}

bool LocalComputer::reboot(std::string &problem)
{
    const std::string program = tool({"/usr/bin/systemctl", "/bin/systemctl"});
    if (program.empty() || !runTool(program, {"reboot"}, [] { return true; })) {
        problem = "systemctl reboot failed";
        return false;
    }
    return true;
}

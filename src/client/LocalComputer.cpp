#include "client/LocalComputer.h"

#include "client/modClientFiles.h"
#include "client/modFields.h"
#include "client/modTool.h"
#include "protocol/modRunFile.h"

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
    const std::optional<std::string> output = modTool::Run(tool, {"list", "--name-only"}, [this] { return stillWanted(); });
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
    if (realm.empty() || !modTool::Run(realm, {"leave", domain}, [this] { return stillWanted(); })) {
        problem = "realm leave " + domain + " failed";
        return false;
    }
    return true;
}

bool LocalComputer::joinRealm(const std::string &domain, const std::string &user, const std::string &password, std::string &problem)
{
    const std::string realm = realmTool();
    if (realm.empty() || !modTool::Run(realm, {"join", "--user=" + user, domain}, [this] { return stillWanted(); }, password + "\n")) {
        problem = "realm join " + domain + " as " + user + " failed";
        return false;
    }
    return true;
}

bool LocalComputer::reboot(bool force, std::string &problem)
{
    const std::string program = tool({"/usr/bin/systemctl", "/bin/systemctl"});
    std::vector<std::string> arguments {"reboot"};
    if (force)
        arguments.push_back("--ignore-inhibitors");
    if (program.empty() || !modTool::Run(program, arguments, [] { return true; })) {
        problem = "systemctl reboot failed";
        return false;
    }
    return true;
}

void LocalComputer::flushNameCaches()
{
    // Whichever caches the computer has; none of them is a fault.
    if (const std::string sss = tool({"/usr/sbin/sss_cache"}); !sss.empty())
        modTool::Run(sss, {"-E"}, [this] { return stillWanted(); });
    if (const std::string nscd = tool({"/usr/sbin/nscd"}); !nscd.empty()) {
        modTool::Run(nscd, {"-i", "passwd"}, [this] { return stillWanted(); });
        modTool::Run(nscd, {"-i", "group"}, [this] { return stillWanted(); });
    }
}

namespace {

// The workgroup line of smb.conf's [global] section: its offset and length, npos for none.
std::pair<std::size_t, std::size_t> workgroupLine(const std::string &text, std::string *value)
{
    bool global = false;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        line.erase(0, line.find_first_not_of(" \t"));
        if (!line.empty() && line.front() == '[') {
            global = line.rfind("[global]", 0) == 0;
        } else if (global && line.rfind("workgroup", 0) == 0) {
            const std::size_t equals = line.find('=');
            if (equals != std::string::npos && line.find_first_not_of(" \t", 9) == equals) {
                if (value) {
                    *value = line.substr(line.find_first_not_of(" \t", equals + 1) == std::string::npos
                            ? line.size()
                            : line.find_first_not_of(" \t", equals + 1));
                    value->erase(value->find_last_not_of(" \t\r") + 1);
                }
                return {at, end - at};
            }
        }
        at = end + 1;
    }
    return {std::string::npos, 0};
}

constexpr std::size_t kMaxSambaConf = 1024 * 1024;

} // namespace

std::optional<std::string> LocalComputer::workgroup()
{
    std::string text;
    std::string problem;
    if (!modClientFiles::ReadBounded(m_root + "/etc/samba/smb.conf", kMaxSambaConf, text, problem))
        return std::nullopt;
    std::string value;
    workgroupLine(text, &value);
    return value;
}

bool LocalComputer::setWorkgroup(const std::string &name, std::string &problem)
{
    const std::string path = m_root + "/etc/samba/smb.conf";
    std::string text;
    if (!modClientFiles::ReadBounded(path, kMaxSambaConf, text, problem))
        return false;
    const std::string line = "   workgroup = " + name;
    const auto [at, length] = workgroupLine(text, nullptr);
    if (at != std::string::npos) {
        text.replace(at, length, line);
    } else if (const std::size_t global = text.find("[global]"); global != std::string::npos) {
        const std::size_t end = text.find('\n', global);
        text.insert(end == std::string::npos ? text.size() : end + 1, line + "\n");
    } else {
        text = "[global]\n" + line + "\n" + text;
    }
    return modClientFiles::Replace(path, text, problem);
}

std::optional<unsigned> LocalComputer::uidOfSid(const std::string &sid)
{
    if (sid.rfind("S-", 0) != 0)
        return std::nullopt;
    // The directory client the computer has answers: SSSD through its own
    // Python binding (it has no command for this), else winbind. A SID that
    // maps to a group only is no account.
    static const std::string sssdLookup = "import sys\n"
                                          "import pysss_nss_idmap as m\n"
                                          "r = m.getidbysid(sys.argv[1]).get(sys.argv[1])\n"
                                          "if not r or r.get('type') not in (1, 3):\n"
                                          "    sys.exit(1)\n"
                                          "print(r['id'])\n";
    const std::string python = tool({"/usr/bin/python3"});
    const std::string wbinfo = tool({"/usr/bin/wbinfo"});
    std::optional<std::string> output;
    if (!tool({"/usr/sbin/sssd"}).empty() && !python.empty())
        output = modTool::Run(python, {"-I", "-c", sssdLookup, sid}, [this] { return stillWanted(); });
    else if (!wbinfo.empty())
        output = modTool::Run(wbinfo, {"--sid-to-uid", sid}, [this] { return stillWanted(); });
    unsigned uid = 0;
    if (!output || !modFields::ToUnsigned(std::string_view(*output).substr(0, output->find_last_not_of(" \t\r\n") + 1), uid))
        return std::nullopt;
    return uid;
}

std::string LocalComputer::resumeUnitPath() const
{
    return m_root + "/etc/systemd/system/" + std::string(modRunFile::ResumeUnit);
}

bool LocalComputer::installResumeUnit(const std::vector<std::string> &argv, std::string &problem)
{
    std::string command;
    for (const std::string &argument : argv) {
        // systemd's own quoting: double quotes, with \ and " escaped.
        std::string quoted = "\"";
        for (const char c : argument) {
            if (c == '"' || c == '\\')
                quoted += '\\';
            quoted += c == '%' ? std::string("%%") : std::string(1, c);
        }
        command += (command.empty() ? "" : " ") + quoted + "\"";
    }
    const std::string unit = "[Unit]\nDescription=Varno-Osk client service, resuming its migration after a reboot\n"
                             "After=network-online.target\nWants=network-online.target\n\n"
                             "[Service]\nType=oneshot\nExecStart="
        + command + "\n\n[Install]\nWantedBy=multi-user.target\n";
    const std::string wants = m_root + "/etc/systemd/system/multi-user.target.wants";
    if (!modClientFiles::MakeFolders(wants, problem) || !modClientFiles::Replace(resumeUnitPath(), unit, problem))
        return false;
    ::chmod(resumeUnitPath().c_str(), 0644);
    const std::string unitName(modRunFile::ResumeUnit);
    const std::string link = wants + "/" + unitName;
    ::unlink(link.c_str());
    if (::symlink(("../" + unitName).c_str(), link.c_str()) != 0) {
        problem = "Cannot enable the resume unit: " + std::string(std::strerror(errno));
        return false;
    }
    return true;
}

bool LocalComputer::removeResumeUnit(std::string &problem)
{
    const std::string link = m_root + "/etc/systemd/system/multi-user.target.wants/" + std::string(modRunFile::ResumeUnit);
    bool ok = true;
    for (const std::string &path : {link, resumeUnitPath()}) {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            problem = "Cannot remove " + path + ": " + std::strerror(errno);
            ok = false;
        }
    }
    return ok;
}

#include "client/ClientRun.h"

#include "client/ClientMigration.h"
#include "client/ComputerCheck.h"
#include "client/modAccounts.h"
#include "client/modClientFiles.h"
#include "protocol/modFindings.h"
#include "protocol/modScrambleCore.h"
#include "protocol/modStatusFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

constexpr std::string_view kConfigVersion = "00002";
constexpr int kConnectMs = 10'000;

std::string baseName(const std::string &path)
{
    return path.substr(path.rfind('/') + 1);
}

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string canonical(const std::string &path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

} // namespace

ClientRun::ClientRun(
    ComputerView &computer, ComputerActions &actions, std::string root, std::string dropFolder, std::string program, bool resume)
    : m_computer(computer)
    , m_actions(actions)
    , m_resume(resume)
    , m_root(std::move(root))
    , m_drop(std::move(dropFolder))
    , m_program(std::move(program))
{
    m_run.clientLog = "varnoosk.log";
    m_run.clientStatus = "varnoosk.sts";
}

int ClientRun::exec()
{
    const bool filesRead = readFiles();
    if (!takeFiles()) {
        std::fprintf(stderr, "varno-osk-client: %s\n", m_problem.c_str());
        removeSecrets();
        return BadFiles;
    }
    log(std::string("varno-osk-client ") + VO_VERSION_STRING + " working in " + m_folder);
    int result = BadFiles;
    if (!filesRead) {
        log("Refused: " + m_problem);
        setStatus("PE");
    } else {
        result = converse();
    }
    if (!m_keepFiles)
        removeSecrets();
    shareWithLogin();
    if (m_log >= 0)
        ::close(m_log);
    return result;
}

bool ClientRun::readFiles()
{
    std::string runText;
    std::string scrambled;
    std::string codes;
    std::string problem;
    if (!modClientFiles::ReadBounded(
            modClientFiles::Join(m_drop, std::string(modRunFile::FileName)), modRunFile::MaxFileBytes, runText, problem)
        || !modRunFile::Parse(runText, m_run, problem)) {
        m_problem = problem;
        return false;
    }
    if (!modClientFiles::ReadBounded(
            modClientFiles::Join(m_drop, std::string(modRunFile::ConfigFileName)), modRunFile::MaxFileBytes, scrambled, problem)
        || !modScrambleCore::Descramble(scrambled, codes, &problem) || !modRunFile::ParseLines(codes, m_config, problem)) {
        m_problem = std::string(modRunFile::ConfigFileName) + ": " + problem;
        return false;
    }
    const auto version = m_config.find(std::string_view("VERSION"));
    if (version == m_config.end() || version->second != kConfigVersion) {
        m_problem = std::string(modRunFile::ConfigFileName) + " is not of version " + std::string(kConfigVersion) + ".";
        return false;
    }
    // The console names the computer's own accounts by the computer's name,
    // as "PC\user" would on Windows; here they are its local accounts.
    for (const char *key : {"SOURCEUSERDOM", "DESTUSERDOM"}) {
        std::string &domain = m_config[key];
        if (!domain.empty() && modAccounts::SameDomain(domain, m_config["COMPUTERNAME"]))
            domain = std::string(modAccounts::LocalDomain);
    }
    return true;
}

bool ClientRun::takeFiles()
{
    // The engine names the folder from its run file; with no readable run
    // file the log still needs a home for the transferor to find.
    std::string computer = m_run.computer;
    if (computer.empty()) {
        utsname host {};
        computer = ::uname(&host) == 0 ? host.nodename : "client";
    }
    const bool asRoot = ::geteuid() == 0;
    std::string home;
    if (!asRoot) {
        const auto self = m_computer.accountOf(static_cast<unsigned>(::getuid()));
        if (!self) {
            m_problem = "This user has no account entry, so no home for the working folder.";
            return false;
        }
        home = self->home;
    }
    m_folder = modRunFile::WorkingFolder(m_root, asRoot, home, m_run.run, computer);
    if (!modClientFiles::MakePrivateFolder(m_folder, m_problem))
        return false;
    std::string problem;
    m_log = modClientFiles::OpenLog(modClientFiles::Join(m_folder, m_run.clientLog), problem);
    if (m_log < 0) {
        m_problem = problem;
        return false;
    }
    std::vector<std::string> names {std::string(modRunFile::ConfigFileName), std::string(modRunFile::FileName)};
    if (canonical(folderOf(m_program)) == canonical(m_drop))
        names.push_back(baseName(m_program));
    for (const std::string &name : names) {
        if (canonical(m_drop) == canonical(m_folder))
            break;
        const std::string from = modClientFiles::Join(m_drop, name);
        if (::access(from.c_str(), F_OK) != 0)
            continue;
        if (!modClientFiles::Move(from, modClientFiles::Join(m_folder, name), problem))
            log("Not moved: " + problem);
        // The token and the configuration are for root's eyes only, whatever mode they came with.
        ::chmod(modClientFiles::Join(m_folder, name).c_str(), name == baseName(m_program) ? 0700 : 0600);
    }
    return true;
}

int ClientRun::converse()
{
    const std::string address = m_config["CONSOLEIP"];
    const int port = std::atoi(m_config["CONSOLEPORT"].c_str());
    std::string problem;
    if (!m_link.open(address, port, m_run.fingerprint, kConnectMs, problem)) {
        log("Refused: " + problem);
        setStatus("PE");
        return LinkFailed;
    }
    m_linked = true;
    log("Connected to the console at " + address + ":" + std::to_string(port));
    send(modProtocol::Kind::Hello, {std::to_string(modProtocol::Version), m_config["COMPUTERNAME"], m_run.token});

    modProtocol::Frame frame;
    const TlsLink::Read read = m_link.receive(frame, 2 * modProtocol::HelloSeconds * 1000);
    if (read != TlsLink::Read::Frame || frame.kind != modProtocol::Kind::Welcome) {
        log("The console did not welcome this client.");
        setStatus("PE");
        return LinkFailed;
    }
    if (frame.fields[0] != std::to_string(modProtocol::Version))
        log("The console speaks protocol " + frame.fields[0] + ", this client " + std::to_string(modProtocol::Version) + ".");
    log("Welcomed; mode " + frame.fields[1]);

    // Work starts only after what the console sent along with its welcome.
    switch (listen(0)) {
    case Heard::Cancel:
        finish("XC");
        return Done;
    case Heard::Abort:
        finish("XA");
        return Done;
    case Heard::Ended:
        return Done;
    case Heard::Lost:
        return LinkFailed;
    case Heard::Nothing:
        break;
    }
    setStatus("CL");
    // A tool that takes its time must not look like a client gone silent,
    // and an abort must not wait for it.
    Heard heardWhileWaiting = Heard::Nothing;
    struct WaitingHook
    {
        ComputerView &computer;
        ~WaitingHook() { computer.setWaiting({}); }
    } hook {m_computer};
    m_computer.setWaiting([&] {
        if (std::chrono::steady_clock::now() - m_lastSent >= std::chrono::seconds(std::max(m_run.reportingPeriod, 2)) / 2)
            keepAlive(m_run.keepAliveIncrement);
        const Heard heard = listen(0);
        if (heard == Heard::Abort || heard == Heard::Ended || heard == Heard::Lost)
            heardWhileWaiting = heard;
        return heardWhileWaiting == Heard::Nothing;
    });
    if (m_resume)
        return resumed();
    if (m_run.mode != modRunFile::ModeCheck) {
        bool aborted = false;
        const int result = work(
            [&] {
                if (heardWhileWaiting == Heard::Nothing) {
                    const Heard heard = listen(0);
                    if (heard == Heard::Abort || heard == Heard::Ended || heard == Heard::Lost)
                        heardWhileWaiting = heard;
                }
                return heardWhileWaiting == Heard::Nothing;
            },
            aborted);
        if (aborted && heardWhileWaiting == Heard::Abort)
            finish("XA");
        return aborted && heardWhileWaiting == Heard::Lost ? LinkFailed : result;
    }
    ComputerCheck check(m_computer, m_config);
    for (std::size_t step = 0; step < ComputerCheck::StepCount; ++step) {
        const Heard heard = heardWhileWaiting != Heard::Nothing ? heardWhileWaiting : listen(0);
        if (heard == Heard::Abort) {
            finish("XA");
            return Done;
        }
        if (heard == Heard::Ended || heard == Heard::Lost)
            return heard == Heard::Ended ? Done : LinkFailed;
        if (ComputerCheck::IsLong(step))
            keepAlive(m_run.keepAliveIncrement);
        else if (std::chrono::steady_clock::now() - m_lastSent > std::chrono::seconds(m_run.reportingPeriod) / 2)
            keepAlive(0);
        // What a tool stopped half-way said is no finding.
        check.runStep(step, [&](int code, const std::string &text) {
            if (heardWhileWaiting == Heard::Nothing)
                addFinding(code, text);
        });
    }
    if (heardWhileWaiting != Heard::Nothing) {
        if (heardWhileWaiting == Heard::Abort)
            finish("XA");
        return heardWhileWaiting == Heard::Lost ? LinkFailed : Done;
    }
    addFinding(modFindings::CheckComplete, std::to_string(m_findings.size()) + " findings");
    finish(outcome());
    return Done;
}

std::string ClientRun::outcome() const
{
    modFindings::Severity worst = modFindings::Severity::Information;
    for (const auto &finding : m_findings) {
        if (const modFindings::Finding *known = modFindings::Find(finding.first))
            worst = std::max(worst, known->severity);
    }
    return worst == modFindings::Severity::Error ? "PE" : worst == modFindings::Severity::Warning ? "PW" : "PS";
}

int ClientRun::work(const std::function<bool()> &stillWanted, bool &aborted)
{
    if (!m_computer.privileged()) {
        addFinding(modFindings::RightsMissing, "runs without root's rights; nothing was changed");
        finish("PE");
        return Done;
    }
    // One instance of a run at a time: delivered again while the first is
    // still at work (its engine was restarted, say), the second changes
    // nothing. The lock goes with the process, also when it is killed.
    const std::string lockPath = modClientFiles::Join(m_folder, "run.lock");
    m_lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_lock < 0 || ::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        addFinding(modFindings::RunAlreadyAtWork,
            m_lock < 0 ? "the lock " + lockPath + " cannot be opened" : "run " + m_run.run + " holds " + lockPath);
        finish("PE");
        return Done;
    }
    const std::string holder = m_run.run + " " + std::to_string(::getpid()) + "\n";
    if (::ftruncate(m_lock, 0) != 0 || ::write(m_lock, holder.data(), holder.size()) < 0)
        log("The lock does not name its holder: " + std::string(std::strerror(errno)));
    // The journal outlives the run, for its rollback, and the reboot, for its resume.
    const std::string journalFolder = m_root + "/var/lib/varno-osk/journal";
    std::string problem;
    ClientJournal journal(journalFolder);
    if (!modClientFiles::MakePrivateFolder(journalFolder, problem) || !journal.load(problem)) {
        addFinding(modFindings::RollbackFailed, "the journal: " + problem);
        finish("PE");
        return Done;
    }
    ClientMigration migration(
        m_computer, m_actions, m_config, journal, [this](int code, const std::string &text) { addFinding(code, text); },
        [this](const std::string &line) { log(line); }, stillWanted);
    if (m_run.mode == modRunFile::ModeForget) {
        if (journal.forget(problem))
            addFinding(modFindings::JournalForgotten, journal.run().empty() ? std::string("no journal") : journal.path());
        else
            addFinding(modFindings::RollbackFailed, problem);
    } else if (m_run.mode == modRunFile::ModeRollback) {
        log("Rolling back run " + (journal.run().empty() ? std::string("(none)") : journal.run()));
        migration.rollBack();
    } else {
        if (!journal.steps().empty() && !journal.complete())
            migration.undoInterrupted();
        // The next run on a computer replaces the journal of the one before;
        // the same run delivered again adds to its own, so that what it did
        // the first time can still be rolled back.
        if (journal.run() != m_run.run && !journal.forget(problem)) {
            addFinding(modFindings::RollbackFailed, problem);
            finish("PE");
            return Done;
        }
        journal.setRun(m_run.run);
        journal.setComplete(false);
        const bool whole = migration.migrate();
        journal.setComplete(true);
        if (!journal.save(problem))
            log("The journal could not be written: " + problem);
        if (!whole) {
            aborted = true;
            return Done;
        }
        migration.verify();
        addFinding(modFindings::WorkComplete, std::to_string(m_findings.size()) + " findings");
        if (migration.rebootWanted()) {
            const bool force = m_config[std::string("FORCEREBOOT")] == "1";
            std::string unitProblem;
            const std::string program = canonical(folderOf(m_program)) == canonical(m_drop)
                ? modClientFiles::Join(m_folder, baseName(m_program))
                : m_program;
            if (modClientFiles::Replace(modClientFiles::Join(m_folder, "varnoosk.resume"), outcome() + "\n", unitProblem)
                && m_actions.installResumeUnit({program, "--resume", m_folder}, unitProblem)) {
                addFinding(modFindings::Rebooting, force ? "forced" : "allowed");
                // The console waits through the reboot as long as this asks.
                keepAlive(m_run.keepAliveIncrement);
                if (m_actions.reboot(force, unitProblem)) {
                    log("Rebooting; the service resumes after it.");
                    m_keepFiles = true;
                    m_link.close();
                    return Done;
                }
                m_actions.removeResumeUnit(problem);
            }
            addFinding(modFindings::RebootFailed, unitProblem);
        }
    }
    if (!stillWanted()) {
        aborted = true;
        return Done;
    }
    finish(outcome());
    return Done;
}

int ClientRun::resumed()
{
    std::string code;
    std::string problem;
    if (!modClientFiles::ReadBounded(modClientFiles::Join(m_folder, "varnoosk.resume"), 64, code, problem))
        code = "PE";
    code = code.substr(0, code.find('\n'));
    if (code != "PS" && code != "PW" && code != "PE")
        code = "PE";
    addFinding(modFindings::Resumed, "after the reboot");
    if (!m_actions.removeResumeUnit(problem)) {
        addFinding(modFindings::RebootFailed, problem);
        code = "PE";
    }
    ::unlink(modClientFiles::Join(m_folder, "varnoosk.resume").c_str());
    finish(code);
    return Done;
}

ClientRun::Heard ClientRun::listen(int timeoutMs)
{
    modProtocol::Frame frame;
    for (;;) {
        switch (m_link.receive(frame, timeoutMs)) {
        case TlsLink::Read::Timeout:
            return Heard::Nothing;
        case TlsLink::Read::Closed:
        case TlsLink::Read::Bad:
            log("The link to the console was lost.");
            m_linked = false;
            return Heard::Lost;
        case TlsLink::Read::Frame:
            break;
        }
        switch (frame.kind) {
        case modProtocol::Kind::Cancel:
            if (m_status.empty())
                return Heard::Cancel;
            log("Cancel came after the work began; the work goes on.");
            break;
        case modProtocol::Kind::Abort:
            log("Abort requested by the console.");
            return Heard::Abort;
        case modProtocol::Kind::Ended:
            log("The console ended the run.");
            return Heard::Ended;
        default:
            break;
        }
    }
}

void ClientRun::send(modProtocol::Kind kind, std::vector<std::string> fields)
{
    if (!m_linked)
        return;
    if (!m_link.send(modProtocol::Frame {kind, std::move(fields)})) {
        log("The link to the console was lost.");
        m_linked = false;
    }
    m_lastSent = std::chrono::steady_clock::now();
}

void ClientRun::setStatus(const std::string &code)
{
    m_status = code;
    log("Status " + code);
    writeStatusFile();
    send(modProtocol::Kind::Status, {code});
}

void ClientRun::addFinding(int code, const std::string &text)
{
    const std::string cut = text.substr(0, modProtocol::MaxTextBytes);
    const modFindings::Finding *known = modFindings::Find(code);
    log(std::to_string(code) + " " + (known ? std::string(known->text) : std::string()) + " " + cut);
    m_findings.emplace_back(code, cut);
    writeStatusFile();
    send(modProtocol::Kind::Finding, {std::to_string(code), cut});
}

void ClientRun::keepAlive(int seconds)
{
    send(modProtocol::Kind::KeepAlive, {std::to_string(seconds)});
}

void ClientRun::finish(const std::string &code)
{
    setStatus(code);
    send(modProtocol::Kind::Bye);
    // The console answers Bye with Ended; a console that stays silent is not waited for long.
    const int waitMs = std::min(std::max(m_run.reportingPeriod, 1), 10) * 1000;
    if (m_linked)
        listen(waitMs);
    m_link.close();
}

void ClientRun::log(const std::string &line)
{
    char stamp[32] = "";
    const std::time_t now = std::time(nullptr);
    std::tm parts {};
    if (::gmtime_r(&now, &parts))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &parts);
    const std::string text = std::string(stamp) + " " + modProtocol::Escape(line) + "\r\n";
    if (m_log < 0 || ::write(m_log, text.data(), text.size()) < 0)
        std::fputs(text.c_str(), stderr);
}

void ClientRun::writeStatusFile()
{
    if (m_folder.empty())
        return;
    std::string problem;
    if (!modClientFiles::Replace(modClientFiles::Join(m_folder, m_run.clientStatus), modStatusFile::Compose(m_status, m_findings), problem))
        log(problem);
}

void ClientRun::shareWithLogin()
{
    // Started through sudo by a login that is not root: that login cannot
    // search root's working folder, so its drop folder gets copies of the log
    // and the status, which hold no secret. The drop folder's owner says who
    // the login is, not anything in the environment.
    if (::geteuid() != 0 || m_folder.empty() || m_drop.empty() || canonical(m_drop) == canonical(m_folder))
        return;
    const int drop = ::open(m_drop.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info
    {
    };
    if (drop < 0 || ::fstat(drop, &info) != 0 || info.st_uid == 0) {
        if (drop >= 0)
            ::close(drop);
        return;
    }
    for (const std::string &name : {m_run.clientLog, m_run.clientStatus}) {
        std::string data;
        std::string problem;
        if (!modClientFiles::ReadBounded(modClientFiles::Join(m_folder, name), modRunFile::MaxFileBytes * 16, data, problem))
            continue;
        const std::string temporary = "." + name + ".part";
        ::unlinkat(drop, temporary.c_str(), 0);
        const int file = ::openat(drop, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file < 0)
            continue;
        const bool written = ::write(file, data.data(), data.size()) == static_cast<ssize_t>(data.size())
            && ::fchown(file, info.st_uid, info.st_gid) == 0;
        ::close(file);
        if (!written || ::renameat(drop, temporary.c_str(), drop, name.c_str()) != 0)
            ::unlinkat(drop, temporary.c_str(), 0);
    }
    ::close(drop);
}

void ClientRun::removeSecrets()
{
    std::vector<std::string> paths;
    for (const std::string &folder : {m_drop, m_folder}) {
        if (folder.empty())
            continue;
        paths.push_back(modClientFiles::Join(folder, std::string(modRunFile::ConfigFileName)));
        paths.push_back(modClientFiles::Join(folder, std::string(modRunFile::FileName)));
    }
    if (canonical(folderOf(m_program)) == canonical(m_drop) || canonical(folderOf(m_program)) == canonical(m_folder)) {
        paths.push_back(modClientFiles::Join(m_drop, baseName(m_program)));
        if (!m_folder.empty())
            paths.push_back(modClientFiles::Join(m_folder, baseName(m_program)));
    }
    for (const std::string &path : paths) {
        if (::unlink(path.c_str()) == 0)
            log("Removed " + path);
    }
}

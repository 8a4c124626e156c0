#include "client/modTool.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace modTool {

namespace {

constexpr std::size_t kMaxToolOutput = 64u * 1024;
constexpr std::size_t kMaxToolInput = 4096;
// How often a running tool's wait asks whether it is still wanted.
constexpr int kWaitingMs = 250;

} // namespace

std::optional<std::string> Run(const std::string &program, const std::vector<std::string> &arguments,
    const std::function<bool()> &stillWanted, const std::string &input, const std::vector<int> &passed, int seconds)
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
        for (const int fd : passed)
            ::fcntl(fd, F_SETFD, 0);
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
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


} // namespace modTool

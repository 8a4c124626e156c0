#include "cli/Interrupts.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

Interrupts::Interrupts()
{
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = &Interrupts::handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_installed = ::sigaction(SIGINT, &action, &m_previous) == 0;
    m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
}

Interrupts::~Interrupts()
{
    m_notifier.reset();
    if (m_installed)
        ::sigaction(SIGINT, &m_previous, nullptr);
    for (int &fd : s_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

int Interrupts::take()
{
    char buffer[16];
    int count = 0;
    ssize_t got = 0;
    while ((got = ::read(s_pipe[0], buffer, sizeof buffer)) > 0)
        count += static_cast<int>(got);
    return count;
}

void Interrupts::restoreDefault()
{
    if (m_installed)
        ::sigaction(SIGINT, &m_previous, nullptr);
    m_installed = false;
}

void Interrupts::handler(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
}

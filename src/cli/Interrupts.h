#pragma once

#include <csignal>
#include <memory>

class QSocketNotifier;

// Ctrl-C reaches the event loop through a pipe: the handler may only write
// a byte, the loop reads it and decides. One at a time in a program.
class Interrupts
{
public:
    Interrupts();
    ~Interrupts();

    Interrupts(const Interrupts &) = delete;
    Interrupts &operator=(const Interrupts &) = delete;

    // Readable when Ctrl-C came; null when the handler could not be installed.
    QSocketNotifier *notifier() const { return m_notifier.get(); }

    // How many arrived since the last call.
    int take();

    // From now on Ctrl-C ends the program at once.
    void restoreDefault();

private:
    static void handler(int);

    static inline int s_pipe[2] = {-1, -1};
    struct sigaction m_previous = {};
    bool m_installed = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

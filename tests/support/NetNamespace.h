#pragma once

#include <cstdlib>
#include <optional>
#include <thread>

#include <sched.h>

// A network namespace belongs to a thread, not to the process: the work runs
// on a thread of its own in a fresh namespace, so the test's other threads
// keep the machine's network and nothing the work sends can leave it.
namespace NetNamespace {

// Runs the shell commands `setup` (ip, writes to /proc/sys/net) and then
// `work` inside a fresh network namespace with `lo` up and no other route.
// Threads that `work` starts share the namespace. Nothing when no
// namespace can be made here or the setup fails.
template<typename Work> auto Run(const char *setup, Work work) -> std::optional<decltype(work())>
{
    std::optional<decltype(work())> result;
    std::thread([&] {
        // Commands a shell runs from this thread inherit its namespace.
        if (unshare(CLONE_NEWNET) == 0 && std::system("ip link set lo up") == 0 && std::system(setup) == 0)
            result = work();
    }).join();
    return result;
}

} // namespace NetNamespace

// Reachability of a large job: 10,000 addresses, every other one answering
// (loopback addresses answer on lo) and the rest dropped (routed to a veth
// whose far end is down), all inside a network namespace this program makes
// for itself, so no echo leaves the machine.
//
// Prints the time of the whole list with 256 pings in flight and of its
// first 200 addresses one at a time, each against its ideal: the dropped
// addresses divided by the pings in flight, times the two-second timeout.
// The target is at most twice the ideal with 256 in flight. Last, the
// whole list again with every address answering, which must come back
// without a single timeout.

#include "network/ParallelPing.h"
#include "network/PingResult.h"

#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <map>

#include <sched.h>

namespace {

constexpr int kAddresses = 10000;
constexpr int kOneAtATime = 200;
constexpr int kInFlight = 256;
constexpr int kTimeoutMs = 2000;

// Before any thread starts, so every thread of the program shares it.
bool EnterNamespace()
{
    return unshare(CLONE_NEWNET) == 0
        && std::system("ip link set lo up && ip link add va type veth peer name vb && ip link set va up"
                       " && ip addr add 10.9.0.1/24 dev va"
                       " && ip neigh add 10.9.0.2 lladdr 02:00:00:00:00:02 dev va nud permanent"
                       " && ip route add 10.200.0.0/16 via 10.9.0.2 dev va")
        == 0;
}

// Every other one dropped, or all of them answering.
QStringList Addresses(int count, bool halfDropped)
{
    QStringList addresses;
    for (int i = 0; i < count; ++i) {
        const bool dropped = halfDropped && i % 2;
        const int host = halfDropped ? i / 2 : i;
        addresses << QStringLiteral("%1.%2.%3")
                         .arg(dropped ? QStringLiteral("10.200") : QStringLiteral("127.1"))
                         .arg(host / 250)
                         .arg(host % 250 + 1);
    }
    return addresses;
}

// Takes the outcomes in the list's order, as the console's ping test does,
// and prints how long they took against the ideal.
void Measure(const QStringList &addresses, int inFlight)
{
    QElapsedTimer timer;
    timer.start();
    std::map<QString, int> texts;
    {
        ParallelPing pings(addresses, inFlight, kTimeoutMs);
        for (qsizetype i = 0; i < addresses.size(); ++i) {
            std::optional<ParallelPing::Outcome> outcome;
            while (!(outcome = pings.takeNext(20))) { }
            ++texts[PingResult::Text(outcome->result).startsWith(QStringLiteral("Response")) ? QStringLiteral("Response received")
                                                                                             : PingResult::Text(outcome->result)];
        }
    }
    const double seconds = double(timer.elapsed()) / 1000;
    const qsizetype dropped = addresses.filter(QStringLiteral("10.200.")).size();
    const double ideal = double(dropped) / inFlight * kTimeoutMs / 1000;
    std::printf("%5lld addresses, %5lld dropped, %3d in flight: %8.2f s", static_cast<long long>(addresses.size()),
        static_cast<long long>(dropped), inFlight, seconds);
    if (dropped > 0)
        std::printf(", ideal %8.2f s, ratio %.2f", ideal, seconds / ideal);
    std::printf("\n");
    for (const auto &[text, count] : texts)
        std::printf("        %6d  %s\n", count, qPrintable(text));
}

} // namespace

int main()
{
    if (!EnterNamespace()) {
        std::printf("bench_ping: skipped, no network namespace can be made here (needs root and iproute2)\n");
        return 0;
    }
    const QStringList addresses = Addresses(kAddresses, true);
    Measure(addresses, kInFlight);
    Measure(addresses.first(kOneAtATime), 1);
    // Every one of these answers: a timeout among them is a reply lost in
    // the crowd of echoes under way.
    Measure(Addresses(kAddresses, false), kInFlight);
    std::printf("target: 256 in flight at most 2.00 times the ideal\n");
    return 0;
}

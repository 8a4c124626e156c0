#include "network/PingTest.h"

#include "network/ParallelPing.h"
#include "network/PingResult.h"

#include <QCoreApplication>
#include <QScopeGuard>

namespace {

// Between two looks at the outcome the caller's events run; short enough
// that the window answers at once, long enough not to spin.
constexpr int kWaitSliceMs = 20;

} // namespace

PingTest::PingTest(QObject *parent)
    : QObject(parent)
{ }

PingTest::~PingTest() = default;

void PingTest::Cancel()
{
    m_cancel = true;
    if (m_pings)
        m_pings->cancel();
}

int PingTest::Run(const QStringList &computers)
{
    m_cancel = false;
    m_failed = 0;
    m_looping = true;
    ParallelPing pings(computers, m_inFlight, TimeoutMs);
    m_pings = &pings;
    // Also when a step throws: a window that waits for the loop to end
    // would otherwise never close.
    const auto done = qScopeGuard([this] {
        m_pings = nullptr;
        m_looping = false;
    });
    Q_EMIT Line(QStringLiteral("Beginning ping test.  The status of each client will be shown below."));
    Q_EMIT Line(QStringLiteral("Please ensure that all clients are powered on and any software firewalls are configured to"));
    Q_EMIT Line(QStringLiteral("allow ping responses.  See the Help file for more information."));
    int count = 0;
    for (const QString &name : computers) {
        if (m_cancel || !pingComputer(count++, name))
            break;
    }
    if (count > 0)
        Q_EMIT Line(ClosingLine(m_cancel, count, m_failed, int(computers.size())));
    return count;
}

QString PingTest::ClosingLine(bool canceled, int visited, int failed, int total)
{
    // "Complete" alone over a test where nothing answered reads as a pass.
    if (canceled)
        return QStringLiteral("Ping test canceled after %1 of %2 computers; %3 did not answer.").arg(visited).arg(total).arg(failed);
    const QString complete = QStringLiteral("Ping test complete.  ");
    if (visited == 1)
        return complete + (failed ? QStringLiteral("The computer did not answer.") : QStringLiteral("The computer answered."));
    if (failed == 0)
        return complete + QStringLiteral("All %1 computers answered.").arg(visited);
    if (failed == visited)
        return complete + QStringLiteral("None of the %1 computers answered.").arg(visited);
    return complete + QStringLiteral("%1 of the %2 computers did not answer.").arg(failed).arg(visited);
}

bool PingTest::pingComputer(int index, const QString &name)
{
    Q_EMIT Line(QStringLiteral("Resolving IP address for ") + name + QStringLiteral(" ... "));
    QCoreApplication::processEvents();
    bool addressShown = false;
    std::optional<ParallelPing::Outcome> outcome;
    while (!(outcome = m_pings->takeNext(kWaitSliceMs))) {
        // Cancelled while the name was still being looked up: given up.
        if (m_pings->over())
            return false;
        if (!addressShown) {
            const QString address = m_pings->nextAddress();
            if (!address.isEmpty()) {
                Q_EMIT LineContinued(address + QStringLiteral(" ... pinging ... "));
                addressShown = true;
            }
        }
        QCoreApplication::processEvents();
    }
    if (!addressShown && !outcome->address.isEmpty())
        Q_EMIT LineContinued(outcome->address + QStringLiteral(" ... pinging ... "));
    Q_EMIT LineContinued(PingResult::Text(outcome->result));
    if (outcome->result < 0)
        ++m_failed;
    Q_EMIT Pinged(index, outcome->result);
    return true;
}

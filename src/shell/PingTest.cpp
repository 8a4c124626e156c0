#include "shell/PingTest.h"

#include "common/TreeImage.h"
#include "database/TreeDisplay.h"
#include "network/PingResult.h"
#include "network/modNetwork.h"

#include <QCoreApplication>
#include <QScopeGuard>

namespace {

// Depth first from the top level, as the tree shows it expanded.
QStringList computersInTreeOrder(const TreeDisplay &tree)
{
    QStringList computers;
    QStringList pending {tree.firstChildKey(QString())};
    while (!pending.isEmpty()) {
        const QString key = pending.takeLast();
        if (key.isEmpty())
            continue;
        if (key.startsWith(QLatin1Char('C')))
            computers.append(key);
        // The sibling comes after the whole subtree, so it goes below it on the stack.
        pending.append(tree.nextSiblingKey(key));
        pending.append(tree.firstChildKey(key));
    }
    return computers;
}

} // namespace

PingTest::PingTest(TreeDisplay &tree, QObject *parent)
    : QObject(parent)
    , m_tree(tree)
{ }

int PingTest::Run()
{
    m_cancel = false;
    m_looping = true;
    // Also when a step throws: a window that waits for the loop to end
    // would otherwise never close.
    const auto done = qScopeGuard([this] { m_looping = false; });
    Q_EMIT Line(QStringLiteral("Beginning ping test.  The status of each client will be shown below."));
    Q_EMIT Line(QStringLiteral("Please ensure that all clients are powered on and any software firewalls are configured to"));
    Q_EMIT Line(QStringLiteral("allow ping responses.  See the Help file for more information."));
    int count = 0;
    // Taken up front: the tree's editing commands are locked while the test runs.
    for (const QString &key : computersInTreeOrder(m_tree)) {
        if (m_cancel)
            break;
        ++count;
        pingComputer(key);
    }
    if (count > 0)
        Q_EMIT Line(m_cancel ? QStringLiteral("Ping test canceled.") : QStringLiteral("Ping test complete."));
    return count;
}

void PingTest::pingComputer(const QString &key)
{
    const QString name = m_tree.text(key);
    Q_EMIT Line(QStringLiteral("Resolving IP address for ") + name + QStringLiteral(" ... "));
    QCoreApplication::processEvents();
    qint32 result = PingResult::CannotResolve;
    const QString address = modNetwork::ResolveHost(name);
    if (!address.isEmpty()) {
        Q_EMIT LineContinued(address + QStringLiteral(" ... pinging ... "));
        QCoreApplication::processEvents();
        result = modNetwork::Ping(address, TimeoutMs);
    }
    Q_EMIT LineContinued(PingResult::Text(result));
    if (m_tree.contains(key))
        m_tree.setIcon(key, result >= 0 ? TreeImage::StatusSuccess : TreeImage::StatusErrors);
}

#include "FakeNetwork.h"

#include "common/TreeImage.h"
#include "database/MemoryTreeDisplay.h"
#include "shell/PingTest.h"

#include <QTest>

using Relation = TreeDisplay::Relation;

namespace {

const QStringList Opening {
    "Beginning ping test.  The status of each client will be shown below.",
    "Please ensure that all clients are powered on and any software firewalls are configured to",
    "allow ping responses.  See the Help file for more information.",
};

// The log as the pane shows it: continued text joins the last line.
struct Log
{
    QStringList lines;
    explicit Log(PingTest &test)
    {
        QObject::connect(&test, &PingTest::Line, [this](const QString &line) { lines.append(line); });
        QObject::connect(&test, &PingTest::LineContinued, [this](const QString &text) { lines.last() += text; });
    }
};

// The root, a group holding "pc-a" and "ghost", then "10.0.0.9" under the
// root after the group: the tree's order is not the order of the keys.
void addComputers(MemoryTreeDisplay &tree)
{
    tree.addNode(QString(), Relation::LastChild, "F-1", "Job", TreeImage::Folder);
    tree.addNode("F-1", Relation::LastChild, "C3", "10.0.0.9", TreeImage::Computer);
    tree.addNode("C3", Relation::Previous, "F1", "Lab", TreeImage::Folder);
    tree.addNode("F1", Relation::LastChild, "C7", "pc-a", TreeImage::Computer);
    tree.addNode("F1", Relation::LastChild, "C2", "ghost", TreeImage::Computer);
}

} // namespace

class TestPingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyComputerInTreeOrder()
    {
        FakeNetwork network;
        network.addresses = {{"pc-a", "10.0.0.5"}, {"10.0.0.9", "10.0.0.9"}};
        network.replies = {{"10.0.0.5", 3}};
        MemoryTreeDisplay tree;
        addComputers(tree);
        PingTest test(tree);
        Log log(test);

        QCOMPARE(test.Run(), 3);
        QCOMPARE(log.lines,
            Opening
                + (QStringList {"Resolving IP address for pc-a ... 10.0.0.5 ... pinging ... Response received 3ms",
                    "Resolving IP address for ghost ... CANNOT RESOLVE NAME",
                    "Resolving IP address for 10.0.0.9 ... 10.0.0.9 ... pinging ... REQUEST TIMED OUT", "Ping test complete."}));
        // A name that does not resolve sends no echo.
        QCOMPARE(network.pinged, (QStringList {"10.0.0.5", "10.0.0.9"}));
        QCOMPARE(tree.icon("C7"), int(TreeImage::StatusSuccess));
        QCOMPARE(tree.icon("C2"), int(TreeImage::StatusErrors));
        QCOMPARE(tree.icon("C3"), int(TreeImage::StatusErrors));
        QCOMPARE(tree.icon("F1"), int(TreeImage::Folder));
        QVERIFY(!test.Looping());
    }

    void aStopEndsBeforeTheNextComputer()
    {
        FakeNetwork network;
        network.addresses = {{"pc-a", "10.0.0.5"}, {"ghost", "10.0.0.6"}};
        MemoryTreeDisplay tree;
        addComputers(tree);
        PingTest test(tree);
        Log log(test);
        network.onEcho = [&] {
            QVERIFY(test.Looping());
            test.Cancel();
        };

        QCOMPARE(test.Run(), 1);
        QCOMPARE(log.lines.mid(3),
            (QStringList {"Resolving IP address for pc-a ... 10.0.0.5 ... pinging ... REQUEST TIMED OUT", "Ping test canceled."}));
        QCOMPARE(tree.icon("C2"), int(TreeImage::Computer));
        // The next test starts without the old request.
        network.onEcho = nullptr;
        QCOMPARE(test.Run(), 3);
        QCOMPARE(log.lines.last(), QStringLiteral("Ping test complete."));
    }

    void noComputers()
    {
        FakeNetwork network;
        MemoryTreeDisplay tree;
        tree.addNode(QString(), Relation::LastChild, "F-1", "Job", TreeImage::Folder);
        tree.addNode("F-1", Relation::LastChild, "F1", "Lab", TreeImage::Folder);
        PingTest test(tree);
        Log log(test);
        QCOMPARE(test.Run(), 0);
        QCOMPARE(log.lines, Opening);
    }
};

QTEST_GUILESS_MAIN(TestPingTest)
#include "tst_PingTest.moc"

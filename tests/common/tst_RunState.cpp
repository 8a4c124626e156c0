#include "common/RunState.h"

#include <QSignalSpy>
#include <QTest>

using State = RunState::State;
using Mode = RunState::Mode;

Q_DECLARE_METATYPE(State)

// Which command is enabled in which state, the whole table; the menus, the
// tree and the run pane read it, so their tests need not go through it again.
class TestRunState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { RunState::instance().reset(); }

    void table_data()
    {
        QTest::addColumn<State>("state");
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<bool>("idle");
        // One mark per command in the order of RunState::Command; the blanks
        // only group them: editing (20), tests (5), migration (4), then
        // Cancel, Done and the tree's pop-up.
        QTest::addColumn<QString>("enabled");
        const auto row = [](const char *name, State state, Mode mode, bool idle, const char *marks) {
            QTest::newRow(name) << state << mode << idle << QString::fromLatin1(marks).remove(QLatin1Char(' '));
        };
        row("editing", State::Editing, Mode::Migration, true, "xxxxxxxxxxxxxxxxxxxx   xx.x. ....  ..x");
        row("migrating", State::Migrating, Mode::Migration, false, "....................   ..... xxxx  x.x");
        row("nothing to cancel", State::NothingToCancel, Mode::Migration, false, "....................   ..... .x.x  ..x");
        row("aborting", State::Aborting, Mode::Migration, false, "....................   ..... ....  ..x");
        row("complete", State::MigrationComplete, Mode::Migration, true, "................x...   ..... ....  .xx");
        row("network test", State::NetworkTest, Mode::NetworkTest, true, "....................   x...x ....  x..");
        row("network test answered", State::NetworkTestAnswered, Mode::NetworkTest, true, "....................   x...x ....  .x.");
        row("ping test", State::PingTest, Mode::PingTest, true, "....................   x.x.. ....  x..");
        row("ping test ended", State::PingTestEnded, Mode::PingTest, true, "....................   x.... ....  .x.");
        row("client check", State::ClientCheck, Mode::ClientCheck, false, "....................   ..... xxxx  ..x");
    }

    void table()
    {
        QFETCH(State, state);
        QFETCH(Mode, mode);
        QFETCH(bool, idle);
        QFETCH(QString, enabled);
        QCOMPARE(enabled.size(), RunState::CommandCount);
        QString found;
        for (int command = 0; command < RunState::CommandCount; ++command)
            found += RunState::isEnabled(state, RunState::Command(command)) ? QLatin1Char('x') : QLatin1Char('.');
        QCOMPARE(found, enabled);
        QCOMPARE(RunState::mode(state), mode);
        QCOMPARE(RunState::migrationIdle(state), idle);
    }

    // Each transition from where it may start; from anywhere else it
    // changes nothing and says nothing.
    void transitions_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<State>("state");
        QTest::addColumn<int>("changes");
        QTest::newRow("a whole migration") << "migrate last complete" << State::MigrationComplete << 3;
        QTest::newRow("a cancel, then an abort") << "migrate cancel cancel abort complete" << State::MigrationComplete << 4;
        QTest::newRow("aborting stays") << "migrate abort last abort" << State::Aborting << 2;
        QTest::newRow("complete only from a run") << "complete ping migrate network" << State::PingTest << 1;
        QTest::newRow("a network test answered") << "network received received" << State::NetworkTestAnswered << 2;
        QTest::newRow("a ping test to its end") << "ping pinged pinged" << State::PingTestEnded << 2;
        QTest::newRow("a check locks the tests out") << "check ping migrate" << State::ClientCheck << 1;
        QTest::newRow("a failed start") << "migrate editing editing ping" << State::PingTest << 3;
    }

    void transitions()
    {
        QFETCH(QString, steps);
        QFETCH(State, state);
        QFETCH(int, changes);
        RunState &run = RunState::instance();
        QSignalSpy changed(&run, &RunState::changed);
        const QHash<QString, bool (RunState::*)()> step {{"migrate", &RunState::startMigration}, {"last", &RunState::nothingLeftToCancel},
            {"cancel", &RunState::nothingLeftToCancel}, {"abort", &RunState::abortSent}, {"complete", &RunState::processingComplete},
            {"network", &RunState::startNetworkTest}, {"received", &RunState::testReceived}, {"ping", &RunState::startPingTest},
            {"pinged", &RunState::pingTestEnded}, {"check", &RunState::startClientCheck}};
        for (const QString &name : steps.split(QLatin1Char(' ')))
            name == QLatin1String("editing") ? run.backToEditing() : void((run.*step.value(name))());
        QCOMPARE(run.state(), state);
        QCOMPARE(int(changed.size()), changes);
        // Each change names the state it left: where the one before went.
        for (qsizetype i = 1; i < changed.size(); ++i)
            QCOMPARE(changed.at(i).at(1).value<State>(), changed.at(i - 1).at(0).value<State>());
    }
};

QTEST_GUILESS_MAIN(TestRunState)
#include "tst_RunState.moc"

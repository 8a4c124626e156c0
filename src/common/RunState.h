#pragma once

#include <QObject>

// What the console is running, and so which of its commands may go now.
// One owner for the whole program: the engine interface, the run, the two
// tests and the window change it only through the transitions below, each
// of which says so with changed(); the menus, the tree's gestures, the
// settings panel, the run pane and `vo run` ask isEnabled() instead of
// keeping their own idea of it.
//
// Which command is enabled in which state is one table (RunState.cpp): a
// state the engine adds is one more row there and one more value here.
class RunState : public QObject
{
    Q_OBJECT

public:
    enum class State : quint8 {
        Editing,
        Migrating,
        // The engine has started its last client, or every client not yet
        // started was canceled: nothing is left to cancel.
        NothingToCancel,
        // Every client was told to abort; the run winds down.
        Aborting,
        // Processing is complete; the outcome stays in view until Done.
        MigrationComplete,
        NetworkTest,
        // A client reached the listener; Done ends the test.
        NetworkTestAnswered,
        PingTest,
        // The ping test went through its computers or was stopped; Done ends it.
        PingTestEnded,
        // The engine checks each client on its own computer (the readiness
        // report's check on the clients); the report follows its end.
        ClientCheck,
    };
    static constexpr int StateCount = int(State::ClientCheck) + 1;

    // The run mode the console has always kept: 0 migration, 1 network test,
    // 2 ping test; 3 a check on the clients; editing counts as 0.
    enum class Mode : quint8 {
        Migration = 0,
        NetworkTest = 1,
        PingTest = 2,
        ClientCheck = 3,
    };

    enum class Command : quint8 {
        // Editing the job: the tree, the panel and the files.
        NewComputer,
        NewGroup,
        Rename,
        Delete,
        Move,
        Refresh,
        EditSettings,
        NewSettings,
        Save,
        SaveAs,
        Load,
        Import,
        SetupWizard,
        Configuration,
        ReadinessReport,
        NewJobFromUnfinished,
        SaveRunReport,
        StartMigration,
        // Tools > Waves... and Set Wave: the run reads the waves as they
        // stood at its start, so they change only while editing.
        EditWaves,
        // Edit > Undo and Redo: the history takes the job back only as it
        // is edited, never under a run.
        Undo,
        // The tests.
        TestsMenu,
        PingStart,
        PingStop,
        NetworkTestStart,
        NetworkTestStop,
        // A migration under way.
        CancelMigration,
        AbortMigration,
        CancelClient,
        AbortClient,
        // The buttons under the progress log: Cancel stops a test too.
        Cancel,
        Done,
        TreePopup,
    };
    static constexpr int CommandCount = int(Command::TreePopup) + 1;

    static RunState &instance();

    State state() const { return m_state; }
    bool isEnabled(Command command) const { return isEnabled(m_state, command); }
    static bool isEnabled(State state, Command command);

    // A run or a test goes on, or waits for Done: no editing.
    bool running() const { return m_state != State::Editing; }
    // No migration is under way, so the console may exit without a warning.
    bool migrationIdle() const { return migrationIdle(m_state); }
    static bool migrationIdle(State state);
    Mode mode() const { return mode(m_state); }
    static Mode mode(State state);

    // The transitions. Each one leaves a state it does not start from
    // alone and returns false.
    bool startMigration();
    bool nothingLeftToCancel();
    bool abortSent();
    bool processingComplete();
    bool startNetworkTest();
    bool testReceived();
    bool startPingTest();
    bool pingTestEnded();
    bool startClientCheck();
    // From anywhere: Done, a run that could not start, a failing engine, a test stopped.
    void backToEditing();

    // A fresh start (tests).
    void reset() { backToEditing(); }

Q_SIGNALS:
    void changed(RunState::State state, RunState::State previous);

private:
    RunState() = default;
    bool move(State to, std::initializer_list<State> from);

    State m_state = State::Editing;
};

#include "common/RunState.h"

#include <algorithm>
#include <iterator>

namespace {

using State = RunState::State;
using Mode = RunState::Mode;
using C = RunState::Command;

constexpr quint64 commands(std::initializer_list<C> list)
{
    quint64 bits = 0;
    for (const C command : list)
        bits |= quint64(1) << int(command);
    return bits;
}

static_assert(RunState::CommandCount <= 64, "one bit per command");

struct Row
{
    State state;
    Mode mode;
    // False only while clients are being migrated: leaving then may leave them unusable.
    bool migrationIdle;
    quint64 enabled;
};

// Which command may go in which state. A run or a test locks everything
// that changes the job or starts something else; a migration keeps the
// tree's pop-up for its client commands, a test does not.
constexpr Row kRows[] = {
    {State::Editing, Mode::Migration, true,
        commands({C::NewComputer, C::NewGroup, C::Rename, C::Delete, C::Move, C::Refresh, C::EditSettings, C::NewSettings, C::Save,
            C::SaveAs, C::Load, C::Import, C::SetupWizard, C::Configuration, C::ReadinessReport, C::NewJobFromUnfinished, C::SaveRunReport,
            C::StartMigration, C::EditWaves, C::Undo, C::TestsMenu, C::PingStart, C::NetworkTestStart, C::TreePopup})},
    {State::Migrating, Mode::Migration, false,
        commands({C::CancelMigration, C::AbortMigration, C::CancelClient, C::AbortClient, C::Cancel, C::TreePopup})},
    {State::NothingToCancel, Mode::Migration, false, commands({C::AbortMigration, C::AbortClient, C::TreePopup})},
    {State::Aborting, Mode::Migration, false, commands({C::TreePopup})},
    {State::MigrationComplete, Mode::Migration, true, commands({C::Done, C::SaveRunReport, C::TreePopup})},
    {State::NetworkTest, Mode::NetworkTest, true, commands({C::TestsMenu, C::NetworkTestStop, C::Cancel})},
    {State::NetworkTestAnswered, Mode::NetworkTest, true, commands({C::TestsMenu, C::NetworkTestStop, C::Done})},
    {State::PingTest, Mode::PingTest, true, commands({C::TestsMenu, C::PingStop, C::Cancel})},
    {State::PingTestEnded, Mode::PingTest, true, commands({C::TestsMenu, C::Done})},
    // The clients are reached and run the check: leaving unasked would leave
    // them waiting for a console that is gone.
    {State::ClientCheck, Mode::ClientCheck, false, commands({C::CancelMigration, C::AbortMigration, C::CancelClient, C::AbortClient, C::TreePopup})},
};

static_assert(std::size(kRows) == RunState::StateCount, "one row per state");
static_assert(std::ranges::all_of(kRows, [](const Row &row) { return &row - kRows == int(row.state); }), "rows in the order of State");

const Row &row(State state)
{
    return kRows[int(state)];
}

constexpr std::initializer_list<State> kMigration {State::Migrating, State::NothingToCancel, State::Aborting};

} // namespace

RunState &RunState::instance()
{
    static RunState s_instance;
    return s_instance;
}

bool RunState::isEnabled(State state, Command command)
{
    return (row(state).enabled >> int(command)) & 1;
}

bool RunState::migrationIdle(State state)
{
    return row(state).migrationIdle;
}

RunState::Mode RunState::mode(State state)
{
    return row(state).mode;
}

bool RunState::move(State to, std::initializer_list<State> from)
{
    if (std::ranges::find(from, m_state) == from.end())
        return false;
    const State previous = m_state;
    m_state = to;
    if (previous != to)
        Q_EMIT changed(to, previous);
    return true;
}

bool RunState::startMigration()
{
    return move(State::Migrating, {State::Editing});
}

bool RunState::nothingLeftToCancel()
{
    return move(State::NothingToCancel, {State::Migrating, State::NothingToCancel});
}

bool RunState::abortSent()
{
    return move(State::Aborting, {State::Migrating, State::NothingToCancel});
}

bool RunState::processingComplete()
{
    return move(State::MigrationComplete, kMigration);
}

bool RunState::startNetworkTest()
{
    return move(State::NetworkTest, {State::Editing});
}

bool RunState::testReceived()
{
    return move(State::NetworkTestAnswered, {State::NetworkTest, State::NetworkTestAnswered});
}

bool RunState::startPingTest()
{
    return move(State::PingTest, {State::Editing});
}

bool RunState::pingTestEnded()
{
    return move(State::PingTestEnded, {State::PingTest});
}

bool RunState::startClientCheck()
{
    return move(State::ClientCheck, {State::Editing});
}

void RunState::backToEditing()
{
    const State previous = m_state;
    m_state = State::Editing;
    if (previous != State::Editing)
        Q_EMIT changed(m_state, previous);
}

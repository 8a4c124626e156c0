#include "common/AppState.h"

#include "common/RunState.h"

namespace AppState {

namespace {
State s_state;
}

State &Get()
{
    return s_state;
}

void Reset()
{
    s_state = State();
    RunState::instance().reset();
}

} // namespace AppState

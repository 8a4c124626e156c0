#include "common/AppState.h"

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
}

} // namespace AppState

#pragma once

#include <functional>
#include <memory>

class QXEHandler;

// The one place that decides which engine the console drives: the engine
// program in its migrate mode (RemoteEngine) when the registry value Engine
// chooses "ssh", else the simulated engine, which only rehearses.
namespace modEngine {

using Factory = std::function<std::unique_ptr<QXEHandler>()>;

// `rehearse` (vo run --rehearsal) takes the simulated engine whatever the
// registry says.
std::unique_ptr<QXEHandler> CreateHandler(bool rehearse = false);

// Replaces the engine that CreateHandler makes (tests, benchmarks); an empty
// factory restores the default.
void SetFactory(Factory factory);

} // namespace modEngine

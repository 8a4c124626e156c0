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
// The console's side of an engine program already running, to attach to:
// only such a program outlives a console, whatever the registry says now.
std::unique_ptr<QXEHandler> CreateAttachHandler();

// The engine program in its rollback mode, or with `forget` in the mode that
// removes the clients' journals. Whatever the registry says: a rollback
// always reaches the clients, and no rehearsal has anything to reverse.
std::unique_ptr<QXEHandler> CreateRollbackHandler(bool forget);

// Replaces the engine that CreateHandler makes (tests, benchmarks); an empty
// factory restores the default. The factory makes the rollback's engine too.
void SetFactory(Factory factory);

} // namespace modEngine

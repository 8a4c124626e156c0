#pragma once

#include <functional>
#include <memory>

class QXEHandler;

// The one place that decides which engine the console drives. Today it is
// the simulated engine; a real Handler binds here and nowhere else.
namespace modEngine {

using Factory = std::function<std::unique_ptr<QXEHandler>()>;

std::unique_ptr<QXEHandler> CreateHandler();

// Replaces the engine that CreateHandler makes (tests, benchmarks); an empty
// factory restores the default.
void SetFactory(Factory factory);

} // namespace modEngine

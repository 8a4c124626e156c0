#include "engine/modEngine.h"

#include "engine/SimulatedEngine.h"

namespace modEngine {

namespace {
Factory &installedFactory()
{
    static Factory factory;
    return factory;
}
} // namespace

std::unique_ptr<QXEHandler> CreateHandler()
{
    if (const Factory &factory = installedFactory())
        return factory();
    return std::make_unique<SimulatedEngine>();
}

void SetFactory(Factory factory)
{
    installedFactory() = std::move(factory);
}

} // namespace modEngine

#include "engine/modEngine.h"

#include "common/modRehearsal.h"
#include "engine/RemoteEngine.h"
#include "engine/SimulatedEngine.h"

namespace modEngine {

namespace {
Factory &installedFactory()
{
    static Factory factory;
    return factory;
}
} // namespace

std::unique_ptr<QXEHandler> CreateHandler(bool rehearse)
{
    if (const Factory &factory = installedFactory())
        return factory();
    if (!rehearse && modRehearsal::Chosen() == modRehearsal::Choice::Ssh)
        return std::make_unique<RemoteEngine>(QString::fromLatin1(modEngineLink::ModeMigrate));
    return std::make_unique<SimulatedEngine>();
}

std::unique_ptr<QXEHandler> CreateAttachHandler()
{
    return std::make_unique<RemoteEngine>(QString::fromLatin1(modEngineLink::ModeMigrate));
}

std::unique_ptr<QXEHandler> CreateRollbackHandler(bool forget)
{
    if (const Factory &factory = installedFactory())
        return factory();
    return std::make_unique<RemoteEngine>(QString::fromLatin1(forget ? modEngineLink::ModeForget : modEngineLink::ModeRollback));
}

void SetFactory(Factory factory)
{
    installedFactory() = std::move(factory);
}

} // namespace modEngine

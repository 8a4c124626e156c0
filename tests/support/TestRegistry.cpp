#include "support/TestRegistry.h"

#include "common/SqliteRegistryStore.h"
#include "common/modRegistry.h"

TestRegistry::TestRegistry()
    : m_path(m_dir.filePath(QStringLiteral("registry.db")))
    , m_previousEnvironment(qgetenv("VARNO_OSK_REGISTRY"))
{
    qputenv("VARNO_OSK_REGISTRY", m_path.toLocal8Bit());
    modRegistry::SetStore(std::make_unique<SqliteRegistryStore>(m_path));
}

TestRegistry::~TestRegistry()
{
    modRegistry::SetStore(nullptr);
    qputenv("VARNO_OSK_REGISTRY", m_previousEnvironment);
}

// Registry key paths as vo reg takes them from the command line: parsed and
// opened, and some created and removed again on a store of its own, so that
// the store stays small over millions of runs.
#include "common/SqliteRegistryStore.h"
#include "common/modRegistry.h"

#include <QDir>
#include <QHash>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

SqliteRegistryStore &store()
{
    // In memory where the system offers it: each created key is a write
    // transaction, and a flush to a real disk per run would slow the fuzzer
    // to a crawl.
    static QTemporaryDir folder(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/vo-fuzz-XXXXXX")
                                                                          : QDir::tempPath() + QStringLiteral("/vo-fuzz-XXXXXX"));
    static SqliteRegistryStore instance(folder.filePath(QStringLiteral("registry.db")));
    return instance;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    RegKey root = Reg::NoKey;
    QString subKey;
    if (modRegistry::ParseKeyPath(path, root, subKey) != 0 || root == Reg::NoKey)
        return 0;

    SqliteRegistryStore &registry = store();
    RegKey key = Reg::NoKey;
    if (registry.openKey(root, subKey, Reg::KeyRead, &key) == Reg::Success)
        registry.closeKey(key);
    // A write costs a transaction on a file: one input in 32, chosen by its
    // bytes so that a finding replays, creates its key. Only as deep as
    // Windows allows: the store cannot remove a deeper chain yet (SQLite's
    // cascade stops at 1,000 levels), and the chains that stay would make
    // every later run slower.
    constexpr int deepestKey = 512;
    if (qHash(path) % 32 != 0 || subKey.count(QLatin1Char('\\')) >= deepestKey || registry.createKey(root, subKey, &key) != Reg::Success)
        return 0;
    QString name;
    registry.keyName(key, &name);
    registry.closeKey(key);
    const QString top = subKey.section(QLatin1Char('\\'), 0, 0);
    if (!top.isEmpty())
        registry.deleteTree(root, top);
    return 0;
}

#include "common/AssociatedOpener.h"

#include "common/CommandOpener.h"
#include "common/XdgOpener.h"

#include <QFileInfo>

namespace {

class PlatformOpener final : public AssociatedOpener
{
public:
    int open(const QString &path, const QString &workingFolder) override { return Platform()->open(path, workingFolder); }
};

AssociatedOpener *s_opener = nullptr;

} // namespace

AssociatedOpener &AssociatedOpener::current()
{
    static PlatformOpener platform;
    return s_opener ? *s_opener : platform;
}

AssociatedOpener *AssociatedOpener::install(AssociatedOpener *opener)
{
    AssociatedOpener *previous = s_opener;
    s_opener = opener;
    return previous;
}

std::unique_ptr<AssociatedOpener> AssociatedOpener::Platform()
{
    const QString command = qEnvironmentVariable("VARNO_OSK_OPENER");
    if (!command.trimmed().isEmpty())
        return std::make_unique<CommandOpener>(command);
    return std::make_unique<XdgOpener>();
}

int AssociatedOpener::CheckTarget(const QString &path)
{
    const QFileInfo target(path);
    if (path.endsWith(QLatin1Char('/')))
        return target.isDir() ? Opened : PathNotFound;
    if (!target.exists()) {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash >= 0 && !QFileInfo(path.left(slash + 1)).isDir())
            return PathNotFound;
        return FileNotFound;
    }
    // A folder that cannot be listed is as closed as a file that cannot be read.
    if (!target.isReadable() || (target.isDir() && !target.isExecutable()))
        return AccessDenied;
    return Opened;
}

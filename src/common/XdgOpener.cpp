#include "common/XdgOpener.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <utility>

namespace {

// xdg-mime is a small shell script; a desktop that takes longer than this
// to answer is taken to have no association rather than to hang the window.
constexpr int QueryTimeoutMs = 5000;

QString QueryDefaultApplication(const QString &mimeType)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (program.isEmpty())
        return QString();
    QProcess query;
    query.start(program, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForFinished(QueryTimeoutMs)) {
        query.kill();
        query.waitForFinished();
        return QString();
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

} // namespace

XdgOpener::XdgOpener()
    : XdgOpener(SessionDesktop())
{ }

XdgOpener::XdgOpener(Desktop desktop)
    : m_desktop(std::move(desktop))
{ }

XdgOpener::Desktop XdgOpener::SessionDesktop()
{
    Desktop desktop;
    desktop.OpenProgram = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    desktop.DefaultApplication = QueryDefaultApplication;
    desktop.StartDetached = [](const QString &program, const QStringList &arguments, const QString &workingFolder) {
        return QProcess::startDetached(program, arguments, workingFolder);
    };
    return desktop;
}

QStringList XdgOpener::MimeTypes(const QString &path)
{
    const QMimeDatabase database;
    const QMimeType type
        = QFileInfo(path).isDir() ? database.mimeTypeForName(QStringLiteral("inode/directory")) : database.mimeTypeForFile(path);
    if (!type.isValid())
        return {};
    QStringList types {type.name()};
    types.append(type.allAncestors());
    // Every type derives from application/octet-stream; a program for any
    // bytes (a hex viewer, an archiver) is no program for a log.
    if (types.size() > 1)
        types.removeAll(QStringLiteral("application/octet-stream"));
    return types;
}

int XdgOpener::open(const QString &path, const QString &workingFolder)
{
    const int check = CheckTarget(path);
    if (check != Opened)
        return check;
    // Without xdg-open nothing on this desktop opens anything.
    if (m_desktop.OpenProgram.isEmpty())
        return NoAssociation;
    const QStringList types = MimeTypes(path);
    const bool associated
        = std::any_of(types.cbegin(), types.cend(), [this](const QString &type) { return !m_desktop.DefaultApplication(type).isEmpty(); });
    if (!associated)
        return NoAssociation;
    return m_desktop.StartDetached(m_desktop.OpenProgram, {path}, workingFolder) ? Opened : NotStarted;
}

#include "shell/modHelp.h"

#include "common/modErrorHandler.h"
#include "common/modShell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace modHelp {

QStringList GuideFolderCandidates()
{
    QStringList folders;
    QString programFolder;
    if (QCoreApplication::instance())
        programFolder = QCoreApplication::applicationDirPath();
    else
        programFolder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
    if (!programFolder.isEmpty())
        folders.append(QDir::cleanPath(programFolder + QStringLiteral("/../") + QStringLiteral(VO_GUIDE_INSTALL_SUBDIR)));
    folders.append(QDir::cleanPath(QStringLiteral(VO_GUIDE_SOURCE_DIR)));
    return folders;
}

QString GuideFolder()
{
    const QStringList folders = GuideFolderCandidates();
    for (const QString &folder : folders) {
        if (QFileInfo(folder + QLatin1Char('/') + ContentsPage).isFile())
            return folder;
    }
    return QString();
}

QUrl GuidePage(const QString &page)
{
    const QString folder = GuideFolder();
    if (folder.isEmpty())
        return QUrl();
    return QUrl::fromLocalFile(folder + QLatin1Char('/') + page);
}

bool ShowHelpPage(const QString &page)
{
    const QUrl url = GuidePage(page);
    if (url.isEmpty()) {
        modErrorHandler::ShowMessage(modErrorHandler::Error,
            QStringLiteral("The Varno-Osk user guide could not be found.") + QLatin1Char('\r')
                + QStringLiteral("It is installed with the program, in ") + GuideFolderCandidates().constFirst() + QStringLiteral("."));
        return false;
    }
    const QString reason = modShell::OpenAssociated(url.toLocalFile());
    if (!reason.isEmpty()) {
        modErrorHandler::ShowMessage(modErrorHandler::Error,
            QStringLiteral("The user guide could not be opened in a web browser.") + QLatin1Char('\r') + reason + QLatin1Char('\r')
                + QStringLiteral("You can open it yourself: ") + url.toLocalFile());
        return false;
    }
    return true;
}

} // namespace modHelp

#pragma once

#include "common/AssociatedOpener.h"

#include <QStringList>

#include <functional>

// Opens with the desktop's associated program through `xdg-open`. The
// association is looked up first: xdg-open, finding none, would still start
// and fail on its own, or fall back to a browser, and the administrator
// would never hear why nothing opened.
class XdgOpener final : public AssociatedOpener
{
public:
    // What the desktop offers; tests hand in their own.
    struct Desktop
    {
        // The path of xdg-open; empty when it is not installed.
        QString OpenProgram;
        // The desktop entry of the program that opens a MIME type, empty for
        // none (`xdg-mime query default`).
        std::function<QString(const QString &mimeType)> DefaultApplication;
        // Starts the program without waiting for it; false when it did not start.
        std::function<bool(const QString &program, const QStringList &arguments, const QString &workingFolder)> StartDetached;
    };

    // The real desktop of this session.
    XdgOpener();
    explicit XdgOpener(Desktop desktop);

    int open(const QString &path, const QString &workingFolder) override;

    static Desktop SessionDesktop();

    // The MIME type of the file or folder and the ones it derives from, most
    // particular first: a program for text/plain opens a text/x-log too.
    static QStringList MimeTypes(const QString &path);

private:
    Desktop m_desktop;
};

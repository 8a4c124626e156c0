#pragma once

#include <QUrl>

// Hands a document to the desktop: the browser for the user guide, the
// associated program for a log. The console installs one built on the
// desktop's services; tests install one that records what would have opened.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;

    // True when the desktop took the document.
    virtual bool openUrl(const QUrl &url) = 0;

    // The opener installed, else one that opens nothing and says so by
    // answering false (no desktop at all, as in the vo command).
    static UrlOpener &current();
    // The caller keeps the opener alive; nullptr restores the default.
    static void install(UrlOpener *opener);
};

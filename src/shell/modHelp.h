#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// The user guide: HTML pages installed with the program and opened in the
// desktop's browser.
namespace modHelp {

inline const QString ContentsPage = QStringLiteral("index.html");
inline const QString GettingStartedPage = QStringLiteral("getting-started.html");

// Where the guide may be, in the order they are tried: beside an installed
// program (<prefix>/share/doc/varno-osk/guide), then the source tree the program
// was built from, so that a developer's build finds it without installing.
QStringList GuideFolderCandidates();
// The first candidate that holds the contents page; empty when none does.
QString GuideFolder();
// The page's file URL; empty when the guide is not found.
QUrl GuidePage(const QString &page);

// Opens the page with the program the desktop opens HTML with, normally its
// browser. Tells the administrator when the guide is missing or the desktop
// would not open it; answers whether it opened.
bool ShowHelpPage(const QString &page);

} // namespace modHelp

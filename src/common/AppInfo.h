#pragma once

#include <QString>

// What the program says about itself: the values a Windows build keeps in its
// version resource. Message boxes use the title as their caption, error
// reports name the company, the About box shows version and legal notice.
namespace AppInfo {

QString Title();          // "Varno-Osk"
QString WindowTitle();    // "Varno-Osk - Profile Migration System"
QString CompanyName();    // "Brindlewood"
QString LegalCopyright();
int VersionMajor();
int VersionMinor();
int VersionRevision();
QString VersionText();    // "1.0.0"

} // namespace AppInfo

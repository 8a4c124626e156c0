#include "common/AppInfo.h"

namespace AppInfo {

QString Title()
{
    return QStringLiteral("Varno-Osk");
}

QString WindowTitle()
{
    return QStringLiteral("Varno-Osk - Profile Migration System");
}

QString CompanyName()
{
    return QStringLiteral("Brindlewood");
}

QString LegalCopyright()
{
    return QStringLiteral("Copyright \u00A9 Brindlewood. Free software under the GNU GPL, version 3 or later.");
}

int VersionMajor()
{
    return VO_VERSION_MAJOR;
}

int VersionMinor()
{
    return VO_VERSION_MINOR;
}

int VersionRevision()
{
    return VO_VERSION_PATCH;
}

QString VersionText()
{
    return QStringLiteral(VO_VERSION_STRING);
}

} // namespace AppInfo

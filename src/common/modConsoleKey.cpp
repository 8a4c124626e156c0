#include "common/modConsoleKey.h"

#include "common/AppInfo.h"
#include "common/AppState.h"
#include "common/modErrorHandler.h"
#include "common/modRegistry.h"

namespace modConsoleKey {

namespace {

const QString kCompanyParent = QStringLiteral("HKCU\\Software");

bool createKey(const QString &name, const QString &parentPath)
{
    RegKey key = Reg::NoKey;
    if (modRegistry::CreateKey(name, Reg::NoKey, parentPath, QString(), key) != Reg::Success)
        return false;
    modRegistry::CloseKey(key);
    return true;
}

} // namespace

bool Prepare()
{
    const QString company = AppInfo::CompanyName();
    if (!createKey(company, kCompanyParent)) {
        modErrorHandler::ShowMessage(
            modErrorHandler::Error, QStringLiteral("Failed to create the HKCU\\Software\\") + company + QStringLiteral(" registry key."));
        return false;
    }

    const QString companyPath = kCompanyParent + QLatin1Char('\\') + company;
    if (!createKey(AppInfo::Title(), companyPath)) {
        modErrorHandler::ShowMessage(modErrorHandler::Error,
            QStringLiteral("Failed to create the ") + companyPath + QLatin1Char('\\') + AppInfo::Title()
                + QStringLiteral(" registry key."));
        return false;
    }

    AppState::Get().AppKeyPath = companyPath + QLatin1Char('\\') + AppInfo::Title();
    return true;
}

} // namespace modConsoleKey

#include "engine/ComputerDBJobExport.h"

#include "common/AppState.h"
#include "common/modErrorHandler.h"
#include "database/ComputerDB.h"
#include "engine/JobArray.h"
#include "engine/TranslationArray.h"

#include <QVariantList>

namespace {

const QString kComputerType = QStringLiteral("C");
const QString kComma = QStringLiteral(",");
const QString kBackslash = QStringLiteral("\\");

QString localToName(const QString &domain, const QString &computerName)
{
    return domain == LocalAccountDomain ? computerName : domain;
}

// The same for every client; built once, shared by every row.
const QVariant &filesToCopy()
{
    static const QVariant files = QVariantList {
        QStringLiteral("vbin.dat"),
        QStringLiteral("varno.exe"),
        QStringLiteral("obin.dat"),
        QStringLiteral("osk.exe"),
    };
    return files;
}

const QVariant &servicesToInstall()
{
    // Executable, display name, start type (3 on demand, 2 automatic), then
    // three values whose meaning is the engine's.
    static const QVariant services = QVariantList {
        QVariantList {QStringLiteral("varno.exe"), QStringLiteral("Varno-Osk Service (Varno)"), qint32(3), true, QString(), QString()},
        QVariantList {QStringLiteral("osk.exe"), QStringLiteral("Varno-Osk Service (Osk)"), qint32(2), false, QString(), QString()},
    };
    return services;
}

} // namespace

ComputerDBJobExport::ComputerDBJobExport(ComputerDB &database)
    : m_database(database)
{ }

QString ComputerDBJobExport::ConfigFileName()
{
    return QStringLiteral("varnoosk.cfg");
}

void ComputerDBJobExport::ExportArrays(
    JobArray &clientArray, JobArray &settingsArray, TranslationArray &translationArray, const ConfigFileWriter &createConfigFile)
{
    int rows = 0;
    const bool completed = modErrorHandler::Guard("ComputerDB.ExportArrays", [&] {
        const int count = m_database.ComputerCount();
        AppState::Get().ExportComputerCount = count;
        if (count == 0)
            return;

        clientArray.Create(ClientColumns, count);
        settingsArray.Create(SettingsColumns, count);
        translationArray.Create(count);
        for (int id = 0; id < count; ++id) {
            const ComputerRecord *computer = m_database.Computers(id);
            if (!computer || !computer->Active)
                continue;
            ++rows;
            translationArray[rows] = id;
            exportRow(rows, id, clientArray, settingsArray, createConfigFile);
        }
        clientArray.ShrinkRows(rows);
        settingsArray.ShrinkRows(rows);
        translationArray.ShrinkRows(rows);
    });

    if (!completed || (rows == 0 && AppState::Get().ExportComputerCount > 0)) {
        clientArray.Create(ClientColumns, 0);
        settingsArray.Create(SettingsColumns, 0);
        translationArray.Create(0);
        AppState::Get().ExportComputerCount = 0;
    }
}

void ComputerDBJobExport::exportRow(
    int row, int id, JobArray &clientArray, JobArray &settingsArray, const ConfigFileWriter &createConfigFile)
{
    const QString name = m_database.GetComputerName(id);
    clientArray.Cell(1, row) = name;

    QString sourceKey;
    const GlobalSettingsPtr settings = m_database.GetEffectiveSettings(kComputerType, id, sourceKey);
    if (!settings)
        modErrorHandler::Raise(91);

    QString domain;
    QString username;
    QString password;
    settings->GetUserSettings(AdminA, domain, username, password);
    clientArray.Cell(2, row) = localToName(domain, name);
    clientArray.Cell(3, row) = username;
    clientArray.Cell(4, row) = password;
    settings->GetUserSettings(AdminB, domain, username, password);
    clientArray.Cell(5, row) = localToName(domain, name);
    clientArray.Cell(6, row) = username;
    clientArray.Cell(7, row) = password;

    settingsArray.Cell(2, row) = localToName(settings->SourceDomain, name);
    settingsArray.Cell(9, row) = localToName(settings->DestinationDomain, name);

    // The separator goes before every entry after the list's first, whatever
    // the kinds, so a list of one kind gives plain comma-separated names.
    QString sourceUsers;
    QString sourceSIDs;
    QString destinationUsers;
    if (const UserProfilesPtr list = m_database.GetComputerUserList(id)) {
        bool first = true;
        for (int entryID = 0; entryID < list->GetMaxID(); ++entryID) {
            const std::optional<MigrationUserView> entry = list->ViewUser(entryID);
            if (!entry)
                continue;
            const QString &separator = first ? QString() : kComma;
            first = false;
            // Only user and SID sources to a user name travel; a destination
            // SID is not something the clients are given.
            if (!entry->UseSIDTo) {
                if (entry->UseSIDFrom)
                    sourceSIDs.append(separator).append(entry->SIDFrom.toString());
                else
                    sourceUsers.append(separator).append(entry->UsernameFrom.toString());
            }
            destinationUsers.append(separator).append(entry->UsernameTo.toString());
        }
    }
    settingsArray.Cell(1, row) = sourceUsers;
    settingsArray.Cell(5, row) = sourceSIDs;
    settingsArray.Cell(8, row) = destinationUsers;

    settings->GetUserSettings(SourceSIDLookup, domain, username, password);
    settingsArray.Cell(6, row) = localToName(domain, name) + kBackslash + username;
    settingsArray.Cell(7, row) = password;
    settings->GetUserSettings(DestinationSIDLookup, domain, username, password);
    settingsArray.Cell(10, row) = localToName(domain, name) + kBackslash + username;
    settingsArray.Cell(11, row) = password;

    settingsArray.Cell(3, row) = settings->SourceDCName;
    settingsArray.Cell(4, row) = settings->SourceDCIP;
    settingsArray.Cell(12, row) = settings->DestinationDCName;
    settingsArray.Cell(13, row) = settings->DestinationDCIP;
    if (settings->JoinVal == JoinWorkgroup)
        settingsArray.Cell(14, row) = settings->JoinName;
    else if (settings->JoinVal == JoinDomain)
        settingsArray.Cell(15, row) = settings->JoinName;
    settingsArray.Cell(16, row) = settings->JoinDCName;
    settingsArray.Cell(17, row) = settings->JoinDCIP;

    settings->GetUserSettings(DomainJoin, domain, username, password);
    settingsArray.Cell(18, row) = localToName(domain, name) + kBackslash + username;
    settingsArray.Cell(19, row) = password;

    settingsArray.Cell(20, row) = qint32(settings->RebootPermitted);
    settingsArray.Cell(21, row) = qint32(settings->ForceReboot);
    settingsArray.Cell(22, row) = qint32(settings->GetProfileActions());
    // Written into the record itself: the group or the root that supplied it
    // shows the default from now on.
    if (settings->MinFreeSpace == -1)
        settings->MinFreeSpace = DefaultMinFreeSpace;
    settingsArray.Cell(23, row) = qint32(settings->MinFreeSpace);
    settingsArray.Cell(24, row) = qint32(settings->OverwriteProfile);

    clientArray.Cell(8, row) = filesToCopy();
    clientArray.Cell(9, row) = servicesToInstall();
    const QByteArray configFile = createConfigFile ? createConfigFile(row) : QByteArray();
    clientArray.Cell(10, row) = QVariantList {QVariantList {ConfigFileName(), configFile}};
}

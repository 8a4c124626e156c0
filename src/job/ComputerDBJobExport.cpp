#include "job/ComputerDBJobExport.h"

#include "engine/JobColumns.h"

#include "common/AppState.h"
#include "common/modErrorHandler.h"
#include "database/ComputerDB.h"
#include "engine/JobArray.h"
#include "engine/TranslationArray.h"
#include "job/RollbackJob.h"

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
        if (count == 0) {
            AppState::Get().ExportComputerCount = 0;
            return;
        }
        clientArray.Create(ClientColumn::Count, count);
        settingsArray.Create(SettingsColumn::Count, count);
        translationArray.Create(count);
        rows = forEachRow([&](int row, int id) {
            translationArray[row] = id;
            exportRow(row, id, clientArray, settingsArray, createConfigFile);
            return true;
        });
        clientArray.ShrinkRows(rows);
        settingsArray.ShrinkRows(rows);
        translationArray.ShrinkRows(rows);
    });

    if (!completed || (rows == 0 && AppState::Get().ExportComputerCount > 0)) {
        clientArray.Create(ClientColumn::Count, 0);
        settingsArray.Create(SettingsColumn::Count, 0);
        translationArray.Create(0);
        AppState::Get().ExportComputerCount = 0;
    }
}

int ComputerDBJobExport::forEachRow(const std::function<bool(int row, int id)> &row)
{
    const int count = m_database.ComputerCount();
    AppState::Get().ExportComputerCount = count;
    int rows = 0;
    for (int id = 0; id < count; ++id) {
        const ComputerRecord *computer = m_database.Computers(id);
        if (!computer || !computer->Active || (m_rollback && !m_rollback->Computers.contains(id)))
            continue;
        // A rollback names its computers itself: one disabled after its
        // migration must still be able to go back.
        if (!m_rollback && !computer->Enabled)
            continue;
        if (!m_wave.isEmpty() && computer->Wave.compare(m_wave, Qt::CaseInsensitive) != 0)
            continue;
        if (m_only && !m_only->contains(id))
            continue;
        if (!row(++rows, id))
            break;
    }
    return rows;
}

bool ComputerDBJobExport::ExportRows(const RowConfigWriter &createConfigFile, const RowVisitor &visit)
{
    bool stopped = false;
    int rows = 0;
    const bool completed = modErrorHandler::Guard("ComputerDB.ExportArrays", [&] {
        Row row;
        rows = forEachRow([&](int client, int id) {
            row.Client = client;
            row.ComputerId = id;
            row.Clients.Create(ClientColumn::Count, 1);
            row.Settings.Create(SettingsColumn::Count, 1);
            exportRow(1, id, row.Clients, row.Settings, [&](int) { return createConfigFile(row); });
            stopped = !visit(row);
            return !stopped;
        });
    });
    if (!completed || rows == 0)
        AppState::Get().ExportComputerCount = 0;
    return completed && !stopped;
}

void ComputerDBJobExport::exportRow(
    int row, int id, JobArray &clientArray, JobArray &settingsArray, const ConfigFileWriter &createConfigFile)
{
    const QString name = m_database.GetComputerName(id);
    clientArray.Set(ClientColumn::ComputerName, row, name);

    QString sourceKey;
    const GlobalSettingsPtr settings = m_database.GetEffectiveSettings(kComputerType, id, sourceKey);
    if (!settings)
        modErrorHandler::Raise(91);

    QString domain;
    QString username;
    QString password;
    settings->GetUserSettings(AdminA, domain, username, password);
    clientArray.Set(ClientColumn::AdminADomain, row, localToName(domain, name));
    clientArray.Set(ClientColumn::AdminAUsername, row, username);
    clientArray.Set(ClientColumn::AdminAPassword, row, password);
    settings->GetUserSettings(AdminB, domain, username, password);
    clientArray.Set(ClientColumn::AdminBDomain, row, localToName(domain, name));
    clientArray.Set(ClientColumn::AdminBUsername, row, username);
    clientArray.Set(ClientColumn::AdminBPassword, row, password);

    settingsArray.Set(SettingsColumn::SourceDomain, row, localToName(settings->SourceDomain, name));
    settingsArray.Set(SettingsColumn::DestinationDomain, row, localToName(settings->DestinationDomain, name));

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
    settingsArray.Set(SettingsColumn::SourceUsers, row, sourceUsers);
    settingsArray.Set(SettingsColumn::SourceSIDs, row, sourceSIDs);
    settingsArray.Set(SettingsColumn::DestinationUsers, row, destinationUsers);

    settings->GetUserSettings(SourceSIDLookup, domain, username, password);
    settingsArray.Set(SettingsColumn::SourceLookupAccount, row, localToName(domain, name) + kBackslash + username);
    settingsArray.Set(SettingsColumn::SourceLookupPassword, row, password);
    settings->GetUserSettings(DestinationSIDLookup, domain, username, password);
    settingsArray.Set(SettingsColumn::DestinationLookupAccount, row, localToName(domain, name) + kBackslash + username);
    settingsArray.Set(SettingsColumn::DestinationLookupPassword, row, password);

    settingsArray.Set(SettingsColumn::SourceDCName, row, settings->SourceDCName);
    settingsArray.Set(SettingsColumn::SourceDCIP, row, settings->SourceDCIP);
    settingsArray.Set(SettingsColumn::DestinationDCName, row, settings->DestinationDCName);
    settingsArray.Set(SettingsColumn::DestinationDCIP, row, settings->DestinationDCIP);
    if (m_rollback) {
        exportRollbackJoin(row, *settings, settingsArray);
    } else {
        if (settings->JoinVal == JoinWorkgroup)
            settingsArray.Set(SettingsColumn::Workgroup, row, settings->JoinName);
        else if (settings->JoinVal == JoinDomain)
            settingsArray.Set(SettingsColumn::JoinDomain, row, settings->JoinName);
        settingsArray.Set(SettingsColumn::JoinDCName, row, settings->JoinDCName);
        settingsArray.Set(SettingsColumn::JoinDCIP, row, settings->JoinDCIP);

        settings->GetUserSettings(DomainJoin, domain, username, password);
        settingsArray.Set(SettingsColumn::JoinAccount, row, localToName(domain, name) + kBackslash + username);
        settingsArray.Set(SettingsColumn::JoinPassword, row, password);
    }

    settingsArray.Set(SettingsColumn::RebootPermitted, row, qint32(settings->RebootPermitted));
    settingsArray.Set(SettingsColumn::ForceReboot, row, qint32(settings->ForceReboot));
    settingsArray.Set(SettingsColumn::ProfileActions, row, qint32(settings->GetProfileActions()));
    // Written into the record itself: the group or the root that supplied it
    // shows the default from now on.
    if (settings->MinFreeSpace == -1)
        settings->MinFreeSpace = DefaultMinFreeSpace;
    settingsArray.Set(SettingsColumn::MinFreeSpace, row, qint32(settings->MinFreeSpace));
    settingsArray.Set(SettingsColumn::OverwriteProfile, row, qint32(settings->OverwriteProfile));

    // A rollback goes to every chosen computer at once: it is no wave's turn.
    if (!m_rollback)
        clientArray.Set(ClientColumn::Wave, row, m_database.Computers(id)->Wave);
    if (m_askFirst && m_askFirst->contains(id))
        clientArray.Set(ClientColumn::AskFirst, row, QStringLiteral("1"));
    clientArray.Set(ClientColumn::FilesToCopy, row, filesToCopy());
    clientArray.Set(ClientColumn::Services, row, servicesToInstall());
    const QByteArray configFile = createConfigFile ? createConfigFile(row) : QByteArray();
    clientArray.Set(ClientColumn::GeneratedFiles, row, QVariantList {QVariantList {ConfigFileName(), configFile}});
}

QList<modEngineLink::JobWave> ComputerDBJobExport::Waves() const
{
    QList<modEngineLink::JobWave> waves;
    if (m_rollback)
        return waves;
    for (const WaveRecord &record : m_database.Waves().all()) {
        if (m_wave.isEmpty() || record.Name.compare(m_wave, Qt::CaseInsensitive) == 0)
            waves.append({record.Name, record.NotBefore, record.Concurrency, record.FailurePercent});
    }
    return waves;
}

void ComputerDBJobExport::exportRollbackJoin(int row, const GlobalSettings &settings, JobArray &settingsArray) const
{
    // The client joins back only the domain its journal says it left, and
    // only with an account; a local source has no realm to go back to.
    const QString &domain = settings.SourceDomain;
    if (m_rollback->JoinAccount.isEmpty() || domain.isEmpty() || domain == LocalAccountDomain)
        return;
    settingsArray.Set(SettingsColumn::JoinDomain, row, domain);
    settingsArray.Set(SettingsColumn::JoinDCName, row, settings.SourceDCName);
    settingsArray.Set(SettingsColumn::JoinDCIP, row, settings.SourceDCIP);
    const QString &account = m_rollback->JoinAccount;
    const bool qualified = account.contains(kBackslash) || account.contains(QLatin1Char('@'));
    settingsArray.Set(SettingsColumn::JoinAccount, row, qualified ? account : domain + kBackslash + account);
    settingsArray.Set(SettingsColumn::JoinPassword, row, m_rollback->JoinPassword);
}

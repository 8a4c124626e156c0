#pragma once

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"

#include <QString>

#include <functional>

// Databases for the tests of the check before a run and of the export.
namespace JobFixture {

// A domain-to-domain migration that passes every check: both admin accounts,
// both lookup accounts, source and destination domains with their DCs, no
// domain join, the options of a new global record.
inline void makeSound(GlobalSettings &s)
{
    s.SetDefaults();
    s.SetUser(AdminA, QStringLiteral("varno"), QStringLiteral("pa55-A"), QStringLiteral("OLDCORP"));
    s.SetUser(AdminB, QStringLiteral("osk"), QStringLiteral("pa55-B"), QStringLiteral("NEWCORP"));
    s.SetUser(SourceSIDLookup, QStringLiteral("lookup-old"), QStringLiteral("pw3"), QStringLiteral("OLDCORP"));
    s.SetUser(DestinationSIDLookup, QStringLiteral("lookup-new"), QStringLiteral("pw4"), QStringLiteral("NEWCORP"));
    s.SourceDomain = QStringLiteral("OLDCORP");
    s.SourceDCName = QStringLiteral("OLD-DC1");
    s.SourceDCIP = QStringLiteral("10.0.0.1");
    s.DestinationDomain = QStringLiteral("NEWCORP");
    s.DestinationDCName = QStringLiteral("NEW-DC1");
    s.DestinationDCIP = QStringLiteral("10.0.1.1");
    s.JoinVal = JoinNone;
}

// Turns the settings into a SID-to-user migration that passes: the sources
// are SIDs, so there is no source domain and no source lookup account.
inline void makeSoundForSIDs(GlobalSettings &s)
{
    s.SourceDomain.clear();
    s.SourceDCName.clear();
    s.SourceDCIP.clear();
    s.SetUser(SourceSIDLookup, QString(), QString(), QString());
}

inline const QString kSid1 = QStringLiteral("S-1-5-21-1004336348-1177238915-682003330-1104");
inline const QString kSid2 = QStringLiteral("S-1-5-21-1004336348-1177238915-682003330-1105");

// Adds a computer directly under the root with one user-to-user migration.
inline int addComputer(ComputerDB &db, const QString &name, int folder = -1)
{
    const int id = db.AddComputer(name, QString(), folder, -1);
    db.GetComputerUserList(id)->AddUserToUser(QStringLiteral("alice"), QStringLiteral("alice.new"));
    return id;
}

inline GlobalSettings &global(ComputerDB &db)
{
    return *db.GetSettings(QStringLiteral("G"), -1);
}

// A sound job saved as `path`: PC-1 and PC-2 in "Sales", PC-3 under the
// root; `change` breaks or bends them first.
inline QString saveJob(const QString &path, const QString &jobName, const std::function<void(ComputerDB &)> &change = {})
{
    ComputerDB db;
    makeSound(global(db));
    const int group = db.AddFolder(QStringLiteral("Sales"), -1);
    addComputer(db, QStringLiteral("PC-1"), group);
    addComputer(db, QStringLiteral("PC-2"), group);
    addComputer(db, QStringLiteral("PC-3"), -1);
    if (change)
        change(db);
    SettingsFile::SaveOptions options;
    options.JobName = jobName;
    options.Cost = PasswordSealer::Cost::Minimum();
    const SettingsFileResult result = SettingsFile().Save(db, path, options);
    if (!result.ok())
        qWarning("%s", qPrintable(result.Message));
    return path;
}

// A computer's own record, cloned from what it had.
inline GlobalSettings &own(ComputerDB &db, int id)
{
    if (GlobalSettingsPtr record = db.GetSettings(QStringLiteral("C"), id))
        return *record;
    QString key;
    GlobalSettingsPtr clone = db.GetEffectiveSettings(QStringLiteral("C"), id, key)->Clone();
    db.AddSettings(clone, id, QStringLiteral("C"));
    return *clone;
}

// A list entry as a damaged or hand-made file could hold it.
inline MigrationUsers entry(const QString &userFrom, const QString &userTo, bool useSIDFrom, const QString &sidFrom, bool useSIDTo = false,
    const QString &sidTo = QString())
{
    MigrationUsers e;
    e.UsernameFrom = userFrom;
    e.UsernameTo = userTo;
    e.UseSIDFrom = useSIDFrom;
    e.SIDFrom = sidFrom;
    e.UseSIDTo = useSIDTo;
    e.SIDTo = sidTo;
    e.Valid = true;
    return e;
}

// Replaces a computer's list by one of `type` holding `entries`.
inline void setList(ComputerDB &db, int id, int type, const QList<MigrationUsers> &entries)
{
    UserProfilesPtr list = db.GetComputerUserList(id);
    list->RestoreList(type, static_cast<int>(entries.size()));
    for (int i = 0; i < entries.size(); ++i)
        list->RestoreEntry(i, entries.at(i));
}

} // namespace JobFixture

#pragma once

#include <QString>

class ComputerDB;
class GlobalSettings;
class UserProfiles;

// What one pass of the check before a run found.
struct ValidationResult
{
    // 0 when every computer passed; otherwise a ValidationCode, or the
    // number of a failure inside the check.
    int Code = 0;
    // The node whose settings record the failing computer uses ("F-1" the root).
    QString SettingsSourceKey;
    // The failing computer's ID, -1 when none failed.
    int Index = -1;
    // "C" + that ID, empty when none failed.
    QString ComputerKey;
    // For the codes of unreadable texts: the character that cannot be sent.
    QString Character;

    bool passed() const { return Code <= 0; }
};

// The check of the database before a run: every active computer's effective
// settings, its five accounts and its user list, in computer ID order, up to
// the first fault. It reads the database and never changes it, and it shows
// nothing: the caller turns the result into a message (ValidationReport).
//
// On each computer the first check refuses every text that would go into
// its configuration file and cannot arrive there as typed (see
// ValidationCode); then comes its name, then its fields.
class JobValidator
{
public:
    explicit JobValidator(const ComputerDB &database);

    // The console's form of the check. On entry `index` is the first computer
    // ID to look at (the start command passes 0); `scope` is not used. On
    // return `code`, `settingsSourceKey`, `index` and `computerKey` describe
    // the first fault, or 0, the key last looked up, -1 and empty text.
    void VerifyRecords(int &code, QString &settingsSourceKey, int &index, int &scope, QString &computerKey) const;

    // The same pass with everything it found.
    ValidationResult Verify(int firstIndex = 0) const;

private:
    struct Counts
    {
        // Entries whose source is a user name (user to user, all users).
        int counted = 0;
        // Entries whose source is a SID.
        int sidSourced = 0;
    };

    int checkTexts(int id, const GlobalSettings &settings, QString &character) const;
    static int checkComputer(const GlobalSettings &settings, const UserProfiles *list);
    static int checkAccounts(const GlobalSettings &settings);
    static int checkUserList(const GlobalSettings &settings, const UserProfiles *list, Counts &counts);
    static int checkSIDToUserEntry(const QString &usernameFrom, const QString &sidFrom, bool useSIDFrom);
    static int checkDestinationDomain(const GlobalSettings &settings, const Counts &counts);
    static int checkSourceDomain(const GlobalSettings &settings, const Counts &counts);
    static int checkSourceLookup(const GlobalSettings &settings, const Counts &counts);
    static int checkDestinationLookup(const GlobalSettings &settings, const Counts &counts);
    static int checkDomainJoin(const GlobalSettings &settings);
    static int checkOptions(const GlobalSettings &settings);

    const ComputerDB &m_database;
};

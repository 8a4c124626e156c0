#pragma once

#include <QList>
#include <QString>

class ComputerDB;
struct ComputerRecord;
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
    // With the address the run's clients will report to, a loopback one is
    // a warning for every computer that is not this machine.
    explicit JobValidator(const ComputerDB &database, const QString &listenerAddress = QString());

    // The console's form of the check. On entry `index` is the first computer
    // ID to look at (the start command passes 0); `scope` is not used. On
    // return `code`, `settingsSourceKey`, `index` and `computerKey` describe
    // the first fault, or 0, the key last looked up, -1 and empty text.
    void VerifyRecords(int &code, QString &settingsSourceKey, int &index, int &scope, QString &computerKey) const;

    // The same pass with everything it found.
    ValidationResult Verify(int firstIndex = 0) const;

    // Every fault of one computer, each code once, in the order of the
    // checks: what the readiness report lists. Unlike Verify it goes on
    // after a fault, so a field that fails shows beside the one before it.
    // Empty for a removed computer and for one whose settings are not valid.
    QList<ValidationResult> Faults(int id) const;

private:
    // What the checks found on one computer. Each check returns true when
    // the pass must end there, which is at the first fault unless every
    // fault is wanted.
    class Findings
    {
    public:
        enum Scope {
            FirstOnly,
            Every,
        };
        struct Fault
        {
            int Code = 0;
            QString Character;
        };

        explicit Findings(Scope scope)
            : m_scope(scope)
        { }
        // Keeps `code` unless it is there already.
        bool add(int code, const QString &character = QString());
        bool has(int code) const;

        QList<Fault> Faults;

    private:
        Scope m_scope;
    };

    struct Counts
    {
        // Entries whose source is a user name (user to user, all users).
        int counted = 0;
        // Entries whose source is a SID.
        int sidSourced = 0;
    };

    bool checkTexts(int id, const GlobalSettings &settings, Findings &found) const;
    static bool checkName(const ComputerRecord &computer, Findings &found);
    bool checkListener(const ComputerRecord &computer, Findings &found) const;
    static bool checkComputer(const GlobalSettings &settings, const UserProfiles *list, Findings &found);
    static bool checkAccounts(const GlobalSettings &settings, Findings &found);
    static bool checkUserList(const GlobalSettings &settings, const UserProfiles *list, Counts &counts, Findings &found);
    static int checkSIDToUserEntry(const QString &usernameFrom, const QString &sidFrom, bool useSIDFrom);
    static bool checkDestinationDomain(const GlobalSettings &settings, const Counts &counts, Findings &found);
    static bool checkSourceDomain(const GlobalSettings &settings, const Counts &counts, Findings &found);
    static bool checkSourceLookup(const GlobalSettings &settings, const Counts &counts, Findings &found);
    static bool checkDestinationLookup(const GlobalSettings &settings, const Counts &counts, Findings &found);
    static bool checkDomainJoin(const GlobalSettings &settings, Findings &found);
    static bool checkOptions(const GlobalSettings &settings, Findings &found);

    const ComputerDB &m_database;
    bool m_listenerLoopback = false;
};

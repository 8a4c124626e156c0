#pragma once

#include "client/AccountDirectory.h"
#include "client/ClientJournal.h"
#include "client/ComputerActions.h"
#include "client/ComputerView.h"
#include "client/modProfileStep.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The migration of one computer, from its varnoosk.cfg: the source accounts
// resolved and recorded, the realm left and joined, the name caches flushed,
// the destination accounts resolved, and each profile given to its
// destination (in place, moved to the destination's home, or copied there).
// Every change is a step of the journal, so that an abort, a kill or a
// rollback can undo it; a failed entry leaves the others as they are.
class ClientMigration
{
public:
    using Config = std::map<std::string, std::string, std::less<>>;
    using Report = std::function<void(int code, const std::string &particulars)>;
    using Log = std::function<void(const std::string &line)>;

    // `stillWanted` is asked between the steps; false is an abort.
    ClientMigration(ComputerView &computer, ComputerActions &actions, const Config &config, ClientJournal &journal, Report report,
        Log log, std::function<bool()> stillWanted);

    // The work itself. False when an abort stopped it: the entry in progress
    // is undone, the ones before it stay done.
    bool migrate();
    // Whether the job allows a reboot and the work changed something that wants one.
    bool rebootWanted() const;
    // Checks the work afterwards: each destination resolves and owns its
    // profile, no file there still belongs to its source except those the
    // work named, the computer is in the destination realm.
    void verify();
    // Reverses the journal, newest first; `config` may carry a join account
    // of the source domain for the realm.
    void rollBack();
    // Undoes a run that a kill cut short, all of it, before a new one starts.
    void undoInterrupted();

private:
    // What a profile walk calls now and then: the client keeps reporting,
    // and hears an abort, while it re-owns a large profile.
    modProfileStep::Pulse pulse()
    {
        return [this] { m_computer.stillWanted(); };
    }

    struct Entry
    {
        std::string source;
        std::string destination;
        std::string label; // the pair as the log names it
        std::optional<AccountDirectory::User> from;
        std::optional<AccountDirectory::User> to;
        std::optional<AccountDirectory::Group> fromGroup;
        std::optional<AccountDirectory::Group> toGroup;
        std::string home; // the profile's folder after the work
        std::size_t named = 0; // files the work left to the source, and named
        bool failed = false;
    };

    std::string value(std::string_view key) const;
    void buildEntries();
    bool resolveSources();
    bool changeRealm(bool &changed);
    void setWorkgroup();
    void resolveDestinations();
    bool migrateEntry(Entry &entry);
    void undoFrom(std::size_t firstStep);
    bool save();
    void fail(Entry &entry, int code, const std::string &particulars);
    std::size_t filesOf(const std::string &home, unsigned uid, std::string &problem);

    ComputerView &m_computer;
    ComputerActions &m_actions;
    const Config &m_config;
    ClientJournal &m_journal;
    Report m_report;
    Log m_log;
    std::function<bool()> m_stillWanted;
    std::vector<Entry> m_entries;
    bool m_changed = false;
};

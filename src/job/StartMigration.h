#pragma once

#include <QString>

#include <functional>

class ComputerDB;
class QObject;
struct ValidationReport;

// The start command's checks and questions, in their order, without a
// window. What only the window can do comes in as hooks: the panel's save
// prompt, the job-name dialog, the listener address, and showing the tab,
// field and node of a validation fault. Check answers whether the run may
// start; the window then prepares itself and starts it.
class StartMigration
{
public:
    struct Hooks
    {
        // False: the command must not go on.
        std::function<bool()> PromptToSaveRecord;
        std::function<void()> OpenJobNameDialog;
        std::function<QString()> ListenerAddress;
        // Called before the fault's message is shown, so that the
        // administrator sees the field it names.
        std::function<void(const ValidationReport &)> ShowValidationFault;
        // The window the questions belong to.
        QObject *Owner = nullptr;
    };

    StartMigration(const ComputerDB &database, Hooks hooks);

    bool Check();

    // What the confirmation showed; valid once Check got that far.
    QString ListenerAddress() const { return m_address; }
    QString ListenerPort() const { return m_port; }

    static const QString ExistingMigrationCaption; // "Existing Migration Found"
    static const QString EngineCaption; // "Migrate or Rehearse"
    // A results folder that holds logs of an earlier run: a new run under the
    // same job name appends to them, so the administrator is asked first.
    static bool HasEarlierLogs(const QString &resultsFolder);

private:
    bool engineChosen();
    bool resultsMayBeAppended();
    bool readListenerPort();
    bool confirm();
    bool validate();
    // Computers there are, but none that a run would take.
    bool everyComputerDisabled() const;

    const ComputerDB &m_database;
    Hooks m_hooks;
    QString m_address;
    QString m_port;
};

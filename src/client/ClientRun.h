#pragma once

#include "client/ComputerActions.h"
#include "client/ComputerView.h"
#include "client/TlsLink.h"
#include "protocol/modRunFile.h"
#include "protocol/modStatusFile.h"

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

// One run of the client service: takes its files from the drop folder into
// a working folder of its own, talks to the console's listener, checks the
// computer and, whatever the outcome, removes its configuration, its token
// and its own copy before it ends. The log and the status file stay for the
// transferor to collect.
class ClientRun
{
public:
    enum Exit { Done = 0, BadFiles = 2, LinkFailed = 3 };

    // `program`: this program's file; moved along when it lies in the drop
    // folder. `resume`: the drop folder is the working folder of a run
    // that rebooted the computer, and the run reports its end.
    ClientRun(ComputerView &computer, ComputerActions &actions, std::string root, std::string dropFolder, std::string program,
        bool resume = false);
    int exec();

private:
    enum class Heard { Nothing, Cancel, Abort, Ended, Lost };

    bool readFiles();
    bool takeFiles();
    int converse();
    Heard listen(int timeoutMs);
    int work(const std::function<bool()> &stillWanted, bool &aborted);
    int resumed();
    std::string outcome() const;
    void setStatus(const std::string &code);
    void addFinding(int code, const std::string &text);
    void keepAlive(int seconds);
    void send(modProtocol::Kind kind, std::vector<std::string> fields = {});
    void finish(const std::string &code);
    void log(const std::string &line);
    void writeStatusFile();
    void removeSecrets();
    void shareWithLogin();

    ComputerView &m_computer;
    ComputerActions &m_actions;
    bool m_resume = false;
    // A run that rebooted the computer keeps its files for the resume.
    bool m_keepFiles = false;
    std::string m_root;
    std::string m_drop;
    std::string m_program;
    std::string m_folder;
    std::string m_problem;
    modRunFile::RunFile m_run;
    std::map<std::string, std::string, std::less<>> m_config;
    TlsLink m_link;
    int m_log = -1;
    int m_lock = -1; // the run's lock in the working folder, held to the end
    bool m_linked = false;
    std::string m_status;
    modStatusFile::Findings m_findings;
    std::chrono::steady_clock::time_point m_lastSent;
};

#pragma once

#include "enginehost/DeliveryPlan.h"
#include "ssh/SshClient.h"

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>

#include <memory>

// Delivery with OpenSSH's own programs: every step is an ssh or scp call with
// the console's fixed options, sharing one login per computer.
//
// A login that is not root starts the client service through `sudo -n`,
// which keeps none of the login's environment; where sudo refuses, the
// service runs with the login's rights, and refuses any work that needs
// root. The guide shows the sudoers line that allows it.
//
// On the client the files land in the drop folder: the folder DestShare
// names in the login's home ("ADMIN$" is one like any other), DestPath below
// it; an absolute DestPath is taken as it is. The client service is copied
// every time, whatever version the client has: a copy is cheap next to the
// login, and the version step only says in the transferor's log what was
// there before. Where the client's package installed the service
// (VO_CLIENT_PROGRAM_INSTALLED) in this console's version, that one starts.
//
// Settings: SourcePath (folder of varno-osk-client; empty: modGeneral::ClientFolder()),
// DestShare, DestPath, CLogFile, CStatusFile, LogPath, SshConfig, and
// the environment's VARNO_OSK_SSH_TIMEOUT (seconds, for tests).
class SshDeliveryPlan final : public DeliveryPlan
{
public:
    static constexpr const char *ClientProgram = "varno-osk-client";

    explicit SshDeliveryPlan(const QJsonObject &settings);
    ~SshDeliveryPlan() override;

    TransferorTask deliver(const modEngineLink::JobClient &client, const QByteArray &runFile) override;
    TransferorTask collect(const modEngineLink::JobClient &client, const QString &logFile, const QString &statusFile) override;
    TransferorTask ask(const modEngineLink::JobClient &client) override;
    State stateOf(const TransferorOutcome &outcome) const override;
    int diagnose(const TransferorOutcome &outcome, QString &reason) const override;
    bool cleanedUp(const TransferorOutcome &outcome) const override;

    const SshClient &client() const { return *m_client; }
    // The drop folder as a remote shell word, relative to the home or absolute.
    QString dropFolder() const { return m_drop; }
    // The file in the drop folder where the start step says how it started
    // the client service: "root" (the login is root), "sudo" (through
    // sudo -n) or "login" (as the login, with its rights only).
    static constexpr const char *StartRecord = "varnoosk.start";

    // Sets `w` on the client to the working folder the client service moves
    // into for this run and computer (modRunFile::WorkingFolder), in the
    // client's own terms: root's folder (below the test root when the
    // client's test-mode file names one) when the login is root or the
    // start record in `drop` (a shell word) says "sudo", else the login's
    // home as the service finds it. Sets `r` to the test root, empty on a
    // real computer.
    static QString workingFolderScript(const std::string &run, const QString &computer, const QString &drop);

private:
    TransferorStep ssh(const QString &stepName, const modEngineLink::JobClient &client, const QString &command) const;
    TransferorTask refused(const QString &why) const;
    std::string runOf(const QString &computer) const;

    QJsonObject m_settings;
    QTemporaryDir m_control;
    std::unique_ptr<SshClient> m_client;
    QString m_problem; // why nothing can be delivered, when something is missing
    QString m_drop;
    QHash<QString, std::string> m_runs; // computer -> run, from its run file
    QHash<QString, QString> m_logins; // computers that may hold a shared connection
    QSet<QString> m_prepared; // logins whose configuration is written
};

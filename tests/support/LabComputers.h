#pragma once

#include "support/ClientTestMode.h"
#include "support/NamespaceLab.h"
#include "support/SshdServer.h"
#include "support/TestRegistry.h"
#include "support/VoProcess.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

// The computers of a namespace lab as the real-client suites (and the lab
// console for a look by hand) use them: each "client-<n>" runs an sshd in
// its own namespace with a private root for the client service and a realm
// tool that records being asked; the console side has a registry, an ssh
// configuration naming every computer, its ssh key and the trust of those
// computers `Options::trusted` says. vo runs inside the console's
// namespace, where the listener address is local.
class LabComputers
{
public:
    struct Options
    {
        int count = 1;
        int transferors = 2;
        std::function<bool(int)> serves = [](int) { return true; };
        // Seconds the realm tool of computer n takes.
        std::function<int(int)> slow = [](int) { return 0; };
        std::function<bool(int)> trusted = [](int) { return true; };
    };

    // `vo` is the vo program.
    LabComputers(const QString &voProgram, const Options &options);

    // Empty when the lab stands, else what failed.
    QString problem() const { return m_problem; }
    // The lab could not be made here (not root): skip rather than fail.
    bool unavailable() const { return !lab.ready(); }

    static QString name(int n) { return QStringLiteral("client-%1").arg(n); }
    QString root(int n) const { return servers[size_t(n)]->clientRoot(); }
    QString asked(int n) const { return root(n) + QStringLiteral("/usr/sbin/asked"); }

    // vo with `arguments` in the console's namespace, to the end.
    VoRun vo(const QStringList &arguments) const;
    // The same command line for a QProcess of the caller's: "ip" and these.
    QStringList voCommand(const QStringList &arguments) const;

    // The computer's own accounts alice (2001) and alice.new (2002), each
    // with its private group, and alice's profile of `files` files.
    bool giveProfile(int n, int files) const;
    // Whose the profile is, as a whole: "old, <entries>" (alice's, in her
    // home), "new, <entries>" (alice.new's, in his), or what is wrong.
    QString profileState(int n) const;
    // Whether the journal of computer n names a profile being re-owned.
    bool reowning(int n) const;

    ClientTestMode testMode;
    NamespaceLab lab;
    QTemporaryDir home;
    TestRegistry registry;
    std::vector<std::unique_ptr<SshdServer>> servers; // by n; [0] unused

private:
    bool setUp(const Options &options);

    QString m_vo;
    QString m_problem;
};

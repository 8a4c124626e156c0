#pragma once

#include <QString>
#include <QTemporaryDir>

// Puts the client service of this build in test mode for as long as it
// lives: writes its test-mode file (VO_CLIENT_CONF) naming a folder of
// client roots of this test, and removes the file at the end, also when the
// test fails. A computer's root is root(name). Needs root, like the service's
// rule for the file; the suites that use it share the "real-clients" lock.
class ClientTestMode
{
public:
    ClientTestMode();
    ~ClientTestMode();
    ClientTestMode(const ClientTestMode &) = delete;
    ClientTestMode &operator=(const ClientTestMode &) = delete;

    // Empty when the file is written, else why not.
    QString problem() const { return m_problem; }
    QString root(const QString &computer) const { return m_roots.filePath(computer); }

private:
    QTemporaryDir m_roots;
    QString m_problem;
};

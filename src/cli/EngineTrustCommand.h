#pragma once

#include <QStringList>

class KnownHosts;
class QTextStream;

// `vo engine trust NAME... [--yes] [--from-known-hosts FILE] [--replace NAME]`:
// records the host keys of computers in the console's own known-hosts file.
// Each name is resolved as ssh resolves it (with the registry value
// SshConfig), its keys are fetched from the computer, or taken from FILE,
// and their fingerprints shown; they are recorded after a "yes" on standard
// input, or at once with --yes. A key that differs from the recorded one is
// refused unless its name is given to --replace. Exit status 0 when every
// name is trusted, 1 otherwise.
class EngineTrustCommand
{
public:
    EngineTrustCommand(QTextStream &out, QTextStream &err, QTextStream &in);

    // `arguments` are those after "engine trust".
    int run(const QStringList &arguments);

    static QString usage();

private:
    bool trust(KnownHosts &known, const QString &name);

    QTextStream &m_out;
    QTextStream &m_err;
    QTextStream &m_in;
    bool m_yes = false;
    QString m_from;
    QStringList m_replace;
};

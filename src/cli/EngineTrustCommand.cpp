#include "cli/EngineTrustCommand.h"

#include "cli/modCommandLine.h"
#include "common/ConsoleConfig.h"
#include "common/modConsoleKey.h"
#include "ssh/KnownHosts.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

EngineTrustCommand::EngineTrustCommand(QTextStream &out, QTextStream &err, QTextStream &in)
    : m_out(out)
    , m_err(err)
    , m_in(in)
{ }

QString EngineTrustCommand::usage()
{
    return QStringLiteral("Usage: vo engine trust NAME... [--yes] [--from-known-hosts FILE] [--replace NAME]\n"
                          "\n"
                          "Records the ssh host keys of the clients NAME... for the engine, which\n"
                          "accepts no other. Each name is resolved as ssh resolves it (with the\n"
                          "ssh_config of the value SshConfig), its keys are fetched and their\n"
                          "fingerprints shown; answer \"yes\" to record them.\n"
                          "\n"
                          "  --yes                   record without asking (compare the fingerprints\n"
                          "                          another way first)\n"
                          "  --from-known-hosts FILE take the keys from a known_hosts file you trust\n"
                          "                          instead of from the computers\n"
                          "  --replace NAME          a changed key of NAME takes the old one's place\n");
}

int EngineTrustCommand::run(const QStringList &arguments)
{
    QStringList names;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (modCommandLine::IsHelp(argument)) {
            m_out << usage();
            return 0;
        }
        if (argument == QLatin1String("--yes")) {
            m_yes = true;
        } else if ((argument == QLatin1String("--from-known-hosts") || argument == QLatin1String("--replace"))
            && i + 1 < arguments.size()) {
            const QString &value = arguments[++i];
            if (argument == QLatin1String("--replace"))
                m_replace << value;
            else
                m_from = value;
            if (argument == QLatin1String("--replace") && !names.contains(value))
                names << value;
        } else if (argument.startsWith(QLatin1Char('-'))) {
            names.clear();
            break;
        } else if (!names.contains(argument)) {
            names << argument;
        }
    }
    if (names.isEmpty()) {
        m_err << "ERROR: Invalid syntax.\n\n" << usage();
        return modCommandLine::Failed;
    }
    if (!modConsoleKey::Prepare())
        return modCommandLine::Failed;
    QTemporaryDir control(QStringLiteral("/tmp/vo-ssh-XXXXXX"));
    const SshClient client(SshOptions::console(control.path(), ConsoleConfig().Text(ConsoleConfig::SshConfig)));
    KnownHosts known(KnownHosts::defaultFile(), client);
    int failed = 0;
    for (const QString &name : std::as_const(names))
        failed += trust(known, name) ? 0 : 1;
    return failed == 0 ? 0 : modCommandLine::Failed;
}

bool EngineTrustCommand::trust(KnownHosts &known, const QString &name)
{
    KnownHosts::Scan scan;
    if (!(m_from.isEmpty() ? known.scan(name, scan) : known.importFrom(m_from, name, scan))) {
        modCommandLine::Fail(m_err, known.error());
        return false;
    }
    m_out << name << " (" << scan.hostName << " port " << scan.port << "):\n";
    for (const QString &fingerprint : std::as_const(scan.fingerprints))
        m_out << "  " << fingerprint << '\n';
    const KnownHosts::Verdict verdict = known.compare(scan);
    if (verdict == KnownHosts::Verdict::Known) {
        m_out << "Already trusted.\n";
        return true;
    }
    const bool replace = m_replace.contains(name);
    if (verdict == KnownHosts::Verdict::Changed && !replace) {
        modCommandLine::Fail(m_err,
            QStringLiteral("The host key of %1 has CHANGED since it was trusted: someone may be in between, or the "
                           "computer was set up anew. Check, then give --replace %1.")
                .arg(name));
        return false;
    }
    if (!m_yes) {
        m_out << "Trust " << (verdict == KnownHosts::Verdict::Changed ? "the NEW keys" : "these keys") << " for " << name
              << "? Type yes to record them: ";
        m_out.flush();
        if (m_in.readLine(64).trimmed().compare(QLatin1String("yes"), Qt::CaseInsensitive) != 0) {
            m_out << "\nNot recorded.\n";
            return false;
        }
    }
    if (!known.record(scan, replace)) {
        modCommandLine::Fail(m_err, known.error());
        return false;
    }
    m_out << "Recorded " << name << ".\n";
    return true;
}

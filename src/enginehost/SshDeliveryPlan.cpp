#include "enginehost/SshDeliveryPlan.h"

#include "common/modGeneral.h"
#include "protocol/modFindings.h"
#include "protocol/modRunFile.h"
#include "ssh/ConsoleKey.h"
#include "ssh/modSshFailure.h"
#include "ssh/modSshRun.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kVersion = QStringLiteral("version");
const QString kStop = QStringLiteral("stop");
const QString kCleanUp = QStringLiteral("cleanup");
const QString kLog = QStringLiteral("log");
const QString kStatus = QStringLiteral("status");
const QString kAsk = QStringLiteral("ask");
const QByteArray kChecked = "checked";
const QByteArray kState = "varno-osk-state ";

QString setting(const QJsonObject &settings, const char *name, const QString &fallback = {})
{
    const QString value = settings.value(QLatin1String(name)).toString();
    return value.isEmpty() ? fallback : value;
}

// A control folder whose socket paths stay below the 108 bytes a Unix socket
// allows, whatever TMPDIR says.
QString controlTemplate()
{
    const QString temp = QDir::tempPath();
    return (temp.size() <= 24 ? temp : QStringLiteral("/tmp")) + QStringLiteral("/vo-ssh-XXXXXX");
}

// The drop folder, checked: no way out of it with "..", no other separator.
QString checkedDropFolder(const QJsonObject &settings, QString &problem)
{
    QString path = setting(settings, "DestPath").replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool absolute = path.startsWith(QLatin1Char('/'));
    if (!absolute)
        path = setting(settings, "DestShare", QStringLiteral("ADMIN$")) + QLatin1Char('/') + path;
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.contains(QStringLiteral("..")) || parts.contains(QStringLiteral("."))) {
        problem = QStringLiteral("The destination share and path \"%1\" name no folder on the clients.").arg(path);
        return {};
    }
    return (absolute ? QStringLiteral("/") : QString()) + parts.join(QLatin1Char('/'));
}

} // namespace

SshDeliveryPlan::SshDeliveryPlan(const QJsonObject &settings)
    : m_settings(settings)
    , m_control(controlTemplate())
{
    ConsoleKey key;
    SshOptions options = SshOptions::console(m_control.path(), setting(settings, "SshConfig"));
    // Tests that cut clients off wait seconds, not the minute a real
    // network is given before a silent link counts as gone.
    if (const int seconds = qEnvironmentVariableIntValue("VARNO_OSK_SSH_TIMEOUT"); seconds > 0) {
        options.connectTimeout = seconds;
        options.aliveInterval = seconds;
        options.aliveCountMax = 1;
    }
    m_client = std::make_unique<SshClient>(options);
    m_drop = checkedDropFolder(settings, m_problem);
    if (!m_control.isValid())
        m_problem = QStringLiteral("No private folder for ssh's connections: %1").arg(m_control.errorString());
    else if (!key.ensure())
        m_problem = key.error();
}

SshDeliveryPlan::~SshDeliveryPlan()
{
    // Shared connections would otherwise outlive the run by ControlPersist.
    for (auto it = m_logins.cbegin(); it != m_logins.cend(); ++it)
        modSshRun::Run(m_client->stop(it.key(), it.value()), SshClient::environment(), {}, 5000);
}

TransferorTask SshDeliveryPlan::refused(const QString &why) const
{
    // The transferor reports it like any failed step, in the client's findings.
    TransferorTask task;
    task.steps.append(TransferorStep {QStringLiteral("prepare"),
        {QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("printf '%s\\n' \"$1\" >&2; exit 1"), QStringLiteral("sh"), why},
        {}, 10, {}, 0, false});
    task.environment = SshClient::environment();
    return task;
}

TransferorStep SshDeliveryPlan::ssh(const QString &stepName, const modEngineLink::JobClient &client, const QString &command) const
{
    TransferorStep step;
    step.name = stepName;
    // The remote shell starts in the home; `cd` makes that so under any
    // configuration, for the drop folder's relative path.
    step.argv = m_client->ssh(client.name, client.login, QStringLiteral("cd || exit 1; ") + command);
    step.timeoutSeconds = m_client->options().connectTimeout + 60;
    return step;
}

QString SshDeliveryPlan::workingFolderScript(const std::string &run, const QString &computer, const QString &drop)
{
    const std::string name = computer.toStdString();
    // In a test the client's computer lies below the folder of client roots
    // that the client service's test-mode file names (modClientMode).
    return QStringLiteral(
        "r=; c='%3'; if [ -f \"$c\" ] && [ ! -L \"$c\" ] && [ \"$(stat -c %u \"$c\")\" = 0 ]; then "
        "t=\"$(sed -n 's/^TestRoots=//p' \"$c\" | tail -n 1)\"; [ -n \"$t\" ] && r=\"${t%/}/%4\"; fi; "
        // A service started through sudo leaves copies of its log and status
        // in the drop folder: the login cannot search root's working folder.
        "if [ \"$(id -u)\" = 0 ]; then w=\"%1\"; elif [ \"$(head -c 16 %5/%6 2>/dev/null)\" = sudo ]; then w=%5; "
        "elif [ -n \"$r\" ]; then h=\"$r$(awk -F: -v u=\"$(id -u)\" '$3==u{print $6; exit}' \"$r/etc/passwd\")\"; w=\"%2\"; "
        "else h=\"$(getent passwd \"$(id -u)\" | cut -d: -f6)\"; w=\"%2\"; fi; ")
        .arg(QString::fromStdString(modRunFile::WorkingFolder("$r", true, {}, run, name)),
            QString::fromStdString(modRunFile::WorkingFolder({}, false, "$h", run, name)), QStringLiteral(VO_CLIENT_CONF), computer, drop,
            QLatin1String(StartRecord));
}

TransferorTask SshDeliveryPlan::deliver(const modEngineLink::JobClient &client, const QByteArray &runFile)
{
    QString why = m_problem;
    if (why.isEmpty() && !SshClient::isPlainName(client.name))
        why = QStringLiteral("\"%1\" is not a computer name ssh can be given.").arg(client.name);
    // One configuration file a login, not one a client.
    if (why.isEmpty() && !m_prepared.contains(client.login) && m_client->prepare(client.login, why))
        m_prepared.insert(client.login);
    modRunFile::RunFile parsed;
    std::string problem;
    if (why.isEmpty() && !modRunFile::Parse(runFile.toStdString(), parsed, problem))
        why = QString::fromStdString(problem);
    QList<QPair<QString, QByteArray>> files = client.files;
    files.append({QString::fromLatin1(modRunFile::FileName.data(), qsizetype(modRunFile::FileName.size())), runFile});
    for (const auto &file : std::as_const(files)) {
        if (why.isEmpty() && !SshClient::isPlainName(file.first))
            why = QStringLiteral("The file name \"%1\" cannot go to a client.").arg(file.first);
    }
    if (!why.isEmpty())
        return refused(why);
    m_runs.insert(client.name, parsed.run);
    m_logins.insert(client.name, client.login);

    const QString drop = SshClient::quote(m_drop);
    const QString program = drop + QStringLiteral("/") + QLatin1String(ClientProgram);
    TransferorTask task;
    task.environment = SshClient::environment();
    task.steps.append(ssh(kVersion, client, program + QStringLiteral(" --version")));
    task.steps.last().mayFail = true;
    task.steps.append(ssh(QStringLiteral("folder"), client, QStringLiteral("umask 077; mkdir -p ") + drop));

    TransferorStep copy;
    copy.name = QStringLiteral("copy");
    const QString source = setting(m_settings, "SourcePath", modGeneral::ClientFolder());
    // scp's paths on the client start in the home too.
    copy.argv = m_client->scp(client.name, client.login, {QDir(source).filePath(QLatin1String(ClientProgram))},
        m_drop + QLatin1Char('/') + QLatin1String(ClientProgram));
    copy.timeoutSeconds = m_client->options().connectTimeout + 300;
    task.steps.append(copy);

    // Secrets go on standard input, never on a command line.
    for (const auto &[name, content] : std::as_const(files)) {
        task.steps.append(ssh(QStringLiteral("file"), client, QStringLiteral("umask 077; cat > ") + drop + QLatin1Char('/') + name));
        task.steps.last().input = content;
    }
    // systemd-run as a transient unit where systemd runs (a user's own
    // manager for a login that is not root), else setsid with a pid file.
    // A login that is not root runs the service through sudo where sudo
    // lets it without a password; `sudo -n -l` asks first, because a sudo
    // that refuses in the background would leave nobody to say so. Through
    // sudo it is setsid: a user's manager stops with the login's last
    // session, and would take the service with it. The record tells the
    // collection whose working folder to read. A client service that the
    // client's package installed, of this very version, runs instead of the
    // copy (which goes at once, as the service would remove it), as long as
    // it may run as root there; otherwise the copy does.
    const QString unit = QStringLiteral("varno-osk-")
        + QString::fromStdString(modRunFile::WorkingFolder({}, true, {}, parsed.run, client.name.toStdString()))
              .section(QLatin1Char('/'), -1);
    task.steps.append(ssh(QStringLiteral("start"), client,
        QStringLiteral("d=") + drop
            + QStringLiteral("; chmod 700 \"$d/%1\" || exit 1; f=\"$PWD/$d\"; case $d in /*) f=$d;; esac; p=\"$f/%1\"; "
                             "i=%4; if [ -x \"$i\" ] && [ \"$(\"$i\" --version 2>/dev/null)\" = %5 ] "
                             "&& { [ \"$(id -u)\" = 0 ] || sudo -n -l -- \"$i\" \"$f\" >/dev/null 2>&1; }; then "
                             "rm -f \"$p\"; p=$i; echo \"the installed $i is of this version\"; fi; "
                             "s=; k=root; if [ \"$(id -u)\" != 0 ]; then k=login; "
                             "if sudo -n -l -- \"$p\" \"$f\" >/dev/null 2>&1; then s='sudo -n --'; k=sudo; "
                             "else echo \"sudo -n refused: the client service runs as $(id -un), without root's rights\"; fi; fi; "
                             "echo $k > \"$d/%3\" || exit 1; "
                             "if [ -z \"$s\" ] && [ -d /run/systemd/system ] && command -v systemd-run >/dev/null; then "
                             "u=; [ \"$(id -u)\" = 0 ] || u=--user; "
                             "if systemd-run $u --quiet --collect --unit=%2 "
                             "\"$p\" \"$f\"; "
                             "then echo \"started with systemd-run as %2\"; exit 0; fi; fi; "
                             "setsid nohup $s \"$p\" \"$f\" </dev/null >/dev/null 2>&1 & echo $! > \"$d/varnoosk.pid\"; "
                             "echo \"started with setsid as process $!${s:+ through sudo}\"")
                  .arg(QLatin1String(ClientProgram), unit, QLatin1String(StartRecord), SshClient::quote(QStringLiteral(VO_CLIENT_PROGRAM_INSTALLED)),
                      SshClient::quote(QStringLiteral(VO_VERSION_STRING)))));
    return task;
}

TransferorTask SshDeliveryPlan::collect(const modEngineLink::JobClient &client, const QString &logFile, const QString &statusFile)
{
    if (!m_problem.isEmpty())
        return refused(m_problem);
    const QString drop = SshClient::quote(m_drop);
    const QString where = workingFolderScript(runOf(client.name), client.name, drop);
    TransferorTask task;
    task.environment = SshClient::environment();
    const auto fetch = [&](const QString &step, const char *name, const char *fallback, const QString &into) {
        task.steps.append(ssh(
            step, client, where + QStringLiteral("cat \"$w\"/") + SshClient::quote(setting(m_settings, name, QLatin1String(fallback)))));
        task.steps.last().outputFile = into;
    };
    fetch(kLog, "CLogFile", "varnoosk.log", logFile);
    if (!statusFile.isEmpty())
        fetch(kStatus, "CStatusFile", "varnoosk.sts", statusFile);
    // A working folder the login cannot search would hide what is left in
    // it; the unit that resumes after a reboot, or its link, would start the
    // service again at the next boot.
    const QString unit = QLatin1String(modRunFile::ResumeUnit.data(), qsizetype(modRunFile::ResumeUnit.size()));
    task.steps.append(ssh(kCleanUp, client,
        where
            + QStringLiteral("[ -e \"$w\" ] && [ ! -x \"$w\" ] && echo \"left $w, which this login cannot search\"; "
                             "u=\"$r/etc/systemd/system\"; "
                             "for f in %1/varnoosk.cfg %1/varnoosk.run %1/%2 \"$w\"/varnoosk.cfg \"$w\"/varnoosk.run \"$w\"/%2 "
                             "\"$u/%4\" \"$u/multi-user.target.wants/%4\"; do "
                             "{ [ -e \"$f\" ] || [ -L \"$f\" ]; } && echo \"left $f\"; done; rm -f %1/%5; echo %3")
                  .arg(drop, QLatin1String(ClientProgram), QLatin1String(kChecked), unit, QLatin1String(StartRecord))));
    TransferorStep stop;
    stop.name = kStop;
    stop.argv = m_client->stop(client.name, client.login);
    stop.mayFail = true;
    stop.timeoutSeconds = 10;
    task.steps.append(stop);
    m_logins.remove(client.name);
    return task;
}

std::string SshDeliveryPlan::runOf(const QString &computer) const
{
    return m_runs.value(computer, QFileInfo(QDir::cleanPath(setting(m_settings, "LogPath"))).fileName().toStdString());
}

TransferorTask SshDeliveryPlan::ask(const modEngineLink::JobClient &client)
{
    if (!m_problem.isEmpty())
        return refused(m_problem);
    if (!SshClient::isPlainName(client.name))
        return refused(QStringLiteral("\"%1\" is not a computer name ssh can be given.").arg(client.name));
    QString why;
    if (!m_prepared.contains(client.login) && !m_client->prepare(client.login, why))
        return refused(why);
    m_prepared.insert(client.login);
    m_logins.insert(client.name, client.login);
    const QString drop = SshClient::quote(m_drop);
    TransferorTask task;
    task.environment = SshClient::environment();
    // The service takes the run file out of the drop folder as it starts,
    // and the run's lock in its working folder as its work begins; one that
    // ended before that changed nothing. A service started through sudo
    // keeps its folder from the login, and leaves a copy of its status in
    // the drop folder only when it ends.
    task.steps.append(ssh(kAsk, client,
        workingFolderScript(runOf(client.name), client.name, drop)
            + QStringLiteral("d=%1; l=\"$w\"/run.lock; "
                             "if [ -f \"$l\" ] && [ ! -L \"$l\" ]; then "
                             "if command -v flock >/dev/null 2>&1; then flock -n \"$l\" true && a=ended || a=at-work; "
                             "else p=\"$(head -c 64 \"$l\" | cut -d' ' -f2)\"; "
                             "if [ -n \"$p\" ] && kill -0 \"$p\" 2>/dev/null; then a=at-work; else a=ended; fi; fi; "
                             "elif [ -e \"$d/varnoosk.run\" ]; then a=not-started; "
                             "elif [ \"$(id -u)\" != 0 ] && [ -f \"$d\"/%2 ]; then a=ended; "
                             "elif [ \"$(head -c 16 \"$d/%3\" 2>/dev/null)\" = sudo ]; then a=at-work; "
                             "else a=not-started; fi; echo \"%4$a\"")
                  .arg(drop, SshClient::quote(setting(m_settings, "CStatusFile", QStringLiteral("varnoosk.sts"))),
                      QLatin1String(StartRecord), QString::fromLatin1(kState))));
    return task;
}

DeliveryPlan::State SshDeliveryPlan::stateOf(const TransferorOutcome &outcome) const
{
    for (const TransferorStepResult &result : outcome.results) {
        if (result.name != kAsk || result.exitCode != 0)
            continue;
        const qsizetype at = result.output.lastIndexOf(kState);
        const QByteArray answer = at < 0 ? QByteArray() : result.output.mid(at + kState.size()).trimmed();
        if (answer == "not-started")
            return State::NotStarted;
        if (answer == "at-work")
            return State::AtWork;
        if (answer == "ended")
            return State::Ended;
    }
    return State::Unknown;
}

int SshDeliveryPlan::diagnose(const TransferorOutcome &outcome, QString &reason) const
{
    for (qsizetype i = outcome.results.size() - 1; i >= 0; --i) {
        const TransferorStepResult &result = outcome.results[i];
        if (result.name == kVersion || result.name == kStop || (result.exitCode == 0 && !result.timedOut))
            continue;
        if (result.timedOut) {
            reason = QStringLiteral("%1 gave no answer in time").arg(result.name);
            return modFindings::ConnectionTimedOut;
        }
        const int code = modSshFailure::Classify(result.exitCode, result.error, reason);
        if (code != 0)
            return code;
        const QString said = QString::fromUtf8(result.error).trimmed().section(QLatin1Char('\n'), -1);
        reason = said.isEmpty() ? QStringLiteral("%1 ended with status %2").arg(result.name).arg(result.exitCode) : said;
        if (result.name == QLatin1String("start"))
            return modFindings::ServiceDidNotStart;
        if (result.name == QLatin1String("prepare"))
            return modFindings::SshFailed;
        if (result.name == kAsk)
            return modFindings::SshFailed;
        if (result.name == kCleanUp || result.name == kLog || result.name == kStatus)
            return modFindings::CollectFailed;
        return modFindings::CopyFailed;
    }
    reason = QStringLiteral("the transferor gave no reason");
    return modFindings::SshFailed;
}

bool SshDeliveryPlan::cleanedUp(const TransferorOutcome &outcome) const
{
    for (const TransferorStepResult &result : outcome.results) {
        if (result.name == kCleanUp)
            return result.exitCode == 0 && result.output.contains(kChecked) && !result.output.contains("left ");
    }
    return false;
}

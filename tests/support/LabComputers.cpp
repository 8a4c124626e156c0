#include "support/LabComputers.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(1 << 20) : QByteArray();
}

} // namespace

LabComputers::LabComputers(const QString &voProgram, const Options &options)
    : lab(options.count)
    , servers(size_t(options.count) + 1)
    , m_vo(voProgram)
{
    setUp(options);
}

bool LabComputers::setUp(const Options &options)
{
    const auto fail = [this](const QString &what) {
        m_problem = what;
        return false;
    };
    // VO_KEEP_HOME=1 keeps the logs for a look afterwards.
    home.setAutoRemove(qEnvironmentVariableIsEmpty("VO_KEEP_HOME"));
    if (!lab.ready())
        return fail(lab.problem());
    if (!testMode.problem().isEmpty())
        return fail(testMode.problem());
    if (!QDir().mkpath(home.filePath("run"))
        || !QFile::setPermissions(home.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return fail(QStringLiteral("no runtime folder"));
    qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.filePath("run").toLocal8Bit());
    qputenv("VARNO_OSK_SSH_TIMEOUT", "2");

    QByteArray sshConfig;
    for (int n = 1; n <= options.count; ++n)
        sshConfig += "Host " + name(n).toUtf8() + "\n    HostName " + NamespaceLab::ClientAddress(n).toUtf8() + "\n    User root\n";
    const QString configFile = writeFile(home.filePath("ssh_config"), sshConfig);
    const std::vector<std::pair<QString, QString>> settings {{"LogPath", home.filePath("logs")}, {"ListenerIP", NamespaceLab::EngineAddress},
        {"ReportingPeriod", "2"}, {"KeepAliveIncrement", "2"}, {"StatusCheckPeriod", "1"},
        {"MaxTransferors", QString::number(options.transferors)}, {"SshConfig", configFile}};
    for (const auto &[setting, text] : settings)
        if (vo({"config", "set", setting, text}).status != 0)
            return fail(QStringLiteral("vo config set ") + setting);
    const VoRun key = vo({"engine", "key"});
    if (key.status != 0 || !key.out.startsWith("ssh-ed25519 "))
        return fail(QStringLiteral("vo engine key: ") + QString::fromUtf8(key.err));

    QStringList trust;
    for (int n = 1; n <= options.count; ++n) {
        if (!options.serves(n))
            continue;
        auto &server = servers[size_t(n)] = std::make_unique<SshdServer>();
        server->placeIn(lab.clientNamespace(n), NamespaceLab::ClientAddress(n));
        server->setClientRoot(testMode.root(name(n)));
        const QString tools = server->clientRoot() + "/usr/sbin";
        const int slow = options.slow(n);
        const QByteArray wait = slow ? "sleep " + QByteArray::number(slow) + "\n" : QByteArray();
        if (!server->start() || !server->authorize(key.out) || !QDir().mkpath(tools)
            || writeFile(tools + "/realm", "#!/bin/sh\ntouch \"$(dirname \"$0\")/asked\"\n" + wait + "exit 0\n").isEmpty()
            || !QFile::setPermissions(tools + "/realm", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return fail(name(n) + QStringLiteral(": ") + server->error());
        if (options.trusted(n))
            trust << name(n);
    }
    if (vo(QStringList {"engine", "trust", "--yes"} + trust).status != 0)
        return fail(QStringLiteral("vo engine trust"));
    return true;
}

QStringList LabComputers::voCommand(const QStringList &arguments) const
{
    return NamespaceLab::exec(lab.engineNamespace()).mid(1) + QStringList {m_vo} + arguments;
}

VoRun LabComputers::vo(const QStringList &arguments) const
{
    return runProgram(QStringLiteral("ip"), voCommand(arguments));
}

bool LabComputers::giveProfile(int n, int files) const
{
    const QString at = root(n);
    if (!QDir().mkpath(at + "/etc") || !QDir().mkpath(at + "/proc")
        || writeFile(at + "/etc/passwd",
               "root:x:0:0::/root:/bin/sh\nalice:x:2001:2001::/home/alice:/bin/sh\nalice.new:x:2002:2002::/home/alice.new:/bin/sh\n")
               .isEmpty()
        || writeFile(at + "/etc/group", "alice:x:2001:\nalice.new:x:2002:\n").isEmpty())
        return false;
    constexpr int folders = 29;
    for (int d = 0; d < folders; ++d)
        if (!QDir().mkpath(at + QStringLiteral("/home/alice/d%1").arg(d)))
            return false;
    for (int i = 0; i < files; ++i)
        if (writeFile(at + QStringLiteral("/home/alice/d%1/f%2").arg(i % folders).arg(i), "x").isEmpty())
            return false;
    QDirIterator it(at + "/home/alice", QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    bool owned = ::chown((at + "/home/alice").toLocal8Bit(), 2001, 2001) == 0;
    while (owned && it.hasNext())
        owned = ::lchown(it.next().toLocal8Bit(), 2001, 2001) == 0;
    return owned;
}

QString LabComputers::profileState(int n) const
{
    const QString at = root(n);
    const bool old = QFileInfo::exists(at + "/home/alice"), moved = QFileInfo::exists(at + "/home/alice.new");
    if (old == moved)
        return old ? QStringLiteral("both homes") : QStringLiteral("no home");
    const QString folder = at + (old ? "/home/alice" : "/home/alice.new");
    const uint owner = old ? 2001 : 2002;
    int count = 0;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        if (file.ownerId() != owner || file.groupId() != owner)
            return file.filePath() + QStringLiteral(" is ") + QString::number(file.ownerId()) + QLatin1Char(':') + QString::number(file.groupId());
        ++count;
    }
    return (old ? QStringLiteral("old, ") : QStringLiteral("new, ")) + QString::number(count);
}

bool LabComputers::reowning(int n) const
{
    return readAll(root(n) + "/var/lib/varno-osk/journal/journal").contains("step profile-reown begun");
}

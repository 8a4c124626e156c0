// lab_console: a job of lab computers for a look by hand. Sets up N
// computers in network namespaces (each an sshd and a private client root
// with alice's profile, to become alice.new's), the console's registry, key
// and trust, and the job lab.vos.json; then runs PROGRAM (the console, or
// vo) on the console's side of the lab and waits for it to end. Computers
// named with --kill are switched off the moment their client starts
// re-owning the profile, and switched on again a few seconds later, so that
// a rollback can reach them. At the end it prints whose each profile is,
// and removes the lab.
//
//   lab_console [--clients N] [--files F] [--kill 3,7] [--off 5,6] [--on-after S] [--starts N] [--no-engine]
//               -- PROGRAM [ARGUMENTS]
// --off switches computers off before the program starts and on again S
// seconds later (30 unless given), with the engine told to try them again
// every 10 s for 5 min; --starts starts the program again when it ends, N
// times in all, so that a console killed in a run can attach to it again.
//
// Needs root, like the real-client suites.

#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"
#include "support/LabComputers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

namespace {

int usage()
{
    std::fputs("Usage: lab_console [--clients N] [--files F] [--kill 3,7] [--off 5,6] [--on-after S] [--starts N] [--no-engine]\n"
               "                   -- PROGRAM [ARGUMENTS]\n",
        stderr);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    int clients = 10;
    int files = 2000;
    QSet<int> kill;
    QSet<int> off;
    int onAfter = 30;
    int starts = 1;
    bool chooseEngine = true;
    while (!arguments.isEmpty() && arguments.first() != QLatin1String("--")) {
        const QString option = arguments.takeFirst();
        if (option == QLatin1String("--no-engine")) {
            chooseEngine = false;
            continue;
        }
        if (arguments.isEmpty())
            return usage();
        const QString value = arguments.takeFirst();
        if (option == QLatin1String("--clients"))
            clients = value.toInt();
        else if (option == QLatin1String("--files"))
            files = value.toInt();
        else if (option == QLatin1String("--kill"))
            for (const QString &n : value.split(QLatin1Char(',')))
                kill.insert(n.toInt());
        else if (option == QLatin1String("--off"))
            for (const QString &n : value.split(QLatin1Char(',')))
                off.insert(n.toInt());
        else if (option == QLatin1String("--on-after"))
            onAfter = value.toInt();
        else if (option == QLatin1String("--starts"))
            starts = qBound(1, value.toInt(), 10);
        else
            return usage();
    }
    if (arguments.size() < 2 || clients < 1 || clients > 200)
        return usage();
    arguments.removeFirst();

    QTextStream out(stdout);
    LabComputers::Options options;
    options.count = clients;
    options.transferors = 4;
    LabComputers lab(QStringLiteral(VO_EXECUTABLE), options);
    if (!lab.problem().isEmpty()) {
        out << "lab_console: " << lab.problem() << Qt::endl;
        return 1;
    }
    for (int n = 1; n <= clients; ++n)
        if (!lab.giveProfile(n, files)) {
            out << "lab_console: no profile on " << LabComputers::name(n) << Qt::endl;
            return 1;
        }
    if (chooseEngine && lab.vo({"config", "set", "Engine", "ssh"}).status != 0)
        return 1;
    if (!off.isEmpty()
        && (lab.vo({"config", "set", "RetryInterval", "10 s"}).status != 0 || lab.vo({"config", "set", "PendingTimeout", "5 min"}).status != 0))
        return 1;

    ComputerDB db;
    GlobalSettings &global = *db.GetSettings(QStringLiteral("G"), -1);
    global.SetDefaults();
    global.SourceDomain = global.DestinationDomain = LocalAccountDomain;
    global.SetUser(AdminA, QStringLiteral("root"), QString(), LocalAccountDomain);
    global.SetUser(AdminB, QStringLiteral("root"), QString(), LocalAccountDomain);
    global.JoinVal = JoinNone;
    // The lab's computers have no reboot tool of their own.
    global.RebootPermitted = global.ForceReboot = 0;
    // Re-owned in place, as a Linux profile usually is.
    global.CopyProfile = 0;
    const int lab1 = db.AddFolder(QStringLiteral("Lab"), -1);
    for (int n = 1; n <= clients; ++n)
        db.GetComputerUserList(db.AddComputer(LabComputers::name(n), QString(), lab1, -1))
            ->AddUserToUser(QStringLiteral("alice"), QStringLiteral("alice.new"));
    SettingsFile::SaveOptions saved;
    saved.JobName = QStringLiteral("Lab");
    const QString job = lab.home.filePath(QStringLiteral("lab.vos.json"));
    if (!SettingsFile().Save(db, job, saved).ok())
        return 1;
    out << "Job: " << job << "\nLogs: " << lab.home.filePath(QStringLiteral("logs")) << Qt::endl;

    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    // Under a real display the console meets the desktop's libraries, whose
    // leaks at exit are not its own.
    if (qEnvironmentVariableIsEmpty("LSAN_OPTIONS"))
        qputenv("LSAN_OPTIONS", "suppressions=" VO_LSAN_DESKTOP);
    QStringList command = NamespaceLab::exec(lab.lab.engineNamespace()).mid(1) + arguments;
    for (QString &argument : command)
        argument.replace(QStringLiteral("{job}"), job);
    QElapsedTimer clock;
    clock.start();
    QTimer watch;
    QSet<int> killed;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (int n : std::as_const(kill)) {
            if (killed.contains(n) || !lab.reowning(n))
                continue;
            killed.insert(n);
            lab.lab.killClient(n);
            out << "lab_console: " << LabComputers::name(n) << " switched off while re-owning, at " << clock.elapsed() << " ms" << Qt::endl;
            QTimer::singleShot(4000, [&lab, &out, n] {
                const bool on = lab.servers[size_t(n)]->restart(false);
                out << "lab_console: " << LabComputers::name(n) << (on ? " switched on again" : " did not come back") << Qt::endl;
            });
        }
    });
    watch.start(5);
    for (const int n : std::as_const(off)) {
        lab.lab.killClient(n);
        out << "lab_console: " << LabComputers::name(n) << " switched off" << Qt::endl;
        QTimer::singleShot(onAfter * 1000, [&lab, &out, n] {
            const bool on = lab.servers[size_t(n)]->restart(false);
            out << "lab_console: " << LabComputers::name(n) << (on ? " switched on" : " did not come on") << Qt::endl;
        });
    }
    int started = 0;
    QObject::connect(&program, &QProcess::finished, &app, [&] {
        out << "lab_console: " << arguments.first() << " ended after " << clock.elapsed() / 1000 << " s with " << program.exitCode() << Qt::endl;
        if (++started < starts)
            program.start(QStringLiteral("ip"), command);
        else
            app.quit();
    });
    program.start(QStringLiteral("ip"), command);
    if (!program.waitForStarted())
        return 1;
    app.exec();
    for (int n = 1; n <= clients; ++n)
        out << "  " << LabComputers::name(n) << ": " << lab.profileState(n) << Qt::endl;
    return program.exitCode();
}

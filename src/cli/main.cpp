#include "cli/CheckCommand.h"
#include "cli/ConfigCommand.h"
#include "cli/DescrambleCommand.h"
#include "cli/EnableCommand.h"
#include "cli/EngineCertCommand.h"
#include "cli/EngineKeyCommand.h"
#include "cli/EngineTrustCommand.h"
#include "cli/ExportCommand.h"
#include "cli/ImportComputersCommand.h"
#include "cli/ImportUsersCommand.h"
#include "cli/PingCommand.h"
#include "cli/RegCommand.h"
#include "cli/RetryCommand.h"
#include "cli/RollbackCommand.h"
#include "cli/StatusCommand.h"
#include "cli/WaveCommand.h"
#include "cli/RunCommand.h"
#include "cli/SetupCommand.h"
#include "cli/TreeCommand.h"
#include "cli/ValidateCommand.h"
#include "cli/modCommandLine.h"

#include "common/AppInfo.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace {

QString generalUsage()
{
    return QStringLiteral("Usage: vo COMMAND [arguments]\n"
                          "\n"
                          "The command-line companion of the Varno-Osk console.\n"
                          "\n"
                          "Commands:\n"
                          "  check      the readiness report: every fault of every computer of a\n"
                          "             settings file (vo check --help explains it)\n"
                          "  config     show the console's configuration or set one value, checked as\n"
                          "             the configuration dialog checks it (vo config --help explains it)\n"
                          "  descramble\n"
                          "             print the plain text of a scrambled client configuration file\n"
                          "             (vo descramble --help explains it)\n"
                          "  disable    leave computers of a settings file out of the job, keeping\n"
                          "             their settings and users (vo disable --help explains it)\n"
                          "  enable     take disabled computers back into the job\n"
                          "             (vo enable --help explains it)\n"
                          "  engine key  the public half of the console's ssh key (--rotate: a new one)\n"
                          "  engine trust NAME...  record the ssh host keys of clients\n"
                          "  engine cert  the fingerprint of the listener's certificate (--renew: a new one)\n"
                          "             (vo engine key --help, vo engine trust --help, vo engine cert --help)\n"
                          "  export     write the clients' configuration files and the engine's arrays\n"
                          "             of a settings file (vo export --help explains it)\n"
                          "  import-computers  add the computers of a directory server to a settings\n"
                          "             file (vo import-computers --help explains it)\n"
                          "  import-users\n"
                          "             import a user list file into a settings file\n"
                          "             (vo import-users --help explains it)\n"
                          "  ping       resolve and ping hosts as the console's ping test does\n"
                          "             (vo ping --help explains it)\n"
                          "  ping-test  the console's ping test over the computers of a settings file\n"
                          "             (vo ping-test --help explains it)\n"
                          "  reg        query, add and delete values of the console's registry store\n"
                          "             (vo reg /? explains it)\n"
                          "  retry      a new settings file with only the computers a run did not\n"
                          "             finish (vo retry --help explains it)\n"
                          "  rollback   reverse a migration on the computers it reached\n"
                          "             (vo rollback --help explains it)\n"
                          "  run        check a settings file and run its migration on the engine,\n"
                          "             printing the progress log (vo run --help explains it)\n"
                          "  setup      the Easy Setup Wizard: one set of settings for the whole job\n"
                          "             (vo setup --help explains it)\n"
                          "  status     where each computer of a settings file stands across runs\n"
                          "             (vo status --help explains it)\n"
                          "  tree       print the computer tree of a settings file\n"
                          "             (vo tree --help explains it)\n"
                          "  validate   check a settings file as Start Migration does\n"
                          "             (vo validate --help explains it)\n"
                          "  wave       the waves of a settings file and their computers\n"
                          "             (vo wave --help explains it)\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help     this text\n"
                          "  --version      the version of Varno-Osk\n");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vo"));
    QCoreApplication::setApplicationVersion(AppInfo::VersionText());

    QTextStream out(stdout);
    QTextStream err(stderr);
    QTextStream in(stdin);

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        err << generalUsage();
        return 1;
    }
    const QString &command = arguments.first();
    if (modCommandLine::IsHelp(command) || command == QLatin1String("help")) {
        out << generalUsage();
        return 0;
    }
    if (command == QLatin1String("--version")) {
        out << "vo " << AppInfo::VersionText() << '\n';
        return 0;
    }
    if (command.compare(QLatin1String("reg"), Qt::CaseInsensitive) == 0) {
        RegCommand reg(out, err, in);
        return reg.run(arguments.mid(1));
    }

    if (command.compare(QLatin1String("ping"), Qt::CaseInsensitive) == 0)
        return PingCommand(out, err).ping(arguments.mid(1));
    if (command.compare(QLatin1String("ping-test"), Qt::CaseInsensitive) == 0)
        return PingCommand(out, err).pingTest(arguments.mid(1));
    if (command.compare(QLatin1String("tree"), Qt::CaseInsensitive) == 0) {
        TreeCommand tree(out, err);
        return tree.run(arguments.mid(1));
    }

    if (command.compare(QLatin1String("validate"), Qt::CaseInsensitive) == 0) {
        ValidateCommand validate(out, err);
        return validate.run(arguments.mid(1));
    }
    if (command.compare(QLatin1String("check"), Qt::CaseInsensitive) == 0)
        return CheckCommand(out, err).run(arguments.mid(1));
    if (command.compare(QLatin1String("export"), Qt::CaseInsensitive) == 0) {
        ExportCommand exportCommand(out, err);
        return exportCommand.run(arguments.mid(1));
    }
    if (command.compare(QLatin1String("run"), Qt::CaseInsensitive) == 0) {
        RunCommand runCommand(out, err);
        return runCommand.run(arguments.mid(1));
    }
    if (command.compare(QLatin1String("import-users"), Qt::CaseInsensitive) == 0) {
        ImportUsersCommand importUsers(out, err);
        return importUsers.run(arguments.mid(1));
    }
    if (command.compare(QLatin1String("retry"), Qt::CaseInsensitive) == 0)
        return RetryCommand(out, err).run(arguments.mid(1));
    if (command.compare(QLatin1String("rollback"), Qt::CaseInsensitive) == 0)
        return RollbackCommand(out, err).run(arguments.mid(1));
    if (command.compare(QLatin1String("status"), Qt::CaseInsensitive) == 0)
        return StatusCommand(out, err).run(arguments.mid(1));
    if (command.compare(QLatin1String("enable"), Qt::CaseInsensitive) == 0
        || command.compare(QLatin1String("disable"), Qt::CaseInsensitive) == 0)
        return EnableCommand(out, err).run(command.compare(QLatin1String("enable"), Qt::CaseInsensitive) == 0, arguments.mid(1));
    if (command.compare(QLatin1String("wave"), Qt::CaseInsensitive) == 0)
        return WaveCommand(out, err).run(arguments.mid(1));
    if (command.compare(QLatin1String("setup"), Qt::CaseInsensitive) == 0)
        return SetupCommand(out, err).run(arguments.mid(1));
    if (command.compare(QLatin1String("config"), Qt::CaseInsensitive) == 0) {
        ConfigCommand config(out, err);
        return config.run(arguments.mid(1));
    }
    if (command.compare(QLatin1String("import-computers"), Qt::CaseInsensitive) == 0) {
        ImportComputersCommand importComputers(out, err);
        return importComputers.run(arguments.mid(1));
    }
    if (command.compare(QLatin1String("descramble"), Qt::CaseInsensitive) == 0) {
        DescrambleCommand descramble(out, err);
        return descramble.run(arguments.mid(1));
    }

    if (command.compare(QLatin1String("engine"), Qt::CaseInsensitive) == 0) {
        const QString what = arguments.value(1).toLower();
        if (what == QLatin1String("key"))
            return EngineKeyCommand(out, err).run(arguments.mid(2));
        if (what == QLatin1String("trust"))
            return EngineTrustCommand(out, err, in).run(arguments.mid(2));
        if (what == QLatin1String("cert"))
            return EngineCertCommand(out, err).run(arguments.mid(2));
        err << EngineKeyCommand::usage() << '\n' << EngineTrustCommand::usage() << '\n' << EngineCertCommand::usage();
        return 1;
    }

    err << "vo: unknown command \"" << command << "\"\n\n" << generalUsage();
    return 1;
}

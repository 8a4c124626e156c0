// Main: the console's start-up. The command line has --help and --version,
// and any other argument is ignored.

#include "common/AppInfo.h"
#include "common/Presenter.h"
#include "common/widgets/ConsoleStyle.h"
#include "common/widgets/MessageBoxPresenter.h"
#include "shell/ConsoleInstance.h"
#include "shell/forms/frmMain.h"
#include "shell/modHelp.h"
#include "shell/modStartup.h"

#include <QApplication>
#include <QIcon>
#include <QLockFile>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char *const kUsage =
    "Usage: varno-osk [--help | --version]\n"
    "\n"
    "The Varno-Osk console: the database of computers in a tree of groups, the\n"
    "migration settings attached to them, the check of a migration job and its\n"
    "run on the migration engine, with every computer's status as it goes.\n"
    "Everything else it does is done in its window; vo(1) does the same from a\n"
    "shell.\n"
    "\n"
    "One console runs per registry store: a second one brings the first one's\n"
    "window to the front and ends.\n"
    "\n"
    "Options:\n"
    "  -h, --help     this text\n"
    "  --version      the version of Varno-Osk\n"
    "\n"
    "Environment:\n"
    "  VARNO_OSK_REGISTRY  the registry store (default:\n"
    "                      $XDG_CONFIG_HOME/varno-osk/registry.db)\n"
    "  VARNO_OSK_OPENER    a command that opens logs, folders and the guide\n"
    "                      instead of xdg-open\n";

} // namespace

int main(int argc, char *argv[])
{
    // Answered before the single-instance check and without a display, so
    // that help2man and an administrator at a text console get an answer.
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("varno-osk %s\n", VO_VERSION_STRING);
        return 0;
    }
    // A second console ends before it has a window: the first one is the
    // administrator's, and a message would only be in the way. The first
    // comes to the front instead, so that the administrator sees where it is.
    std::unique_ptr<QLockFile> lock;
    if (modStartup::PrevInstance(lock)) {
        QCoreApplication second(argc, argv);
        ConsoleInstance::RequestShow(modStartup::InstanceServerName());
        return 0;
    }

    QApplication app(argc, argv);
    ConsoleInstance instance(std::move(lock), modStartup::InstanceServerName());
    QApplication::setApplicationName(AppInfo::Title());
    QApplication::setOrganizationName(AppInfo::CompanyName());
    QApplication::setApplicationVersion(AppInfo::VersionText());
    QGuiApplication::setDesktopFileName(QStringLiteral("com.brindlewood.VarnoOsk"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/shell/varno-osk.svg")));
    QApplication::setStyle(new ConsoleStyle);

    MessageBoxPresenter presenter([](const QString &page) { modHelp::ShowHelpPage(page); });
    Presenter::install(&presenter);

    int status = 1;
    if (modStartup::PrepareRegistry()) {
        frmMain window;
        QObject::connect(&instance, &ConsoleInstance::showRequested, &window, &frmMain::BringToFront);
        window.show();
        status = QApplication::exec();
    }

    Presenter::install(nullptr);
    return status;
}

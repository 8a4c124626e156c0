// Main: the console's start-up. Any command line is ignored.

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

#include <memory>

int main(int argc, char *argv[])
{
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

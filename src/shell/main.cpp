// Main: the console's start-up. Any command line is ignored.

#include "common/AppInfo.h"
#include "common/Presenter.h"
#include "common/widgets/MessageBoxPresenter.h"
#include "shell/UrlOpener.h"
#include "shell/forms/DesktopUrlOpener.h"
#include "shell/forms/frmMain.h"
#include "shell/modStartup.h"

#include <QApplication>
#include <QIcon>
#include <QLockFile>

#include <memory>

int main(int argc, char *argv[])
{
    // A second console ends before it has a window: the first one is the
    // administrator's, and a message would only be in the way.
    std::unique_ptr<QLockFile> instance;
    if (modStartup::PrevInstance(instance))
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(AppInfo::Title());
    QApplication::setOrganizationName(AppInfo::CompanyName());
    QApplication::setApplicationVersion(AppInfo::VersionText());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/shell/varno-osk.svg")));

    MessageBoxPresenter presenter;
    Presenter::install(&presenter);
    DesktopUrlOpener opener;
    UrlOpener::install(&opener);

    int status = 1;
    if (modStartup::PrepareRegistry()) {
        frmMain window;
        window.show();
        status = QApplication::exec();
    }

    UrlOpener::install(nullptr);
    Presenter::install(nullptr);
    return status;
}

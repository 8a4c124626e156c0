#include "common/AppInfo.h"
#include "common/modErrorHandler.h"
#include "common/modRegistry.h"
#include "common/widgets/MessageBoxPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppInfo::Title());
    QApplication::setOrganizationName(AppInfo::CompanyName());
    QApplication::setApplicationVersion(AppInfo::VersionText());

    MessageBoxPresenter presenter;
    Presenter::install(&presenter);

    // The console cannot keep its settings without its store; say why and stop.
    RegKey key = Reg::NoKey;
    const long code = modRegistry::OpenKey(QStringLiteral("HKCU\\Software"), QString(), Reg::KeyRead, key);
    if (code != Reg::Success) {
        modErrorHandler::ShowMessage(modErrorHandler::Error, modRegistry::ErrorText(code));
        return 1;
    }
    modRegistry::CloseKey(key);

    QMainWindow window;
    window.setObjectName(QStringLiteral("frmMain"));
    window.setWindowTitle(AppInfo::WindowTitle());
    auto *label = new QLabel(QStringLiteral("Registry store: %1").arg(modRegistry::DefaultStorePath()), &window);
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.resize(800, 560);
    window.show();

    const int status = QApplication::exec();
    Presenter::install(nullptr);
    return status;
}

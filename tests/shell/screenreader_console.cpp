// screenreader_console: the console's main window as a screen reader meets
// it in a run: one computer, HQ-01, whose migration ended well, selected in
// the tree. Each line of its standard input is a status code the computer
// reports next; it runs, with a registry of its own, until that input ends.
// Prints "ready" once the window is up.

#include "common/AppState.h"
#include "common/modRegistry.h"
#include "database/ComputerDB.h"
#include "shell/forms/ComputerTreeView.h"
#include "shell/forms/RunControlPane.h"
#include "shell/forms/frmMain.h"
#include "shell/modStartup.h"

#include "support/TestRegistry.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>
#include <utility>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    auto window = std::make_unique<frmMain>();
    const int id = window->database()->AddComputer(QStringLiteral("HQ-01"), QString(), -1, -1);
    const QString node = QStringLiteral("C") + QString::number(id);
    RunTreeStatus &status = window->runControl()->treeStatus();
    status.SetColorsForRun();
    status.SetNodeStatus(node, QStringLiteral("XS"));
    window->treeView()->goToNode(node);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray line;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        if (::read(STDIN_FILENO, &byte, 1) <= 0) {
            input.setEnabled(false);
            QApplication::quit();
        } else if (byte != '\n') {
            line.append(byte);
        } else {
            status.SetNodeStatus(node, QString::fromLatin1(std::exchange(line, QByteArray())));
        }
    });
    AppState::Reset();
    TestRegistry registry;
    const QString key = QStringLiteral("HKCU\\Software\\Brindlewood\\Varno-Osk");
    if (!modStartup::PrepareRegistry() || !modRegistry::SaveSettingString(key, QStringLiteral("WelcomeScreen"), QStringLiteral("1"))
        || !modRegistry::SaveSettingString(key, QStringLiteral("Engine"), QStringLiteral("rehearsal")))
        return 1;

    window->show();
    QTimer::singleShot(0, &app, [] {
        std::puts("ready");
        std::fflush(stdout);
    });
    const int result = QApplication::exec();
    // The window asks nothing at exit: no run is going on and nothing is unsaved.
    window.reset();
    AppState::Reset();
    return result;
}

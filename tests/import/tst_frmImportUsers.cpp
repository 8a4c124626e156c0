#include "import/forms/frmImportUsers.h"
#include "import/forms/frmShowLog.h"

#include "shell/MainWindowFixture.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

// File > Import > From File... as the administrator goes through it.
class TestImportUsersDialog : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;

    template<typename T> static T *child(QWidget *parent, const char *name) { return parent->findChild<T *>(QString::fromLatin1(name)); }

private Q_SLOTS:
    void init() { f.init(); }
    void cleanup() { f.cleanup(); }

    void partialImportShowsTheLogAndRefreshesThePanel()
    {
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ComputerDB &db = *window.database();
        const int desk = db.AddComputer(QStringLiteral("DESK-01"), QString(), -1, -1);
        f.click(window, modGeneral::ComputerKey(desk));
        const QString path = f.file(QStringLiteral("users.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("desk-01,ann,bob\r\nDESK-01,carl,BOB\r\nNEWPC,dora,eve\r\n");
        file.close();
        AppState::Get().DatabaseChanged = false;

        // The dialog, its log window over it, the dialog again.
        QStringList log;
        QTimer driver;
        connect(&driver, &QTimer::timeout, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *dialog = qobject_cast<frmImportUsers *>(modal); dialog && log.isEmpty()) {
                QTest::mouseClick(child<QPushButton>(dialog, "cmdImport"), Qt::LeftButton);
                child<QRadioButton>(dialog, "optUserToUser")->setChecked(true);
                f.presenter->setNextFileName(path);
                QTest::mouseClick(child<QPushButton>(dialog, "cmdBrowse"), Qt::LeftButton);
                // Queued: the log window's own loop needs this timer back.
                QMetaObject::invokeMethod(child<QPushButton>(dialog, "cmdImport"), &QPushButton::click, Qt::QueuedConnection);
                log << QString();
            } else if (dialog) {
                QTest::mouseClick(child<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
            } else if (auto *window = qobject_cast<frmShowLog *>(modal)) {
                log << window->windowTitle() << window->lblHeading()->text() << window->txtLog()->toPlainText();
                QTest::mouseClick(child<QPushButton>(window, "cmdOK"), Qt::LeftButton);
            }
        });
        driver.start(10);
        QVERIFY(f.trigger(window, QStringLiteral("mnuImportUsersFile")));
        driver.stop();

        QCOMPARE(log,
            QStringList({QString(), QStringLiteral("File Import Failed"),
                QStringLiteral("The following errors were encountered while trying to import the file '") + path + QStringLiteral("'."),
                QStringLiteral("Error on line 2: Duplicate destination username. This line has not been imported.\n")}));
        QCOMPARE(f.presenter->count(), 2);
        QCOMPARE(f.presenter->messages().at(0).text, QStringLiteral("You must select the file format your are using."));
        QCOMPARE(f.presenter->messages().at(1).text, QStringLiteral("Errors found during import process. File may be partially imported."));
        QCOMPARE(f.presenter->fileRequests().at(0).request.caption, QStringLiteral("Choose a file to import"));
        // Lines 1 and 3 stayed imported: the panel shows the selected computer's new entry, the tree the new computer.
        auto *users = window.findChild<QListWidget *>(QStringLiteral("lstMigrateUsers"));
        QCOMPARE(users->count(), 1);
        QCOMPARE(users->item(0)->text(), QStringLiteral("ann -> bob"));
        QCOMPARE(f.childTexts(window, modGeneral::RootKey), QStringList({QStringLiteral("DESK-01"), QStringLiteral("NEWPC")}));
        QVERIFY(AppState::Get().DatabaseChanged);
    }
};

QTEST_MAIN(TestImportUsersDialog)
#include "tst_frmImportUsers.moc"

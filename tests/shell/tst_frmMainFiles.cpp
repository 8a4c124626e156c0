#include "MainWindowFixture.h"

#include "database/PasswordSealer.h"
#include "settings/UserProfiles.h"
#include "shell/SettingsFileController.h"
#include "shell/forms/ObjectSettingsPanel.h"
#include "shell/forms/frmWelcome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTimer>

using modGeneral::ComputerKey;
using modGeneral::FolderKey;
using modGeneral::RootKey;

namespace {

// The small job the tests save: two levels of groups, own settings on a
// group, a computer with a user list and one directly under the root.
struct Sample
{
    int Sales = -1;
    int London = -1;
    int Desk = -1;
    int Laptop = -1;
};

Sample fillSample(ComputerDB &db, bool withPassword)
{
    Sample ids;
    const GlobalSettingsPtr global = db.GetSettings(QStringLiteral("G"), -1);
    global->SourceDomain = QStringLiteral("OLDCORP");
    global->DestinationDomain = QStringLiteral("NEWCORP");
    if (withPassword)
        global->SetUser(AdminA, QStringLiteral("migadmin"), QStringLiteral("pw-A"), QStringLiteral("NEWCORP"));
    ids.Sales = db.AddFolder(QStringLiteral("Sales"), -1);
    ids.London = db.AddFolder(QStringLiteral("London"), ids.Sales);
    ids.Desk = db.AddComputer(QStringLiteral("DESK-01"), QString(), ids.London, -1);
    ids.Laptop = db.AddComputer(QStringLiteral("LAPTOP-07"), QString(), -1, -1);
    const GlobalSettingsPtr sales = global->Clone();
    sales->DestinationDomain = QStringLiteral("SALESCORP");
    db.AddSettings(sales, ids.Sales, QStringLiteral("F"));
    db.GetComputerUserList(ids.Desk)->AddUserToUser(QStringLiteral("jdoe"), QStringLiteral("john.doe"));
    return ids;
}

// A window with the cheapest passphrase cost, so that sealing stays quick.
std::unique_ptr<frmMain> newWindow()
{
    auto window = std::make_unique<frmMain>();
    window->settingsFiles()->setPassphraseCost(PasswordSealer::Cost::Minimum());
    return window;
}

QStringList recentCaptions(QWidget &window)
{
    QStringList captions;
    for (int i = 0; i < 5; ++i) {
        QAction *item = MainWindowFixture::action(window, QStringLiteral("mnuRecent%1").arg(i));
        if (item->isVisible())
            captions.append(item->text());
    }
    return captions;
}

} // namespace

class TestMainWindowFiles : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;

private Q_SLOTS:
    void init() { f.init(); }
    void cleanup() { f.cleanup(); }

    void saveAndLoadRoundTripThroughTheMenus()
    {
        const QString path = f.file(QStringLiteral("wave1.vos.json"));
        {
            auto window = newWindow();
            fillSample(*window->database(), false);
            QVERIFY(AppState::Get().DatabaseChanged);
            // No file yet: Save Settings asks where, in the job's results folder.
            f.presenter->setNextFileName(path);
            f.action(*window, QStringLiteral("mnuSave"))->trigger();
            QCOMPARE(f.presenter->fileRequests().size(), 1);
            const RecordingPresenter::FileAsk &ask = f.presenter->fileRequests().constFirst();
            QVERIFY(ask.saving);
            QCOMPARE(ask.request.filter, SettingsFileController::DialogFilter);
            QCOMPARE(ask.request.fileName, QStringLiteral("Migration1.vos.json"));
            QCOMPARE(ask.request.folder, f.logs->path() + QStringLiteral("/Migration1/"));
            QVERIFY(QFile::exists(path));
            QCOMPARE(AppState::Get().CurrentSettingsFile, path);
            QVERIFY(!AppState::Get().DatabaseChanged);
            QCOMPARE(f.presenter->textRequests().size(), 0); // nothing to seal

            // With a file, Save Settings writes to it without asking.
            window->database()->AddComputer(QStringLiteral("KIOSK"), QString(), -1, -1);
            f.action(*window, QStringLiteral("mnuSave"))->trigger();
            QCOMPARE(f.presenter->fileRequests().size(), 1);
            QVERIFY(!AppState::Get().DatabaseChanged);
            QCOMPARE(f.presenter->count(), 0);
        }

        AppState::Reset();
        auto window = newWindow();
        f.presenter->setNextFileName(path);
        f.action(*window, QStringLiteral("mnuLoad"))->trigger();
        QCOMPARE(f.presenter->count(), 0);
        QVERIFY(!f.presenter->fileRequests().constLast().saving);

        ComputerDB &db = *window->database();
        QCOMPARE(AppState::Get().CurrentSettingsFile, path);
        QCOMPARE(AppState::Get().CurrentJobName, QStringLiteral("Migration1"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Varno-Osk - Profile Migration System: Migration1"));
        QVERIFY(!AppState::Get().DatabaseChanged);
        QCOMPARE(f.childTexts(*window, RootKey), (QStringList {"Sales", "KIOSK", "LAPTOP-07"}));
        const int sales = db.FindFolder(QStringLiteral("Sales"), -1);
        const int london = db.FindFolder(QStringLiteral("London"), sales);
        QCOMPARE(f.childTexts(*window, FolderKey(london)), QStringList {"DESK-01"});
        QCOMPARE(db.GetSettings(QStringLiteral("F"), sales)->DestinationDomain, QStringLiteral("SALESCORP"));
        QCOMPARE(db.GetSettings(QStringLiteral("G"), -1)->SourceDomain, QStringLiteral("OLDCORP"));
        QCOMPARE(db.GetComputerUserList(db.FindComputer(QStringLiteral("DESK-01")))->GetUserCount(), 1);
        // The tree is linked again: own settings show, the root is selected and shown.
        QCOMPARE(window->treeView()->icon(FolderKey(sales)), 23);
        QCOMPARE(window->treeView()->selectedKey(), RootKey);
        QCOMPARE(window->objectSettings()->model().ObjectKey(), RootKey);
        QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("txtSourceContext"))->text(), QStringLiteral("OLDCORP"));
    }

    void recentListIsNewestFirstWithoutDuplicates()
    {
        auto window = newWindow();
        const QString a = f.file(QStringLiteral("a.vos.json"));
        const QString b = f.file(QStringLiteral("b.vos.json"));
        window->database()->AddComputer(QStringLiteral("PC"), QString(), -1, -1);

        f.presenter->setNextFileName(a);
        f.action(*window, QStringLiteral("mnuSaveAs"))->trigger();
        f.presenter->setNextFileName(f.file(QStringLiteral("b"))); // the usual ending is added
        f.action(*window, QStringLiteral("mnuSaveAs"))->trigger();
        QCOMPARE(AppState::Get().CurrentSettingsFile, b);
        f.action(*window, QStringLiteral("mnuSave"))->trigger(); // b again: still listed once
        QCOMPARE(recentCaptions(*window), (QStringList {b, a}));
        QCOMPARE(f.setting(QStringLiteral("RecentlyUsed0")), b);
        QCOMPARE(f.setting(QStringLiteral("RecentlyUsed1")), a);
        QCOMPARE(f.setting(QStringLiteral("RecentlyUsed2")), QString());

        // Loading through the Recent entry moves the file to the front.
        f.action(*window, QStringLiteral("mnuRecent1"))->trigger();
        QCOMPARE(AppState::Get().CurrentSettingsFile, a);
        QCOMPARE(recentCaptions(*window), (QStringList {a, b}));

        // Five at most; the oldest falls off.
        for (int i = 0; i < 5; ++i) {
            f.presenter->setNextFileName(f.file(QStringLiteral("n%1.vos.json").arg(i)));
            f.action(*window, QStringLiteral("mnuSaveAs"))->trigger();
        }
        QCOMPARE(recentCaptions(*window).size(), 5);
        QCOMPARE(recentCaptions(*window).constFirst(), f.file(QStringLiteral("n4.vos.json")));
        QVERIFY(!recentCaptions(*window).contains(b));
        QCOMPARE(f.presenter->count(), 0);
    }

    void cancelInTheSavePromptKeepsEverything()
    {
        auto window = newWindow();
        const QString path = f.file(QStringLiteral("kept.vos.json"));
        f.presenter->setNextFileName(path);
        f.action(*window, QStringLiteral("mnuSaveAs"))->trigger();
        window->database()->AddComputer(QStringLiteral("UNSAVED"), QString(), -1, -1);
        const QString job = AppState::Get().CurrentJobName;

        f.presenter->setNextAnswer(Presenter::Cancel);
        f.action(*window, QStringLiteral("mnuNewSettings"))->trigger();
        QCOMPARE(f.presenter->count(), 1);
        const Presenter::Message &box = f.presenter->last();
        QCOMPARE(box.caption, QStringLiteral("Unsaved Settings"));
        QCOMPARE(box.buttons, Presenter::Buttons::YesNoCancel);
        QCOMPARE(box.icon, Presenter::Icon::Question);
        QCOMPARE(window->database()->FindComputer(QStringLiteral("UNSAVED")), 0);
        QCOMPARE(f.childTexts(*window, RootKey), QStringList {"UNSAVED"});
        QCOMPARE(AppState::Get().CurrentSettingsFile, path);
        QCOMPARE(AppState::Get().CurrentJobName, job);
        QVERIFY(AppState::Get().DatabaseChanged);

        // Cancel at exit keeps the window, and writes nothing.
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        f.presenter->setNextAnswer(Presenter::Cancel);
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QCOMPARE(f.setting(QStringLiteral("Width")), QString());

        // Loading asks too; Cancel loads nothing and asks for no file.
        f.presenter->setNextAnswer(Presenter::Cancel);
        f.action(*window, QStringLiteral("mnuLoad"))->trigger();
        QCOMPARE(f.presenter->fileRequests().size(), 1);
        QCOMPARE(f.childTexts(*window, RootKey), QStringList {"UNSAVED"});

        // Yes saves to the current file and goes on.
        f.presenter->setNextAnswer(Presenter::Yes);
        f.action(*window, QStringLiteral("mnuNewSettings"))->trigger();
        QCOMPARE(window->database()->ComputerCount(), 0);
        QCOMPARE(AppState::Get().CurrentSettingsFile, QString());
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().contains("\"UNSAVED\""));
    }

    void panelEditsCountAsUnsaved()
    {
        auto window = newWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(!AppState::Get().DatabaseChanged);
        auto *source = f.control<QLineEdit>(*window, QStringLiteral("txtSourceContext"));
        f.retype(source, QStringLiteral("EDITED"));
        QVERIFY(window->SettingsChanged());

        // Yes stores the panel's edits first, then saves the file with them.
        const QString path = f.file(QStringLiteral("edited.vos.json"));
        f.presenter->setNextAnswer(Presenter::Yes);
        f.presenter->setNextFileName(path);
        f.action(*window, QStringLiteral("mnuNewSettings"))->trigger();
        QCOMPARE(f.presenter->count(), 1);
        QVERIFY(!window->SettingsChanged());
        QCOMPARE(window->database()->GetSettings(QStringLiteral("G"), -1)->SourceDomain, QString());

        f.action(*window, QStringLiteral("mnuRecent0"))->trigger();
        QCOMPARE(window->database()->GetSettings(QStringLiteral("G"), -1)->SourceDomain, QStringLiteral("EDITED"));
    }

    void passphraseIsAskedOncePerFile()
    {
        const QString a = f.file(QStringLiteral("a.vos.json"));
        const QString b = f.file(QStringLiteral("b.vos.json"));
        {
            auto window = newWindow();
            fillSample(*window->database(), true);
            f.presenter->setNextFileName(a);
            f.presenter->setNextText(QStringLiteral("right"));
            f.action(*window, QStringLiteral("mnuSaveAs"))->trigger();
            QCOMPARE(f.presenter->textRequests().size(), 1);
            const Presenter::TextRequest &ask = f.presenter->textRequests().constFirst();
            QCOMPARE(ask.caption, QStringLiteral("Settings File Passphrase"));
            QVERIFY(ask.password);

            window->database()->AddComputer(QStringLiteral("MORE"), QString(), -1, -1);
            f.action(*window, QStringLiteral("mnuSave"))->trigger();
            QCOMPARE(f.presenter->textRequests().size(), 1);

            // Another file is another question.
            f.presenter->setNextFileName(b);
            f.presenter->setNextText(QStringLiteral("other"));
            f.action(*window, QStringLiteral("mnuSaveAs"))->trigger();
            QCOMPARE(f.presenter->textRequests().size(), 2);

            // The first file loads with what was typed for it.
            f.presenter->setNextFileName(a);
            f.action(*window, QStringLiteral("mnuLoad"))->trigger();
            QCOMPARE(f.presenter->textRequests().size(), 2);
            QCOMPARE(AppState::Get().CurrentSettingsFile, a);
            QCOMPARE(f.presenter->count(), 0);
        }

        // A new session asks again when loading, and not when saving it back.
        AppState::Reset();
        f.presenter->clear();
        auto window = newWindow();
        f.presenter->setNextFileName(a);
        f.presenter->setNextText(QStringLiteral("right"));
        f.action(*window, QStringLiteral("mnuLoad"))->trigger();
        QCOMPARE(f.presenter->textRequests().size(), 1);
        QCOMPARE(window->database()->GetSettings(QStringLiteral("G"), -1)->account(AdminA).Password, QStringLiteral("pw-A"));
        window->database()->AddComputer(QStringLiteral("EVEN-MORE"), QString(), -1, -1);
        f.action(*window, QStringLiteral("mnuSave"))->trigger();
        QCOMPARE(f.presenter->textRequests().size(), 1);
        QCOMPARE(f.presenter->count(), 0);
    }

    void wrongPassphraseLoadsNothing()
    {
        const QString path = f.file(QStringLiteral("sealed.vos.json"));
        {
            auto window = newWindow();
            fillSample(*window->database(), true);
            f.presenter->setNextFileName(path);
            f.presenter->setNextText(QStringLiteral("right"));
            f.action(*window, QStringLiteral("mnuSaveAs"))->trigger();
        }
        AppState::Reset();
        f.presenter->clear();
        auto window = newWindow();
        window->database()->AddComputer(QStringLiteral("KEEP-ME"), QString(), -1, -1);
        AppState::Get().DatabaseChanged = false;

        f.presenter->setNextText(QStringLiteral("wrong"));
        QVERIFY(!window->settingsFiles()->LoadSettingsFile(path));
        QCOMPARE(f.presenter->count(), 1);
        QCOMPARE(f.presenter->last().icon, Presenter::Icon::Critical);
        QVERIFY(f.presenter->last().text.endsWith(QStringLiteral("is wrong; nothing was loaded.")));
        QCOMPARE(f.childTexts(*window, RootKey), QStringList {"KEEP-ME"});
        QCOMPARE(window->database()->FolderCount(), 0);
        QCOMPARE(AppState::Get().CurrentSettingsFile, QString());
        QCOMPARE(f.setting(QStringLiteral("RecentlyUsed0")), path); // only the save put it there

        // Cancel at the passphrase: nothing loaded, nothing said.
        QVERIFY(!window->settingsFiles()->LoadSettingsFile(path));
        QCOMPARE(f.presenter->count(), 1);

        // A wrong passphrase is not remembered: the next try asks again.
        f.presenter->setNextText(QStringLiteral("right"));
        QVERIFY(window->settingsFiles()->LoadSettingsFile(path));
        QCOMPARE(f.presenter->textRequests().size(), 3);
        QCOMPARE(window->database()->FindComputer(QStringLiteral("KEEP-ME")), -1);
    }

    void emptyPassphraseSavesWithoutPasswords()
    {
        const QString path = f.file(QStringLiteral("open.vos.json"));
        {
            auto window = newWindow();
            fillSample(*window->database(), true);
            f.presenter->setNextFileName(path);
            f.presenter->setNextText(QString());
            f.action(*window, QStringLiteral("mnuSaveAs"))->trigger();
            QCOMPARE(f.presenter->count(), 1);
            QCOMPARE(f.presenter->last().icon, Presenter::Icon::Information);
            QVERIFY(f.presenter->last().text.contains(QStringLiteral("passwords are left out")));
            QCOMPARE(AppState::Get().CurrentSettingsFile, path);
        }
        AppState::Reset();
        f.presenter->clear();
        auto window = newWindow();
        QVERIFY(window->settingsFiles()->LoadSettingsFile(path));
        QCOMPARE(f.presenter->textRequests().size(), 0);
        const GlobalSettingsPtr global = window->database()->GetSettings(QStringLiteral("G"), -1);
        QCOMPARE(global->account(AdminA).Username, QStringLiteral("migadmin"));
        QCOMPARE(global->account(AdminA).Password, QString());
    }

    void refusedFileLeavesTheDatabase()
    {
        const QString path = f.file(QStringLiteral("notes.vos.json"));
        QFile notes(path);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("{\"shopping\": [\"milk\"]}\r\n");
        notes.close();

        auto window = newWindow();
        window->database()->AddComputer(QStringLiteral("KEEP-ME"), QString(), -1, -1);
        AppState::Get().DatabaseChanged = false;
        f.presenter->setNextFileName(path);
        f.action(*window, QStringLiteral("mnuLoad"))->trigger();
        QCOMPARE(f.presenter->count(), 1);
        QVERIFY(f.presenter->last().text.contains(QStringLiteral("is not a Varno-Osk settings file")));
        QCOMPARE(f.childTexts(*window, RootKey), QStringList {"KEEP-ME"});
        QCOMPARE(f.setting(QStringLiteral("RecentlyUsed0")), QString());
    }

    void migrationStateKeepsTheLastStatuses()
    {
        const QString state = f.file(QStringLiteral("state.vos.json"));
        {
            auto window = newWindow();
            const Sample ids = fillSample(*window->database(), false);
            window->LastClientStatus().insert(ids.Desk, QStringLiteral("CL"));
            f.presenter->setNextFileName(state);
            f.action(*window, QStringLiteral("mnuSaveState"))->trigger();
            QCOMPARE(f.presenter->fileRequests().constLast().request.caption, QStringLiteral("Save Migration State"));
            // A copy beside the settings: the job still has no settings file of its own.
            QCOMPARE(AppState::Get().CurrentSettingsFile, QString());
            QVERIFY(AppState::Get().DatabaseChanged);
        }
        AppState::Reset();
        auto window = newWindow();
        QVERIFY(window->settingsFiles()->LoadSettingsFile(state));
        const int desk = window->database()->FindComputer(QStringLiteral("DESK-01"));
        QCOMPARE(window->LastClientStatus(), (QMap<int, QString> {{desk, QStringLiteral("CL")}}));

        f.presenter->setNextAnswer(Presenter::No);
        window->database()->AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        f.action(*window, QStringLiteral("mnuNewSettings"))->trigger();
        QVERIFY(window->LastClientStatus().isEmpty());
    }

    void welcomeScreenLoadsAFile()
    {
        const QString path = f.file(QStringLiteral("welcome.vos.json"));
        {
            auto window = newWindow();
            fillSample(*window->database(), false);
            f.presenter->setNextFileName(path);
            f.action(*window, QStringLiteral("mnuSaveAs"))->trigger();
        }
        AppState::Reset();
        QVERIFY(modRegistry::SaveSettingString(MainWindowFixture::AppKey, QStringLiteral("WelcomeScreen"), QStringLiteral("0")));
        auto window = newWindow();
        QTimer::singleShot(0, qApp, [] {
            if (auto *welcome = qobject_cast<frmWelcome *>(QApplication::activeModalWidget()))
                QTest::mouseClick(welcome->findChild<QAbstractButton *>(QStringLiteral("cmdLoad")), Qt::LeftButton);
        });
        f.presenter->setNextFileName(path);
        window->Form_Activate();
        QCOMPARE(AppState::Get().CurrentSettingsFile, path);
        QCOMPARE(f.childTexts(*window, RootKey), (QStringList {"Sales", "LAPTOP-07"}));
    }

    void newJobNameSavesACopyInItsResultsFolder()
    {
        auto window = newWindow();
        fillSample(*window->database(), true);
        const QString original = f.logs->filePath(QStringLiteral("Migration1/jobs.vos.json"));
        f.presenter->setNextFileName(original);
        f.presenter->setNextText(QStringLiteral("right"));
        f.action(*window, QStringLiteral("mnuSaveAs"))->trigger();

        f.presenter->setNextAnswer(Presenter::Yes);
        window->PromptToSaveNewName(QStringLiteral("Wave2"));
        const QString copy = f.logs->filePath(QStringLiteral("Wave2/Wave2.vos.json"));
        QCOMPARE(AppState::Get().CurrentSettingsFile, copy);
        QCOMPARE(f.setting(QStringLiteral("RecentlyUsed0")), copy);
        // Sealed with the passphrase of the file it copies, without asking again.
        QCOMPARE(f.presenter->textRequests().size(), 1);

        AppState::Reset();
        auto reader = newWindow();
        f.presenter->setNextText(QStringLiteral("right"));
        QVERIFY(reader->settingsFiles()->LoadSettingsFile(copy));
        QCOMPARE(AppState::Get().CurrentJobName, QStringLiteral("Wave2"));
        QCOMPARE(reader->database()->GetSettings(QStringLiteral("G"), -1)->account(AdminA).Password, QStringLiteral("pw-A"));
    }
};

QTEST_MAIN(TestMainWindowFiles)
#include "tst_frmMainFiles.moc"

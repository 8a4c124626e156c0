#include "MainWindowFixture.h"

#include "settingsfile/PasswordSealer.h"
#include "shell/SettingsFileController.h"
#include "shell/forms/frmWelcome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTimer>

using modGeneral::FolderKey;
using modGeneral::RootKey;

namespace {

// The small job the tests save: a group with its own settings and a
// computer in it, and a computer directly under the root.
int fillSample(ComputerDB &db, bool withPassword)
{
    const GlobalSettingsPtr global = db.GetSettings(QStringLiteral("G"), -1);
    global->SourceDomain = QStringLiteral("OLDCORP");
    if (withPassword)
        global->SetUser(AdminA, QStringLiteral("migadmin"), QStringLiteral("pw-A"), QStringLiteral("NEWCORP"));
    const int sales = db.AddFolder(QStringLiteral("Sales"), -1);
    db.AddComputer(QStringLiteral("LAPTOP-07"), QString(), -1, -1);
    db.AddSettings(global->Clone(), sales, QStringLiteral("F"));
    return db.AddComputer(QStringLiteral("DESK-01"), QString(), sales, -1);
}

// A window with the cheapest passphrase cost, so that sealing stays quick.
std::unique_ptr<frmMain> newWindow()
{
    auto window = std::make_unique<frmMain>();
    window->settingsFiles()->setPassphraseCost(PasswordSealer::Cost::Minimum());
    return window;
}

QString password(frmMain &window)
{
    return window.database()->GetSettings(QStringLiteral("G"), -1)->account(AdminA).Password;
}

} // namespace

class TestMainWindowFiles : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;

    [[nodiscard]] bool trigger(QWidget &window, const char *name) { return f.trigger(window, QString::fromLatin1(name)); }

    // Save Settings As... to `path`, typing `passphrase` (twice) when the file seals passwords.
    void saveAs(QWidget &window, const QString &path, const QString &passphrase = QString())
    {
        f.presenter->setNextFileName(path);
        if (!passphrase.isEmpty()) {
            f.presenter->setNextText(passphrase);
            f.presenter->setNextText(passphrase);
        }
        QVERIFY(trigger(window, "mnuSaveAs"));
    }

    // A new console session: nothing remembered but the registry.
    std::unique_ptr<frmMain> nextSession()
    {
        AppState::Reset();
        f.presenter->clear();
        return newWindow();
    }

private Q_SLOTS:
    void init() { f.init(); }
    void cleanup() { f.cleanup(); }

    void saveAndLoadRoundTripThroughTheMenus()
    {
        const QString path = f.file(QStringLiteral("wave & one.vos.json"));
        {
            auto window = newWindow();
            fillSample(*window->database(), false);
            // No file yet: Save Settings asks where, in the job's results folder.
            f.presenter->setNextFileName(path);
            QVERIFY(trigger(*window, "mnuSave"));
            const RecordingPresenter::FileAsk &ask = f.presenter->fileRequests().constFirst();
            QVERIFY(ask.saving);
            QCOMPARE(ask.request.fileName, QStringLiteral("Migration1.vos.json"));
            QCOMPARE(ask.request.folder, f.logs->path() + QStringLiteral("/Migration1/"));
            QCOMPARE(AppState::Get().CurrentSettingsFile, path);

            // With a file, Save Settings writes to it without asking.
            window->database()->AddComputer(QStringLiteral("KIOSK"), QString(), -1, -1);
            QVERIFY(trigger(*window, "mnuSave"));
            QCOMPARE(f.presenter->fileRequests().size(), 1);
            QVERIFY(!AppState::Get().DatabaseChanged);
            QCOMPARE(f.presenter->count(), 0);
            // A name typed without an ending gets the usual one; the Recent list shows the newest
            // first, an ampersand as itself, not as an accelerator.
            saveAs(*window, f.file(QStringLiteral("copy")));
            QCOMPARE(AppState::Get().CurrentSettingsFile, f.file(QStringLiteral("copy.vos.json")));
            QCOMPARE(f.action(*window, QStringLiteral("mnuRecent1"))->text(), f.file(QStringLiteral("wave && one.vos.json")));
            QVERIFY(!f.action(*window, QStringLiteral("mnuRecent2"))->isVisible());
        }

        auto window = nextSession();
        f.presenter->setNextFileName(path);
        QVERIFY(trigger(*window, "mnuLoad"));
        QCOMPARE(f.presenter->count(), 0);
        QCOMPARE(f.setting(QStringLiteral("RecentlyUsed0")), path); // loading moves it to the front
        // The dialog opens where the last file was, not in the empty results folder.
        QCOMPARE(f.presenter->fileRequests().constLast().request.folder, f.registry->folder());
        QCOMPARE(AppState::Get().CurrentSettingsFile, path);
        QVERIFY(!AppState::Get().DatabaseChanged);
        QCOMPARE(f.childTexts(*window, RootKey), (QStringList {"Sales", "KIOSK", "LAPTOP-07"}));
        // The tree is linked again: own settings show, the root is selected and shown.
        QCOMPARE(window->treeView()->icon(FolderKey(window->database()->FindFolder(QStringLiteral("Sales"), -1))), 23);
        QCOMPARE(window->treeView()->selectedKey(), RootKey);
        QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("txtSourceContext"))->text(), QStringLiteral("OLDCORP"));
    }

    void cancelInTheSavePromptKeepsEverything()
    {
        auto window = newWindow();
        const QString path = f.file(QStringLiteral("kept.vos.json"));
        saveAs(*window, path);
        window->database()->AddComputer(QStringLiteral("UNSAVED"), QString(), -1, -1);
        const QString job = AppState::Get().CurrentJobName;

        f.presenter->setNextAnswer(Presenter::Cancel);
        QVERIFY(trigger(*window, "mnuNewSettings"));
        QCOMPARE(f.presenter->last().caption, QStringLiteral("Unsaved Settings"));
        QCOMPARE(f.childTexts(*window, RootKey), QStringList {"UNSAVED"});
        QCOMPARE(AppState::Get().CurrentJobName, job);
        QVERIFY(AppState::Get().DatabaseChanged);

        // Cancel at exit keeps the window, and writes nothing.
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        f.presenter->setNextAnswer(Presenter::Cancel);
        QVERIFY(!window->close());
        QCOMPARE(f.setting(QStringLiteral("Width")), QString());

        // Loading asks too; Cancel loads nothing and asks for no file.
        f.presenter->setNextAnswer(Presenter::Cancel);
        QVERIFY(trigger(*window, "mnuLoad"));
        QCOMPARE(f.presenter->fileRequests().size(), 1);

        // Yes saves to the current file and goes on.
        f.presenter->setNextAnswer(Presenter::Yes);
        QVERIFY(trigger(*window, "mnuNewSettings"));
        QCOMPARE(window->database()->ComputerCount(), 0);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().contains("\"UNSAVED\""));
    }

    void panelEditsCountAsUnsaved()
    {
        auto window = newWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        f.retype(window->findChild<QLineEdit *>(QStringLiteral("txtSourceContext")), QStringLiteral("EDITED"));

        // Yes stores the panel's edits first, then saves the file with them.
        f.presenter->setNextAnswer(Presenter::Yes);
        f.presenter->setNextFileName(f.file(QStringLiteral("edited.vos.json")));
        QVERIFY(trigger(*window, "mnuNewSettings"));
        QVERIFY(!window->SettingsChanged());
        QCOMPARE(window->database()->GetSettings(QStringLiteral("G"), -1)->SourceDomain, QString());
        QVERIFY(trigger(*window, "mnuRecent0"));
        QCOMPARE(window->database()->GetSettings(QStringLiteral("G"), -1)->SourceDomain, QStringLiteral("EDITED"));
    }

    // Without the passphrase nobody opens the sealed passwords again: it is
    // typed twice, asked once per file in a session, and asked again when wrong.
    void passphrases()
    {
        const QString path = f.file(QStringLiteral("sealed.vos.json"));
        const QString open = f.file(QStringLiteral("open.vos.json"));
        const QString notes = f.file(QStringLiteral("notes.vos.json"));
        {
            auto window = newWindow();
            fillSample(*window->database(), true);
            f.presenter->setNextFileName(path);
            for (const char *typed : {"right", "rihgt", "right", "right"})
                f.presenter->setNextText(QString::fromLatin1(typed));
            QVERIFY(trigger(*window, "mnuSaveAs"));
            QCOMPARE(f.presenter->textRequests().size(), 4);
            QVERIFY(f.presenter->textRequests().at(2).text.startsWith(QStringLiteral("The two passphrases were not the same.")));
            QVERIFY(f.presenter->textRequests().constLast().password);
            window->database()->AddComputer(QStringLiteral("MORE"), QString(), -1, -1);
            QVERIFY(trigger(*window, "mnuSave"));
            f.presenter->setNextFileName(path);
            QVERIFY(trigger(*window, "mnuLoad"));
            QCOMPARE(f.presenter->textRequests().size(), 4);

            // Cancel at the second question saves nothing.
            f.presenter->setNextFileName(f.file(QStringLiteral("other.vos.json")));
            f.presenter->setNextText(QStringLiteral("right"));
            QVERIFY(trigger(*window, "mnuSaveAs"));
            QVERIFY(!QFile::exists(f.file(QStringLiteral("other.vos.json"))));
            QCOMPARE(AppState::Get().CurrentSettingsFile, path);

            // Empty: saved without the passwords, after saying so, and nothing to type twice.
            f.presenter->setNextFileName(open);
            f.presenter->setNextText(QString());
            QVERIFY(trigger(*window, "mnuSaveAs"));
            QCOMPARE(f.presenter->textRequests().size(), 7);
            QVERIFY(f.presenter->last().text.contains(QStringLiteral("passwords are left out")));
        }

        auto window = nextSession();
        window->database()->AddComputer(QStringLiteral("KEEP-ME"), QString(), -1, -1);
        AppState::Get().DatabaseChanged = false;
        // Cancel after a wrong one: nothing loaded, nothing more said.
        f.presenter->setNextText(QStringLiteral("wrong"));
        QVERIFY(!window->settingsFiles()->LoadSettingsFile(path));
        QVERIFY(f.presenter->textRequests().constLast().text.startsWith(QStringLiteral("The passphrase is wrong.")));
        QCOMPARE(f.presenter->count(), 0);
        QCOMPARE(f.childTexts(*window, RootKey), QStringList {"KEEP-ME"});

        // A file that is no settings file at all is refused, and not listed.
        QFile file(notes);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"shopping\": [\"milk\"]}\r\n");
        file.close();
        QVERIFY(!window->settingsFiles()->LoadSettingsFile(notes));
        QCOMPARE(f.presenter->count(), 1);
        QCOMPARE(f.childTexts(*window, RootKey), QStringList {"KEEP-ME"});
        QCOMPARE(f.setting(QStringLiteral("RecentlyUsed0")), open);

        f.presenter->setNextText(QStringLiteral("wrong"));
        f.presenter->setNextText(QStringLiteral("right"));
        QVERIFY(window->settingsFiles()->LoadSettingsFile(path));
        QCOMPARE(f.presenter->textRequests().size(), 4);
        QCOMPARE(password(*window), QStringLiteral("pw-A"));
        QVERIFY(trigger(*window, "mnuSave")); // saving back does not ask again
        QCOMPARE(f.presenter->textRequests().size(), 4);

        QVERIFY(window->settingsFiles()->LoadSettingsFile(open));
        QCOMPARE(f.presenter->textRequests().size(), 4);
        QCOMPARE(window->database()->GetSettings(QStringLiteral("G"), -1)->account(AdminA).Username, QStringLiteral("migadmin"));
        QCOMPARE(password(*window), QString());
        QCOMPARE(f.presenter->count(), 1);
    }

    void migrationStateLoadedFromTheWelcomeScreen()
    {
        const QString state = f.file(QStringLiteral("state.vos.json"));
        {
            auto window = newWindow();
            window->LastClientStatus().insert(fillSample(*window->database(), false), QStringLiteral("CL"));
            f.presenter->setNextFileName(state);
            QVERIFY(trigger(*window, "mnuSaveState"));
            // A copy beside the settings: the job still has no settings file of its own.
            QCOMPARE(AppState::Get().CurrentSettingsFile, QString());
            QVERIFY(AppState::Get().DatabaseChanged);
        }
        QVERIFY(modRegistry::SaveSettingString(MainWindowFixture::AppKey, QStringLiteral("WelcomeScreen"), QStringLiteral("0")));
        auto window = nextSession();
        QTimer::singleShot(0, qApp, [] {
            if (auto *welcome = qobject_cast<frmWelcome *>(QApplication::activeModalWidget()))
                QTest::mouseClick(welcome->findChild<QAbstractButton *>(QStringLiteral("cmdLoad")), Qt::LeftButton);
        });
        f.presenter->setNextFileName(state);
        window->Form_Activate();
        QCOMPARE(AppState::Get().CurrentSettingsFile, state);
        QCOMPARE(f.childTexts(*window, RootKey), (QStringList {"Sales", "LAPTOP-07"}));
        const int desk = window->database()->FindComputer(QStringLiteral("DESK-01"));
        QCOMPARE(window->LastClientStatus(), (QMap<int, QString> {{desk, QStringLiteral("CL")}}));

        f.presenter->setNextAnswer(Presenter::No);
        window->database()->AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        QVERIFY(trigger(*window, "mnuNewSettings"));
        QVERIFY(window->LastClientStatus().isEmpty());
    }

    void newJobNameSavesACopyInItsResultsFolder()
    {
        auto window = newWindow();
        fillSample(*window->database(), true);
        saveAs(*window, f.logs->filePath(QStringLiteral("Migration1/jobs.vos.json")), QStringLiteral("right"));

        f.presenter->setNextAnswer(Presenter::Yes);
        window->PromptToSaveNewName(QStringLiteral("Wave2"));
        const QString copy = f.logs->filePath(QStringLiteral("Wave2/Wave2.vos.json"));
        QCOMPARE(AppState::Get().CurrentSettingsFile, copy);
        QCOMPARE(f.setting(QStringLiteral("RecentlyUsed0")), copy);
        // Sealed with the passphrase of the file it copies, without asking again.
        QCOMPARE(f.presenter->textRequests().size(), 2);

        auto reader = nextSession();
        f.presenter->setNextText(QStringLiteral("right"));
        QVERIFY(reader->settingsFiles()->LoadSettingsFile(copy));
        QCOMPARE(AppState::Get().CurrentJobName, QStringLiteral("Wave2"));
        QCOMPARE(password(*reader), QStringLiteral("pw-A"));
    }
};

QTEST_MAIN(TestMainWindowFiles)
#include "tst_frmMainFiles.moc"

#include "MainWindowFixture.h"

#include "import/forms/frmImportUsers.h"
#include "shell/forms/frmWelcome.h"
#include "wizards/forms/frmAuthWizard.h"
#include "wizards/forms/frmSetupWizard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>

#include <functional>

// The easy setup wizard as the administrator goes through it: from the
// welcome screen or the Tools menu, over the real pages, to Finish or Cancel.
class TestSetupWizardWindow : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;

    template<typename T> static T *child(QWidget *parent, const char *name) { return parent->findChild<T *>(QString::fromLatin1(name)); }
    static void press(QWidget *dialog, const char *name) { QTest::mouseClick(child<QAbstractButton>(dialog, name), Qt::LeftButton); }
    static void typeInto(QWidget *dialog, const char *name, const QString &text)
    {
        auto *field = child<QLineEdit>(dialog, name);
        QVERIFY(field && field->isEnabled());
        QTest::keyClicks(field, text);
    }

    // Answers every modal window the steps know, a step per timer tick, until
    // the command that opened them returns.
    struct Driver
    {
        std::function<void(frmSetupWizard *)> wizard;
        std::function<void(QWidget *)> other;
    };
    void drive(const Driver &driver, const std::function<void()> &open)
    {
        QTimer timer;
        int ticks = 0;
        connect(&timer, &QTimer::timeout, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            // A step that never gets anywhere closes the windows instead of hanging the test.
            if (++ticks > 2000) {
                QTest::qFail("the windows did not close", __FILE__, __LINE__);
                if (modal)
                    modal->close();
                return;
            }
            if (auto *wizard = qobject_cast<frmSetupWizard *>(modal))
                driver.wizard(wizard);
            else if (modal && driver.other)
                driver.other(modal);
        });
        timer.start(5);
        open();
        timer.stop();
    }

    // A group and a computer with settings of their own, and a global record.
    struct Job
    {
        int group = -1;
        int computer = -1;
    };
    static Job ownSettings(ComputerDB &db)
    {
        Job job;
        job.group = db.AddFolder(QStringLiteral("Sales"), -1);
        job.computer = db.AddComputer(QStringLiteral("SAL-01"), QString(), job.group, -1);
        for (const auto &[type, id] : {std::pair {QStringLiteral("F"), job.group}, std::pair {QStringLiteral("C"), job.computer}}) {
            GlobalSettingsPtr own = GlobalSettings::create();
            own->JoinVal = JoinDomain;
            own->JoinName = QStringLiteral("OWN");
            db.AddSettings(own, id, type);
        }
        GlobalSettingsPtr global = GlobalSettings::create();
        global->SetDefaults();
        global->JoinName = QStringLiteral("OLDGLOBAL");
        db.AddSettings(global, 0, QStringLiteral("G"));
        db.SetColorsForEdit();
        return job;
    }

private Q_SLOTS:
    void init() { f.init(); }
    void cleanup() { f.cleanup(); }

    // Welcome > Easy Setup Wizard, a domain change to a workgroup, Finish:
    // one record on the root replaces every setting.
    void welcomeToFinish()
    {
        QVERIFY(modRegistry::SaveSettingString(MainWindowFixture::AppKey, QStringLiteral("WelcomeScreen"), QStringLiteral("0")));
        // Not shown: the first show would open the welcome screen before the job is there.
        frmMain window;
        ComputerDB &db = *window.database();
        const Job job = ownSettings(db);
        AppState::Get().DatabaseChanged = false;

        QList<int> pages;
        QStringList options;
        bool wentBack = false;
        Driver driver;
        driver.other = [&](QWidget *modal) {
            if (qobject_cast<frmWelcome *>(modal)) {
                press(modal, "cmdEasyWizard");
            } else if (auto *accounts = qobject_cast<frmAuthWizard *>(modal)) {
                // A workgroup join asks for one local administrator.
                if (accounts->model().isAccountPage()) {
                    typeInto(accounts, "txtUsername", QStringLiteral("migadmin"));
                    typeInto(accounts, "txtPassword", QStringLiteral("pw"));
                    child<QAbstractButton>(accounts, "chkLocalAccount")->click();
                }
                press(accounts, "cmdNext");
            }
        };
        driver.wizard = [&](frmSetupWizard *wizard) {
            const int page = wizard->model().CurrentPage();
            if (!pages.isEmpty() && pages.constLast() == page) {
                // Back from the authentication wizard, which wrote the working copy only.
                if (page == SetupWizardModel::AccountsPage && wizard->model().workingCopy()->account(AdminA).Username == u"migadmin"
                    && db.GetSettings(QStringLiteral("G"), 0)->account(AdminA).Username.isEmpty())
                    press(wizard, "cmdNext");
                return;
            }
            pages << page;
            switch (page) {
            case SetupWizardModel::ActionPage:
                QVERIFY(child<QWidget>(wizard, "lblImportant")->isVisible());
                press(wizard, "optAction0");
                break;
            case SetupWizardModel::JoinPage:
                if (!wentBack) {
                    wentBack = true;
                    press(wizard, "cmdPrevious");
                    return;
                }
                press(wizard, "chkJoinWorkgroup");
                QVERIFY(!child<QLineEdit>(wizard, "txtDomDCName")->isEnabled());
                typeInto(wizard, "txtJoinName", QStringLiteral("WORKGRP"));
                break;
            case SetupWizardModel::OptionsPage:
                // A domain change allows reboots and has no profiles to treat.
                for (const char *box : {"chkRebootAllow", "chkRebootForce", "chkCopyProfile", "chkNoTempInternet", "chkOverwriteProfile"}) {
                    auto *check = child<QCheckBox>(wizard, box);
                    options << QStringLiteral("%1 %2").arg(int(check->isChecked())).arg(int(check->isEnabled()));
                }
                break;
            case SetupWizardModel::AccountsPage:
                // Queued: the authentication wizard's own loop needs this timer back.
                QMetaObject::invokeMethod(child<QAbstractButton>(wizard, "cmdAuthWizard"), &QAbstractButton::click, Qt::QueuedConnection);
                return;
            case SetupWizardModel::FinishPage:
                QCOMPARE(child<QAbstractButton>(wizard, "cmdNext")->text(), SetupWizardModel::FinishCaption);
                break;
            default:
                break;
            }
            press(wizard, "cmdNext");
        };
        drive(driver, [&] { window.Form_Activate(); });

        QCOMPARE(pages, QList<int>({0, 1, 4, 1, 4, 5, 6, 7, 8}));
        QCOMPARE(options, QStringList({"1 0", "1 0", "0 0", "0 0", "0 0"}));
        QCOMPARE(f.presenter->count(), 0);
        QVERIFY(!db.GetSettings(QStringLiteral("F"), job.group));
        QVERIFY(!db.GetSettings(QStringLiteral("C"), job.computer));
        const GlobalSettingsPtr root = db.GetSettings(QStringLiteral("G"), 0);
        QCOMPARE(root->JoinVal, int(JoinWorkgroup));
        QCOMPARE(root->JoinName, QStringLiteral("WORKGRP"));
        QCOMPARE(root->ActionType, int(DomainChangeOnly));
        QCOMPARE(root->CopyProfile, 0);
        QCOMPARE(root->account(AdminA).Domain, LocalAccountDomain);
        QVERIFY(AppState::Get().DatabaseChanged);
        // The tree marks no node below the root as having settings of its own.
        QCOMPARE(window.treeView()->icon(modGeneral::FolderKey(job.group)), int(TreeImage::Folder));
        QCOMPARE(window.treeView()->icon(modGeneral::ComputerKey(job.computer)), int(TreeImage::Computer));
    }

    // Tools > Easy Setup Wizard, computers imported from a file on the
    // import page, then the window's close button: the computers stay and
    // show in the tree, no setting changes.
    void closeAfterImportKeepsComputersOnly()
    {
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ComputerDB &db = *window.database();
        const Job job = ownSettings(db);
        const QString path = f.file(QStringLiteral("computers.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("NEW-01\r\nNEW-02\r\n");
        file.close();

        bool importPressed = false;
        bool imported = false;
        QWidget *focused = nullptr, *focusedAfter = nullptr;
        Driver driver;
        driver.other = [&](QWidget *modal) {
            if (!qobject_cast<frmImportUsers *>(modal))
                return;
            child<QRadioButton>(modal, "optComputers")->setChecked(true);
            child<QLineEdit>(modal, "txtFile")->setText(path);
            press(modal, "cmdImport");
            imported = true;
        };
        driver.wizard = [&](frmSetupWizard *wizard) {
            switch (wizard->model().CurrentPage()) {
            case SetupWizardModel::ActionPage:
                press(wizard, "optAction0");
                break;
            case SetupWizardModel::JoinPage:
                if (child<QLineEdit>(wizard, "txtJoinName")->text().isEmpty()) {
                    typeInto(wizard, "txtJoinName", QStringLiteral("NEWCORP"));
                    typeInto(wizard, "txtDomDCName", QStringLiteral("newdc"));
                    typeInto(wizard, "txtDomDCIP", QStringLiteral("10.1.0.1"));
                }
                break;
            case SetupWizardModel::ImportPage:
                if (!importPressed) {
                    // Queued: the import dialog's own loop needs this timer back.
                    QMetaObject::invokeMethod(
                        child<QAbstractButton>(wizard, "cmdImportFile"), &QAbstractButton::click, Qt::QueuedConnection);
                    importPressed = true;
                    focused = QApplication::focusWidget();
                } else if (imported) {
                    QCOMPARE(child<QLabel>(wizard, "lblComputerCount")->text(), QStringLiteral("Computers in the job: 3"));
                    // The focus comes back once the window system has reactivated the wizard.
                    focusedAfter = QTest::qWaitFor([&] { return QApplication::focusWidget() == focused; }) ? focused
                                                                                                          : QApplication::focusWidget();
                    wizard->close();
                }
                return;
            default:
                break;
            }
            press(wizard, "cmdNext");
        };
        drive(driver, [&] { QVERIFY(f.trigger(window, QStringLiteral("mnuSetupWizard"))); });

        // The keyboard carries on where it was before the import.
        QVERIFY(focused && focusedAfter == focused);
        QCOMPARE(f.presenter->count(), 1);
        QCOMPARE(f.presenter->messages().constFirst().text, QStringLiteral("Import successful!"));
        QVERIFY(db.FindComputer(QStringLiteral("NEW-01")) >= 0);
        QCOMPARE(f.childTexts(window, modGeneral::RootKey),
            QStringList({QStringLiteral("Sales"), QStringLiteral("NEW-01"), QStringLiteral("NEW-02")}));
        QCOMPARE(db.GetSettings(QStringLiteral("G"), 0)->JoinName, QStringLiteral("OLDGLOBAL"));
        QCOMPARE(db.GetSettings(QStringLiteral("F"), job.group)->JoinName, QStringLiteral("OWN"));
        QVERIFY(db.GetSettings(QStringLiteral("C"), job.computer));
    }
};

QTEST_MAIN(TestSetupWizardWindow)
#include "tst_frmSetupWizard.moc"

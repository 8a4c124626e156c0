#include "MainWindowFixture.h"

#include "engine/ManualScheduler.h"
#include "engine/SimulatedEngine.h"
#include "engine/modEngine.h"
#include "job/JobFixture.h"
#include "shell/forms/ObjectSettingsPanel.h"
#include "shell/forms/RunControlPane.h"
#include "shell/forms/frmMigJobName.h"
#include "shell/forms/frmRollback.h"
#include "support/ManualClock.h"

#include "common/ConsoleConfig.h"
#include "common/PrivateFolder.h"
#include "engine/EngineJournal.h"
#include "settingsfile/SettingsFile.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace TreeImage;

// Whole runs of the main window on the simulated engine, stepped by hand:
// nothing here waits for real time.
class TestMainWindowRun : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;
    std::unique_ptr<ManualClock> m_clock;
    ManualScheduler *m_scheduler = nullptr;
    QString m_profile;
    QHash<QString, int> m_ids;

    // A sound job of one group of two lab machines (one ends with
    // warnings), and under the root a machine that ends with errors, one
    // that never answers and one that succeeds.
    std::unique_ptr<frmMain> newWindow()
    {
        auto window = std::make_unique<frmMain>();
        ComputerDB &db = *window->database();
        JobFixture::makeSound(JobFixture::global(db));
        const int lab = db.AddFolder(QStringLiteral("Lab"), -1);
        for (const auto &[name, group] : {std::pair {"LAB-01", lab}, {"LAB-02", lab}, {"PC-OLD", -1}, {"KIOSK-01", -1}, {"PC-01", -1}})
            m_ids.insert(QString::fromLatin1(name), JobFixture::addComputer(db, QString::fromLatin1(name), group));
        window->ReloadComputerDatabase();
        return window;
    }

    QString key(const char *name) const { return QStringLiteral("C%1").arg(m_ids.value(QString::fromLatin1(name))); }
    static int icon(const frmMain &window, const QString &key) { return window.treeView()->icon(key); }
    static QPushButton *button(const frmMain &window, const char *name) { return MainWindowFixture::runButton(window, name); }
    // The number a tally label shows inside its markup.
    static QString count(const frmMain &window, const char *name)
    {
        const QString text = window.runControl()->findChild<QLabel *>(QString::fromLatin1(name))->text();
        return text.section(QLatin1Char('>'), 1, 1).section(QLatin1Char('<'), 0, 0);
    }

    // Start Migration with the confirmation answered Yes.
    [[nodiscard]] bool start(frmMain &window)
    {
        f.presenter->setNextAnswer(Presenter::Yes);
        return f.trigger(window, QStringLiteral("mnuStartMigration"));
    }

    // The guide's pictures: VO_SCREENSHOTS=docs/images tst_frmMainRun aWholeRun
    void screenshot(frmMain &window, const char *name)
    {
        const QString folder = qEnvironmentVariable("VO_SCREENSHOTS");
        if (folder.isEmpty())
            return;
        window.resize(1100, 640);
        window.treeView()->expandAll();
        window.show();
        QApplication::processEvents();
        window.grab().save(folder + QLatin1Char('/') + QString::fromLatin1(name));
    }

private Q_SLOTS:
    void init()
    {
        f.init();
        QVERIFY(modRegistry::SaveSettingString(MainWindowFixture::AppKey, QStringLiteral("ListenerIP"), QStringLiteral("127.0.0.1")));
        QVERIFY(modRegistry::SaveSettingString(MainWindowFixture::AppKey, QStringLiteral("MaxTransferors"), QStringLiteral("2")));
        m_clock = std::make_unique<ManualClock>(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
        m_profile = QStringLiteral("step_ms = 100\nwarning = LAB-01\nerror = *-OLD\nsilent = KIOSK-??\nsilent_timeout_ms = 5000\n");
        m_ids.clear();
        modEngine::SetFactory([this] {
            auto scheduler = std::make_unique<ManualScheduler>();
            m_scheduler = scheduler.get();
            auto engine = std::make_unique<SimulatedEngine>(std::move(scheduler));
            SimulationProfile profile;
            QString problem;
            if (!profile.Parse(m_profile, &problem))
                qFatal("%s", qPrintable(problem));
            engine->SetProfile(profile);
            return engine;
        });
    }

    void cleanup()
    {
        modEngine::SetFactory({});
        m_clock.reset();
        f.cleanup();
    }

    // Start to Done: the menus as the run state has them, the tree's and
    // the pane's view of the run, the completion, Save Migration State and a
    // loaded state, and a second start over the logs of the first.
    void aWholeRun()
    {
        auto window = newWindow();
        const QString lab = window->treeView()->parentKey(key("LAB-01"));
        window->resize(960, 600);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const int treeWidth = window->findChild<QWidget *>(QStringLiteral("fmComputers"))->width();
        QVERIFY(start(*window));
        // Which command a run locks is the run state's table; here only
        // that the menus follow it.
        QVERIFY(!MainWindowFixture::action(*window, QStringLiteral("mnuConfiguration"))->isEnabled());
        QVERIFY(MainWindowFixture::action(*window, QStringLiteral("mnuSaveState"))->isEnabled());
        QVERIFY(window->findChild<QWidget *>(QStringLiteral("fmProgressLog"))->isVisibleTo(window.get()));
        // The pane's counts do not squeeze the tree, and none of them is cut off.
        QApplication::processEvents();
        QCOMPARE(window->findChild<QWidget *>(QStringLiteral("fmComputers"))->width(), treeWidth);
        const QWidget *counts = window->runControl()->findChild<QWidget *>(QStringLiteral("fraCounts"));
        QVERIFY(counts->width() >= counts->minimumSizeHint().width());

        // Two transferors: the lab machines go first; the counts follow.
        m_scheduler->Advance(300);
        QCOMPARE(icon(*window, lab), int(StatusExecuting));
        QVERIFY(count(*window, "lblInProgress") == "2" && count(*window, "lblNotStarted") == "3");
        screenshot(*window, "run-in-progress.png");

        f.presenter->clear();
        QVERIFY(m_scheduler->RunUntilIdle());
        QCOMPARE(f.presenter->count(), 1);
        QVERIFY(f.presenter->last().text.startsWith(QStringLiteral("Processing is complete.")));
        // The silent kiosk counts with the errors.
        for (const auto &[label, expected] :
            {std::pair {"lblSucceeded", "2"}, {"lblWarnings", "1"}, {"lblErrors", "2"}, {"lblNotStarted", "0"}})
            QCOMPARE(count(*window, label), QString::fromLatin1(expected));
        QCOMPARE(icon(*window, key("KIOSK-01")), int(StatusErrors));
        // Finished: locked until Done.
        QCOMPARE(RunState::instance().state(), RunState::State::MigrationComplete);
        screenshot(*window, "run-finished.png");

        QTest::mouseClick(button(*window, "cmdDone"), Qt::LeftButton);
        QVERIFY(window->findChild<QWidget *>(QStringLiteral("fmObjectSettings"))->isVisibleTo(window.get()));
        QCOMPARE(icon(*window, key("PC-01")), int(Computer));

        // A rehearsal leaves no migration state: it would later read as computers that finished.
        QVERIFY(f.trigger(*window, QStringLiteral("mnuSaveState")));
        QVERIFY(f.presenter->last().text.contains(QStringLiteral("no migration state to save")));
        QVERIFY(!QFile::exists(f.file(QStringLiteral("state.vos.json"))));

        // The logs of this run are in the results folder now.
        f.presenter->clear();
        f.presenter->setNextAnswer(Presenter::No);
        QTimer::singleShot(0, qApp, [] {
            if (auto *dialog = qobject_cast<frmMigJobName *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        QVERIFY(f.trigger(*window, QStringLiteral("mnuStartMigration")));
        QCOMPARE(f.presenter->count(), 1);
        QCOMPARE(f.presenter->last().caption, QStringLiteral("Existing Migration Found"));
        QVERIFY(!RunState::instance().running());
    }

    // File > Roll Back Computers...: the dialog lists the computers the
    // migration reached, ticked; the run that follows goes to those still
    // ticked, into its own results folder, and says "Rollback" in the
    // caption, the pane and the log.
    // A run that went on after its console: the next start asks, attaches
    // to its engine, and shows every computer from where it stands.
    void theNextStartAttachesToARunStillGoing()
    {
        auto window = newWindow();
        const QString settings = f.file(QStringLiteral("left.vos.json"));
        SettingsFile::SaveOptions options;
        options.JobName = QStringLiteral("Left");
        QVERIFY(SettingsFile().Save(*window->database(), settings, options).ok());
        AppState::Get().DatabaseChanged = false; // as at a start
        const QString results = f.logs->filePath(QStringLiteral("Left"));
        QVERIFY(QDir().mkpath(results));
        const QString attach = f.logs->filePath(QStringLiteral("attach"));
        QLocalServer engine;
        QVERIFY(engine.listen(attach));
        PrivateFolder folder;
        QVERIFY(folder.Open(results));
        EngineJournal journal;
        EngineJournal::Contents header;
        header.run = QStringLiteral("Left");
        header.mode = QStringLiteral("migrate");
        header.pid = QCoreApplication::applicationPid();
        header.attach = attach;
        header.clients = {QStringLiteral("LAB-01"), QStringLiteral("PC-01")};
        QVERIFY(journal.Open(folder, header));
        const ConsoleConfig config;
        QVERIFY(config.Write(ConsoleConfig::LastRun, results) && config.Write(ConsoleConfig::LastRunSettings, settings));

        // Not now: nothing attaches, and the next start asks again.
        f.presenter->setNextAnswer(Presenter::No);
        QVERIFY(!window->OfferReattach());
        QVERIFY(!engine.hasPendingConnections());
        f.presenter->setNextAnswer(Presenter::Yes);
        QVERIFY(window->OfferReattach());
        QVERIFY(f.presenter->last().text.startsWith(QStringLiteral("The run \"Left\" went on after the console that started it")));
        QVERIFY(engine.waitForNewConnection(5000));
        QLocalSocket *link = engine.nextPendingConnection();
        link->write("{\"e\":\"status\",\"n\":1,\"code\":\"XS\"}\n{\"e\":\"status\",\"n\":2,\"code\":\"CL\"}\n");
        QTRY_COMPARE(icon(*window, key("LAB-01")), int(StatusSuccess));
        QCOMPARE(icon(*window, key("PC-01")), int(StatusExecuting));
        QVERIFY(RunState::instance().running());
        link->write("{\"e\":\"status\",\"n\":2,\"code\":\"XE\"}\n{\"e\":\"complete\"}\n");
        QTRY_VERIFY(window->run()->Complete());
        QCOMPARE(icon(*window, key("PC-01")), int(StatusErrors));
        QVERIFY(ConsoleConfig().Text(ConsoleConfig::LastRun).isEmpty());
        QVERIFY(!window->OfferReattach());
    }

    // A run whose engine died: the next start offers to deliver what it
    // did not end; what ended keeps its outcome, and what it was at work on
    // is taken up too, for the engine to ask first how it stands.
    void theNextStartDeliversWhatADeadEngineLeft()
    {
        auto window = newWindow();
        const QString settings = f.file(QStringLiteral("cut.vos.json"));
        SettingsFile::SaveOptions options;
        options.JobName = QStringLiteral("Cut");
        QVERIFY(SettingsFile().Save(*window->database(), settings, options).ok());
        AppState::Get().DatabaseChanged = false; // as at a start
        const QString results = f.logs->filePath(QStringLiteral("Cut"));
        PrivateFolder folder;
        QVERIFY(folder.Open(results));
        EngineJournal journal;
        EngineJournal::Contents header;
        header.run = QStringLiteral("Cut");
        header.mode = QStringLiteral("migrate");
        header.pid = 0; // gone
        header.clients = {QStringLiteral("LAB-01"), QStringLiteral("PC-01"), QStringLiteral("LAB-02")};
        QVERIFY(journal.Open(folder, header));
        journal.Status(1, QStringLiteral("XS"));
        journal.Status(2, QStringLiteral("CL"));
        journal.Status(3, QStringLiteral("NP"));
        const ConsoleConfig config;
        QVERIFY(config.Write(ConsoleConfig::LastRun, results) && config.Write(ConsoleConfig::LastRunSettings, settings));
        // Not offered while no engine of the ssh kind is chosen to take it up.
        QVERIFY(!window->OfferReattach());
        QVERIFY(config.Write(ConsoleConfig::Engine, QStringLiteral("ssh")));

        f.presenter->setNextAnswer(Presenter::Yes);
        QVERIFY(window->OfferReattach());
        QCOMPARE(f.presenter->last().buttonCaptions, QStringList({QStringLiteral("Deliver the Rest"), QStringLiteral("Not Now")}));
        const QList<qint32> taken = window->run()->ClientIds();
        QCOMPARE(QSet<qint32>(taken.cbegin(), taken.cend()), QSet<qint32>({m_ids.value("PC-01"), m_ids.value("LAB-02")}));
        QVERIFY(m_scheduler->RunUntilIdle());
        QTRY_VERIFY(window->run()->Complete());
        QCOMPARE(icon(*window, key("LAB-02")), int(StatusSuccess));
        QVERIFY(QFile::exists(results + QStringLiteral("/engine.journal.1")));
    }

    void aRollbackFromTheFileMenu()
    {
        auto window = newWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        AppState::Get().CurrentJobName = QStringLiteral("Spring");
        const QString results = f.logs->filePath(QStringLiteral("Spring"));
        QVERIFY(QDir().mkpath(results));
        QFile status(results + QStringLiteral("/varnoosk.sts"));
        QVERIFY(status.open(QIODevice::WriteOnly));
        status.write("2024-05-06 07:08:09\t1\tLAB-01\tXS\r\n2024-05-06 07:08:09\t2\tPC-01\tXE\r\n2024-05-06 07:08:09\t3\tLAB-02\tXS\r\n");
        status.close();
        m_profile = QStringLiteral("step_ms = 100\n");

        bool shown = false;
        QTimer::singleShot(0, qApp, [&] {
            auto *dialog = qobject_cast<frmRollback *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            shown = dialog->lstComputers->count() == 3 && dialog->lstComputers->item(1)->checkState() == Qt::Checked
                && dialog->lstComputers->item(1)->text() == QStringLiteral("LAB-02 - Migration successful") && dialog->cmdRollBack->isDefault();
            if (const QString folder = qEnvironmentVariable("VO_SCREENSHOTS"); !folder.isEmpty())
                dialog->grab().save(folder + QStringLiteral("/rollback-dialog.png"));
            // Nothing ticked: refused, and the dialog stays.
            dialog->cmdUntickAll->click();
            dialog->cmdRollBack->click();
            shown = shown && dialog->isVisible() && f.presenter->last().text.startsWith(QStringLiteral("No computer is ticked"));
            dialog->cmdTickAll->click();
            dialog->lstComputers->item(2)->setCheckState(Qt::Unchecked);
            dialog->txtJoinAccount->setText(QStringLiteral("rejoin"));
            dialog->cmdRollBack->click();
        });
        QVERIFY(f.trigger(*window, QStringLiteral("mnuRollBack")));
        QVERIFY(shown);
        QVERIFY(RunState::instance().running());
        QVERIFY(window->windowTitle().endsWith(QStringLiteral(" [Rollback]")));
        const auto *caption = window->runControl()->findChild<QLabel *>(QStringLiteral("lblProgressCaption"));
        QCOMPARE(caption->text(), QStringLiteral("Rollback in progress... [Rollback]"));
        QVERIFY(m_scheduler->RunUntilIdle());
        QCOMPARE(caption->text(), QStringLiteral("Rollback complete: press Done to return to editing. [Rollback]"));
        QCOMPARE(count(*window, "lblSucceeded"), QStringLiteral("2"));
        QVERIFY(QFile::exists(f.logs->filePath(QStringLiteral("Spring rollback/rollback.txt"))));
        screenshot(*window, "rollback-finished.png");
        QTest::mouseClick(button(*window, "cmdDone"), Qt::LeftButton);
        // Its statuses are no migration's state.
        QVERIFY(f.trigger(*window, QStringLiteral("mnuSaveState")));
        QVERIFY(f.presenter->last().text.startsWith(QStringLiteral("The last run was a rollback")));
    }

    // Cancel under the log stops the clients not started; Abort from the
    // menu ends the started ones; a client aborted from the tree, after its
    // question, goes first. A client command that finds nothing to do says why.
    void cancelAndAbortInTheMiddle()
    {
        auto window = newWindow();
        QVERIFY(start(*window));
        m_scheduler->Advance(300);

        window->treeView()->selectNode(window->treeView()->parentKey(key("LAB-02")));
        QVERIFY(f.trigger(*window, QStringLiteral("mnuCancelClient")));
        QVERIFY(f.presenter->last().text.startsWith(QStringLiteral("No computer is selected.")));
        window->treeView()->selectNode(key("LAB-02"));
        f.presenter->setNextAnswer(Presenter::Yes);
        QVERIFY(f.trigger(*window, QStringLiteral("mnuAbortClient")));
        QCOMPARE(f.presenter->last().caption, QStringLiteral("Abort Client"));
        f.presenter->setNextAnswer(Presenter::Yes);
        QTest::mouseClick(button(*window, "cmdCancel"), Qt::LeftButton);
        m_scheduler->Advance(800);
        QVERIFY(f.trigger(*window, QStringLiteral("mnuAbortClient")));
        QCOMPARE(f.presenter->last().text, QStringLiteral("'LAB-02' has already finished: there is nothing left to abort."));
        f.presenter->setNextAnswer(Presenter::Yes);
        QVERIFY(f.trigger(*window, QStringLiteral("mnuAbortMigration")));
        QVERIFY(m_scheduler->RunUntilIdle());

        QCOMPARE(count(*window, "lblCanceled"), QStringLiteral("3"));
        QCOMPARE(count(*window, "lblAborted"), QStringLiteral("2"));
        QCOMPARE(icon(*window, key("LAB-02")), int(StatusAborted));
        QVERIFY(button(*window, "cmdDone")->isEnabled());
    }

    // An engine that fails ends the run at once: its message, and the
    // window back to editing with the edit icons.
    void anEngineErrorReturnsToEditing()
    {
        m_profile += QStringLiteral("engine_error = 5000007\nengine_error_after = 3\n");
        auto window = newWindow();
        QVERIFY(start(*window));
        QVERIFY(m_scheduler->RunUntilIdle());
        QVERIFY(!RunState::instance().running());
        QVERIFY(f.presenter->last().text.startsWith(QStringLiteral("Error in whnHandler.")));
        QCOMPARE(icon(*window, key("PC-01")), int(Computer));
    }

    // A fault stops the start on the computer's node, on the page of the
    // field it names.
    void aValidationFaultShowsItsNode()
    {
        auto window = newWindow();
        JobFixture::own(*window->database(), m_ids.value(QStringLiteral("PC-01")))
            .SetUser(AdminA, QStringLiteral("varno"), QStringLiteral("pw"), QString());
        window->ReloadComputerDatabase();
        QVERIFY(start(*window));
        QVERIFY(!RunState::instance().running());
        QCOMPARE(window->treeView()->selectedKey(), key("PC-01"));
        QCOMPARE(window->objectSettings()->CurrentTab(), 3);
    }

    void jobName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        const QString bad = QStringLiteral("The migration job name must be a valid Windows filename");
        QTest::newRow("empty") << QString() << bad;
        for (const char *name : {".", "..", "a|b"})
            QTest::newRow(name) << QString::fromLatin1(name) << bad;
        QTest::newRow("holds a file") << QStringLiteral("Used") << QStringLiteral("A migration results folder named 'Used' already exists");
        QTest::newRow("empty folder") << QStringLiteral("Empty") << QString();
        QTest::newRow("new") << QStringLiteral("Wave 2") << QString();
    }

    void jobName()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QVERIFY(QDir(f.logs->path()).mkpath(QStringLiteral("Used")) && QDir(f.logs->path()).mkpath(QStringLiteral("Empty")));
        QFile used(f.logs->path() + QStringLiteral("/Used/state.txt"));
        QVERIFY(used.open(QIODevice::WriteOnly));
        frmMain window;
        const QString before = AppState::Get().CurrentJobName;
        frmMigJobName dialog(window);
        dialog.show();
        MainWindowFixture::retype(dialog.txtJobName(), name);
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        if (message.isEmpty()) {
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(AppState::Get().CurrentJobName, name);
            QVERIFY(window.windowTitle().endsWith(QStringLiteral(": ") + name));
        } else {
            QVERIFY(dialog.isVisible());
            QVERIFY(f.presenter->last().text.startsWith(message));
            QCOMPARE(AppState::Get().CurrentJobName, before);
        }
    }
};

QTEST_MAIN(TestMainWindowRun)
#include "tst_frmMainRun.moc"

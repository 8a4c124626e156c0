#include "MainWindowFixture.h"

#include "common/widgets/frmProgress.h"
#include "settingsfile/SettingsFile.h"

#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

// The two menu items for big jobs, pressed in the window: the readiness
// report saved and opened, and a new job of the computers a run left.
class TestMainWindowReadiness : public QObject
{
    Q_OBJECT

    MainWindowFixture f;

    // PC-A sound, PC-B without a destination DC in its own settings.
    static void fill(ComputerDB &db)
    {
        GlobalSettings &global = *db.GetSettings(QStringLiteral("G"), -1);
        global.SetUser(AdminA, QStringLiteral("varno"), QString(), QStringLiteral("*LOCAL ACCOUNT*"));
        global.SetUser(AdminB, QStringLiteral("osk"), QString(), QStringLiteral("*LOCAL ACCOUNT*"));
        global.JoinVal = JoinWorkgroup;
        global.JoinName = QStringLiteral("WORKGROUP");
        const int sales = db.AddFolder(QStringLiteral("Sales"), -1);
        db.AddComputer(QStringLiteral("PC-A"), QString(), sales, -1);
        const int b = db.AddComputer(QStringLiteral("PC-B"), QString(), sales, -1);
        GlobalSettingsPtr own = global.Clone();
        own->JoinName = QStringLiteral("bad/name");
        db.AddSettings(own, b, QStringLiteral("C"));
    }

private Q_SLOTS:
    void init() { f.init(); }
    void cleanup() { f.cleanup(); }

    void readinessReport()
    {
        frmMain window;
        fill(*window.database());
        const QString html = f.file(QStringLiteral("ready.html"));
        f.presenter->setNextAnswer(Presenter::No); // no ping
        f.presenter->setNextAnswer(Presenter::No); // no check on the clients
        f.presenter->setNextAnswer(Presenter::Yes); // save
        f.presenter->setNextFileName(html);
        QVERIFY(f.trigger(window, QStringLiteral("mnuReadinessReport")));
        QVERIFY(f.presenter->messages().value(1).text.contains(QStringLiteral("Check on the clients as well?")));
        const QString summary = f.presenter->messages().value(2).text;
        QVERIFY2(summary.contains(QStringLiteral("With errors: 1")) && summary.contains(QStringLiteral("PC-B: error 306:")),
            qPrintable(summary));
        QVERIFY(QFile::exists(f.file(QStringLiteral("ready.csv"))));
        QCOMPARE(f.opener->opened.value(0).path, html);
    }

    // Pings at scale take minutes: they show their progress and may be
    // cancelled, and the report then says how many went unpinged.
    void pingsCanBeCancelled()
    {
        frmMain window;
        ComputerDB &db = *window.database();
        for (const char *loopback : {"127.0.0.1", "127.0.0.2", "127.0.0.3"})
            db.AddComputer(QLatin1String(loopback), QString(), -1, -1);
        bool cancelled = false;
        QTimer::singleShot(0, this, [&] {
            for (QWidget *top : QApplication::topLevelWidgets())
                if (auto *progress = qobject_cast<frmProgress *>(top); progress && progress->isVisible()) {
                    QTest::mouseClick(progress->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
                    cancelled = true;
                }
        });
        f.presenter->setNextAnswer(Presenter::Yes); // ping
        f.presenter->setNextAnswer(Presenter::No); // no check on the clients
        f.presenter->setNextAnswer(Presenter::No); // close
        QVERIFY(f.trigger(window, QStringLiteral("mnuReadinessReport")));
        QVERIFY(cancelled);
        const QString summary = f.presenter->messages().value(2).text;
        QVERIFY2(summary.contains(QStringLiteral("not pinged (cancelled)")), qPrintable(summary));
    }

    // Closing the window while the clients are checked stops them first,
    // then the window goes, without a report.
    void closingDuringTheCheckOnTheClients()
    {
        qputenv("VARNO_OSK_ENGINE", VO_FAKE_ENGINE);
        qputenv("FAKE_ENGINE", "wait");
        auto window = std::make_unique<frmMain>();
        fill(*window->database());
        window->show();
        f.presenter->setNextAnswer(Presenter::No); // no ping
        f.presenter->setNextAnswer(Presenter::Yes); // check on the clients
        f.presenter->setNextAnswer(Presenter::Yes); // abort the clients and exit
        f.presenter->setNextAnswer(Presenter::No); // not saved first
        // Polled, not waited for: the check's own loops must go on meanwhile.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (RunState::instance().state() == RunState::State::ClientCheck) {
                poll.stop();
                window->close();
            }
        });
        poll.start(20);
        QVERIFY(f.trigger(*window, QStringLiteral("mnuReadinessReport")));
        qunsetenv("VARNO_OSK_ENGINE");
        QVERIFY(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
        QCOMPARE(f.presenter->messages().size(), 4);
        QVERIFY(f.presenter->messages().value(2).text.contains(QStringLiteral("clients are being checked")));
    }

    void newJobFromUnfinished()
    {
        frmMain window;
        fill(*window.database());
        QVERIFY(!f.action(window, QStringLiteral("mnuNewJobFromUnfinished"))->isEnabled()); // no run yet
        window.LastClientStatus() = {{0, QStringLiteral("XS")}, {1, QStringLiteral("XC")}};
        Q_EMIT window.findChild<QMenu *>(QStringLiteral("mnuFile"))->aboutToShow();
        const QString path = f.file(QStringLiteral("again.vos.json"));
        f.presenter->setNextFileName(path);
        f.presenter->setNextAnswer(Presenter::Ok);
        QVERIFY(f.trigger(window, QStringLiteral("mnuNewJobFromUnfinished")));
        QVERIFY2(f.presenter->messages().value(0).text.contains(QStringLiteral("keeps the 1 of 2 computers")),
            qPrintable(f.presenter->messages().value(0).text));
        ComputerDB loaded;
        const SettingsFileResult result = SettingsFile().Load(path, QString(), loaded);
        QVERIFY(result.ok());
        QCOMPARE(result.JobName, AppState::Get().CurrentJobName + QStringLiteral(" retry"));
        QCOMPARE(loaded.GetComputerName(1), QStringLiteral("PC-B"));
        QVERIFY(!loaded.Computers(0) || !loaded.Computers(0)->Active);
        QVERIFY(loaded.GetSettings(QStringLiteral("C"), 1));
        // The console's own database keeps both.
        QVERIFY(window.database()->Computers(0)->Active);
    }
};

QTEST_MAIN(TestMainWindowReadiness)
#include "tst_frmMainReadiness.moc"

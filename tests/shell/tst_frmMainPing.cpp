#include "FakeNetwork.h"
#include "MainWindowFixture.h"

#include "shell/forms/RunControlPane.h"

#include <QPlainTextEdit>
#include <QPushButton>

using namespace TreeImage;

// The ping test in the main window over a network the test makes up.
class TestMainWindowPing : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;
    QHash<QString, int> m_ids;

    std::unique_ptr<frmMain> newWindow(const QStringList &computers)
    {
        auto window = std::make_unique<frmMain>();
        ComputerDB &db = *window->database();
        for (const QString &name : computers)
            m_ids.insert(name, db.AddComputer(name, QString(), -1, -1));
        window->ReloadComputerDatabase();
        return window;
    }
    int icon(const frmMain &window, const char *name) const
    {
        return window.treeView()->icon(QStringLiteral("C%1").arg(m_ids.value(QString::fromLatin1(name))));
    }
    static QPushButton *button(const frmMain &window, const char *name)
    {
        return window.runControl()->findChild<QPushButton *>(QString::fromLatin1(name));
    }
    static QStringList log(const frmMain &window) { return window.runControl()->log()->toPlainText().split(QLatin1Char('\n')); }
    static bool visible(frmMain &window, const char *name)
    {
        return MainWindowFixture::action(window, QString::fromLatin1(name))->isVisible();
    }

private Q_SLOTS:
    void init()
    {
        f.init();
        m_ids.clear();
    }
    void cleanup() { f.cleanup(); }

    void aTestToDone()
    {
        FakeNetwork network;
        network.addresses = {{"PC-A", "10.0.0.5"}};
        network.replies = {{"10.0.0.5", 12}};
        auto window = newWindow({"PC-A", "PC-B"});
        network.onEcho = [&] {
            // While it runs: the log in the settings panel's place, the stop entry offered, editing locked.
            QVERIFY(window->runControl()->isVisibleTo(window.get()));
            QCOMPARE(int(AppState::Get().Mode), int(AppState::RunPingTest));
            QVERIFY(AppState::Get().MigrationRunning && AppState::Get().MigrationIdle);
            QVERIFY(visible(*window, "mnuPingStop") && !visible(*window, "mnuPingStart"));
            QVERIFY(!MainWindowFixture::action(*window, QStringLiteral("mnuNewComputer"))->isEnabled());
        };
        QVERIFY(f.trigger(*window, QStringLiteral("mnuPingStart")));

        QCOMPARE(network.pinged.size(), 1);
        QCOMPARE(log(*window).mid(3),
            (QStringList {"Resolving IP address for PC-A ... 10.0.0.5 ... pinging ... Response received 12ms",
                "Resolving IP address for PC-B ... CANNOT RESOLVE NAME", "Ping test complete."}));
        QCOMPARE(icon(*window, "PC-A"), int(StatusSuccess));
        QCOMPARE(icon(*window, "PC-B"), int(StatusErrors));
        QVERIFY(button(*window, "cmdDone")->isEnabled() && !button(*window, "cmdCancel")->isEnabled());
        QCOMPARE(f.presenter->count(), 0);

        QTest::mouseClick(button(*window, "cmdDone"), Qt::LeftButton);
        QCOMPARE(int(AppState::Get().Mode), int(AppState::RunMigration));
        QVERIFY(!AppState::Get().MigrationRunning);
        QVERIFY(visible(*window, "mnuPingStart") && !visible(*window, "mnuPingStop"));
        QVERIFY(MainWindowFixture::action(*window, QStringLiteral("mnuNewComputer"))->isEnabled());
        QCOMPARE(icon(*window, "PC-A"), int(Computer));
        // And it runs again.
        QVERIFY(f.trigger(*window, QStringLiteral("mnuPingStart")));
        QCOMPARE(log(*window).last(), QStringLiteral("Ping test complete."));
    }

    void aStopInTheMiddle_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("stop entry") << "mnuPingStop";
        QTest::newRow("Cancel button") << "cmdCancel";
        QTest::newRow("closing the window") << "close";
    }
    void aStopInTheMiddle()
    {
        QFETCH(QString, how);
        FakeNetwork network;
        network.addresses = {{"PC-A", "10.0.0.5"}, {"PC-B", "10.0.0.6"}};
        auto window = newWindow({"PC-A", "PC-B"});
        window->show();
        network.onEcho = [&] {
            if (how == QStringLiteral("close"))
                QVERIFY(!window->close());
            else if (how == QStringLiteral("cmdCancel"))
                QTest::mouseClick(button(*window, "cmdCancel"), Qt::LeftButton);
            else
                QVERIFY(f.trigger(*window, how));
        };
        QVERIFY(f.trigger(*window, QStringLiteral("mnuPingStart")));
        QCOMPARE(network.pinged, QStringList {"10.0.0.5"});
        QCOMPARE(log(*window).mid(3),
            (QStringList {"Resolving IP address for PC-A ... 10.0.0.5 ... pinging ... REQUEST TIMED OUT", "Ping test canceled."}));
        QCOMPARE(icon(*window, "PC-B"), int(StatusNotProcessed));
        QVERIFY(button(*window, "cmdDone")->isEnabled());
        QCOMPARE(f.presenter->count(), 0);
    }

    void noComputers()
    {
        FakeNetwork network;
        auto window = newWindow({});
        QVERIFY(f.trigger(*window, QStringLiteral("mnuPingStart")));
        QCOMPARE(f.presenter->last().text, QStringLiteral("No clients to ping."));
        QCOMPARE(f.presenter->last().icon, Presenter::Icon::Information);
        QVERIFY(!AppState::Get().MigrationRunning);
        QCOMPARE(int(AppState::Get().Mode), int(AppState::RunMigration));
        QVERIFY(visible(*window, "mnuPingStart") && !visible(*window, "mnuPingStop"));
        QVERIFY(MainWindowFixture::action(*window, QStringLiteral("mnuNewComputer"))->isEnabled());
    }
};

QTEST_MAIN(TestMainWindowPing)
#include "tst_frmMainPing.moc"

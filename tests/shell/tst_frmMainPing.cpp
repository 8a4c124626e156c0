#include "FakeNetwork.h"
#include "MainWindowFixture.h"

#include "shell/forms/RunControlPane.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace TreeImage;

// The ping test in the main window over a network the test makes up.
class TestMainWindowPing : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;
    FakeNetwork *m_network = nullptr;
    std::unique_ptr<frmMain> m_window;
    QStringList m_keys;

    // PC-B in the group "Lab" comes before PC-A under the root in the tree,
    // though it was added after it.
    void newWindow(bool computers = true)
    {
        m_window = std::make_unique<frmMain>();
        ComputerDB &db = *m_window->database();
        if (computers) {
            const int pcA = db.AddComputer(QStringLiteral("PC-A"), QString(), -1, -1);
            const int lab = db.AddFolder(QStringLiteral("Lab"), -1);
            m_keys = {modGeneral::ComputerKey(pcA), modGeneral::ComputerKey(db.AddComputer(QStringLiteral("PC-B"), QString(), lab, -1))};
        }
        m_window->ReloadComputerDatabase();
    }
    QPushButton *button(const char *name) const { return MainWindowFixture::runButton(*m_window, name); }
    QStringList log() const { return m_window->runControl()->log()->toPlainText().split(QLatin1Char('\n')).mid(3); }
    // The icon of the pane says how the test ended, beside its last line.
    bool endedWith(int image) const
    {
        const QLabel *shown = m_window->runControl()->findChild<QLabel *>(QStringLiteral("imgProgress"));
        return shown->pixmap().toImage() == m_window->treeView()->icons().icon(image).pixmap(shown->size()).toImage();
    }
    void editing() const { MainWindowFixture::editingAfter(*m_window, "mnuPingStart", "mnuPingStop"); }

private Q_SLOTS:
    void init()
    {
        f.init();
        m_network = new FakeNetwork;
        m_network->addresses = {{"PC-A", "10.0.0.5"}, {"PC-B", "10.0.0.6"}};
    }
    void cleanup()
    {
        m_window.reset();
        delete m_network;
        f.cleanup();
    }

    // Several pings at once still write their lines in the tree's order;
    // the last line and the pane's icon say how many did not answer.
    void aTestToDone_data()
    {
        QTest::addColumn<QString>("inFlight");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("closing");
        QTest::addColumn<int>("ending");
        QTest::newRow("one at a time") << "1"
                                       << "Response received 12ms"
                                       << "1 of the 2 computers did not answer." << int(StatusWarnings);
        QTest::newRow("several at once") << "3"
                                         << "REQUEST TIMED OUT"
                                         << "None of the 2 computers answered." << int(StatusErrors);
    }
    void aTestToDone()
    {
        QFETCH(QString, inFlight);
        QFETCH(QString, answer);
        QFETCH(QString, closing);
        QFETCH(int, ending);
        QVERIFY(modRegistry::SaveSettingString(MainWindowFixture::AppKey, QStringLiteral("PingsInFlight"), inFlight));
        // The first in the tree's order is the slow one.
        m_network->addresses.remove(QStringLiteral("PC-A"));
        if (answer.startsWith(QLatin1String("Response")))
            m_network->replies = {{"10.0.0.6", 12}};
        newWindow();
        m_network->onEcho = [this] {
            QVERIFY(MainWindowFixture::visible(*m_window, "mnuPingStop") && !MainWindowFixture::visible(*m_window, "mnuPingStart"));
        };
        QVERIFY(f.trigger(*m_window, QStringLiteral("mnuPingStart")));
        QCOMPARE(log(),
            (QStringList {"Resolving IP address for PC-B ... 10.0.0.6 ... pinging ... " + answer,
                "Resolving IP address for PC-A ... CANNOT RESOLVE NAME", "Ping test complete.  " + closing}));
        QCOMPARE(m_window->treeView()->icon(m_keys[0]), int(StatusErrors));
        QCOMPARE(m_window->treeView()->icon(m_keys[1]), int(ending == StatusWarnings ? StatusSuccess : StatusErrors));
        QVERIFY(endedWith(ending) && button("cmdDone")->isEnabled());
        QTest::mouseClick(button("cmdDone"), Qt::LeftButton);
        editing();
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
        newWindow();
        m_window->show();
        m_network->onEcho = [&] {
            if (how == QStringLiteral("close"))
                QVERIFY(!m_window->close());
            else if (how == QStringLiteral("cmdCancel"))
                QTest::mouseClick(button("cmdCancel"), Qt::LeftButton);
            else
                QVERIFY(f.trigger(*m_window, how));
        };
        QVERIFY(f.trigger(*m_window, QStringLiteral("mnuPingStart")));
        QCOMPARE(log(),
            (QStringList {"Resolving IP address for PC-B ... 10.0.0.6 ... pinging ... REQUEST TIMED OUT",
                "Ping test canceled after 1 of 2 computers; 1 did not answer."}));
        QCOMPARE(m_window->treeView()->icon(m_keys[0]), int(StatusNotProcessed));
        QVERIFY(endedWith(StatusCanceled));
        QCOMPARE(f.presenter->count(), 0);
    }

    void noComputers()
    {
        newWindow(false);
        QVERIFY(f.trigger(*m_window, QStringLiteral("mnuPingStart")));
        QCOMPARE(f.presenter->last().text, QStringLiteral("No clients to ping."));
        editing();
    }
};

QTEST_MAIN(TestMainWindowPing)
#include "tst_frmMainPing.moc"

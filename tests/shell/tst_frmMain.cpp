#include "MainWindowFixture.h"
#include "support/Mnemonics.h"

#include "engine/FakeEngine.h"
#include "engine/modEngine.h"
#include "shell/forms/frmWelcome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>

#include <tuple>

namespace {

const QStringList kPlacementValues {"PaneSize", "Maximized", "Top", "Left", "Height", "Width"};

void save(const QString &name, const QString &value)
{
    QVERIFY(modRegistry::SaveSettingString(MainWindowFixture::AppKey, name, value));
}

// The placement values in the order they were first written.
QStringList writtenValues()
{
    RegKey key = Reg::NoKey;
    QStringList names;
    modRegistry::OpenKey(MainWindowFixture::AppKey, QString(), Reg::KeyRead, key);
    QList<RegistryStore::Value> values;
    modRegistry::EnumValues(key, values);
    modRegistry::CloseKey(key);
    for (const RegistryStore::Value &value : values) {
        if (kPlacementValues.contains(value.name))
            names.append(value.name);
    }
    return names;
}

QAbstractButton *button(QWidget *parent, const char *name)
{
    return parent->findChild<QAbstractButton *>(QString::fromLatin1(name));
}

void shown(QWidget &window)
{
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;

private Q_SLOTS:
    void init() { f.init(); }
    void cleanup() { f.cleanup(); }

    void captionAndNewSettings()
    {
        frmMain window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Varno-Osk - Profile Migration System: Migration1"));
        // Each Alt letter of a menu leads to one entry.
        for (const QMenu *menu : window.findChildren<QMenu *>())
            QVERIFY2(Mnemonics::problems(*menu).isEmpty(), qPrintable(Mnemonics::problems(*menu).join(QLatin1Char(';'))));

        // The job's results folder fills up; New Settings moves on to the next free name.
        QVERIFY(QDir().mkpath(f.logs->filePath(QStringLiteral("Migration1"))));
        QFile log(f.logs->filePath(QStringLiteral("Migration1/handler.log")));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.close();
        AppState::Get().CurrentSettingsFile = QStringLiteral("/srv/jobs/wave1.vos");
        auto *tree = window.findChild<QTreeWidget *>(QStringLiteral("tvMain"));
        ComputerDB *database = window.database();
        database->AddComputer(QStringLiteral("PC-0001"), QString(), -1, -1);

        // The unsaved computer is offered for saving; No throws it away.
        f.presenter->setNextAnswer(Presenter::No);
        QVERIFY(MainWindowFixture::trigger(window, QStringLiteral("mnuNewSettings")));
        QCOMPARE(window.windowTitle(), QStringLiteral("Varno-Osk - Profile Migration System: Migration2"));
        QCOMPARE(AppState::Get().CurrentSettingsFile, QString());
        QCOMPARE(window.database(), database); // cleared, never replaced
        QCOMPARE(tree->topLevelItem(0)->childCount(), 0);
        QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
        QVERIFY(!AppState::Get().DatabaseChanged);
        QVERIFY(!QApplication::overrideCursor());

        // Still linked: a new computer shows in the tree.
        database->AddComputer(QStringLiteral("PC-0002"), QString(), -1, -1);
        QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
    }

    // ---- welcome screen ----------------------------------------------------

    void welcomeScreenOnFirstActivationOnly()
    {
        save(QStringLiteral("WelcomeScreen"), QStringLiteral("2"));
        frmMain window;
        int seen = 0;
        for (int activation = 0; activation < 2; ++activation) {
            // Runs once the modal welcome screen is open, if it opens.
            QTimer::singleShot(0, qApp, [&] {
                auto *welcome = qobject_cast<frmWelcome *>(QApplication::activeModalWidget());
                if (!welcome)
                    return;
                QCOMPARE(welcome->parentWidget(), &window);
                ++seen;
                QTest::keyClick(welcome, Qt::Key_Escape);
            });
            window.Form_Activate();
            QCoreApplication::processEvents();
            QCOMPARE(seen, 1);
        }
        // Every way of closing saves the box: Escape too.
        QCOMPARE(f.setting(QStringLiteral("WelcomeScreen")), QStringLiteral("0"));
    }

    void welcomeChoicesByKeyboard()
    {
        frmWelcome welcome;
        welcome.setEasySetupWizardAvailable(false);
        shown(welcome);
        QAbstractButton *documentation = button(&welcome, "cmdDocumentation");
        QAbstractButton *load = button(&welcome, "cmdLoad");
        const QImage unfocused = load->grab().toImage();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), documentation); // from OK to the first choice that can be taken

        QTest::keyClick(documentation, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), load);
        QVERIFY(load->grab().toImage() != unfocused);
        QTest::keyClick(load, Qt::Key_Up);
        QTest::keyClick(documentation, Qt::Key_Up); // the greyed choice is passed over
        QCOMPARE(QApplication::focusWidget(), load);
        QTest::keyClick(load, Qt::Key_Return);
        QVERIFY(!welcome.isVisible());
        QCOMPARE(welcome.WelcomeAction(), quint8(frmWelcome::ActionLoadSettings));

        frmWelcome again;
        shown(again);
        QTest::mouseClick(again.findChild<QCheckBox *>(QStringLiteral("chkDontShow")), Qt::LeftButton);
        button(&again, "cmdDocumentation")->setFocus();
        // The guide opens beside the welcome screen, which stays.
        QTest::keyClick(button(&again, "cmdDocumentation"), Qt::Key_Space);
        QVERIFY(again.isVisible());
        QCOMPARE(f.opener->opened.size(), 1);
        QVERIFY(f.opener->opened.constFirst().path.endsWith(QStringLiteral("/getting-started.html")));
        QTest::keyClick(button(&again, "cmdDocumentation"), Qt::Key_Up);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(again.WelcomeAction(), quint8(frmWelcome::ActionEasySetupWizard));
        QCOMPARE(f.setting(QStringLiteral("WelcomeScreen")), QStringLiteral("1"));
    }

    void helpContentsOpensTheGuide()
    {
        frmMain window;
        QVERIFY(MainWindowFixture::trigger(window, QStringLiteral("mnuHelpContent")));
        QCOMPARE(f.opener->opened.size(), 1);
        QVERIFY(f.opener->opened.constFirst().path.endsWith(QStringLiteral("/index.html")));
    }

    // ---- job name change ---------------------------------------------------

    // Asked only for a new name while the settings file lies in the current job's results folder.
    void promptToSaveNewName()
    {
        frmMain window;
        const QString inResults = f.logs->path() + QStringLiteral("/Migration1/jobs.vos");
        using Case = std::tuple<QString, const char *, bool>;
        for (const auto &[file, name, asked] : {Case {inResults, "Wave2", true}, Case {inResults, "Migration1", false},
                 Case {QString(), "Wave2", false}, Case {QStringLiteral("/srv/jobs.vos"), "Wave2", false}}) {
            AppState::Get().CurrentSettingsFile = file;
            f.presenter->clear();
            if (asked)
                f.presenter->setNextAnswer(Presenter::No);
            window.PromptToSaveNewName(QString::fromLatin1(name));
            QVERIFY2(f.presenter->count() == (asked ? 1 : 0), qPrintable(file + QLatin1Char(' ') + QLatin1String(name)));
        }
    }

    // ---- placement and exit ------------------------------------------------

    void exitWritesPlacementInOrder()
    {
        // The results folder is made when something is written into it, not by starting and leaving.
        const QString results = f.logs->filePath(QStringLiteral("results"));
        save(QStringLiteral("LogPath"), results);
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.Form_Activate();

        // During a run the administrator is warned; No keeps the window and writes nothing.
        RunState::instance().startMigration();
        f.presenter->setNextAnswer(Presenter::No);
        QVERIFY(!window.close());
        QCOMPARE(f.presenter->last().caption, QStringLiteral("Warning"));
        QCOMPARE(f.presenter->last().defaultButton, 1); // No
        QCOMPARE(writtenValues(), QStringList());

        f.presenter->setNextAnswer(Presenter::Yes);
        QVERIFY(window.close());
        QVERIFY(!QFileInfo::exists(results));
        QCOMPARE(writtenValues(), kPlacementValues);
        QCOMPARE(f.setting(QStringLiteral("Maximized")), QStringLiteral("0"));
        QVERIFY(f.setting(QStringLiteral("PaneSize")).toInt() > 0);
    }

    // A run on an engine of its own: closing offers to leave it going, to
    // abort it, or to stay (the default).
    void closingLeavesTheRunGoing()
    {
        int left = 0;
        modEngine::SetFactory([&left] {
            auto made = std::make_unique<FakeEngine>();
            made->left = &left;
            return made;
        });
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        RunState::instance().startMigration();
        f.presenter->setNextAnswer(Presenter::Cancel);
        QVERIFY(!window.close());
        QCOMPARE(f.presenter->last().buttonCaptions,
            QStringList({QStringLiteral("Leave the Run Going"), QStringLiteral("Abort and Exit"), QStringLiteral("Do Not Exit")}));
        QCOMPARE(f.presenter->last().defaultButton, 2);
        QCOMPARE(left, 0);
        f.presenter->setNextAnswer(Presenter::Yes);
        QVERIFY(window.close());
        QCOMPARE(left, 1);
        modEngine::SetFactory({});
        RunState::instance().backToEditing();
    }

    void secondStartBringsTheWindowBack()
    {
        frmMain window;
        window.showMinimized();
        window.BringToFront();
        QVERIFY(window.isVisible() && !window.isMinimized());
    }

    void maximisedAtExitOpensMaximised()
    {
        {
            frmMain window;
            window.showMaximized();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QVERIFY(window.close());
        }
        QCOMPARE(f.setting(QStringLiteral("Maximized")), QStringLiteral("1"));
        frmMain window;
        QVERIFY(window.windowState() & Qt::WindowMaximized);
    }

    // The rules are modWindowSettings'; here the window takes what they give.
    void placementAgainstASmallerScreen()
    {
        frmMain probe;
        const int tx = probe.TwipsPerPixelX();
        const int ty = probe.TwipsPerPixelY();
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        save(QStringLiteral("Width"), QString::number((screen.width() + 400) * tx));
        save(QStringLiteral("Height"), QString::number((screen.height() + 300) * ty));
        save(QStringLiteral("Top"), QString::number((screen.height() + 50) * ty));
        save(QStringLiteral("Left"), QString::number(10 * tx));
        frmMain window;
        QCOMPARE(window.size(), screen);
        QCOMPARE(window.x(), 10);
        QVERIFY(window.y() < screen.height());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_frmMain.moc"

#include "common/AppState.h"
#include "common/modRegistry.h"
#include "database/ComputerDB.h"
#include "shell/UrlOpener.h"
#include "shell/forms/frmMain.h"
#include "shell/forms/frmWelcome.h"
#include "shell/modStartup.h"

#include "support/RecordingPresenter.h"
#include "support/TestRegistry.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace {

const QString kAppKey = QStringLiteral("HKCU\\Software\\Brindlewood\\Varno-Osk");
const QStringList kPlacementValues {"PaneSize", "Maximized", "Top", "Left", "Height", "Width"};

class RecordingOpener final : public UrlOpener
{
public:
    RecordingOpener() { UrlOpener::install(this); }
    ~RecordingOpener() override { UrlOpener::install(nullptr); }
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    QList<QUrl> opened;
};

QString setting(const QString &name)
{
    return modRegistry::GetSettingString(kAppKey, name);
}

void save(const QString &name, const QString &value)
{
    QVERIFY(modRegistry::SaveSettingString(kAppKey, name, value));
}

// The console's values in the order they were first written.
QStringList writtenValues()
{
    RegKey key = Reg::NoKey;
    QStringList names;
    if (modRegistry::OpenKey(kAppKey, QString(), Reg::KeyRead, key) != Reg::Success)
        return names;
    QList<RegistryStore::Value> values;
    modRegistry::EnumValues(key, values);
    modRegistry::CloseKey(key);
    for (const RegistryStore::Value &value : values) {
        if (kPlacementValues.contains(value.name))
            names.append(value.name);
    }
    return names;
}

// Runs `handle` on the modal dialog once the code under test has opened it.
void whenModal(std::function<void(QWidget *)> handle)
{
    QTimer::singleShot(0, qApp, [handle] {
        if (QWidget *modal = QApplication::activeModalWidget())
            handle(modal);
    });
}

QAction *action(QWidget &window, const QString &name)
{
    return window.findChild<QAction *>(name);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestRegistry> m_registry;
    std::unique_ptr<QTemporaryDir> m_logs;
    std::unique_ptr<RecordingPresenter> m_presenter;
    std::unique_ptr<RecordingOpener> m_opener;

private Q_SLOTS:
    void init()
    {
        AppState::Reset();
        m_registry = std::make_unique<TestRegistry>();
        m_logs = std::make_unique<QTemporaryDir>();
        m_presenter = std::make_unique<RecordingPresenter>();
        m_opener = std::make_unique<RecordingOpener>();
        QVERIFY(modStartup::PrepareRegistry());
        save(QStringLiteral("LogPath"), m_logs->path());
    }

    void cleanup()
    {
        m_opener.reset();
        m_presenter.reset();
        m_registry.reset();
        m_logs.reset();
        AppState::Reset();
    }

    void menuItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("enabled");
        const QList<std::tuple<const char *, const char *, bool>> items = {
            {"mnuNewSettings", "&New Settings", true},
            {"mnuSave", "&Save Settings", true},
            {"mnuSaveAs", "Save Settings &As...", true},
            {"mnuSaveState", "Save &Migration State...", true},
            {"mnuLoad", "&Load Settings", true},
            {"mnuRecentlyUsed", "&Recent", true},
            {"mnuImport", "&Import", true},
            {"mnuImportADS", "&Computers from Active Directory...", false},
            {"mnuImportUsersFile", "From &File...", false},
            {"mnuExit", "E&xit", true},
            {"mnuNewComputer", "New &Computer", true},
            {"mnuNewGroup", "New &Group", true},
            {"mnuMigJobName", "&Migration Job Name...", false},
            {"mnuHandlerLog", "&Handler Log", false},
            {"mnuTransferorLogs", "&Transferor Logs", false},
            {"mnuClientLogsFolder", "&Client Logs Folder", false},
            {"mnuRefresh", "&Refresh", true},
            {"mnuSetupWizard", "&Easy Setup Wizard...", false},
            {"mnuConfiguration", "&Configuration...", false},
            {"mnuTests", "&Tests", true},
            {"mnuPingStart", "Start &Ping Client Test", false},
            {"mnuPingStop", "Stop &Ping Client Test", false},
            {"mnuNetworkTestStart", "Start &Network Test...", false},
            {"mnuNetworkTestStop", "Stop &Network Test...", false},
            {"mnuStartMigration", "&Start Migration...", false},
            {"mnuCancelMigration", "Cancel Migration", false},
            {"mnuAbortMigration", "Abort Migration...", false},
            {"mnuCancelClient", "&Cancel Client", false},
            {"mnuAbortClient", "&Abort Client...", false},
            {"mnuHelpContent", "&Contents...", true},
            {"mnuAbout", "&About...", true},
            {"mnuTVRename", "&Rename", false},
            {"mnuTVDelete", "&Delete", false},
            {"mnuOpenClientLog", "&Open Newest Client Log", false},
            {"mnuPopCancelClient", "&Cancel Client", false},
            {"mnuPopAbortClient", "&Abort Client", false},
        };
        for (const auto &[name, caption, enabled] : items)
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption) << enabled;
    }

    void menuItems()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(bool, enabled);
        frmMain window;
        QAction *item = action(window, name);
        QVERIFY2(item, qPrintable(name));
        QCOMPARE(item->text(), caption);
        QCOMPARE(item->isEnabled(), enabled);
    }

    void treePopupAndPanes()
    {
        frmMain window;
        QCOMPARE(window.objectName(), QStringLiteral("frmMain"));
        auto *popup = window.findChild<QMenu *>(QStringLiteral("mnuTVRightClick"));
        QVERIFY(popup);
        QVERIFY(popup->actions().contains(action(window, QStringLiteral("mnuTVRename"))));
        QVERIFY(window.findChild<QTreeWidget *>(QStringLiteral("tvMain")));

        auto *settings = window.findChild<QFrame *>(QStringLiteral("fmObjectSettings"));
        auto *progress = window.findChild<QFrame *>(QStringLiteral("fmProgressLog"));
        QVERIFY(!settings->isHidden() && progress->isHidden());
        window.Running(true);
        QVERIFY(settings->isHidden() && !progress->isHidden());
        QVERIFY(!AppState::Get().MigrationIdle);
        window.Running(false);
        QVERIFY(!settings->isHidden() && progress->isHidden());
    }

    void recentList()
    {
        {
            frmMain window;
            QCOMPARE(action(window, QStringLiteral("mnuRecent0"))->text(), QStringLiteral("(None)"));
            QVERIFY(action(window, QStringLiteral("mnuRecent0"))->isVisible());
            QVERIFY(!action(window, QStringLiteral("mnuRecent0"))->isEnabled());
            for (int i = 1; i < 5; ++i)
                QVERIFY(!action(window, QStringLiteral("mnuRecent%1").arg(i))->isVisible());
        }
        save(QStringLiteral("RecentlyUsed0"), QStringLiteral("/srv/jobs/Sales & Admin.vos"));
        save(QStringLiteral("RecentlyUsed1"), QStringLiteral("/srv/jobs/wave1.vos"));
        frmMain window;
        QCOMPARE(action(window, QStringLiteral("mnuRecent0"))->text(), QStringLiteral("/srv/jobs/Sales && Admin.vos"));
        QVERIFY(action(window, QStringLiteral("mnuRecent1"))->isEnabled());
        QVERIFY(action(window, QStringLiteral("mnuRecent1"))->isVisible());
        QVERIFY(!action(window, QStringLiteral("mnuRecent2"))->isVisible());
    }

    void captionAndNewSettings()
    {
        frmMain window;
        QCOMPARE(AppState::Get().CurrentJobName, QStringLiteral("Migration1"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Varno-Osk - Profile Migration System: Migration1"));
        // The engine wrapper made at load reports itself idle: the console may exit without a warning.
        QVERIFY(window.engine());
        QVERIFY(AppState::Get().MigrationIdle);
        QVERIFY(!AppState::Get().MigrationRunning);

        // The job's results folder fills up; New Settings moves on to the next free name.
        QVERIFY(QDir().mkpath(m_logs->filePath(QStringLiteral("Migration1"))));
        QFile log(m_logs->filePath(QStringLiteral("Migration1/handler.log")));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.close();
        AppState::Get().CurrentSettingsFile = QStringLiteral("/srv/jobs/wave1.vos");
        auto *tree = window.findChild<QTreeWidget *>(QStringLiteral("tvMain"));
        QVERIFY(window.database());
        QCOMPARE(window.database()->ComputerCount(), 0);
        window.database()->AddComputer(QStringLiteral("PC-0001"), QString(), -1, -1);
        QCOMPARE(window.database()->ComputerCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
        ComputerDB *database = window.database();

        // The unsaved computer is offered for saving; No throws it away.
        m_presenter->setNextAnswer(Presenter::No);
        action(window, QStringLiteral("mnuNewSettings"))->trigger();
        QCOMPARE(m_presenter->count(), 1);
        QCOMPARE(m_presenter->last().caption, QStringLiteral("Unsaved Settings"));
        QCOMPARE(AppState::Get().CurrentJobName, QStringLiteral("Migration2"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Varno-Osk - Profile Migration System: Migration2"));
        QCOMPARE(AppState::Get().CurrentSettingsFile, QString());
        QCOMPARE(window.database(), database); // cleared, never replaced
        QCOMPARE(window.database()->ComputerCount(), 0);
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("All Computers"));
        QCOMPARE(tree->topLevelItem(0)->childCount(), 0);
        QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
        QVERIFY(!AppState::Get().DatabaseChanged);
        QVERIFY(!QApplication::overrideCursor());

        // Still linked: a new computer shows in the tree.
        window.database()->AddComputer(QStringLiteral("PC-0002"), QString(), -1, -1);
        QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
    }

    // ---- welcome screen ----------------------------------------------------

    void welcomeScreen_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("shown");
        QTest::newRow("no value") << false << QString() << true;
        QTest::newRow("0") << true << QStringLiteral("0") << true;
        QTest::newRow("1") << true << QStringLiteral("1") << false;
        QTest::newRow("other text") << true << QStringLiteral("yes") << true;
    }

    void welcomeScreen()
    {
        QFETCH(bool, stored);
        QFETCH(QString, value);
        QFETCH(bool, shown);
        if (stored)
            save(QStringLiteral("WelcomeScreen"), value);
        frmMain window;

        int seen = 0;
        bool offersMissingFeatures = true;
        bool offersLoad = false;
        auto close = [&](QWidget *modal) {
            auto *welcome = qobject_cast<frmWelcome *>(modal);
            if (!welcome)
                return;
            ++seen;
            QCOMPARE(welcome->parentWidget(), &window);
            offersMissingFeatures = welcome->findChild<QAbstractButton *>(QStringLiteral("cmdEasyWizard"))->isEnabled();
            offersLoad = welcome->findChild<QAbstractButton *>(QStringLiteral("cmdLoad"))->isEnabled();
            QTest::mouseClick(welcome->findChild<QAbstractButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        };
        whenModal(close);
        window.Form_Activate();
        QCoreApplication::processEvents();
        QCOMPARE(seen, shown ? 1 : 0);
        if (shown) {
            QVERIFY(!offersMissingFeatures);
            QVERIFY(offersLoad);
            QCOMPARE(setting(QStringLiteral("WelcomeScreen")), QStringLiteral("0"));
        }

        // Only the first activation shows it.
        whenModal(close);
        window.Form_Activate();
        QCoreApplication::processEvents();
        QCOMPARE(seen, shown ? 1 : 0);
    }

    void welcomeDontShowIsSavedOnEveryClose_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<bool>("escape");
        QTest::newRow("ticked, OK") << true << false;
        QTest::newRow("ticked, Escape") << true << true;
        QTest::newRow("clear, OK") << false << false;
    }

    void welcomeDontShowIsSavedOnEveryClose()
    {
        QFETCH(bool, ticked);
        QFETCH(bool, escape);
        frmWelcome welcome;
        QCOMPARE(welcome.windowTitle(), QStringLiteral("Welcome to Varno-Osk"));
        QCOMPARE(welcome.findChild<QLabel *>(QStringLiteral("lblVersion"))->text(), QStringLiteral("Version: 1.0.0"));
        auto *box = welcome.findChild<QCheckBox *>(QStringLiteral("chkDontShow"));
        QCOMPARE(box->text(), QStringLiteral("&Don't show this window again"));
        QVERIFY(!box->isChecked());
        welcome.show();
        if (ticked)
            QTest::mouseClick(box, Qt::LeftButton);
        if (escape)
            QTest::keyClick(&welcome, Qt::Key_Escape);
        else
            QTest::mouseClick(welcome.findChild<QAbstractButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QVERIFY(!welcome.isVisible());
        QCOMPARE(setting(QStringLiteral("WelcomeScreen")), ticked ? QStringLiteral("1") : QStringLiteral("0"));
        QCOMPARE(welcome.WelcomeAction(), quint8(0));
    }

    void welcomeActions()
    {
        for (const auto &[button, expected] : {std::pair {"cmdEasyWizard", 1}, std::pair {"cmdLoad", 2}}) {
            frmWelcome welcome;
            welcome.show();
            QTest::mouseClick(welcome.findChild<QAbstractButton *>(QString::fromLatin1(button)), Qt::LeftButton);
            QVERIFY(!welcome.isVisible());
            QCOMPARE(welcome.WelcomeAction(), quint8(expected));
        }
        // The guide opens beside the welcome screen, which stays.
        frmWelcome welcome;
        welcome.show();
        QTest::mouseClick(welcome.findChild<QAbstractButton *>(QStringLiteral("cmdDocumentation")), Qt::LeftButton);
        QVERIFY(welcome.isVisible());
        QCOMPARE(m_opener->opened.size(), 1);
        QVERIFY(m_opener->opened.constFirst().path().endsWith(QStringLiteral("/getting-started.html")));
    }

    // ---- help --------------------------------------------------------------

    void helpMenu()
    {
        frmMain window;
        action(window, QStringLiteral("mnuHelpContent"))->trigger();
        QCOMPARE(m_opener->opened.size(), 1);
        QVERIFY(m_opener->opened.constFirst().path().endsWith(QStringLiteral("/index.html")));
        QVERIFY(QFile::exists(m_opener->opened.constFirst().toLocalFile()));

        QString version;
        whenModal([&](QWidget *modal) {
            if (auto *label = modal->findChild<QLabel *>(QStringLiteral("lblVersion")))
                version = label->text();
            QTest::mouseClick(modal->findChild<QAbstractButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
        action(window, QStringLiteral("mnuAbout"))->trigger();
        QCOMPARE(version, QStringLiteral("Version: 1.0.0"));
    }

    // ---- job name change ---------------------------------------------------

    void promptToSaveNewName_data()
    {
        QTest::addColumn<QString>("settingsFile"); // relative to the current results folder unless absolute
        QTest::addColumn<QString>("newName");
        QTest::addColumn<bool>("asked");
        QTest::newRow("file in the results folder, new name") << "jobs.vos"
                                                              << "Wave2" << true;
        QTest::newRow("same name") << "jobs.vos"
                                   << "Migration1" << false;
        QTest::newRow("no settings file") << ""
                                          << "Wave2" << false;
        QTest::newRow("file elsewhere") << "/srv/jobs.vos"
                                        << "Wave2" << false;
    }

    void promptToSaveNewName()
    {
        QFETCH(QString, settingsFile);
        QFETCH(QString, newName);
        QFETCH(bool, asked);
        frmMain window;
        if (!settingsFile.isEmpty() && !settingsFile.startsWith(QLatin1Char('/')))
            settingsFile = m_logs->path() + QStringLiteral("/Migration1/") + settingsFile;
        AppState::Get().CurrentSettingsFile = settingsFile;
        window.PromptToSaveNewName(newName);
        QCOMPARE(m_presenter->count(), asked ? 1 : 0);
        if (asked) {
            QCOMPARE(m_presenter->last().caption, QStringLiteral("Migration Name Change"));
            QCOMPARE(m_presenter->last().buttons, Presenter::Buttons::YesNo);
            QCOMPARE(m_presenter->last().text,
                QStringLiteral("A settings file created under a different migration name is currently\r"
                               "loaded.  Would you like to save a copy of this settings file in the\r"
                               "new results folder, using the new migration job name? (RECOMMENDED)"));
        }
    }

    // ---- exit --------------------------------------------------------------

    void exitDuringRunAnsweredNoKeepsEverything()
    {
        save(QStringLiteral("WelcomeScreen"), QStringLiteral("1"));
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.Running(true);
        m_presenter->setNextAnswer(Presenter::No);
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
        QCOMPARE(m_presenter->count(), 1);
        const Presenter::Message &box = m_presenter->last();
        QCOMPARE(box.caption, QStringLiteral("Warning"));
        QCOMPARE(box.icon, Presenter::Icon::Critical);
        QCOMPARE(box.buttons, Presenter::Buttons::YesNo);
        QCOMPARE(box.defaultButton, 1);
        QCOMPARE(box.text,
            QStringLiteral("A migration is currently in progress.  Exiting the program now\r"
                           "may leave target computers in an unusable state.  It is HIGHLY\r"
                           "recommended that you do not exit at this time.\r\rAre you sure you wish to proceed?"));
        QCOMPARE(writtenValues(), QStringList());

        // Yes leaves, and the placement is saved after all.
        m_presenter->setNextAnswer(Presenter::Yes);
        QVERIFY(window.close());
        QCOMPARE(writtenValues(), kPlacementValues);
    }

    void exitWritesPlacementInOrder()
    {
        save(QStringLiteral("WelcomeScreen"), QStringLiteral("1"));
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.close());
        QCOMPARE(m_presenter->count(), 0);
        QCOMPARE(writtenValues(), kPlacementValues);
        QCOMPARE(setting(QStringLiteral("Maximized")), QStringLiteral("0"));
        QCOMPARE(setting(QStringLiteral("PaneSize")), QString::number(window.PaneSize()));
        QVERIFY(window.PaneSize() > 0);
        const int twips = window.TwipsPerPixelX();
        QCOMPARE(setting(QStringLiteral("Width")), QString::number(window.width() * twips));
    }

    void maximisedAtExitOpensMaximised()
    {
        save(QStringLiteral("WelcomeScreen"), QStringLiteral("1"));
        {
            frmMain window;
            window.showMaximized();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QVERIFY(window.close());
        }
        QCOMPARE(setting(QStringLiteral("Maximized")), QStringLiteral("1"));
        frmMain window;
        QVERIFY(window.windowState() & Qt::WindowMaximized);
    }

    void placementAgainstASmallerScreen()
    {
        frmMain probe;
        const int tx = probe.TwipsPerPixelX();
        const int ty = probe.TwipsPerPixelY();
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();

        // Saved on a bigger desktop: wider and taller than this screen, top below its bottom.
        save(QStringLiteral("Width"), QString::number((screen.width() + 400) * tx));
        save(QStringLiteral("Height"), QString::number((screen.height() + 300) * ty));
        save(QStringLiteral("Top"), QString::number((screen.height() + 50) * ty));
        save(QStringLiteral("Left"), QString::number(10 * tx));
        frmMain window;
        QCOMPARE(window.width(), screen.width());
        QCOMPARE(window.height(), screen.height());
        QCOMPARE(window.x(), 10);
        QVERIFY(window.y() < screen.height());

        // Nothing saved: the smallest window the guard allows, at the top left corner.
        for (const QString &name : kPlacementValues)
            save(name, QString());
        frmMain first;
        QCOMPARE(first.size(), first.minimumSize());
        QCOMPARE(first.pos(), QPoint(0, 0));
        QCOMPARE(first.minimumSize(), QSize(9495 / tx, 6990 / ty));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_frmMain.moc"

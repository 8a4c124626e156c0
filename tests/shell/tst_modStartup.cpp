#include "common/AppState.h"
#include "common/SqliteRegistryStore.h"
#include "common/modRegistry.h"
#include "shell/ConsoleInstance.h"
#include "shell/modHelp.h"
#include "shell/modRecentlyUsed.h"
#include "shell/modStartup.h"
#include "shell/modWindowSettings.h"

#include "support/RecordingOpener.h"
#include "support/RecordingPresenter.h"
#include "support/TestRegistry.h"

#include <QFile>
#include <QLockFile>
#include <QSignalSpy>
#include <QTest>

#include <limits>
#include <memory>
#include <tuple>

using namespace modWindowSettings;

namespace {

const QString kAppKey = QStringLiteral("HKCU\\Software\\Brindlewood\\Varno-Osk");

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestRegistry> m_registry;

private Q_SLOTS:
    void init()
    {
        AppState::Reset();
        m_registry = std::make_unique<TestRegistry>();
    }

    void cleanup()
    {
        m_registry.reset();
        AppState::Reset();
    }

    void prepareRegistry()
    {
        RecordingPresenter presenter;
        AppState::Get().AppKeyPath.clear();
        QVERIFY(modStartup::PrepareRegistry());
        QCOMPARE(AppState::Get().AppKeyPath, kAppKey);
        // A second start finds the key and keeps what is in it.
        QVERIFY(modRegistry::SaveSettingString(kAppKey, QStringLiteral("Top"), QStringLiteral("120")));
        QVERIFY(modStartup::PrepareRegistry() && presenter.count() == 0);
        QCOMPARE(modRegistry::GetSettingString(kAppKey, QStringLiteral("Top")), QStringLiteral("120"));

        // A store that cannot be read: the administrator is told which key failed.
        const QString path = m_registry->folder() + QStringLiteral("/damaged.db");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, '\x5A'));
        file.close();
        modRegistry::SetStore(std::make_unique<SqliteRegistryStore>(path));
        AppState::Get().AppKeyPath = QStringLiteral("unchanged");
        QVERIFY(!modStartup::PrepareRegistry());
        QCOMPARE(presenter.count(), 1);
        QCOMPARE(presenter.last().text, QStringLiteral("Failed to create the HKCU\\Software\\Brindlewood registry key."));
        QCOMPARE(presenter.last().icon, Presenter::Icon::Critical);
        QCOMPARE(AppState::Get().AppKeyPath, QStringLiteral("unchanged"));
    }

    // In one process; tst_singleInstance runs the program twice.
    void secondClaimSeesTheFirstAndAsksItToShow()
    {
        std::unique_ptr<QLockFile> lock;
        QVERIFY(!modStartup::PrevInstance(lock));
        QVERIFY(modStartup::InstanceLockPath().startsWith(m_registry->folder()));
        auto first = std::make_unique<ConsoleInstance>(std::move(lock), modStartup::InstanceServerName());
        QSignalSpy shown(first.get(), &ConsoleInstance::showRequested);
        std::unique_ptr<QLockFile> second;
        QVERIFY(modStartup::PrevInstance(second));
        QVERIFY(!second);
        QVERIFY(ConsoleInstance::RequestShow(modStartup::InstanceServerName()));
        QTRY_COMPARE(shown.count(), 1);
        first.reset();
        QVERIFY(!ConsoleInstance::RequestShow(modStartup::InstanceServerName()));

        // What a crashed console leaves at the server's name does not stop the next from listening.
        QFile leftOver(modStartup::InstanceServerName());
        QVERIFY(leftOver.open(QIODevice::WriteOnly));
        leftOver.close();
        QVERIFY(!modStartup::PrevInstance(second));
        ConsoleInstance next(std::move(second), modStartup::InstanceServerName());
        QSignalSpy shownAgain(&next, &ConsoleInstance::showRequested);
        QVERIFY(ConsoleInstance::RequestShow(modStartup::InstanceServerName()));
        QTRY_COMPARE(shownAgain.count(), 1);
    }

    void welcomeScreenRule()
    {
        QVERIFY(modStartup::PrepareRegistry());
        QVERIFY(modStartup::WelcomeScreenWanted()); // no value stored
        for (const auto &[value, wanted] : {std::pair {"1", false}, std::pair {"0", true}, std::pair {"1 ", true}}) {
            QVERIFY(modRegistry::SaveSettingString(kAppKey, QStringLiteral("WelcomeScreen"), QString::fromLatin1(value)));
            QVERIFY2(modStartup::WelcomeScreenWanted() == wanted, value);
        }
    }

    // ---- placement ---------------------------------------------------------

    void twipsPerPixel()
    {
        QCOMPARE(TwipsPerPixel(120.0), 12);
        QCOMPARE(TwipsPerPixel(0.0), 15); // a screen that reports nothing counts as 96 DPI
    }

    void leadingNumber()
    {
        using Case = std::pair<const char *, int>;
        for (const auto &[text, number] : {Case {"  1500 twips", 1500}, Case {"-300", -300}, Case {"12.5", 12}, Case {"13.5", 14},
                 Case {"wide", 0}, Case {"99999999999", std::numeric_limits<int>::max()}})
            QVERIFY2(LeadingNumber(QString::fromLatin1(text)) == number, text);
    }

    void placement_data()
    {
        QTest::addColumn<QStringList>("saved"); // Maximized, PaneSize, Top, Left, Width, Height
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QRect>("available"); // empty: the whole screen
        QTest::addColumn<QRect>("window"); // left, top, width, height; -1: not applied
        QTest::addColumn<bool>("maximized");

        const auto row = [](const char *name, const QStringList &saved, const QRect &window, bool maximized = false,
                             const QSize &screen = QSize(19200, 12000), const QRect &available = QRect()) {
            QTest::newRow(name) << saved << screen << available << window << maximized;
        };
        const QStringList nothing(6);
        // clang-format off
        // Nothing stored yet: three quarters of the free desktop, centred, at least where the panel fits, at most a maximum.
        row("first start, 1280 by 800", nothing, QRect(1725, 930, 15750, 10140));
        row("first start, beside a panel", nothing, QRect(1885, 1010, 15750, 10140), false, QSize(19200, 12000), QRect(960, 480, 17600, 11200));
        row("first start, 1920 by 1200", nothing, QRect(3600, 2250, 21600, 13500), false, QSize(28800, 18000));
        row("first start, small screen", nothing, QRect(0, 0, 11520, 9000), false, QSize(11520, 9000));
        row("first start, huge screen", nothing, QRect(16800, 7950, 24000, 16500), false, QSize(57600, 32400));
        row("only the pane stored, maximised only when 1", {"yes", "3600", "", "", "", ""}, QRect(1725, 930, 15750, 10140));
        row("fits", {"1", "3600", "1200", "1500", "12000", "9000"}, QRect(1500, 1200, 12000, 9000), true);
        row("wider than a smaller screen", {"0", "", "0", "0", "28800", "9000"}, QRect(0, 0, 15360, 9000), false, QSize(15360, 11520));
        row("top beyond the screen", {"", "", "12001", "600", "12000", "9000"}, QRect(600, -1, 12000, 9000));
        row("top at the screen's edge", {"", "", "12000", "600", "12000", "9000"}, QRect(600, 12000, 12000, 9000));
        row("left beyond the screen", {"", "", "300", "19201", "12000", "9000"}, QRect(-1, 300, 12000, 9000));
        row("smaller than the guard", {"", "", "0", "0", "3000", "2000"}, QRect(0, 0, MinWidthTwips, MinHeightTwips));
        // clang-format on
    }

    void placement()
    {
        QFETCH(QStringList, saved);
        QFETCH(QSize, screen);
        QFETCH(QRect, available);
        QFETCH(QRect, window);
        QFETCH(bool, maximized);
        const SavedPlacement values {saved.at(0), saved.at(1), saved.at(2), saved.at(3), saved.at(4), saved.at(5), QString()};
        const Placement placement
            = LoadWindowSettings(values, screen.width(), screen.height(), available.isEmpty() ? QRect(QPoint(0, 0), screen) : available);
        QCOMPARE(QRect(placement.Left.value_or(-1), placement.Top.value_or(-1), placement.Width, placement.Height), window);
        QCOMPARE(placement.Maximized, maximized);
        QCOMPARE(placement.PaneSize, saved.at(1).toInt());
    }

    // ---- Recent list -------------------------------------------------------

    void recentMenuItems()
    {
        // An empty list shows one greyed "(None)"; an empty slot before a file is greyed, the rest hidden.
        const QList<modRecentlyUsed::MenuItem> none = modRecentlyUsed::MenuItems(QStringList(5));
        QVERIFY(none.at(0).Visible && !none.at(0).Enabled && !none.at(1).Visible);
        QCOMPARE(none.at(0).Caption, QStringLiteral("(None)"));
        const QList<modRecentlyUsed::MenuItem> items = modRecentlyUsed::MenuItems({"", "/2", "", "", ""});
        QVERIFY(items.at(0).Visible && !items.at(0).Enabled);
        QVERIFY(items.at(1).Visible && items.at(1).Enabled && items.at(1).Caption == QStringLiteral("/2"));
        QVERIFY(!items.at(2).Visible && !items.at(4).Visible);
    }

    void addRecentlyUsed()
    {
        using Case = std::tuple<QStringList, const char *, QStringList>;
        for (const auto &[before, added, after] : {
                 Case {{"/1", "/2", "/3", "/4", "/5"}, "/6", {"/6", "/1", "/2", "/3", "/4"}}, // the oldest falls off
                 Case {{"/1", "/2", "/3", "", ""}, "/2", {"/2", "/1", "/3"}}, // again: to the front, listed once
                 Case {{"/s/a.vos", "/s/b.vos"}, "/s/./a.vos", {"/s/a.vos", "/s/b.vos"}}, // the same file spelt otherwise
                 Case {{"/s/a.vos"}, "/s/A.vos", {"/s/A.vos", "/s/a.vos"}}, // case counts
             })
            QVERIFY2(modRecentlyUsed::AddRecentlyUsed(before, QString::fromLatin1(added)) == after, added);
    }

    void shorterRecentListClearsTheRest()
    {
        QVERIFY(modStartup::PrepareRegistry());
        modRecentlyUsed::WriteRecentlyUsed(kAppKey, {"/1", "/2", "/3", "/4", "/5"});
        modRecentlyUsed::WriteRecentlyUsed(kAppKey, {"/x", "/y"});
        QCOMPARE(modRecentlyUsed::ReadRecentlyUsed(kAppKey), (QStringList {"/x", "/y", "", "", ""}));
    }

    // ---- the guide ---------------------------------------------------------

    void guidePagesExist()
    {
        for (const char *page :
            {"index.html", "getting-started.html", "tree-and-inheritance.html", "settings.html", "running-a-migration.html"})
            QVERIFY2(QFile::exists(modHelp::GuidePage(QString::fromLatin1(page)).toLocalFile()), page);

        // When the desktop would not open it, the administrator is told where the guide is.
        RecordingPresenter presenter;
        RecordingOpener opener;
        opener.setNextResult(AssociatedOpener::NoAssociation);
        QVERIFY(!modHelp::ShowHelpPage(modHelp::ContentsPage));
        QCOMPARE(presenter.count(), 1);
        QVERIFY(presenter.last().text.contains(modHelp::GuidePage(modHelp::ContentsPage).toLocalFile()));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_modStartup.moc"

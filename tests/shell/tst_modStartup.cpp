#include "common/AppState.h"
#include "common/SqliteRegistryStore.h"
#include "common/modRegistry.h"
#include "shell/ConsoleInstance.h"
#include "shell/modHelp.h"
#include "shell/modRecentlyUsed.h"
#include "shell/modStartup.h"
#include "shell/modWindowSettings.h"

#include "RecordingOpener.h"

#include "support/RecordingPresenter.h"
#include "support/TestRegistry.h"

#include <QFile>
#include <QLockFile>
#include <QSignalSpy>
#include <QTest>

#include <limits>
#include <memory>

using namespace modWindowSettings;

namespace {

const QString kAppKey = QStringLiteral("HKCU\\Software\\Brindlewood\\Varno-Osk");

// The store, except that the console's own key cannot be created below the company's.
class RefusingStore final : public RegistryStore
{
public:
    explicit RefusingStore(const QString &path)
        : m_store(path)
    { }

    long connect(const QString &m, RegKey root, RegKey *r) override { return m_store.connect(m, root, r); }
    long openKey(RegKey p, const QString &s, quint32 a, RegKey *r) override { return m_store.openKey(p, s, a, r); }
    long createKey(RegKey parent, const QString &subKey, RegKey *result) override
    {
        if (subKey.compare(QStringLiteral("Varno-Osk"), Qt::CaseInsensitive) == 0)
            return Reg::AccessDenied;
        return m_store.createKey(parent, subKey, result);
    }
    long closeKey(RegKey k) override { return m_store.closeKey(k); }
    long setValue(RegKey k, const QString &n, quint32 t, const QByteArray &d) override { return m_store.setValue(k, n, t, d); }
    long queryValue(RegKey k, const QString &n, quint32 *t, QByteArray *d) override { return m_store.queryValue(k, n, t, d); }
    long deleteValue(RegKey k, const QString &n) override { return m_store.deleteValue(k, n); }
    long deleteTree(RegKey k, const QString &s) override { return m_store.deleteTree(k, s); }
    long enumKeys(RegKey k, QStringList *n) override { return m_store.enumKeys(k, n); }
    long enumValues(RegKey k, QList<Value> *v) override { return m_store.enumValues(k, v); }
    long keyName(RegKey k, QString *f) override { return m_store.keyName(k, f); }
    QString lastErrorText() const override { return m_store.lastErrorText(); }

private:
    SqliteRegistryStore m_store;
};

QStringList valueNames()
{
    RegKey key = Reg::NoKey;
    QStringList names;
    if (modRegistry::OpenKey(kAppKey, QString(), Reg::KeyRead, key) != Reg::Success)
        return names;
    QList<RegistryStore::Value> values;
    modRegistry::EnumValues(key, values);
    modRegistry::CloseKey(key);
    for (const RegistryStore::Value &value : values)
        names.append(value.name);
    return names;
}

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

    // ---- PrepareRegistry --------------------------------------------------

    void prepareRegistryCreatesBothKeys()
    {
        RecordingPresenter presenter;
        AppState::Get().AppKeyPath.clear();
        QVERIFY(modStartup::PrepareRegistry());
        QCOMPARE(presenter.count(), 0);
        QCOMPARE(AppState::Get().AppKeyPath, kAppKey);
        RegKey key = Reg::NoKey;
        QCOMPARE(modRegistry::OpenKey(kAppKey, QString(), Reg::KeyRead, key), 0L);
        modRegistry::CloseKey(key);
        // A second start finds both keys and keeps what is in them.
        QVERIFY(modRegistry::SaveSettingString(kAppKey, QStringLiteral("Top"), QStringLiteral("120")));
        QVERIFY(modStartup::PrepareRegistry());
        QCOMPARE(modRegistry::GetSettingString(kAppKey, QStringLiteral("Top")), QStringLiteral("120"));
    }

    void prepareRegistryReportsTheKeyThatFailed_data()
    {
        QTest::addColumn<bool>("damagedStore");
        QTest::addColumn<QString>("message");
        QTest::newRow("damaged store") << true << QStringLiteral("Failed to create the HKCU\\Software\\Brindlewood registry key.");
        QTest::newRow("console key refused") << false
                                             << QStringLiteral("Failed to create the HKCU\\Software\\Brindlewood\\Varno-Osk registry key.");
    }

    void prepareRegistryReportsTheKeyThatFailed()
    {
        QFETCH(bool, damagedStore);
        QFETCH(QString, message);
        const QString path = m_registry->folder() + QStringLiteral("/other.db");
        if (damagedStore) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(8192, '\x5A'));
            file.close();
            modRegistry::SetStore(std::make_unique<SqliteRegistryStore>(path));
        } else {
            modRegistry::SetStore(std::make_unique<RefusingStore>(path));
        }

        RecordingPresenter presenter;
        AppState::Get().AppKeyPath = QStringLiteral("unchanged");
        QVERIFY(!modStartup::PrepareRegistry());
        QCOMPARE(presenter.count(), 1);
        QCOMPARE(presenter.last().text, message);
        QCOMPARE(presenter.last().icon, Presenter::Icon::Critical);
        QCOMPARE(presenter.last().buttons, Presenter::Buttons::Ok);
        QCOMPARE(AppState::Get().AppKeyPath, QStringLiteral("unchanged"));
    }

    // ---- single instance (in one process; tst_singleInstance runs the program) ----

    void secondClaimSeesTheFirstAndAsksItToShow()
    {
        std::unique_ptr<QLockFile> lock;
        QVERIFY(!modStartup::PrevInstance(lock));
        QVERIFY(lock);
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

    // ---- caption and welcome rule -----------------------------------------

    void caption()
    {
        QCOMPARE(modStartup::MainCaption(QStringLiteral("Migration7")), QStringLiteral("Varno-Osk - Profile Migration System: Migration7"));
        QCOMPARE(modStartup::MainCaption(QString()), QStringLiteral("Varno-Osk - Profile Migration System: "));
    }

    void welcomeScreenRule_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("wanted");
        QTest::newRow("no value") << false << QString() << true;
        QTest::newRow("1") << true << QStringLiteral("1") << false;
        QTest::newRow("0") << true << QStringLiteral("0") << true;
        QTest::newRow("1 with a blank") << true << QStringLiteral("1 ") << true;
        QTest::newRow("01") << true << QStringLiteral("01") << true;
    }

    void welcomeScreenRule()
    {
        QFETCH(bool, stored);
        QFETCH(QString, value);
        QFETCH(bool, wanted);
        QVERIFY(modStartup::PrepareRegistry());
        if (stored)
            QVERIFY(modRegistry::SaveSettingString(kAppKey, QStringLiteral("WelcomeScreen"), value));
        QCOMPARE(modStartup::WelcomeScreenWanted(), wanted);
    }

    // ---- placement ---------------------------------------------------------

    void twipsPerPixel_data()
    {
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("twips");
        QTest::newRow("96") << 96.0 << 15;
        QTest::newRow("120") << 120.0 << 12;
        QTest::newRow("144") << 144.0 << 10;
        QTest::newRow("none reported") << 0.0 << 15;
    }

    void twipsPerPixel()
    {
        QFETCH(double, dpi);
        QFETCH(int, twips);
        QCOMPARE(TwipsPerPixel(dpi), twips);
    }

    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("blanks and words") << QStringLiteral("  1500 twips") << 1500;
        QTest::newRow("negative") << QStringLiteral("-300") << -300;
        QTest::newRow("half to even, down") << QStringLiteral("12.5") << 12;
        QTest::newRow("half to even, up") << QStringLiteral("13.5") << 14;
        QTest::newRow("exponent") << QStringLiteral("1e3") << 1000;
        QTest::newRow("not a number") << QStringLiteral("wide") << 0;
        QTest::newRow("beyond 32 bits") << QStringLiteral("99999999999") << std::numeric_limits<int>::max();
    }

    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QCOMPARE(LeadingNumber(text), number);
    }

    void placement_data()
    {
        QTest::addColumn<QStringList>("saved"); // Maximized, PaneSize, Top, Left, Width, Height
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<int>("screenHeight");
        QTest::addColumn<QRect>("available"); // empty: the whole screen
        QTest::addColumn<bool>("maximized");
        QTest::addColumn<int>("top"); // -1: not applied
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");

        const QStringList nothing(6);
        // Nothing stored yet: three quarters of the desktop's free area, centred,
        // within the guard's minimum and a maximum.
        QTest::newRow("first start") << nothing << 19200 << 12000 << QRect() << false << 1500 << 2400 << 14400 << 9000;
        QTest::newRow("first start, beside a panel") << nothing << 19200 << 12000 << QRect(960, 480, 17600, 11200) << false << 1880
                                                     << 3160 << 13200 << 8400;
        QTest::newRow("first start, small screen") << nothing << 11520 << 9000 << QRect() << false << 1005 << 1012 << MinWidthTwips
                                                   << MinHeightTwips;
        QTest::newRow("first start, huge screen") << nothing << 57600 << 32400 << QRect() << false << 7950 << 16800
                                                  << 24000 << 16500;
        QTest::newRow("only the pane stored") << QStringList {"", "3600", "", "", "", ""} << 19200 << 12000 << QRect() << false << 1500
                                              << 2400 << 14400 << 9000;
        QTest::newRow("fits") << QStringList {"1", "3600", "1200", "1500", "12000", "9000"} << 19200 << 12000 << QRect() << true << 1200 << 1500
                              << 12000 << 9000;
        QTest::newRow("wider than a smaller screen")
            << QStringList {"0", "3600", "0", "0", "28800", "9000"} << 15360 << 11520 << QRect() << false << 0 << 0 << 15360 << 9000;
        QTest::newRow("taller than a smaller screen")
            << QStringList {"0", "", "0", "0", "12000", "16000"} << 15360 << 11520 << QRect() << false << 0 << 0 << 12000 << 11520;
        QTest::newRow("top beyond the screen") << QStringList {"", "", "13000", "600", "12000", "9000"} << 19200 << 12000 << QRect() << false << -1
                                               << 600 << 12000 << 9000;
        QTest::newRow("top at the screen's edge")
            << QStringList {"", "", "12000", "600", "12000", "9000"} << 19200 << 12000 << QRect() << false << 12000 << 600 << 12000 << 9000;
        QTest::newRow("left beyond the screen")
            << QStringList {"", "", "300", "19201", "12000", "9000"} << 19200 << 12000 << QRect() << false << 300 << -1 << 12000 << 9000;
        QTest::newRow("smaller than the guard")
            << QStringList {"", "", "0", "0", "3000", "2000"} << 19200 << 12000 << QRect() << false << 0 << 0 << MinWidthTwips << MinHeightTwips;
        QTest::newRow("maximised only when 1") << QStringList {"yes", "", "0", "0", "", ""} << 19200 << 12000 << QRect() << false << 0 << 0
                                               << MinWidthTwips << MinHeightTwips;
    }

    void placement()
    {
        QFETCH(QStringList, saved);
        QFETCH(int, screenWidth);
        QFETCH(int, screenHeight);
        QFETCH(QRect, available);
        QFETCH(bool, maximized);
        QFETCH(int, top);
        QFETCH(int, left);
        QFETCH(int, width);
        QFETCH(int, height);

        const SavedPlacement values {saved.at(0), saved.at(1), saved.at(2), saved.at(3), saved.at(4), saved.at(5)};
        const Placement placement = LoadWindowSettings(values, screenWidth, screenHeight, available.isEmpty() ? QRect(0, 0, screenWidth, screenHeight) : available);
        QCOMPARE(placement.Maximized, maximized);
        QCOMPARE(placement.PaneSize, LeadingNumber(saved.at(1)));
        QCOMPARE(placement.Top.value_or(-1), top);
        QCOMPARE(placement.Left.value_or(-1), left);
        QCOMPARE(placement.Width, width);
        QCOMPARE(placement.Height, height);
    }

    void exitWritesInOrder()
    {
        QVERIFY(modStartup::PrepareRegistry());
        WindowState state;
        state.PaneSize = 3600;
        state.Maximized = true;
        state.Top = 150;
        state.Left = 300;
        state.Height = 9000;
        state.Width = 12000;
        SaveWindowSettings(kAppKey, state);
        QCOMPARE(valueNames(), (QStringList {"PaneSize", "Maximized", "Top", "Left", "Height", "Width"}));
        QCOMPARE(modRegistry::GetSettingString(kAppKey, QStringLiteral("Maximized")), QStringLiteral("1"));
        QCOMPARE(modRegistry::GetSettingString(kAppKey, QStringLiteral("Height")), QStringLiteral("9000"));
    }

    // ---- Recent list -------------------------------------------------------

    void recentMenuItems_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QString>("visible"); // one digit per item
        QTest::addColumn<QString>("enabled");
        const QString none = modRecentlyUsed::NoneCaption;
        QTest::newRow("empty list") << QStringList(5) << QStringList {none, none, none, none, none} << "10000"
                                    << "00000";
        QTest::newRow("two files") << QStringList {"/s/b.vos", "/s/a.vos", "", "", ""}
                                   << QStringList {"/s/b.vos", "/s/a.vos", none, none, none} << "11000"
                                   << "11000";
        QTest::newRow("full") << QStringList {"/1", "/2", "/3", "/4", "/5"} << QStringList {"/1", "/2", "/3", "/4", "/5"} << "11111"
                              << "11111";
        QTest::newRow("first slot empty") << QStringList {"", "/2", "", "", ""} << QStringList {none, "/2", none, none, none} << "11000"
                                          << "01000";
    }

    void recentMenuItems()
    {
        QFETCH(QStringList, paths);
        QFETCH(QStringList, captions);
        QFETCH(QString, visible);
        QFETCH(QString, enabled);
        const QList<modRecentlyUsed::MenuItem> items = modRecentlyUsed::MenuItems(paths);
        QCOMPARE(items.size(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(items.at(i).Caption, captions.at(i));
            QCOMPARE(items.at(i).Visible, visible.at(i) == QLatin1Char('1'));
            QCOMPARE(items.at(i).Enabled, enabled.at(i) == QLatin1Char('1'));
        }
    }

    void addRecentlyUsed_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("first file") << QStringList(5) << "/s/a.vos" << QStringList {"/s/a.vos"};
        QTest::newRow("newest first") << QStringList {"/a", "/b", "", "", ""} << "/c" << QStringList {"/c", "/a", "/b"};
        QTest::newRow("oldest falls off") << QStringList {"/1", "/2", "/3", "/4", "/5"} << "/6"
                                          << QStringList {"/6", "/1", "/2", "/3", "/4"};
        QTest::newRow("again moves to the front")
            << QStringList {"/1", "/2", "/3", "/4", "/5"} << "/4" << QStringList {"/4", "/1", "/2", "/3", "/5"};
        QTest::newRow("same file, other spelling")
            << QStringList {"/s/a.vos", "/s/b.vos"} << "/s/./a.vos" << QStringList {"/s/a.vos", "/s/b.vos"};
        QTest::newRow("case counts") << QStringList {"/s/a.vos"} << "/s/A.vos" << QStringList {"/s/A.vos", "/s/a.vos"};
    }

    void addRecentlyUsed()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, added);
        QFETCH(QStringList, after);
        QCOMPARE(modRecentlyUsed::AddRecentlyUsed(before, added), after);
    }

    void recentListRoundTrip()
    {
        QVERIFY(modStartup::PrepareRegistry());
        modRecentlyUsed::WriteRecentlyUsed(kAppKey, {"/1", "/2", "/3", "/4", "/5"});
        modRecentlyUsed::WriteRecentlyUsed(kAppKey, {"/x", "/y"});
        QCOMPARE(modRecentlyUsed::ReadRecentlyUsed(kAppKey), (QStringList {"/x", "/y", "", "", ""}));
        QCOMPARE(modRegistry::GetSettingString(kAppKey, QStringLiteral("RecentlyUsed1")), QStringLiteral("/y"));
    }

    // ---- the guide ---------------------------------------------------------

    void guidePagesExistAndOpen()
    {
        QVERIFY(!modHelp::GuideFolder().isEmpty());
        for (const char *page :
            {"index.html", "getting-started.html", "tree-and-inheritance.html", "settings.html", "running-a-migration.html"})
            QVERIFY2(QFile::exists(modHelp::GuidePage(QString::fromLatin1(page)).toLocalFile()), page);

        RecordingPresenter presenter;
        {
            RecordingOpener opener;
            QVERIFY(modHelp::ShowHelpPage(modHelp::GettingStartedPage));
            QCOMPARE(opener.opened.size(), 1);
            QVERIFY(opener.opened.constFirst().isLocalFile());
            QVERIFY(opener.opened.constFirst().path().endsWith(QStringLiteral("/getting-started.html")));
        }
        QCOMPARE(presenter.count(), 0);
        // Without a desktop to open it, the administrator is told where the guide is.
        QVERIFY(!modHelp::ShowHelpPage(modHelp::ContentsPage));
        QCOMPARE(presenter.count(), 1);
        QVERIFY(presenter.last().text.contains(modHelp::GuidePage(modHelp::ContentsPage).toLocalFile()));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_modStartup.moc"

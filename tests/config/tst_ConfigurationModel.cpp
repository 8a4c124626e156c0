#include "common/AppState.h"
#include "common/modConsoleKey.h"
#include "common/modRegistry.h"
#include "config/ConfigurationModel.h"

#include "ConfigurationRows.h"
#include "support/FixedAddressTable.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <memory>

using C = ConsoleConfig;

class TestConfigurationModel : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestRegistry> m_registry;
    std::unique_ptr<FixedAddressTable> m_addresses;

    static QString stored(C::Value value) { return modRegistry::GetSettingString(AppState::Get().AppKeyPath, C::Name(value)); }
    static bool isStored(C::Value value)
    {
        QVariant text = QString();
        return modRegistry::GetValue(C::Name(value), text, std::nullopt, Reg::NoKey, AppState::Get().AppKeyPath) == Reg::Success;
    }

private Q_SLOTS:
    void init()
    {
        m_registry = std::make_unique<TestRegistry>();
        m_addresses = std::make_unique<FixedAddressTable>(QStringList {"10.0.0.5", "192.168.1.9"});
        QVERIFY(modConsoleKey::Prepare());
    }
    void cleanup()
    {
        m_addresses.reset();
        m_registry.reset();
    }

    // Each check at its boundaries, over a configuration whose other fields
    // hold their defaults (which must pass): the refusal names the field.
    void checks_data() { addConfigurationRows(); }
    void checks()
    {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        ConfigurationModel model;
        QVERIFY(model.Load());
        model.SetText(C::Value(field), text);
        const auto found = model.Check();
        QCOMPARE(found ? found->message : QString(), refusal);
        if (found)
            QCOMPARE(int(found->field), field);
    }

    // The first field in the dialog's order decides; a refusal writes
    // nothing, not even the fields before it that passed.
    void refusalWritesNothing()
    {
        ConfigurationModel model;
        model.Load();
        model.SetText(C::LogPath, QStringLiteral("/srv/logs"));
        model.SetText(C::LoggingLevel, QStringLiteral("0"));
        model.SetText(C::MaxTransferors, QStringLiteral("51"));
        const ConfigurationModel::Outcome outcome = model.SaveSettings();
        QVERIFY(!outcome.saved);
        QCOMPARE(outcome.focus, std::optional<C::Value>(C::LoggingLevel));
        for (int value = C::LogPath; value <= C::WelcomeScreen; ++value)
            QVERIFY2(!isStored(C::Value(value)), qPrintable(C::Name(C::Value(value))));
    }

    // A passing save writes every value, the console address chosen as
    // "- Use Listener IP -" as empty text, and "1" for a clear welcome box;
    // loading again shows what was saved.
    void saveAndLoad()
    {
        ConfigurationModel model;
        model.Load();
        model.SetText(C::ListenerIP, QStringLiteral("192.168.1.9"));
        model.SetShowWelcomeScreen(false);
        QVERIFY(model.SaveSettings().saved);
        QVERIFY(isStored(C::ConsoleIP) && stored(C::ConsoleIP).isEmpty() && isStored(C::DestPath));
        QCOMPARE(stored(C::WelcomeScreen), QStringLiteral("1"));

        ConfigurationModel again;
        again.Load();
        QCOMPARE(again.Text(C::ListenerIP), QStringLiteral("192.168.1.9"));
        QVERIFY(!again.ShowWelcomeScreen());
    }

    // What a field shows for what is stored: a listener address the
    // machine no longer has gives way to the first one, or to "- No IPs
    // Found -"; a number that is not one shows as it is stored, for its
    // check to name; the welcome box is clear for any number above 0.
    void loadShows_data()
    {
        QTest::addColumn<QStringList>("local");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("storedText");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *tag, const QStringList &local, C::Value field, const char *text, const char *shown) {
            QTest::newRow(tag) << local << int(field) << QString::fromLatin1(text) << QString::fromLatin1(shown);
        };
        const QStringList two {"10.0.0.5", "192.168.1.9"};
        row("listener gone", two, C::ListenerIP, "10.0.0.99", "10.0.0.5");
        row("no address", {}, C::ListenerIP, "10.0.0.5", "- No IPs Found -");
        row("port not a number", two, C::ListenerPort, "80a", "80a");
        row("period not a number", two, C::StatusCheckPeriod, "15s", "15s");
        row("welcome 2", two, C::WelcomeScreen, "2", "clear");
        row("welcome 1.5", two, C::WelcomeScreen, "1.5", "clear");
        row("welcome not a number", two, C::WelcomeScreen, "yes", "ticked");
    }
    void loadShows()
    {
        QFETCH(QStringList, local);
        QFETCH(int, field);
        QFETCH(QString, storedText);
        QFETCH(QString, shown);
        m_addresses->setAddresses(local);
        QVERIFY(C().Write(C::Value(field), storedText));
        ConfigurationModel model;
        model.Load();
        if (field == C::WelcomeScreen)
            QCOMPARE(model.ShowWelcomeScreen() ? "ticked" : "clear", shown);
        else
            QCOMPARE(model.Text(C::Value(field)), shown);
    }

    // Without the console's key nothing can be loaded or saved, and the
    // save says so rather than pretending.
    void keyMissing()
    {
        QCOMPARE(modRegistry::DeleteKey(AppState::Get().AppKeyPath), long(Reg::Success));
        ConfigurationModel model;
        QVERIFY(!model.Load());
        const ConfigurationModel::Outcome outcome = model.SaveSettings();
        QVERIFY(!outcome.saved && !outcome.focus);
        QCOMPARE(outcome.message, QStringLiteral("The registry could not be opened.  Settings will not be saved."));
    }
};

QTEST_GUILESS_MAIN(TestConfigurationModel)
#include "tst_ConfigurationModel.moc"

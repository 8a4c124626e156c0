#include "common/AppState.h"
#include "common/ConsoleConfig.h"
#include "common/modRegistry.h"
#include "config/ConfigurationModel.h"

#include "config/ConfigurationRows.h"
#include "support/TestRegistry.h"
#include "support/VoProcess.h"

#include <QTest>

class TestVoConfig : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows the rules class is tested with: vo takes and refuses the
    // same values, with the dialog's message, and stores only what passes.
    void set_data() { addConfigurationRows(); }
    void set()
    {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        TestRegistry registry;
        const QString name = ConsoleConfig::Name(ConsoleConfig::Value(field));
        const VoRun run = vo({"config", "set", name, text});
        QCOMPARE(run.status, refusal.isEmpty() ? 0 : 1);
        QCOMPARE(QString::fromLocal8Bit(run.err).trimmed(), refusal.isEmpty() ? QString() : QStringLiteral("ERROR: ") + refusal);
        QVariant stored = QString();
        const long read = modRegistry::GetValue(name, stored, std::nullopt, Reg::NoKey, AppState::Get().AppKeyPath);
        QCOMPARE(read == Reg::Success, refusal.isEmpty());
        if (read == Reg::Success)
            QCOMPARE(stored.toString(), ConfigurationModel::StoredText(ConsoleConfig::Value(field), text));
    }

    // Every value with where it comes from; the console address chosen as
    // the listener's is stored empty.
    void show()
    {
        TestRegistry registry;
        QCOMPARE(vo({"config", "set", "consoleip", ""}).status, 0);
        QCOMPARE(vo({"config", "set", "WelcomeScreen", "2"}).status, 1);
        const QByteArray out = vo({"config", "show"}).out;
        for (const char *line :
            {"ConsoleIP           (empty)  [stored; default (empty: the listener address)]", "MaxTransferors      5  [default]"})
            QVERIFY2(out.contains(line), line);
        QCOMPARE(out.count('\n'), 15);

        // A store that cannot be read shows no value at all.
        QVERIFY(!writeFile(registry.path(), "not a registry store").isEmpty());
        const VoRun unreadable = vo({"config", "show"});
        QCOMPARE(unreadable.status, 1);
        QVERIFY2(unreadable.err.contains("the registry could not be read") && unreadable.out.isEmpty(), unreadable.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestVoConfig)
#include "tst_voConfig.moc"

#include "common/AppState.h"
#include "common/ConsoleConfig.h"
#include "common/modRegistry.h"
#include "config/ConfigurationModel.h"

#include "config/ConfigurationRows.h"
#include "support/TestRegistry.h"
#include "support/VoProcess.h"

#include <QProcess>
#include <QTemporaryDir>
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
        QCOMPARE(vo({"config", "set", "RetryInterval", "90"}).status, 0);
        const QByteArray out = vo({"config", "show"}).out;
        for (const char *line : {"ConsoleIP           (empty)  [stored; default (empty: the listener address)]",
                 "MaxTransferors      5  [default]", "RetryInterval       1 min 30 s  [stored; default 5 min]", "PendingTimeout      off  [default]"})
            QVERIFY2(out.contains(line), line);
        QCOMPARE(out.count('\n'), 17);

        // A store that cannot be read shows no value at all.
        QVERIFY(!writeFile(registry.path(), "not a registry store").isEmpty());
        const VoRun unreadable = vo({"config", "show"});
        QCOMPARE(unreadable.status, 1);
        QVERIFY2(unreadable.err.contains("the registry could not be read") && unreadable.out.isEmpty(), unreadable.err.constData());
    }

    // The listener's certificate as administrators compare it: the line
    // openssl shows for the file vo names; renewed, another one.
    void engineCert()
    {
        QTemporaryDir data;
        qputenv("VARNO_OSK_DATA", data.path().toLocal8Bit());
        const VoRun made = vo({"engine", "cert"});
        QCOMPARE(made.status, 0);
        const QString file = QString::fromUtf8(made.out).section("Certificate: ", 1).trimmed();
        QProcess openssl;
        openssl.start("openssl", {"x509", "-noout", "-fingerprint", "-sha256", "-in", file});
        QVERIFY(openssl.waitForFinished());
        const QByteArray fingerprint = openssl.readAllStandardOutput().split('=').value(1).trimmed();
        QVERIFY2(fingerprint.size() == 95 && made.out.startsWith("SHA-256 fingerprint: " + fingerprint + "\n"), made.out.constData());
        QCOMPARE(vo({"engine", "cert"}).out, made.out);
        const VoRun renewed = vo({"engine", "cert", "--renew"});
        QVERIFY(renewed.status == 0 && renewed.out != made.out && renewed.out.contains(file.toUtf8()));
        QCOMPARE(vo({"engine", "cert", "--new"}).status, 1);
        qunsetenv("VARNO_OSK_DATA");
    }
};

QTEST_GUILESS_MAIN(TestVoConfig)
#include "tst_voConfig.moc"

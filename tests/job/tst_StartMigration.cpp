#include "job/StartMigration.h"
#include "validation/ValidationReport.h"

#include "engine/EngineFixture.h"
#include "JobFixture.h"

#include "common/ConsoleConfig.h"

#include <QFile>

// The start command's order of checks: each row sets up one situation,
// scripts the answers and lists the first line of every message shown.
class TestStartMigration : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checks_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<bool>("started");
        QTest::addColumn<QStringList>("shown");

        const QString existing = QStringLiteral("Migration log files were found in results folder:");
        const QString confirm = QStringLiteral("Please verify options before proceeding with migration:");
        const QString fault = QStringLiteral("Validation error checking computer 'PC1'.");
        const QString badPort = QStringLiteral("Invalid Listener Port specified.  Migration cannot proceed ");
        const auto row = [](const char *name, const char *situation, QList<int> answers, bool started, QStringList shown) {
            QTest::newRow(name) << QString::fromLatin1(situation) << answers << started << shown;
        };
        using P = Presenter;
        row("passes", "", {P::Yes}, true, {confirm});
        row("running: nothing asked", "running logs", {}, false, {});
        row("logs, No: job name dialog", "logs", {P::No}, false, {existing});
        row("logs, Yes: goes on", "logs", {P::Yes, P::Yes}, true, {existing, confirm});
        row("only other files", "other-files", {P::Yes}, true, {confirm});
        row("panel edits kept", "keep-edits", {}, false, {});
        row("registry unreadable", "no-key", {}, false, {"Unable to open registry. (2)"});
        row("no listener", "no-address bad-port", {}, false, {"Listener IP address not found.  Migration cannot proceed."});
        row("port 80a", "bad-port", {}, false, {badPort});
        row("port blank", "blank-port", {}, false, {badPort});
        row("confirmation No", "", {P::No}, false, {confirm});
        row("every computer disabled", "disabled", {}, false,
            {"Every computer is disabled, so there is nothing to migrate.  Select the computers to migrate and choose Edit > Enable."});
        row("validation error", "error", {P::Yes}, false, {confirm, fault});
        row("warning, Ignore Once", "warning", {P::Yes, P::No}, true, {confirm, fault});
        row("warning, Cancel", "warning", {P::Yes, P::Cancel}, false, {confirm, fault});
        // No engine chosen yet: asked first, the answer kept; Cancel keeps nothing.
        const QString engine = QStringLiteral("Should this console migrate the clients, or rehearse?");
        // A real run checks the listener too: loopback is a warning then.
        row("no engine, Migrate the Clients", "no-engine", {P::Yes, P::Yes, P::No}, true, {engine, confirm, fault});
        row("no engine, Rehearse", "no-engine", {P::No, P::Yes}, true, {engine, confirm});
        row("no engine, Cancel", "no-engine", {P::Cancel}, false, {engine});
    }

    void checks()
    {
        QFETCH(QString, situation);
        QFETCH(QList<int>, answers);
        QFETCH(bool, started);
        QFETCH(QStringList, shown);
        const auto has = [&situation](const char *word) { return situation.split(QLatin1Char(' ')).contains(QLatin1String(word)); };

        EngineFixture fixture;
        ComputerDB db;
        JobFixture::makeSound(JobFixture::global(db));
        if (has("warning"))
            db.AddComputer(QStringLiteral("PC1"), QString(), -1, -1);
        else
            JobFixture::addComputer(db, QStringLiteral("PC1"));
        if (has("disabled"))
            db.SetComputerEnabled(db.FindComputer(QStringLiteral("PC1")), false);
        if (has("error"))
            JobFixture::global(db).SetUser(AdminA, QStringLiteral("varno"), QStringLiteral("pa55-A"), QString());
        if (has("running"))
            RunState::instance().startPingTest();
        if (has("logs") || has("other-files")) {
            QDir().mkpath(fixture.resultsFolder());
            QFile file(fixture.resultsFolder() + (has("logs") ? "handler.log" : "handler.txt"));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        if (has("bad-port") || has("blank-port"))
            fixture.set(QStringLiteral("ListenerPort"), has("bad-port") ? QStringLiteral("80a") : QString());
        if (has("no-engine"))
            fixture.set(QStringLiteral("Engine"), QString());
        if (has("no-key"))
            AppState::Get().AppKeyPath = QStringLiteral("HKCU\\Software\\Brindlewood\\Missing");
        for (const int answer : answers)
            fixture.presenter.setNextAnswer(Presenter::Answer(answer));

        int jobDialogs = 0;
        QString faultNode;
        StartMigration::Hooks hooks;
        hooks.PromptToSaveRecord = [&] { return !has("keep-edits"); };
        hooks.OpenJobNameDialog = [&] { ++jobDialogs; };
        hooks.ListenerAddress = [&] { return has("no-address") ? QString() : QStringLiteral("127.0.0.1"); };
        hooks.ShowValidationFault = [&](const ValidationReport &report) {
            // The node is selected before the message is shown.
            QCOMPARE(fixture.presenter.count(), shown.size() - 1);
            faultNode = report.NodeToShow;
        };
        StartMigration start(db, hooks);
        QCOMPARE(start.Check(), started);

        QStringList firstLines;
        for (const Presenter::Message &message : fixture.presenter.messages())
            firstLines << message.text.section(QLatin1Char('\r'), 0, 0);
        QCOMPARE(firstLines, shown);
        QCOMPARE(jobDialogs, situation == QLatin1String("logs") && !started ? 1 : 0);
        QCOMPARE(faultNode.isEmpty(), !has("error") && !has("warning") && !(has("no-engine") && answers.value(0) == Presenter::Yes));
        if (has("no-engine")) {
            const QMap<int, QString> kept {{Presenter::Yes, "ssh"}, {Presenter::No, "rehearsal"}, {Presenter::Cancel, ""}};
            QCOMPARE(ConsoleConfig().Text(ConsoleConfig::Engine), kept.value(answers.first()));
        }
        if (situation.isEmpty() && started)
            QVERIFY(fixture.presenter.last().text.contains(
                QStringLiteral("Migration Job Name: Job1\r\rListener IP: 127.0.0.1\rListener Port: 7919\r")));
    }
};

QTEST_GUILESS_MAIN(TestStartMigration)
#include "tst_StartMigration.moc"

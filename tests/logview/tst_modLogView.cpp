#include "common/AppState.h"
#include "common/ConsoleConfig.h"
#include "common/modConsoleKey.h"
#include "common/modShell.h"
#include "logview/modLogView.h"

#include "support/RecordingOpener.h"
#include "support/RecordingPresenter.h"
#include "support/TestRegistry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

class TestLogView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestRegistry> m_registry;
    std::unique_ptr<QTemporaryDir> m_logs;

    // "@" stands for the job's results folder.
    QString results(QString text = QStringLiteral("@")) const { return text.replace("@", m_logs->path() + QStringLiteral("/Wave1/")); }

    // Files made one second apart in the order given, the first the oldest.
    void makeResults(const QStringList &files) const
    {
        QVERIFY(QDir().mkpath(results()));
        const QDateTime start = QDateTime::currentDateTime().addDays(-1);
        for (qsizetype i = 0; i < files.size(); ++i) {
            QFile file(results() + files.at(i));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setFileTime(start.addSecs(i), QFileDevice::FileModificationTime));
        }
    }

private Q_SLOTS:
    void init()
    {
        AppState::Reset();
        m_registry = std::make_unique<TestRegistry>();
        m_logs = std::make_unique<QTemporaryDir>();
        QVERIFY(modConsoleKey::Prepare());
        QVERIFY(ConsoleConfig().Write(ConsoleConfig::LogPath, m_logs->path()));
        AppState::Get().CurrentJobName = QStringLiteral("Wave1");
    }

    void cleanup()
    {
        m_registry.reset();
        m_logs.reset();
        AppState::Reset();
    }

    void transferorLogs_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("default, any case") << "transferor*.log"
                                           << QStringList {"transferor2.log", "Transferor1.LOG", "transferor.txt", "old-transferor3.log"}
                                           << QStringList {"Transferor1.LOG", "transferor2.log"};
        QTest::newRow("no star: one file") << "transferor.log" << QStringList {"transferor.log", "transferor.log.1"}
                                           << QStringList {"transferor.log"};
        QTest::newRow("head and tail apart") << "transferor*r.log" << QStringList {"transferor.log", "transferor-r.log"}
                                             << QStringList {"transferor-r.log"};
        QTest::newRow("two stars") << "t*-*.log" << QStringList {"t1-2.log", "t12.log"} << QStringList {"t1-2.log"};
    }

    void transferorLogs()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, files);
        QFETCH(QStringList, found);
        QVERIFY(modLogView::TransferorLogs().isEmpty()); // no results folder yet
        makeResults(files);
        QVERIFY(QDir(results()).mkdir(QStringLiteral("transferor-folder.log")));
        QVERIFY(ConsoleConfig().Write(ConsoleConfig::TLogFile, pattern));
        QCOMPARE(modLogView::TransferorLogs(), found);
    }

    // The newest by the client's stamp, never by modification time: the files are modified in the order listed.
    void newestClientLog_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("newest");
        QTest::newRow("latest stamp") << QStringList {"PC1-20261201101010.log", "PC1-20261205090000.log", "PC1-20261203000000.log"}
                                      << "PC1-20261205090000.log";
        QTest::newRow("PC1 is not PC10") << QStringList {"PC10-20271231235959.log", "pc1-20261201101010.log"} << "pc1-20261201101010.log";
        QTest::newRow("not client logs") << QStringList {"PC1-2026120110101.log", "PC1-2026120110101a.log", "PC1-202612011010100.log",
            "PC1-20261201101010.txt", "PC1_20261201101010.log", "XPC1-20261201101010.log"}
                                         << QString();
    }

    void newestClientLog()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, newest);
        makeResults(files);
        QCOMPARE(modLogView::NewestClientLog(results(), QStringLiteral("PC1")), newest);
    }

    // Each command's failure, shown once as an Error.
    void commands_data()
    {
        QTest::addColumn<std::function<bool()>>("command");
        QTest::addColumn<bool>("resultsFolder");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("opened"); // path and working folder; empty when nothing was opened
        QTest::addColumn<QString>("message");
        const std::function<bool()> handler = modLogView::OpenHandlerLog;
        const std::function<bool()> transferor = [] { return modLogView::OpenTransferorLog(QStringLiteral("transferor1.log")); };
        const std::function<bool()> folder = modLogView::OpenClientLogsFolder;
        const std::function<bool()> newest = [] { return modLogView::OpenNewestClientLog(QStringLiteral("PC1")); };
        // "%r" stands for the opener's reason, whose texts modShell's test holds.
        QTest::newRow("handler") << handler << true << 31 << "@engine.log @"
                                 << "Could not open Handler Log '@engine.log'.\r\r%r\rVerify your log settings in the Configuration "
                                    "dialog or change the\rMigration Job Name to the log to be reviewed.";
        QTest::newRow("transferor") << transferor << true << 2 << "@transferor1.log @"
                                    << "Could not open Transferor Log '@transferor1.log'.\r\r%r\rVerify your log settings in the "
                                       "Configuration dialog.";
        QTest::newRow("folder missing") << folder << false << 3 << "@ "
                                        << "Could not open the job log path '@'.\r\r%r\rVerify your log settings in the Configuration "
                                           "dialog.";
        QTest::newRow("newest") << newest << true << 5 << "@PC1-20261201101010.log @"
                                << "Could not open Client Log '@PC1-20261201101010.log'.\r\r%r";
        QTest::newRow("newest, none") << newest << false << 42 << QString()
                                      << "Could not find Client Log for PC1 in @.\r\rIf this path is incorrect, please change the Log "
                                         "Path setting\rin the Configuration dialog or set the Migration Job Name to\rthe job for which "
                                         "you wish to review the logs.";
    }

    void commands()
    {
        QFETCH(std::function<bool()>, command);
        QFETCH(bool, resultsFolder);
        QFETCH(int, result);
        QFETCH(QString, opened);
        QFETCH(QString, message);
        if (resultsFolder)
            makeResults({QStringLiteral("PC1-20261201101010.log")});
        QVERIFY(ConsoleConfig().Write(ConsoleConfig::HLogFile, QStringLiteral("engine.log")));
        RecordingPresenter presenter;
        RecordingOpener opener;
        opener.setNextResult(result);

        QVERIFY(!command());
        QCOMPARE(opener.opened.isEmpty() ? QString() : opener.opened.at(0).path + ' ' + opener.opened.at(0).workingFolder, results(opened));
        QCOMPARE(presenter.count(), 1);
        QCOMPARE(presenter.last().text, results(message).replace("%r", modShell::OpenFailureReason(result)));
        QCOMPARE(presenter.last().icon, Presenter::Icon::Critical);
    }
};

QTEST_GUILESS_MAIN(TestLogView)
#include "tst_modLogView.moc"

#include "database/ComputerDB.h"
#include "job/MigrationRun.h"
#include "job/RunReport.h"
#include "job/modRunReport.h"

#include "support/RecordingPresenter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestRunReport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_results;
    ComputerDB m_db;
    RunReport m_report;

    void touch(const QString &name)
    {
        QFile file(m_results.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

private Q_SLOTS:
    // Four computers of the run, one left out of it; names that need
    // quoting, a group two levels deep, and client logs beside look-alikes.
    void initTestCase()
    {
        const int office = m_db.AddFolder(QStringLiteral("@Head, Office"), -1);
        const int finance = m_db.AddFolder(QStringLiteral("Finance"), office);
        const int pc1 = m_db.AddComputer(QStringLiteral("PC1"), QString(), finance, -1);
        const int pc10 = m_db.AddComputer(QStringLiteral("PC10"), QString(), -1, -1);
        const int quoted = m_db.AddComputer(QStringLiteral("say \"<hi>\" & Ünïcode"), QString(), office, -1);
        const int silent = m_db.AddComputer(QStringLiteral("KIOSK"), QString(), -1, -1);
        m_db.AddComputer(QStringLiteral("OUTSIDE"), QString(), -1, -1);
        for (const char *name : {"PC1-20240101120000.log", "PC1-20240301120000.log", "pc1-20240201120000.log", "PC10-20250101120000.log",
                 "PC1-2024030112000.log", "PC1-20249999999999.txt", "PC1-2024x301120000.log"})
            touch(QString::fromLatin1(name));
        const QMap<int, QString> statuses {{pc1, QStringLiteral("XE")}, {pc10, QStringLiteral("XS")}, {quoted, QStringLiteral("CL")}};
        m_report = RunReport::Build(m_db, {pc1, pc10, quoted, silent}, statuses, m_results.path());
        m_report.JobName = QStringLiteral("Job <1> & \"2\"");
        m_report.Time = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9));
    }

    void csvRowsQuotedAsRfc4180()
    {
        const QByteArray expected = QByteArray("\xEF\xBB\xBF")
            + "Computer,Group Path,Last Status Code,Status Text,Client Log File,Engine\r\n"
              "PC1,\"'@Head, Office\\Finance\",XE,Migration complete with errors,PC1-20240301120000.log,ssh\r\n"
              "PC10,,XS,Migration successful,PC10-20250101120000.log,ssh\r\n"
            + QStringLiteral("\"say \"\"<hi>\"\" & Ünïcode\",\"'@Head, Office\",CL,Client executing,,ssh\r\n").toUtf8()
            + "KIOSK,,,No status received,,ssh\r\n";
        QCOMPARE(m_report.Csv(), expected);
        // Not started, in progress, successful, warnings, errors, canceled, aborted.
        QCOMPARE(m_report.Counts, (std::array<int, RunReport::OutcomeCount> {1, 1, 1, 0, 1, 0, 0}));
    }

    // Every text escaped, no file or script from outside, the bars sized by
    // the counts and the successful computer left out of the list.
    void htmlStandsAlone()
    {
        const QString page = QString::fromUtf8(m_report.Html());
        QVERIFY(page.contains(QStringLiteral("Job &lt;1&gt; &amp; &quot;2&quot;")));
        QVERIFY(page.contains(QStringLiteral("say &quot;&lt;hi&gt;&quot; &amp; Ünïcode")));
        QVERIFY(
            !page.contains(QStringLiteral("<hi>")) && !page.contains(QStringLiteral("<script")) && !page.contains(QStringLiteral("src=")));
        QVERIFY(page.contains(QStringLiteral("2024-05-06 07:08:09")));
        QCOMPARE(page.count(QStringLiteral("width:25.0%")), 4);
        QVERIFY(page.contains(QStringLiteral("did not succeed (3)")));
        QVERIFY(!page.contains(QStringLiteral("<td>PC10</td>")) && page.contains(QStringLiteral("<td>KIOSK</td>")));
        QVERIFY(!page.contains(QStringLiteral("Rehearsal")));
    }

    // A rehearsal's report can never be taken for a migration's, nor can a
    // row of its CSV once copied elsewhere.
    void rehearsalSaysSo()
    {
        RunReport rehearsal = m_report;
        rehearsal.Rehearsal = true;
        const QString page = QString::fromUtf8(rehearsal.Html());
        QVERIFY(page.contains(QStringLiteral("[Rehearsal]</title>")) && page.contains(QStringLiteral("no computer is changed")));
        const QList<QByteArray> rows = rehearsal.Csv().trimmed().split('\n');
        QCOMPARE(rows.size(), 5);
        for (const QByteArray &row : rows.mid(1))
            QVERIFY2(row.trimmed().endsWith(",rehearsal"), row.constData());
    }

    void writeNamesTheFileThatFailed()
    {
        QString problem;
        QVERIFY(m_report.Write(m_results.filePath("r.csv"), m_results.filePath("r.html"), &problem));
        QVERIFY(!m_report.Write(m_results.filePath("r.csv"), m_results.filePath("none/r.html"), &problem));
        QVERIFY2(problem.contains(QStringLiteral("r.html")), qPrintable(problem));
    }

    // File > Save Run Report: the CSV goes beside the chosen page, under its name.
    void saveWritesTheCsvBesideThePage()
    {
        RecordingPresenter presenter;
        MigrationRun run(m_db);
        presenter.setNextFileName(m_results.filePath("June.html"));
        modRunReport::Save(m_db, run, nullptr);
        QVERIFY(QFile::exists(m_results.filePath("June.html")) && QFile::exists(m_results.filePath("June.csv")));
    }
};

QTEST_GUILESS_MAIN(TestRunReport)
#include "tst_RunReport.moc"

#include "database/ComputerDB.h"
#include "validation/JobValidator.h"
#include "validation/ReadinessReport.h"
#include "protocol/modFindings.h"

#include "job/JobFixture.h"
#include "shell/FakeNetwork.h"

#include <QTcpServer>
#include <QTest>

using namespace JobFixture;
using Standing = ReadinessReport::Standing;

class TestReadinessReport : public QObject
{
    Q_OBJECT

    ComputerDB m_db;
    ReadinessReport m_report;

    const ReadinessReport::Computer *computer(const QString &name) const
    {
        for (const ReadinessReport::Computer &c : m_report.Computers) {
            if (c.Name == name)
                return &c;
        }
        return nullptr;
    }

private Q_SLOTS:
    // A group two levels down with a faulty record of its own, computers that
    // inherit it, one with several faults in its own record, one with only
    // warnings and a sound one.
    void initTestCase()
    {
        makeSound(global(m_db));
        const int office = m_db.AddFolder(QStringLiteral("Head Office"), -1);
        const int finance = m_db.AddFolder(QStringLiteral("Finance"), office);
        addComputer(m_db, QStringLiteral("PC-FIN"), finance);
        const int listFault = addComputer(m_db, QStringLiteral("PC-LIST"), finance);
        m_db.GetComputerUserList(listFault)->AddUserToUser(QStringLiteral("bob"), QStringLiteral("bad/user"));
        GlobalSettingsPtr group = global(m_db).Clone();
        group->DestinationDCName.clear();
        m_db.AddSettings(group, finance, QStringLiteral("F"));

        const int many = addComputer(m_db, QStringLiteral("PC-MANY"));
        GlobalSettings &own = JobFixture::own(m_db, many);
        own.SetUser(AdminA, QStringLiteral("varno"), QString(), QString());
        own.SetUser(AdminB, QString(), QString(), QStringLiteral("NEWCORP"));
        own.DestinationDCIP = QStringLiteral("999.1.1.1");
        own.MinFreeSpace = -5;

        m_db.AddComputer(QStringLiteral("PC-WARN"), QString(), -1, -1);
        addComputer(m_db, QStringLiteral("PC-OK"));
        const int removed = addComputer(m_db, QStringLiteral("PC-GONE"));
        m_db.RemoveComputer(removed);

        m_report = ReadinessReport::Build(m_db);
    }

    // Every fault of a computer, not only the one Start Migration stops at,
    // each with the node to fix and where the setting comes from as the tree
    // names them.
    void faultsOfEachComputer_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QStringList>("nodes");
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("standing");
        const QString finance = QStringLiteral("Head Office\\Finance");
        QTest::newRow("inherited from a nested group")
            << "PC-FIN" << QList<int> {102} << QStringList {finance} << finance << int(Standing::Errors);
        QTest::newRow("list fault shown on the computer")
            << "PC-LIST" << QList<int> {200, 102} << QStringList {"PC-LIST", finance} << finance << int(Standing::Errors);
        QTest::newRow("several faults in its own record")
            << "PC-MANY" << QList<int> {1, 11, 100, 300} << QStringList {"PC-MANY", "PC-MANY", "PC-MANY", "PC-MANY"} << "PC-MANY"
            << int(Standing::Errors);
        QTest::newRow("warnings only") << "PC-WARN" << QList<int> {106, 114} << QStringList {"All Computers", "All Computers"}
                                       << "All Computers" << int(Standing::Warnings);
        QTest::newRow("ready") << "PC-OK" << QList<int> {} << QStringList {} << QString() << int(Standing::Ready);
    }

    void faultsOfEachComputer()
    {
        QFETCH(QString, name);
        QFETCH(QList<int>, codes);
        QFETCH(QStringList, nodes);
        QFETCH(QString, source);
        QFETCH(int, standing);
        const ReadinessReport::Computer *found = computer(name);
        QVERIFY(found);
        QList<int> gotCodes;
        QStringList gotNodes;
        for (const ReadinessReport::Fault &fault : found->Faults) {
            gotCodes.append(fault.Code);
            gotNodes.append(fault.Node);
            QCOMPARE(fault.SettingsSource, source);
            QCOMPARE(fault.Warning, standing == int(Standing::Warnings));
            // A report asks nothing, and reads on one line.
            QVERIFY(!fault.Text.contains(QLatin1String("ignore")) && !fault.Text.contains(QLatin1Char('\r')) && !fault.Text.isEmpty());
        }
        QCOMPARE(gotCodes, codes);
        QCOMPARE(gotNodes, nodes);
        QCOMPARE(int(found->standing()), standing);
        // Start Migration still stops at the first fault, with the report's first code.
        if (!codes.isEmpty())
            QCOMPARE(JobValidator(m_db).Verify(found->ID).Code, codes.first());
    }

    void countsAndFiles()
    {
        QCOMPARE(m_report.Computers.size(), 5); // the removed computer is not in the job
        QCOMPARE(m_report.Counts(), (std::array<int, 3> {1, 1, 3}));
        QCOMPARE(m_report.FaultCount(false), 7);
        QCOMPARE(m_report.FaultCount(true), 2);

        const QByteArray csv = m_report.Csv();
        QCOMPARE(csv.count("\r\n"), 1 + 9 + 1); // header, one row per fault, one per ready computer
        QVERIFY(csv.contains("PC-LIST,Head Office\\Finance,error,200,"));
        QVERIFY(csv.contains("PC-OK,,ready,"));

        const QByteArray html = m_report.Html();
        // A page that stands alone: nothing to fetch from elsewhere.
        QVERIFY(!html.contains("src=") && !html.contains("href=") && !html.contains("@import"));
        QVERIFY(html.contains("With errors</td><td class=\"n\">3</td>"));
        // Each of the 8 codes with its first computer; the CSV file for the second with 102.
        const QByteArray page = m_report.Html(QStringLiteral("r.csv"), 1);
        QCOMPARE(page.count("<tr><td>PC-"), 8);
        QCOMPARE(page.count("1 more in <a href=\"r.csv\">r.csv</a>."), 1);
        QVERIFY(page.contains("<h3 id=\"code300\">300 <span class=\"error\">error</span>: "));
        // A code's bar says its severity in words as well as by its colour.
        QVERIFY(page.contains("<tr><td>300 error: "));
    }

    // A disabled computer is neither checked nor counted; the report says
    // how many were left out, and Start Migration's check passes it by.
    void disabledComputersLeftOut()
    {
        const int faulty = m_db.FindComputer(QStringLiteral("PC-LIST"));
        QVERIFY(m_db.SetComputerEnabled(faulty, false));
        const ReadinessReport report = ReadinessReport::Build(m_db);
        m_db.SetComputerEnabled(faulty, true);
        QCOMPARE(report.Computers.size(), 4);
        QCOMPARE(report.Disabled, 1);
        QVERIFY(report.Summary().contains(QStringLiteral("1 disabled computer is left out of the job and not checked.")));
        QVERIFY(report.Html().contains("1 disabled computer is left out"));
        QVERIFY(!report.Csv().contains("PC-LIST"));
        m_db.SetComputerEnabled(faulty, false);
        for (int from = 0; from < m_db.ComputerCount(); ++from)
            QVERIFY(JobValidator(m_db).Verify(from).Index != faulty);
        QVERIFY(JobValidator(m_db).Faults(faulty).isEmpty());
        m_db.SetComputerEnabled(faulty, true);
    }

    // Pings go only to the fake network; a name that does not resolve and a
    // reply as slow as the timeout count as no answer.
    void ping()
    {
        FakeNetwork network;
        network.addresses = {{"PC-OK", "127.0.0.2"}, {"PC-FIN", "127.0.0.3"}, {"PC-MANY", "127.0.0.4"}};
        network.replies = {{"127.0.0.2", 3}, {"127.0.0.3", 2000}};
        ReadinessReport report = m_report;
        int calls = 0;
        report.Ping(4, [&](int) {
            ++calls;
            return true;
        });
        QVERIFY(calls >= 5);
        QCOMPARE(report.Unanswered(), 4);
        QVERIFY(!computer(QStringLiteral("PC-OK"))->Ping); // the built report itself is untouched
        QCOMPARE(ReadinessReport::PingText(*report.Computers.at(4).Ping), QStringLiteral("3 ms"));
        QVERIFY(report.Html().contains("Did not answer the ping</td><td class=\"n\">4</td>"));
    }

    // What the clients found joins the faults: errors and warnings count,
    // information only shows in the client's log.
    void findingsOfTheClients()
    {
        ReadinessReport report = m_report;
        const int ok = computer(QStringLiteral("PC-OK"))->ID;
        const int warn = computer(QStringLiteral("PC-WARN"))->ID;
        report.AddFinding(ok, modFindings::SourceAccountFound, QStringLiteral("jdoe"));
        report.AddFinding(ok, modFindings::RebootNotAllowed, QString());
        report.AddFinding(warn, modFindings::ProfileInUse, QStringLiteral("jdoe"));
        report.AddFinding(-7, modFindings::ProfileInUse, QString());
        report.SetCheckStatus(ok, QStringLiteral("XW"));
        report.SetCheckStatus(warn, QStringLiteral("XE"));
        report.CheckFolder = QStringLiteral("/logs/Job.checks/20261207-101500/");
        QCOMPARE(report.Counts(), (std::array<int, 3> {0, 1, 4}));
        QVERIFY(report.Summary().contains(QStringLiteral("Check on the clients: 1 checked, 4 not")));
        const QByteArray csv = report.Csv();
        QVERIFY(csv.contains("PC-WARN,,error,1003,The profile is in use: its user has a session on this computer. (jdoe),PC-WARN,PC-WARN,,"
                             "Migration complete with errors\r\n"));
        QVERIFY(!csv.contains(",1007,"));
        const QByteArray html = report.Html();
        QVERIFY(html.contains("<span class=\"warning\">warning</span>: A reboot is not allowed"));
        // Each computer's own particulars beside it, in a column only codes that have them get.
        QVERIFY(html.contains("<th>Details</th>") && html.contains("<td>PC-WARN</td><td></td><td>PC-WARN</td><td>PC-WARN</td><td>jdoe</td>"));
        QCOMPARE(html.count("<th>Details</th>"), 1);
    }

    void listener()
    {
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress(QStringLiteral("127.0.0.1"))));
        ReadinessReport report;
        report.CheckListener(QStringLiteral("127.0.0.1"), taken.serverPort());
        QVERIFY(!report.Listener->Problem.isEmpty());
        const quint16 port = taken.serverPort();
        taken.close();
        report.CheckListener(QStringLiteral("127.0.0.1"), port);
        QVERIFY2(report.Listener->Problem.isEmpty(), qPrintable(report.Listener->Problem));
        QVERIFY(report.Summary().contains(QStringLiteral("port %1: can be opened").arg(port)));
    }
};

QTEST_GUILESS_MAIN(TestReadinessReport)
#include "tst_ReadinessReport.moc"

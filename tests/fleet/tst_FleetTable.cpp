#include "database/ComputerDB.h"
#include "fleet/FleetHistory.h"
#include "fleet/FleetTable.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Bucket = FleetTable::Bucket;
using Counts = QList<int>; // succeeded, warnings, errors, stopped, never run, running

class TestFleetTable : public QObject
{
    Q_OBJECT

    ComputerDB m_db;
    FleetHistory m_history;
    FleetTable m_table;
    int m_kiosk = -1;
    const QDateTime m_t1 = QDateTime(QDate(2026, 5, 1), QTime(9, 0), Qt::UTC);

    QDateTime at(int days) const { return m_t1.addDays(days); }

    QStringList names() const
    {
        QStringList shown;
        for (int row = 0; row < m_table.rowCount(); ++row)
            shown.append(m_table.index(row, FleetTable::Computer).data().toString());
        return shown;
    }

    Counts counts() const
    {
        Counts all;
        for (int bucket = 0; bucket < FleetTable::BucketCount; ++bucket)
            all.append(m_table.count(static_cast<Bucket>(bucket)));
        return all;
    }

private Q_SLOTS:
    // Two computers tie in every column but their names; one has no history,
    // one was removed.
    void initTestCase()
    {
        const int sales = m_db.AddFolder(QStringLiteral("Sales"), -1);
        const int london = m_db.AddFolder(QStringLiteral("London"), sales);
        const int it = m_db.AddFolder(QStringLiteral("IT"), -1);
        QVERIFY(m_db.AddWave(WaveRecord {QStringLiteral("W1"), {}, 0, -1}) && m_db.AddWave(WaveRecord {QStringLiteral("W2"), {}, 0, -1}));
        const auto add
            = [&](const char *name, int folder, const char *wave, const char *status, const char *run, int days, int tries, int seen) {
                  const int id = m_db.AddComputer(QString::fromLatin1(name), QString(), folder, -1);
                  QVERIFY(m_db.SetComputerWave(id, QString::fromLatin1(wave)));
                  if (tries > 0)
                      m_history.insert(QString::fromLatin1(name).toLower(), QString(),
                          {QString::fromLatin1(status), QString::fromLatin1(run), at(days), tries, at(seen)});
              };
        add("desk-02", london, "W1", "XS", "June", 1, 3, 2);
        add("Desk-01", london, "W1", "XE", "June", 1, 1, 1);
        add("KIOSK", -1, "", "", "", 0, 0, 0);
        add("ALPHA", it, "W2", "XC", "May", 0, 2, 0);
        add("beta", sales, "", "XS", "May", 0, 3, 3);
        m_db.RemoveComputer(m_db.AddComputer(QStringLiteral("GONE"), QString(), -1, -1));
        m_kiosk = m_db.FindComputer(QStringLiteral("KIOSK"));
        new QAbstractItemModelTester(&m_table, QAbstractItemModelTester::FailureReportingMode::QtTest, this);
        m_table.rebuild(m_db, m_history);
    }

    void init()
    {
        m_table.setFilter(QString());
        m_table.setBuckets(0);
    }

    void sortsTextTimesAndNumbersWithTiesByName_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("computer") << 0 << false << QStringList {"ALPHA", "beta", "Desk-01", "desk-02", "KIOSK"};
        QTest::newRow("computer, descending") << 0 << true << QStringList {"KIOSK", "desk-02", "Desk-01", "beta", "ALPHA"};
        QTest::newRow("group") << 1 << false << QStringList {"KIOSK", "ALPHA", "beta", "Desk-01", "desk-02"};
        QTest::newRow("group, descending") << 1 << true << QStringList {"Desk-01", "desk-02", "beta", "ALPHA", "KIOSK"};
        QTest::newRow("wave") << 2 << false << QStringList {"beta", "KIOSK", "Desk-01", "desk-02", "ALPHA"};
        QTest::newRow("status") << 3 << false << QStringList {"ALPHA", "Desk-01", "beta", "desk-02", "KIOSK"};
        QTest::newRow("last run") << 4 << false << QStringList {"KIOSK", "ALPHA", "beta", "Desk-01", "desk-02"};
        QTest::newRow("last run, descending") << 4 << true << QStringList {"Desk-01", "desk-02", "ALPHA", "beta", "KIOSK"};
        QTest::newRow("last seen") << 5 << false << QStringList {"KIOSK", "ALPHA", "Desk-01", "desk-02", "beta"};
        QTest::newRow("tries, descending") << 6 << true << QStringList {"beta", "desk-02", "ALPHA", "Desk-01", "KIOSK"};
    }

    void sortsTextTimesAndNumbersWithTiesByName()
    {
        QFETCH(int, column);
        QFETCH(bool, descending);
        QFETCH(QStringList, expected);
        m_table.sort(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        QCOMPARE(names(), expected);
    }

    // The counts are the text filter's, whatever buckets are chosen.
    void filtersByTextAndStatusWithCounts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("column");
        QTest::addColumn<unsigned>("buckets");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<Counts>("counts");
        const unsigned all = 0;
        QTest::newRow("everything") << "" << -1 << all << QStringList {"ALPHA", "beta", "Desk-01", "desk-02", "KIOSK"}
                                    << Counts {2, 0, 1, 1, 1, 0};
        QTest::newRow("any column, case") << "DESK" << -1 << all << QStringList {"Desk-01", "desk-02"} << Counts {1, 0, 1, 0, 0, 0};
        QTest::newRow("a run's name") << "may" << -1 << all << QStringList {"ALPHA", "beta"} << Counts {1, 0, 0, 1, 0, 0};
        QTest::newRow("status text") << "never" << -1 << all << QStringList {"KIOSK"} << Counts {0, 0, 0, 0, 1, 0};
        QTest::newRow("group column") << "sales" << 1 << all << QStringList {"beta", "Desk-01", "desk-02"} << Counts {2, 0, 1, 0, 0, 0};
        QTest::newRow("group text, computer column") << "sales" << 0 << all << QStringList {} << Counts {0, 0, 0, 0, 0, 0};
        QTest::newRow("succeeded or never run") << "" << -1 << (FleetTable::bit(Bucket::Succeeded) | FleetTable::bit(Bucket::NeverRun))
                                                << QStringList {"beta", "desk-02", "KIOSK"} << Counts {2, 0, 1, 1, 1, 0};
        QTest::newRow("errors among desks") << "desk" << -1 << FleetTable::bit(Bucket::Errors) << QStringList {"Desk-01"}
                                            << Counts {1, 0, 1, 0, 0, 0};
    }

    void filtersByTextAndStatusWithCounts()
    {
        QFETCH(QString, text);
        QFETCH(int, column);
        QFETCH(unsigned, buckets);
        QFETCH(QStringList, expected);
        QFETCH(Counts, counts);
        m_table.sort(FleetTable::Computer, Qt::AscendingOrder);
        m_table.setBuckets(buckets);
        m_table.setFilter(text, column);
        QCOMPARE(names(), expected);
        QCOMPARE(this->counts(), counts);
    }

    // A run's status moves the computer to its new bucket at once, and
    // sorts and filters by its new text.
    void statusDuringARunMovesItsBucket()
    {
        m_table.setStatus(m_kiosk, QStringLiteral("CL"));
        QCOMPARE(counts(), (Counts {2, 0, 1, 1, 0, 1}));
        QCOMPARE(m_table.index(m_table.rowOf(m_kiosk), FleetTable::LastStatus).data().toString(), QStringLiteral("Client executing"));
        m_table.setFilter(QStringLiteral("executing"));
        QCOMPARE(names(), QStringList {"KIOSK"});
        m_table.setFilter(QString());
        m_table.setStatus(m_kiosk, QStringLiteral("XW"));
        m_table.sort(FleetTable::LastStatus, Qt::AscendingOrder);
        QCOMPARE(names(), (QStringList {"ALPHA", "Desk-01", "KIOSK", "beta", "desk-02"}));
        m_table.setStatus(m_kiosk, QString());
        QCOMPARE(counts(), (Counts {2, 0, 1, 1, 1, 0}));
    }

    // A disabled computer says so in words, where the list has no pictures;
    // the filter still finds it by its name.
    void disabledInWords()
    {
        QVERIFY(m_db.SetComputerEnabled(m_kiosk, false));
        m_table.rebuild(m_db, m_history);
        m_table.setFilter(QStringLiteral("kiosk"));
        const QVariant shown = m_table.data(m_table.index(m_table.rowOf(m_kiosk), FleetTable::Computer));
        QVERIFY(m_db.SetComputerEnabled(m_kiosk, true));
        m_table.rebuild(m_db, m_history);
        QCOMPARE(shown.toString(), QStringLiteral("KIOSK (disabled)"));
    }

    // What is shown, in the order shown; a link in the file's place is not followed.
    void csvOfTheVisibleRowsInTheirOrder()
    {
        m_table.setFilter(QStringLiteral("desk"));
        m_table.sort(FleetTable::Tries, Qt::DescendingOrder);
        const QString june = at(1).toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        const QByteArray expected = "\xEF\xBB\xBF"
                                    "Computer,Group,Wave,Last status,Last run,Last seen,Tries\r\n"
                                    "desk-02,Sales\\London,W1,Migration successful,\"June, "
            + june.toUtf8() + "\"," + at(2).toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")).toUtf8()
            + ",3\r\n"
              "Desk-01,Sales\\London,W1,Migration complete with errors,\"June, "
            + june.toUtf8() + "\"," + june.toUtf8() + ",1\r\n";
        QTemporaryDir folder;
        QString problem;
        QVERIFY2(m_table.exportCsv(folder.filePath(QStringLiteral("fleet.csv")), problem), qPrintable(problem));
        QFile written(folder.filePath(QStringLiteral("fleet.csv")));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), expected);

        QVERIFY(QFile::link(folder.filePath(QStringLiteral("elsewhere")), folder.filePath(QStringLiteral("link.csv"))));
        QVERIFY(!m_table.exportCsv(folder.filePath(QStringLiteral("link.csv")), problem));
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("elsewhere"))));
    }
};

QTEST_GUILESS_MAIN(TestFleetTable)
#include "tst_FleetTable.moc"

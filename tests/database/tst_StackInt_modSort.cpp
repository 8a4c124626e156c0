#include "database/StackInt.h"
#include "database/modHash.h"
#include "database/modSort.h"

#include <QTest>

class TestStackIntModSort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stackOrderAndRemoval()
    {
        StackInt stack;
        QCOMPARE(stack.Pop(), -1);
        QCOMPARE(stack.Peek(0), -1);
        for (int v : {5, 7, 9, 7})
            stack.Push(v);
        stack.PushUnique(9);
        stack.PushUnique(11);
        QCOMPARE(stack.Count(), 5);
        QCOMPARE(stack.Peek(stack.Count()), -1);
        QCOMPARE(stack.IndexOf(7), 1);

        stack.RemoveItem(1);
        QCOMPARE(stack.Count(), 4);
        QCOMPARE(stack.Peek(0), 5);
        QCOMPARE(stack.Peek(1), 9);
        QCOMPARE(stack.Peek(2), 7);
        stack.RemoveItem(4); // past the end: nothing
        QCOMPARE(stack.Count(), 4);

        QCOMPARE(stack.Pop(), 11);
        QCOMPARE(stack.Pop(), 7);
        QCOMPARE(stack.Count(), 2);
    }

    void capacityGrowsAndShrinksInSteps()
    {
        StackInt stack;
        QCOMPARE(stack.Capacity(), 0);
        stack.Push(1);
        QCOMPARE(stack.Capacity(), 100);
        for (int i = 1; i < 100; ++i)
            stack.Push(i);
        QCOMPARE(stack.Capacity(), 100);
        stack.Push(100);
        QCOMPARE(stack.Capacity(), 200);
        for (int i = 101; i < 301; ++i)
            stack.Push(i);
        QCOMPARE(stack.Count(), 301);
        QCOMPARE(stack.Capacity(), 400);

        // Shrinks only once fewer than capacity - 200 items remain.
        while (stack.Count() > 200)
            stack.Pop();
        QCOMPARE(stack.Capacity(), 400);
        stack.Pop(); // 199 < 200
        QCOMPARE(stack.Capacity(), 300);
        QCOMPARE(stack.Peek(198), 198);

        stack.Clear();
        QCOMPARE(stack.Count(), 0);
        QCOMPARE(stack.Capacity(), 0);
    }

    void middleIndexRoundsHalvesToEven_data()
    {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("mid");
        QTest::newRow("0,2") << 0 << 2 << 0;
        QTest::newRow("0,3: 0.5 -> 0") << 0 << 3 << 0;
        QTest::newRow("1,3: 1.5 -> 2") << 1 << 3 << 2;
        QTest::newRow("2,3: 2.5 -> 2") << 2 << 3 << 2;
        QTest::newRow("0,5: 1.5 -> 2") << 0 << 5 << 2;
        QTest::newRow("0,7: 2.5 -> 2") << 0 << 7 << 2;
        QTest::newRow("3,4") << 3 << 4 << 4;
    }

    void middleIndexRoundsHalvesToEven()
    {
        QFETCH(int, low);
        QFETCH(int, n);
        QFETCH(int, mid);
        QCOMPARE(modSort::MiddleIndex(low, n), mid);
    }

    void sortStrings_data()
    {
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("empty") << QStringList() << -1 << -1 << QStringList();
        QTest::newRow("one") << QStringList {"x"} << -1 << -1 << QStringList {"x"};
        QTest::newRow("b before B when b came first") << QStringList {"b", "a", "B"} << -1 << -1 << QStringList {"a", "b", "B"};
        QTest::newRow("B before b when B came first") << QStringList {"B", "c", "b", "A"} << -1 << -1 << QStringList {"A", "B", "b", "c"};
        QTest::newRow("case-blind") << QStringList {"beta", "Alpha", "gamma", "ALPHA2"} << -1 << -1
                                    << QStringList {"Alpha", "ALPHA2", "beta", "gamma"};
        QTest::newRow("sub-range re-indexed from 0") << QStringList {"z", "d", "c", "b", "a"} << 1 << 3 << QStringList {"b", "c", "d"};
        QTest::newRow("umlaut by case") << QStringList {"ärger", "ÄRGER", "Apfel"} << -1 << -1 << QStringList {"Apfel", "ärger", "ÄRGER"};
    }

    void sortStrings()
    {
        QFETCH(QStringList, input);
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(QStringList, expected);
        QCOMPARE(modSort::MergeSortStrings(input, low, high), expected);
    }

    void sortRowsKeepsRowsTogetherAndStable()
    {
        const QList<QStringList> rows = {{"7", "web"}, {"3", "DB"}, {"9", "db"}, {"1", "app"}, {"5", "Web"}};
        const QList<QStringList> sorted = modSort::MergeSortRows(rows, 2, 1);
        const QList<QStringList> expected = {{"1", "app"}, {"3", "DB"}, {"9", "db"}, {"7", "web"}, {"5", "Web"}};
        QCOMPARE(sorted, expected);
        QCOMPARE(modSort::MergeSortRows(rows, 2, 1, 2, 4), (QList<QStringList> {{"1", "app"}, {"9", "db"}, {"5", "Web"}}));
    }

    void sortLargeAgreesWithStableSort()
    {
        QStringList names;
        for (int i = 0; i < 1000; ++i)
            names.append(QStringLiteral("n%1").arg((i * 7919) % 97) + (i % 2 ? QStringLiteral("A") : QStringLiteral("a")));
        QStringList expected = names;
        std::stable_sort(expected.begin(), expected.end(),
            [](const QString &a, const QString &b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
        QCOMPARE(modSort::MergeSortStrings(names), expected);
    }

    void hashName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("hash");
        QTest::newRow("empty") << QString() << qint64(0);
        QTest::newRow("a") << QStringLiteral("a") << qint64(29198);
        QTest::newRow("pc-01") << QStringLiteral("pc-01") << qint64(1071531620);
        QTest::newRow("ANSI code of ä") << QStringLiteral("ärger") << qint64(33736929);
        // The shift register stops growing once x * 64 no longer fits.
        QTest::newRow("15 letters") << QStringLiteral("abcdefghijklmno") << qint64(910928823);
        QTest::newRow("16 characters") << QStringLiteral("server-prod-0042") << qint64(1079232198);
        QTest::newRow("40 characters") << QString(40, QLatin1Char('x')) << qint64(1115534496);
        QTest::newRow("no ANSI code counts as ?") << (QString(QChar(0x03A9)) + QLatin1Char('a')) << qint64(124818);
    }

    void hashName()
    {
        QFETCH(QString, name);
        QFETCH(qint64, hash);
        QCOMPARE(modHash::HashName(name), hash);
    }
};

QTEST_GUILESS_MAIN(TestStackIntModSort)
#include "tst_StackInt_modSort.moc"

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
        QCOMPARE(stack.Peek(stack.Count()), -1);
        QCOMPARE(stack.IndexOf(7), 1);

        stack.RemoveItem(1);
        stack.RemoveItem(4); // past the end: nothing
        const QList<int> popped {stack.Pop(), stack.Pop(), stack.Pop(), stack.Pop()};
        QCOMPARE(popped, (QList<int> {11, 7, 9, 5}));
    }

    void capacityGrowsAndShrinksInSteps()
    {
        StackInt stack;
        QCOMPARE(stack.Capacity(), 0);
        for (int i = 0; i < 301; ++i) {
            stack.Push(i);
            if (i == 0 || i == 99 || i == 100) // 100 items fit; the 101st takes another step
                QCOMPARE(stack.Capacity(), i == 100 ? 200 : 100);
        }
        QCOMPARE(stack.Capacity(), 400);

        // Shrinks only once fewer than capacity - 200 items remain.
        while (stack.Count() > 200)
            stack.Pop();
        QCOMPARE(stack.Capacity(), 400);
        stack.Pop(); // 199 < 200
        QCOMPARE(stack.Capacity(), 300);
        QCOMPARE(stack.Peek(198), 198);

        stack.Clear();
        QCOMPARE(stack.Capacity(), 0);
    }

    void sortStrings_data()
    {
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("empty") << QStringList() << -1 << -1 << QStringList();
        QTest::newRow("two") << QStringList {"b", "A"} << -1 << -1 << QStringList {"A", "b"};
        QTest::newRow("b before B when b came first") << QStringList {"b", "a", "B"} << -1 << -1 << QStringList {"a", "b", "B"};
        QTest::newRow("B before b when B came first") << QStringList {"B", "c", "b", "A"} << -1 << -1 << QStringList {"A", "B", "b", "c"};
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

    void hashesAreBucketIndexes()
    {
        // Long names make the sums wrap; the hash must still be a valid bucket index.
        for (const QString &name : {QString(), QStringLiteral("\u00E4rger"), QString(QChar(0x03A9)), QString(40, QLatin1Char('x')),
                 QStringLiteral("server-prod-0042-\u00FF\u00FF\u00FF\u00FF")})
            QVERIFY2(modHash::HashName(name) >= 0, qPrintable(name));
    }
};

QTEST_GUILESS_MAIN(TestStackIntModSort)
#include "tst_StackInt_modSort.moc"

#include "shell/ProgressLogModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

// Lines are "C:text" for a client's status (C its number), or the text alone.
class TestProgressLogModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QStringList>("shown");
        // clang-format off
        QTest::newRow("unchanged once") << 9 << QStringList {"1:Loading", "2:Loading", "1:Loading", "1:Loading"} << QStringList {"1:Loading", "2:Loading"};
        QTest::newRow("a change, and back") << 9 << QStringList {"1:Loading", "1:Run", "1:Loading"} << QStringList {"1:Loading", "1:Run", "1:Loading"};
        QTest::newRow("the newest within the limit") << 3 << QStringList {"a", "b", "c", "d", "e"} << QStringList {"c", "d", "e"};
        QTest::newRow("out of view, written again") << 2 << QStringList {"1:Loading", "x", "y", "1:Loading"} << QStringList {"y", "1:Loading"};
        // clang-format on
    }

    void lines()
    {
        QFETCH(int, limit);
        QFETCH(QStringList, written);
        QFETCH(QStringList, shown);
        ProgressLogModel model(nullptr, limit);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        // Half before a batch reaches the view, half after: a batch is no boundary.
        for (qsizetype i = 0; i < written.size(); ++i) {
            if (i == written.size() / 2)
                model.flush();
            const QString &line = written.at(i);
            if (line.contains(QLatin1Char(':')))
                model.appendStatus(line.section(QLatin1Char(':'), 0, 0).toInt(), line);
            else
                model.appendLine(line);
        }
        QCOMPARE(model.toPlainText(), shown.join(QLatin1Char('\n')));
        // The batch reaches the view on its own.
        QTRY_COMPARE(model.index(shown.size() - 1).data().toString(), shown.constLast());
        QCOMPARE(model.rowCount(), shown.size());
    }
};

QTEST_GUILESS_MAIN(TestProgressLogModel)
#include "tst_ProgressLogModel.moc"

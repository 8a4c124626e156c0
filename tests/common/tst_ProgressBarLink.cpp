#include "common/ProgressBarLink.h"
#include "common/ProgressBarView.h"
#include "common/ProgressMeter.h"
#include "common/ProgressWindow.h"

#include <QStringList>
#include <QTest>

namespace {

// A window and an embedded bar in one: each call goes to one log, the bar's
// in lower case. The bar keeps the value and maximum it was given.
class Fake final : public ProgressWindow, public ProgressBarView
{
public:
    void Show() override { shown = true, log << QStringLiteral("Show"); }
    void Close() override { shown = false, log << QStringLiteral("Close"); }
    void Clear() override { log << QStringLiteral("Clear"); }
    void SetMainInfo(const QString &text, bool showCancel) override
    {
        log << QStringLiteral("SetMainInfo %1 %2").arg(text).arg(showCancel);
    }
    void SetMessage(const QString &text) override { log << QStringLiteral("SetMessage ") + text; }
    void SetMax(int maximum) override { log << QStringLiteral("SetMax %1").arg(maximum); }
    void SetValue(int value) override { log << QStringLiteral("SetValue %1").arg(value); }
    bool CancelVal() const override { return false; }
    void ResetCancel() override { }

    int value() const override { return barValue; }
    void setValue(int value) override { barValue = value, log << QStringLiteral("value %1").arg(value); }
    int maximum() const override { return barMaximum; }
    void setMaximum(int maximum) override { barMaximum = maximum, log << QStringLiteral("maximum %1").arg(maximum); }
    void setCaption(const QString &text) override { log << QStringLiteral("caption ") + text; }

    QStringList log;
    bool shown = false;
    int barValue = 7;
    int barMaximum = 100;
};

} // namespace

class TestProgressBarLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachSideTakesWhatItCanShow_data()
    {
        QTest::addColumn<bool>("isMaximum");
        QTest::addColumn<int>("number");
        QTest::addColumn<QStringList>("log");

        // The bar's maximum is 100.
        QTest::newRow("value 0") << false << 0 << QStringList {QStringLiteral("SetValue 0"), QStringLiteral("value 0")};
        QTest::newRow("value at the maximum") << false << 100 << QStringList {QStringLiteral("SetValue 100"), QStringLiteral("value 100")};
        QTest::newRow("value above the maximum") << false << 101 << QStringList {QStringLiteral("SetValue 101")};
        QTest::newRow("negative value") << false << -1 << QStringList();
        QTest::newRow("maximum 1") << true << 1 << QStringList {QStringLiteral("SetMax 1"), QStringLiteral("maximum 1")};
        // An embedded bar with a maximum of 0 would show a busy indicator.
        QTest::newRow("maximum 0") << true << 0 << QStringList {QStringLiteral("SetMax 0")};
        QTest::newRow("negative maximum") << true << -3 << QStringList();
    }

    void eachSideTakesWhatItCanShow()
    {
        QFETCH(bool, isMaximum);
        QFETCH(int, number);
        Fake fake;
        ProgressBarLink link;
        link.LinkForm(&fake);
        link.LinkBar(&fake);
        if (isMaximum)
            link.SetMax(number);
        else
            link.SetValue(number);
        QTEST(fake.log, "log");
        if (!isMaximum)
            QCOMPARE(link.Value(), number);
    }

    void finishClosesOnlyAWindowStartOpened()
    {
        Fake window;
        window.shown = true;
        {
            ProgressBarLink link;
            link.LinkForm(&window);
            link.SetValue(3);
            link.Finish();
        }
        QVERIFY(window.shown);

        ProgressBarLink link;
        link.LinkForm(&window);
        link.Start(0, 3, QStringLiteral("Importing"), QString());
        link.Finish();
        link.Finish();
        QVERIFY(!window.shown);
        QCOMPARE(window.log.count(QStringLiteral("Close")), 1);

        // A link that ends before Finish closes the window it opened.
        {
            ProgressBarLink unfinished;
            unfinished.LinkForm(&window);
            unfinished.Start(0, 3, QStringLiteral("Importing"), QString());
            QVERIFY(window.shown);
        }
        QVERIFY(!window.shown);
    }

    void incValShowsEveryStepAndStopsAtTheMaximum_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("calls");
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("value");

        QTest::newRow("step does not divide") << 10 << 4 << 10 << 2 << 10;
        QTest::newRow("past the maximum") << 4 << 1 << 9 << 4 << 4;
        QTest::newRow("step 0 counts as 1") << 3 << 0 << 3 << 3 << 3;
    }

    void incValShowsEveryStepAndStopsAtTheMaximum()
    {
        QFETCH(int, maximum);
        QFETCH(int, step);
        QFETCH(int, calls);
        Fake window;
        ProgressBarLink link;
        link.LinkForm(&window);
        link.SetUpdateStep(step);
        link.Start(0, maximum, QStringLiteral("Importing"), QString());
        window.log.clear();
        for (int i = 0; i < calls; ++i)
            link.IncVal();
        QTEST(int(window.log.size()), "shown");
        QTEST(link.Value(), "value");
    }

    void meterReportsOnlyChangedSegments()
    {
        using Span = ProgressMeter::SegmentSpan;
        ProgressMeter meter(10);
        meter.SetMax(100);
        QCOMPARE(meter.SetValue(35), (Span {0, 3}));
        QCOMPARE(meter.SetValue(39), Span {});
        QCOMPARE(meter.SetValue(20), (Span {2, 1}));
        QCOMPARE(meter.SetValue(-5), Span {});
        QCOMPARE(meter.Value(), 20);
        // A lower maximum drags the value down and fills the whole bar.
        QCOMPARE(meter.SetMax(10), (Span {2, 8}));
        QCOMPARE(meter.Value(), 10);
        QCOMPARE(meter.SetMax(0), (Span {0, 10}));
        QCOMPARE(meter.SetMax(-1), Span {});
        QCOMPARE(meter.Maximum(), 0);

        // Segments round down, and large counts do not overflow.
        ProgressMeter large;
        large.SetMax(2000000000);
        large.SetValue(1999999999);
        QCOMPARE(large.FilledSegments(), large.Segments() - 1);
    }
};

QTEST_GUILESS_MAIN(TestProgressBarLink)
#include "tst_ProgressBarLink.moc"

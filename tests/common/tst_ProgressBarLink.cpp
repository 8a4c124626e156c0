#include "common/ProgressBarLink.h"
#include "common/ProgressBarView.h"
#include "common/ProgressMeter.h"
#include "common/ProgressWindow.h"

#include <QStringList>
#include <QTest>

namespace {

// Records the calls in order and keeps a window's visible state.
class FakeWindow final : public ProgressWindow
{
public:
    void Show() override { record(QStringLiteral("Show")), shown = true; }
    void Close() override { record(QStringLiteral("Close")), shown = false; }
    void Clear() override { record(QStringLiteral("Clear")); }
    void SetMainInfo(const QString &text, bool showCancel) override
    {
        record(QStringLiteral("SetMainInfo %1 %2").arg(text, showCancel ? QStringLiteral("cancel") : QStringLiteral("no cancel")));
    }
    void SetMessage(const QString &text) override { record(QStringLiteral("SetMessage ") + text); }
    void SetMax(int maximum) override { record(QStringLiteral("SetMax %1").arg(maximum)); }
    void SetValue(int value) override { record(QStringLiteral("SetValue %1").arg(value)); }
    bool CancelVal() const override { return cancel; }
    void ResetCancel() override { cancel = false; }
    void record(const QString &call) { calls << call; }

    QStringList calls;
    bool shown = false;
    bool cancel = false;
};

class FakeBar final : public ProgressBarView
{
public:
    int value() const override { return m_value; }
    void setValue(int value) override { m_value = value, ++sets; }
    int maximum() const override { return m_maximum; }
    void setMaximum(int maximum) override { m_maximum = maximum; }
    void setCaption(const QString &text) override { caption = text; }

    int m_value = 0;
    int m_maximum = 100;
    int sets = 0;
    QString caption = QStringLiteral("Import Progress:");
};

// A link driving both a window and a bar, as the import does.
struct Linked
{
    FakeWindow window;
    FakeBar bar;
    ProgressBarLink link;

    Linked()
    {
        link.LinkForm(&window);
        link.LinkBar(&bar);
    }
};

} // namespace

class TestProgressBarLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startDrivesTheWindowInOrder()
    {
        Linked linked;
        auto &[window, bar, link] = linked;
        bar.m_value = 5; // left from an earlier phase
        link.Start(0, 12, QStringLiteral("Importing"), QStringLiteral("Creating Folder Hierarchy..."), 0, true);
        const QStringList expected {QStringLiteral("Show"), QStringLiteral("Clear"), QStringLiteral("SetMainInfo Importing cancel"),
            QStringLiteral("SetMessage Creating Folder Hierarchy..."), QStringLiteral("SetMax 12"), QStringLiteral("SetValue 0")};
        QCOMPARE(window.calls, expected);
        QCOMPARE(bar.caption, QStringLiteral("Creating Folder Hierarchy..."));
        QCOMPARE(bar.m_value, 0);
        QCOMPARE(bar.m_maximum, 12);
        QVERIFY(link.FormShown());
    }

    void valuesReachEachSideByItsOwnRule_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("toWindow");
        QTest::addColumn<int>("barValue");

        // The bar's maximum is 1000 and it shows 7 before the call.
        QTest::newRow("zero") << 0 << true << 0;
        QTest::newRow("at the maximum") << 1000 << true << 1000;
        QTest::newRow("above the maximum") << 1500 << true << 7;
        QTest::newRow("negative") << -1 << false << 7;
    }

    void valuesReachEachSideByItsOwnRule()
    {
        QFETCH(int, value);
        QFETCH(bool, toWindow);
        QFETCH(int, barValue);
        Linked linked;
        auto &[window, bar, link] = linked;
        bar.m_maximum = 1000;
        bar.m_value = 7;
        link.SetValue(value);
        QCOMPARE(window.calls.contains(QStringLiteral("SetValue %1").arg(value)), toWindow);
        QCOMPARE(bar.m_value, barValue);
        QCOMPARE(link.Value(), value);
    }

    void maximumZeroReachesOnlyTheWindow()
    {
        Linked linked;
        auto &[window, bar, link] = linked;
        link.SetMax(0);
        link.SetMax(-3);
        QCOMPARE(window.calls, QStringList {QStringLiteral("SetMax 0")});
        QCOMPARE(bar.m_maximum, 100);
        link.SetMax(1);
        QCOMPARE(bar.m_maximum, 1);
    }

    void cancelIsNoticedAgainAfterCancelOff()
    {
        Linked linked;
        auto &[window, bar, link] = linked;
        link.Start(0, 1000, QStringLiteral("Importing"), QStringLiteral("Importing computers..."), 0, true);
        QVERIFY(!link.CancelVal());
        window.cancel = true;
        QVERIFY(link.CancelVal());
        // "Are you sure you would like to cancel?" answered No.
        link.CancelOff();
        QVERIFY(!link.CancelVal());
        window.cancel = true;
        QVERIFY(link.CancelVal());
    }

    void finishClosesOnlyAWindowStartOpened()
    {
        FakeWindow window;
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
        QCOMPARE(window.calls.count(QStringLiteral("Close")), 1);

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

        QTest::newRow("step 1") << 5 << 1 << 5 << 5 << 5;
        QTest::newRow("step does not divide") << 10 << 4 << 10 << 2 << 10;
        QTest::newRow("past the maximum") << 4 << 1 << 9 << 4 << 4;
        QTest::newRow("step 0 counts as 1") << 3 << 0 << 3 << 3 << 3;
    }

    void incValShowsEveryStepAndStopsAtTheMaximum()
    {
        QFETCH(int, maximum);
        QFETCH(int, step);
        QFETCH(int, calls);
        QFETCH(int, shown);
        QFETCH(int, value);
        FakeBar bar;
        ProgressBarLink link;
        link.LinkBar(&bar);
        link.SetUpdateStep(step);
        link.Start(0, maximum, QStringLiteral("Importing"), QString());
        const int setsAtStart = bar.sets;
        for (int i = 0; i < calls; ++i)
            link.IncVal();
        QCOMPARE(bar.sets - setsAtStart, shown);
        QCOMPARE(link.Value(), value);
    }

    void unlinkedLinkDoesNothing()
    {
        ProgressBarLink link;
        link.Start(0, 10, QStringLiteral("Importing"), QStringLiteral("x"), 0, true);
        link.SetValue(5);
        link.IncVal();
        QVERIFY(!link.CancelVal());
        link.Finish();
        QVERIFY(!link.FormShown());
        QCOMPARE(link.Value(), 6);
    }

    void meterClampsAndIgnores_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("filled");

        QTest::newRow("one short of full") << 1000 << 999 << 999 << 29;
        QTest::newRow("negative is ignored") << 1000 << -5 << 250 << 7;
        QTest::newRow("large counts do not overflow") << 2000000000 << 1999999999 << 1999999999 << 29;
    }

    void meterClampsAndIgnores()
    {
        QFETCH(int, maximum);
        QFETCH(int, value);
        QFETCH(int, stored);
        QFETCH(int, filled);
        ProgressMeter meter;
        meter.SetMax(maximum);
        meter.SetValue(250);
        meter.SetValue(value);
        QCOMPARE(meter.Value(), stored);
        QCOMPARE(meter.FilledSegments(), filled);
    }

    void meterReportsOnlyChangedSegments()
    {
        using Span = ProgressMeter::SegmentSpan;
        ProgressMeter meter(10);
        meter.SetMax(100);
        QCOMPARE(meter.SetValue(35), (Span {0, 3}));
        QCOMPARE(meter.SetValue(39), Span {});
        QCOMPARE(meter.SetValue(20), (Span {2, 1}));
        // A lower maximum drags the value down and fills the whole bar.
        QCOMPARE(meter.SetMax(10), (Span {2, 8}));
        QCOMPARE(meter.Value(), 10);
        QCOMPARE(meter.SetMax(0), (Span {0, 10}));
        QCOMPARE(meter.SetMax(-1), Span {});
        QCOMPARE(meter.Maximum(), 0);
    }
};

QTEST_GUILESS_MAIN(TestProgressBarLink)
#include "tst_ProgressBarLink.moc"

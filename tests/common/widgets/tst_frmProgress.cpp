#include "common/ProgressBarLink.h"
#include "common/widgets/BusyIndicator.h"
#include "common/widgets/LinkedProgressBar.h"
#include "common/widgets/SegmentedProgressBar.h"
#include "common/widgets/frmProgress.h"
#include "database/ComputerDB.h"
#include "database/MemoryTreeDisplay.h"
#include "database/ProgressLinkSink.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Counts the paint events a widget receives.
class PaintCounter final : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestProgressWindow : public QObject
{
    Q_OBJECT

private:
    static QPushButton *cancelButton(frmProgress &window) { return window.findChild<QPushButton *>(QStringLiteral("cmdCancel")); }
    static SegmentedProgressBar *bar(frmProgress &window)
    {
        return window.findChild<SegmentedProgressBar *>(QStringLiteral("picProgress"));
    }

private Q_SLOTS:
    void opensWithThePleaseWaitMessage()
    {
        frmProgress window;
        QCOMPARE(window.objectName(), QStringLiteral("frmProgress"));
        QCOMPARE(window.Message(), QStringLiteral("Please wait..."));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("lblMessage"))->text(), QStringLiteral("Please wait..."));
    }

    void cancelClickIsSeenAtTheNextCheckAndAgainAfterCancelOff()
    {
        frmProgress window;
        ProgressBarLink link;
        link.LinkForm(&window);
        link.Start(0, 1000, QStringLiteral("Importing"), QStringLiteral("Importing computers..."), 0, true);
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Importing"));
        QVERIFY(!link.CancelVal());

        QTest::mouseClick(cancelButton(window), Qt::LeftButton);
        QVERIFY(link.CancelVal());
        QVERIFY(!cancelButton(window)->isEnabled());

        link.CancelOff();
        QVERIFY(!link.CancelVal());
        QVERIFY(cancelButton(window)->isEnabled());
        QTest::mouseClick(cancelButton(window), Qt::LeftButton);
        QVERIFY(link.CancelVal());
    }

    void escapeAsksToCancelButNeverCloses()
    {
        frmProgress window;
        window.Show();
        window.SetMainInfo(QStringLiteral("Importing"), false);
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.CancelVal());
        QVERIFY(window.isVisible());

        window.SetMainInfo(QStringLiteral("Importing"), true);
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.CancelVal());
        QVERIFY(window.isVisible());
    }

    void valuesStayInsideTheRange_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("newMaximum");
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("full");

        QTest::newRow("above the maximum") << 1000 << 1500 << 1000 << 1000 << true;
        QTest::newRow("negative ignored") << 1000 << -1 << 1000 << 200 << false;
        QTest::newRow("lower maximum lowers the value") << 1000 << 600 << 400 << 400 << true;
        QTest::newRow("higher maximum keeps the value") << 1000 << 600 << 2000 << 600 << false;
        QTest::newRow("maximum 0 empties") << 1000 << 600 << 0 << 0 << false;
    }

    void valuesStayInsideTheRange()
    {
        QFETCH(int, maximum);
        QFETCH(int, value);
        QFETCH(int, newMaximum);
        QFETCH(int, stored);
        QFETCH(bool, full);
        frmProgress window;
        window.SetMax(maximum);
        window.SetValue(200);
        window.SetValue(value);
        window.SetMax(newMaximum);
        QCOMPARE(window.Value(), stored);
        QCOMPARE(window.Maximum(), newMaximum);
        const ProgressMeter &meter = bar(window)->meter();
        QCOMPARE(meter.FilledSegments() == meter.Segments(), full);
    }

    void heightFitsTheCancelButtonOnlyWhenItIsOffered()
    {
        frmProgress window;
        window.Show();
        window.SetMainInfo(QStringLiteral("Importing"), true);
        QApplication::processEvents();
        const int margin = window.twipsToPixels(100);
        QVERIFY(cancelButton(window)->isVisible());
        QCOMPARE(window.height(), cancelButton(window)->geometry().bottom() + 1 + margin);
        const int withCancel = window.height();

        window.SetMainInfo(QStringLiteral("Importing"), false);
        QApplication::processEvents();
        QVERIFY(!cancelButton(window)->isVisible());
        QVERIFY(window.height() < withCancel);
        QCOMPARE(window.height(), bar(window)->geometry().bottom() + 1 + margin);
    }

    void windowPaintsAndTakesCancelWhileTheWorkerLoops()
    {
        frmProgress window;
        PaintCounter painted(bar(window));
        ProgressBarLink link;
        link.LinkForm(&window);
        link.SetUpdateStep(10);
        link.Start(0, 1000, QStringLiteral("Importing"), QStringLiteral("Adding computers to DB..."), 0, true);

        // Presses Cancel once the bar shows a quarter; it can only fire while
        // the worker below lets events run.
        QTimer presser;
        presser.setInterval(0);
        connect(&presser, &QTimer::timeout, this, [&] {
            if (window.Value() >= 250) {
                presser.stop();
                QTest::mouseClick(cancelButton(window), Qt::LeftButton);
            }
        });
        presser.start();

        const int paintsBefore = painted.paints;
        int done = 0;
        while (done < 1000 && !link.CancelVal()) {
            link.IncVal();
            ++done;
        }
        QVERIFY(done >= 250);
        QVERIFY(done < 1000);
        QVERIFY(painted.paints > paintsBefore);
        link.Finish();
        QVERIFY(!window.isVisible());
    }

    void circlesTurnWhileTheWindowIsOpen()
    {
        frmProgress window;
        auto *timer = window.findChild<QTimer *>(QStringLiteral("tmrAnimate"));
        auto *circles = window.findChild<BusyIndicator *>(QStringLiteral("picWait"));
        QVERIFY(!timer->isActive());
        window.Show();
        QVERIFY(timer->isActive());
        const int first = circles->ActiveCircle();
        window.tmrAnimate_Timer();
        QCOMPARE(circles->ActiveCircle(), (first + 1) % 3);
        window.tmrAnimate_Timer();
        window.tmrAnimate_Timer();
        QCOMPARE(circles->ActiveCircle(), first);
        window.Close();
        QVERIFY(!timer->isActive());
    }

    void filledSegmentsRunFromBlueToGreen()
    {
        frmProgress window;
        const SegmentedProgressBar *segments = bar(window);
        const int last = segments->meter().Segments() - 1;
        const QColor first = segments->segmentColor(0);
        const QColor middle = segments->segmentColor(last / 2);
        const QColor end = segments->segmentColor(last);
        QVERIFY(first.blue() > first.green());
        QVERIFY(end.green() > end.blue());
        QVERIFY(middle.blue() < first.blue() && middle.blue() > end.blue());
        QVERIFY(segments->segmentRect(0).right() < segments->segmentRect(1).left());
    }

    void treeRebuildReportsIntoTheWindow()
    {
        ComputerDB db;
        const int group = db.AddFolder(QStringLiteral("Sales"), -1);
        db.AddFolder(QStringLiteral("Payroll"), -1);
        for (int i = 0; i < 45; ++i)
            db.AddComputer(QStringLiteral("PC%1").arg(i), QString(), i % 2 ? group : -1, -1);
        MemoryTreeDisplay tree;
        tree.resetWithRoot();

        frmProgress window;
        ProgressBarLink link;
        link.LinkForm(&window);
        ProgressLinkSink sink(link);
        db.LinkTreeView(&tree, 24, 3, &sink);

        QCOMPARE(tree.nodeCount(), 1 + 2 + 45);
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Importing"));
        QCOMPARE(window.Message(), QStringLiteral("Adding Computers to Hierarchy..."));
        QCOMPARE(window.Maximum(), 45);
        QVERIFY(!cancelButton(window)->isVisible());
        link.Finish();
        QVERIFY(!window.isVisible());
    }

    void embeddedBarEndsEmptyWithComplete()
    {
        QProgressBar progress;
        QLabel label(QStringLiteral("Import Progress:"));
        LinkedProgressBar embedded(&progress, &label);
        ProgressBarLink link;
        link.LinkBar(&embedded);
        link.Start(0, 0, QStringLiteral("Importing"), QStringLiteral("Importing computers..."));
        QCOMPARE(progress.maximum(), 100);
        link.SetMax(40);
        link.SetValue(25);
        QCOMPARE(progress.value(), 25);
        QCOMPARE(label.text(), QStringLiteral("Importing computers..."));
        link.Finish();
        QCOMPARE(progress.value(), 0);
        QCOMPARE(label.text(), QStringLiteral("Complete"));
    }
};

QTEST_MAIN(TestProgressWindow)
#include "tst_frmProgress.moc"

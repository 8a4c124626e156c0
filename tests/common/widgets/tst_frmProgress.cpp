#include "common/ProgressBarLink.h"
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
    void opensWithThePleaseWaitMessageAndABarThatKeepsTheRange()
    {
        frmProgress window;
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("lblMessage"))->text(), QStringLiteral("Please wait..."));
        window.SetMax(1000);
        window.SetValue(1500);
        QCOMPARE(window.Value(), 1000);
        QCOMPARE(bar(window)->meter().FilledSegments(), bar(window)->meter().Segments());
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

    void heightFitsTheCancelButtonOnlyWhenItIsOffered()
    {
        frmProgress window;
        window.Show();
        window.SetMainInfo(QStringLiteral("Importing"), true);
        QApplication::processEvents();
        const int margin = window.twipsToPixels(100);
        QCOMPARE(window.height(), cancelButton(window)->geometry().bottom() + 1 + margin);

        window.SetMainInfo(QStringLiteral("Importing"), false);
        QApplication::processEvents();
        QVERIFY(!cancelButton(window)->isVisible());
        QCOMPARE(window.height(), bar(window)->geometry().bottom() + 1 + margin);
    }

    void windowPaintsAndTakesCancelWhileTheWorkerLoops()
    {
        frmProgress window;
        ProgressBarLink link;
        link.LinkForm(&window);
        link.SetUpdateStep(10);
        link.Start(0, 1000, QStringLiteral("Importing"), QStringLiteral("Adding computers to DB..."), 0, true);

        // Presses Cancel once the bar shows a quarter; it can only fire while
        // the worker below lets events run (and so lets the window paint).
        QTimer presser;
        presser.setInterval(0);
        connect(&presser, &QTimer::timeout, this, [&] {
            if (window.Value() >= 250) {
                presser.stop();
                QTest::mouseClick(cancelButton(window), Qt::LeftButton);
            }
        });
        presser.start();

        int done = 0;
        while (done < 1000 && !link.CancelVal()) {
            link.IncVal();
            ++done;
        }
        QVERIFY(done >= 250);
        QVERIFY(done < 1000);
        // The button stays pressed until the worker has decided.
        QVERIFY(!cancelButton(window)->isEnabled());
        link.CancelOff();
        QVERIFY(!link.CancelVal());
        QVERIFY(cancelButton(window)->isEnabled());
        link.Finish();
        QVERIFY(!window.isVisible());
    }

    void circlesTurnOnlyWhileTheWindowIsOpen()
    {
        frmProgress window;
        auto *timer = window.findChild<QTimer *>(QStringLiteral("tmrAnimate"));
        QVERIFY(!timer->isActive());
        window.Show();
        QVERIFY(timer->isActive());
        window.Close();
        QVERIFY(!timer->isActive());
    }

    void treeRebuildReportsIntoTheWindowWithoutCancel()
    {
        ComputerDB db;
        for (int i = 0; i < 45; ++i)
            db.AddComputer(QStringLiteral("PC%1").arg(i), QString(), -1, -1);
        MemoryTreeDisplay tree;
        tree.resetWithRoot();
        frmProgress window;
        ProgressBarLink link;
        link.LinkForm(&window);
        ProgressLinkSink sink(link);
        db.LinkTreeView(&tree, 24, 3, &sink);
        QVERIFY(window.isVisible());
        QCOMPARE(window.Message(), QStringLiteral("Adding Computers to Hierarchy..."));
        QCOMPARE(window.Maximum(), 45);
        QVERIFY(!cancelButton(window)->isVisible());
    }

    void embeddedBarEndsEmptyWithComplete()
    {
        QProgressBar progress;
        QLabel label(QStringLiteral("Import Progress:"));
        LinkedProgressBar embedded(&progress, &label);
        ProgressBarLink link;
        link.LinkBar(&embedded);
        link.Start(0, 0, QStringLiteral("Importing"), QStringLiteral("Importing computers..."));
        QCOMPARE(label.text(), QStringLiteral("Importing computers..."));
        QCOMPARE(progress.maximum(), 100);
        link.SetMax(40);
        link.SetValue(25);
        QCOMPARE(progress.value(), 25);
        QVERIFY(!link.CancelVal()); // a bar alone offers no Cancel
        link.Finish();
        QCOMPARE(progress.value(), 0);
        QCOMPARE(label.text(), QStringLiteral("Complete"));
    }
};

QTEST_MAIN(TestProgressWindow)
#include "tst_frmProgress.moc"

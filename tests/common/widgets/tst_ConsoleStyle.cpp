#include "common/widgets/ConsoleStyle.h"

#include <QApplication>
#include <QTest>

class TestConsoleStyle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The message boxes' pictures are drawn at a scaled screen's size, not
    // stretched from a small bitmap; the other pictures stay the style's.
    void messagePicturesAreSharpAtScaleTwo()
    {
        ConsoleStyle style;
        for (const QStyle::StandardPixmap picture :
            {QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxWarning, QStyle::SP_MessageBoxCritical, QStyle::SP_MessageBoxQuestion})
            QCOMPARE(style.standardIcon(picture).pixmap(QSize(32, 32), 2.0).size(), QSize(64, 64));
        QVERIFY(!style.standardIcon(QStyle::SP_DialogOkButton).isNull());
    }
};

QTEST_MAIN(TestConsoleStyle)
#include "tst_ConsoleStyle.moc"

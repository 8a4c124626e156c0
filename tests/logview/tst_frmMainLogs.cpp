#include "common/modGeneral.h"
#include "shell/MainWindowFixture.h"

#include <QDir>
#include <QFile>
#include <QMenu>

namespace {

// What the Transferor Logs submenu holds once the View menu opens: caption and whether it is enabled.
QStringList transferorItems(frmMain &window)
{
    Q_EMIT window.findChild<QMenu *>(QStringLiteral("mnuView"))->aboutToShow();
    QStringList items;
    for (const QAction *item : window.findChild<QMenu *>(QStringLiteral("mnuTransferorLogs"))->actions())
        items.append(item->text() + (item->isEnabled() ? QString() : QStringLiteral(" (greyed)")));
    return items;
}

} // namespace

class TestMainWindowLogs : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;

private Q_SLOTS:
    void init() { f.init(); }
    void cleanup() { f.cleanup(); }

    // Filled anew at each opening of the View menu; the items beyond the first go when the logs do.
    void transferorLogsSubmenu()
    {
        frmMain window;
        const QString results = modGeneral::GetLogPath();
        QCOMPARE(transferorItems(window), QStringList {"No Transferor Logs Found (greyed)"});

        QVERIFY(QDir().mkpath(results));
        QVERIFY(QFile(results + QStringLiteral("transferor1.log")).open(QIODevice::WriteOnly));
        QVERIFY(QFile(results + QStringLiteral("transferor2&3.log")).open(QIODevice::WriteOnly));
        QCOMPARE(transferorItems(window), QStringList({"transferor1.log", "transferor2&&3.log"}));
        QVERIFY(MainWindowFixture::trigger(window, QStringLiteral("mnuTransferorLog1")));
        QCOMPARE(f.opener->opened.constFirst().path, results + QStringLiteral("transferor2&3.log"));

        QVERIFY(QFile::remove(results + QStringLiteral("transferor2&3.log")));
        QCOMPARE(transferorItems(window), QStringList {"transferor1.log"});
        QVERIFY(QDir(results).removeRecursively());
        QCOMPARE(transferorItems(window), QStringList {"No Transferor Logs Found (greyed)"});
    }

    // The View items, and the pop-up's item for computers only, with the selected computer's name.
    void logItems()
    {
        frmMain window;
        window.show();
        const QString results = modGeneral::GetLogPath();
        QVERIFY(QDir().mkpath(results));
        QVERIFY(QFile(results + QStringLiteral("PC1-20261201101010.log")).open(QIODevice::WriteOnly));
        QVERIFY(MainWindowFixture::trigger(window, QStringLiteral("mnuHandlerLog")));
        QVERIFY(MainWindowFixture::trigger(window, QStringLiteral("mnuClientLogsFolder")));
        QCOMPARE(f.opener->opened.size(), 2);

        window.tree().AddNewComputer();
        const QString key = window.treeView()->selectedKey();
        window.treeView()->itemForKey(key)->setText(0, QStringLiteral("PC1"));
        auto *popup = window.findChild<QMenu *>(QStringLiteral("mnuTVRightClick"));
        MainWindowFixture::click(window, modGeneral::RootKey, Qt::RightButton);
        QVERIFY(!MainWindowFixture::action(window, QStringLiteral("mnuOpenClientLog"))->isEnabled());
        popup->hide();
        MainWindowFixture::click(window, key, Qt::RightButton);
        QVERIFY(MainWindowFixture::trigger(window, QStringLiteral("mnuOpenClientLog")));
        popup->hide();
        QCOMPARE(f.opener->opened.constLast().path, results + QStringLiteral("PC1-20261201101010.log"));
        QCOMPARE(f.presenter->count(), 0);
    }
};

QTEST_MAIN(TestMainWindowLogs)
#include "tst_frmMainLogs.moc"

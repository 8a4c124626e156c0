#include "MainWindowFixture.h"
#include "shell/modWindowSettings.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>

using modGeneral::ComputerKey;
using modGeneral::FolderKey;
using modGeneral::RootKey;

// What the window adds between the tree and the panel: the order of their
// gestures, the marks of own settings, the running state.
class TestMainWindowPanes : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;
    std::unique_ptr<frmMain> m_window;
    int m_sales = -1;
    int m_desk = -1;

    frmMain &window() { return *m_window; }
    ComputerDB &db() { return *m_window->database(); }
    QLineEdit *text(const char *name) { return window().findChild<QLineEdit *>(QString::fromLatin1(name)); }
    QPushButton *button(const char *name) { return window().findChild<QPushButton *>(QString::fromLatin1(name)); }
    ComputerTreeView *tree() { return window().treeView(); }

private Q_SLOTS:
    // Root settings every level below inherits, a group without its own, a computer in it.
    void init()
    {
        f.init();
        m_window = std::make_unique<frmMain>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        db().GetSettings(QStringLiteral("G"), -1)->SourceDomain = QStringLiteral("OLDCORP");
        m_sales = db().AddFolder(QStringLiteral("Sales"), -1);
        m_desk = db().AddComputer(QStringLiteral("DESK-01"), QString(), db().AddFolder(QStringLiteral("London"), m_sales), -1);
    }

    void cleanup()
    {
        m_window.reset();
        f.cleanup();
    }

    // Rows picked in the Fleet tab are the tree's selection, the current
    // row's computer the node the panel shows; Export CSV writes the rows shown.
    void fleetRowsSelectTheirComputers()
    {
        const int kiosk = db().AddComputer(QStringLiteral("KIOSK"), QString(), -1, -1);
        auto *tabs = window().findChild<QTabWidget *>(QStringLiteral("tabComputers"));
        window().resize(1400, 800);
        QTRY_VERIFY(window().findChild<QSplitter *>(QStringLiteral("splitMain"))->width() > 1300);
        const int treeWidth = tabs->width();
        tabs->setCurrentIndex(1);
        auto *list = window().findChild<QTableView *>(QStringLiteral("tblFleet"));
        QCOMPARE(list->model()->rowCount(), 2);
        QTest::keyClicks(text("txtFleetFilter"), QStringLiteral("kiosk"));
        QCOMPARE(list->model()->rowCount(), 1);
        list->selectRow(0);
        QCOMPARE(tree()->selectedKeys(), QStringList {ComputerKey(kiosk)});
        f.presenter->setNextFileName(f.file(QStringLiteral("fleet.csv")));
        button("cmdFleetExport")->click();
        QFile csv(f.file(QStringLiteral("fleet.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count("\r\n"), 2); // the header and KIOSK

        text("txtFleetFilter")->clear();
        list->selectAll();
        QStringList selected = tree()->selectedKeys();
        selected.sort();
        QCOMPARE(selected, (QStringList {ComputerKey(m_desk), ComputerKey(kiosk)}));
        QVERIFY(selected.contains(tree()->selectedKey()));
        // The list widens the pane; the tree gets its own width back.
        QVERIFY(tabs->width() > treeWidth);
        tabs->setCurrentIndex(0);
        QCOMPARE(tabs->width(), treeWidth);
    }

    // At the size a first start opens with on a 1280 by 800 screen, every
    // tab of the panel fits: Save Settings is never scrolled out of sight.
    void panelFitsAtTheUsualSize()
    {
        frmMain window;
        const auto first = modWindowSettings::LoadWindowSettings({}, 19200, 12000, QRect(0, 0, 19200, 12000));
        window.resize(modWindowSettings::TwipsToPixels(first.Width, 15), modWindowSettings::TwipsToPixels(first.Height, 15));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *scroll = window.findChild<QScrollArea *>(QStringLiteral("scrObjectSettings"));
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabObjectSettings"));
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            QVERIFY2(scroll->verticalScrollBar()->maximum() == 0, qPrintable(tabs->tabText(tab)));
        }
    }

    void savedSettingsMarkTheTreeAlsoAfterARefresh()
    {
        f.click(window(), FolderKey(m_sales));
        f.retype(text("txtDestContext"), QStringLiteral("SALESCORP"));
        QTest::mouseClick(button("cmdObjSettingsSave"), Qt::LeftButton);
        QCOMPARE(db().GetSettings(QStringLiteral("F"), m_sales)->SourceDomain, QStringLiteral("OLDCORP"));
        QCOMPARE(tree()->icon(FolderKey(m_sales)), 23);

        QVERIFY(f.trigger(window(), QStringLiteral("mnuRefresh")));
        QCOMPARE(tree()->icon(FolderKey(m_sales)), 23);
        QCOMPARE(tree()->selectedKey(), RootKey);
        QCOMPARE(f.presenter->count(), 0);
    }

    // Find moves to each hit as a click would; the view menu opens and
    // closes the whole tree; the status bar counts.
    void findExpandAndCounts()
    {
        QVERIFY(f.trigger(window(), QStringLiteral("mnuFind")));
        auto *find = window().findChild<QLineEdit *>(QStringLiteral("txtFind"));
        QVERIFY(find->isVisible() && find->hasFocus());
        auto *count = window().findChild<QLabel *>(QStringLiteral("lblFindCount"));
        QTest::keyClicks(find, QStringLiteral("eS"));
        QCOMPARE(tree()->selectedKey(), FolderKey(m_sales));
        QCOMPARE(count->text(), QStringLiteral("1 of 2"));
        QTest::keyClick(find, Qt::Key_Return);
        QCOMPARE(tree()->selectedKey(), ComputerKey(m_desk));
        QCOMPARE(window().findChild<QLabel *>(QStringLiteral("lblObjSetTitle"))->text(), QStringLiteral("DESK-01"));
        QVERIFY(f.trigger(window(), QStringLiteral("mnuFindPrevious")));
        QCOMPARE(count->text(), QStringLiteral("1 of 2"));
        QTest::keyClicks(find, QStringLiteral("x"));
        QCOMPARE(count->text(), QStringLiteral("Not found"));
        QTest::keyClick(find, Qt::Key_Escape);
        QVERIFY(!find->isVisible());

        QVERIFY(f.trigger(window(), QStringLiteral("mnuCollapseAll")));
        QVERIFY(tree()->itemForKey(RootKey)->isExpanded() && !tree()->itemForKey(FolderKey(m_sales))->isExpanded());
        QVERIFY(f.trigger(window(), QStringLiteral("mnuExpandAll")));
        QVERIFY(tree()->itemForKey(tree()->parentKey(ComputerKey(m_desk)))->isExpanded());

        QTRY_COMPARE(window().findChild<QLabel *>(QStringLiteral("lblStatusCounts"))->text(), QStringLiteral("2 groups, 1 computer"));
    }

    // Ctrl-click adds to the selection; Delete asks once for all of it.
    void ctrlClickSelectsSeveral()
    {
        const int kiosk = db().AddComputer(QStringLiteral("KIOSK"), QString(), -1, -1);
        f.click(window(), ComputerKey(m_desk));
        f.click(window(), ComputerKey(kiosk), Qt::LeftButton, Qt::ControlModifier);
        // A plain click inside the selection keeps it, and opens no name for editing.
        f.click(window(), ComputerKey(m_desk));
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QVERIFY(!tree()->viewport()->findChild<QLineEdit *>());
        QCOMPARE(tree()->selectedKeys(), (QStringList {ComputerKey(m_desk), ComputerKey(kiosk)}));
        f.presenter->setNextAnswer(Presenter::Yes);
        QTest::keyClick(tree(), Qt::Key_Delete);
        QCOMPARE(f.presenter->last().text, QStringLiteral("Are you sure you'd like to delete 2 selected nodes: 2 computers in all?"));
        QCOMPARE(db().GetComputerCount(), 0);
        QTRY_COMPARE(window().findChild<QLabel *>(QStringLiteral("lblStatusCounts"))->text(), QStringLiteral("2 groups, 0 computers"));
    }

    void leavingAnEditedNodeAsksFirst()
    {
        f.click(window(), FolderKey(m_sales));
        f.retype(text("txtSourceContext"), QStringLiteral("EDITED"));

        // Cancel keeps the edits, and the tree goes back to their node.
        f.presenter->setNextAnswer(Presenter::Cancel);
        f.click(window(), ComputerKey(m_desk));
        QCOMPARE(f.presenter->last().caption, QStringLiteral("Save Settings"));
        QCOMPARE(tree()->selectedKey(), FolderKey(m_sales));
        QCOMPARE(text("txtSourceContext")->text(), QStringLiteral("EDITED"));

        // New Computer leaves the node too, and asks first.
        f.presenter->setNextAnswer(Presenter::Cancel);
        QTest::mouseClick(button("cmdCompNew"), Qt::LeftButton);
        QCOMPARE(f.presenter->count(), 2);
        QCOMPARE(db().GetComputerCount(), 1);

        // No throws the edits away and moves on.
        f.presenter->setNextAnswer(Presenter::No);
        f.click(window(), ComputerKey(m_desk));
        QCOMPARE(tree()->selectedKey(), ComputerKey(m_desk));
        QVERIFY(!db().GetSettings(QStringLiteral("F"), m_sales));

        // Yes stores them on the node they were made on.
        f.retype(text("txtSourceContext"), QStringLiteral("DESKCORP"));
        f.presenter->setNextAnswer(Presenter::Yes);
        f.click(window(), RootKey);
        QCOMPARE(tree()->selectedKey(), RootKey);
        QCOMPARE(db().GetSettings(QStringLiteral("C"), m_desk)->SourceDomain, QStringLiteral("DESKCORP"));
        QCOMPARE(text("txtSourceContext")->text(), QStringLiteral("OLDCORP"));
    }
};

QTEST_MAIN(TestMainWindowPanes)
#include "tst_frmMainPanes.moc"

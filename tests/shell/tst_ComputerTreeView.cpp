#include "common/AppState.h"
#include "common/TreeImage.h"
#include "database/ComputerDB.h"
#include "settings/GlobalSettings.h"
#include "shell/TreeCommands.h"
#include "shell/forms/ComputerTreeView.h"

#include "support/RecordingPresenter.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

using modGeneral::ComputerKey;
using modGeneral::FolderKey;
using modGeneral::RootKey;

namespace {

// The offscreen platform ends every drag at once; this tree plays what the
// platform's drag loop delivers when the pointer moves to `dropAt` and the
// button comes up there.
class PlayedDragTree final : public ComputerTreeView
{
public:
    QPoint dropAt;
    QString marked;
    int drags = 0;

protected:
    Qt::DropAction execDrag(QDrag *drag) override
    {
        ++drags;
        QWidget *target = viewport();
        const QMimeData *mime = drag->mimeData();
        QDragEnterEvent enter(dropAt, Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return Qt::IgnoreAction;
        QDragMoveEvent move(dropAt, Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        marked = dropHighlightKey();
        if (!move.isAccepted()) {
            QDragLeaveEvent leave;
            QApplication::sendEvent(target, &leave);
            return Qt::IgnoreAction;
        }
        QDropEvent drop(dropAt, Qt::MoveAction, mime, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }
};

// tvMain as the main window hosts it: linked to a database, root selected.
struct TreeWindow
{
    TreeWindow()
    {
        view.resize(360, 480);
        TreeCommands &commands = view.attachDatabase(database);
        commands.SetLoadSelectedNode([this] { loads.append(view.selectedKey()); });
        commands.InitializeTreeView();
        database.LinkTreeView(&view, 24, 3, nullptr);
        view.show();
    }

    QStringList childTexts(const QString &key) const
    {
        QStringList texts;
        const QTreeWidgetItem *parent = view.itemForKey(key);
        for (int i = 0; parent && i < parent->childCount(); ++i)
            texts.append(parent->child(i)->text(0));
        return texts;
    }

    QPoint center(const QString &key) const { return view.visualItemRect(view.itemForKey(key)).center(); }

    void click(const QString &key) { QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, center(key)); }

    qint64 shownIcon(const QString &key) const { return view.itemForKey(key)->icon(0).cacheKey(); }
    qint64 iconOf(int number) const { return view.icons().icon(number).cacheKey(); }

    QLineEdit *editor() const
    {
        for (QLineEdit *line : view.viewport()->findChildren<QLineEdit *>())
            if (line->isVisible())
                return line;
        return nullptr;
    }

    // A drag as the administrator makes it: press, the four moves that
    // start it, then over the target and release; the platform part in
    // between is played by PlayedDragTree. Returns the node marked as drop
    // target just before the release.
    QString drag(const QString &source, const QString &target)
    {
        QWidget *viewport = view.viewport();
        const QPoint from = center(source);
        view.dropAt = center(target);
        view.marked.clear();
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        for (int i = 1; i <= TreeCommands::DragThreshold; ++i)
            QTest::mouseMove(viewport, from + QPoint(i, 0));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, view.dropAt);
        return view.marked;
    }

    ComputerDB database;
    PlayedDragTree view;
    QStringList loads;
};

} // namespace

class TestComputerTreeView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { AppState::Reset(); }

    void everyImageNumberHasAPicture()
    {
        TreeIcons icons;
        for (int number : TreeImage::All()) {
            QVERIFY2(QFile::exists(TreeIcons::resourcePath(number)), qPrintable(QString::number(number)));
            const QIcon icon = icons.icon(number);
            QVERIFY(!icon.isNull());
            QVERIFY(!icon.pixmap(16, 16).isNull());
            QCOMPARE(icon.cacheKey(), icons.icon(number).cacheKey());
        }
        QVERIFY(icons.icon(1).isNull());
        QCOMPARE(icons.statusIcon(QStringLiteral("L3")).cacheKey(), icons.icon(TreeImage::StatusLoading).cacheKey());
    }

    void nodesShowTheirImages()
    {
        TreeWindow window;
        ComputerDB &db = window.database;
        QCOMPARE(window.shownIcon(RootKey), window.iconOf(22)); // open from the start
        const int group = db.AddFolder(QStringLiteral("Group"), -1);
        const int pc = db.AddComputer(QStringLiteral("PC"), QString(), group, -1);
        const QString groupKey = FolderKey(group);
        QTreeWidgetItem *groupItem = window.view.itemForKey(groupKey);
        QCOMPARE(window.shownIcon(groupKey), window.iconOf(3));
        QCOMPARE(window.shownIcon(ComputerKey(pc)), window.iconOf(24));
        groupItem->setExpanded(true);
        QCOMPARE(window.shownIcon(groupKey), window.iconOf(2));

        // Own settings on the computer: "settings below" on its group, open or not.
        db.AddSettings(std::make_shared<GlobalSettings>(), pc, QStringLiteral("C"));
        QCOMPARE(window.shownIcon(ComputerKey(pc)), window.iconOf(4));
        QCOMPARE(window.shownIcon(groupKey), window.iconOf(20));
        groupItem->setExpanded(false);
        QCOMPARE(window.shownIcon(groupKey), window.iconOf(21));

        // Expanding everything marks the leaves too; they keep their pictures.
        window.view.expandAll();
        QCOMPARE(window.shownIcon(ComputerKey(pc)), window.iconOf(4));
    }

    void dragAndDrop()
    {
        TreeWindow window;
        ComputerDB &db = window.database;
        const int group = db.AddFolder(QStringLiteral("Group"), -1);
        const int child = db.AddFolder(QStringLiteral("Child"), group);
        db.AddComputer(QStringLiteral("zeta"), QString(), -1, -1);
        const int pc = db.AddComputer(QStringLiteral("Mid"), QString(), group, -1);
        window.view.itemForKey(FolderKey(group))->setExpanded(true);
        QVERIFY(QTest::qWaitForWindowExposed(&window.view));

        QCOMPARE(window.drag(ComputerKey(pc), RootKey), RootKey);
        QCOMPARE(window.view.drags, 1);
        QCOMPARE(window.childTexts(RootKey), (QStringList {"Group", "Mid", "zeta"}));
        QVERIFY(window.view.dropHighlightKey().isEmpty() && !window.view.commands()->DragStarted());

        // A group dropped on the root: among the folders, before the computers.
        window.drag(FolderKey(child), RootKey);
        QCOMPARE(window.childTexts(RootKey), (QStringList {"Child", "Group", "Mid", "zeta"}));
    }

    void labelEditingAndKeys()
    {
        TreeWindow window;
        RecordingPresenter presenter;
        ComputerDB &db = window.database;
        const int pc = db.AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        const int other = db.AddComputer(QStringLiteral("Other"), QString(), -1, -1);
        QVERIFY(QTest::qWaitForWindowExposed(&window.view));
        // F2 on a computer opens the editor; Escape leaves the name alone.
        window.click(ComputerKey(pc));
        QTest::keyClick(&window.view, Qt::Key_F2);
        QTest::keyClicks(window.editor(), QStringLiteral("XYZ"));
        QTest::keyClick(window.editor(), Qt::Key_Escape);
        QTRY_VERIFY(!window.editor());
        QCoreApplication::processEvents();
        QCOMPARE(window.view.text(ComputerKey(pc)), QStringLiteral("PC"));

        // A refused name leaves the label as it was.
        QTest::keyClick(&window.view, Qt::Key_F2);
        window.editor()->clear();
        QTest::keyClick(window.editor(), Qt::Key_Return);
        QTRY_COMPARE(presenter.count(), 1);
        QCOMPARE(window.view.text(ComputerKey(pc)), QStringLiteral("PC"));

        // Clicking another node ends the edit with the typed name; the node keeps its place.
        QTest::keyClick(&window.view, Qt::Key_F2);
        window.editor()->selectAll();
        QTest::keyClicks(window.editor(), QStringLiteral("Alpha"));
        window.click(ComputerKey(other));
        QTRY_COMPARE(db.GetComputerName(pc), QStringLiteral("Alpha"));
        QCOMPARE(window.childTexts(RootKey), (QStringList {"Other", "Alpha"}));
    }
};

QTEST_MAIN(TestComputerTreeView)
#include "tst_ComputerTreeView.moc"

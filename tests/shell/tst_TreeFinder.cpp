#include "database/ComputerDB.h"
#include "database/MemoryTreeDisplay.h"
#include "shell/TreeFinder.h"

#include <QTest>

// Find over a tree as the console builds it: groups before computers, each
// in name order.
class TestTreeFinder : public QObject
{
    Q_OBJECT

private:
    ComputerDB m_db;
    MemoryTreeDisplay m_tree;
    quint64 m_changes = 0;

    QStringList names(TreeFinder &finder, int steps, bool forward = true)
    {
        QStringList seen;
        for (int i = 0; i < steps; ++i)
            seen.append(m_tree.text(forward ? finder.Next() : finder.Previous()));
        return seen;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const int lab = m_db.AddFolder(QStringLiteral("Lab"), -1);
        m_db.AddComputer(QStringLiteral("lab-02"), QString(), lab, -1);
        m_db.AddComputer(QStringLiteral("LAB-01"), QString(), lab, -1);
        m_db.AddComputer(QStringLiteral("PC-LAB9"), QString(), m_db.AddFolder(QStringLiteral("Office"), -1), -1);
        m_db.AddComputer(QStringLiteral("Kiosk"), QString(), -1, -1);
        m_tree.resetWithRoot();
        m_db.LinkTreeView(&m_tree, ComputerDB::DefaultComputerIcon, ComputerDB::DefaultFolderIcon, nullptr);
    }

    void findsInTreeOrderAndWraps()
    {
        TreeFinder finder(m_tree, [this] { return m_changes; });
        QCOMPARE(finder.Find(QStringLiteral("lab")), 4);
        QCOMPARE(finder.Current(), -1);
        QCOMPARE(names(finder, 5), (QStringList {"Lab", "LAB-01", "lab-02", "PC-LAB9", "Lab"}));
        QCOMPARE(finder.Current(), 0);
        QCOMPARE(names(finder, 2, false), (QStringList {"PC-LAB9", "lab-02"}));

        // A longer text keeps only what still holds it; a shorter one finds again.
        QCOMPARE(finder.Find(QStringLiteral("LAB-0")), 2);
        // Backspace: the shorter text finds what the longer one left out.
        QCOMPARE(finder.Find(QStringLiteral("LAB-")), 2);
        QCOMPARE(finder.Find(QStringLiteral("LAB")), 4);
        QCOMPARE(finder.Find(QStringLiteral("k")), 1);
        QCOMPARE(finder.Find(QStringLiteral("All Computers")), 0);
        QCOMPARE(finder.Find(QString()), 0);
        QVERIFY(finder.Next().isEmpty());
    }

    // A renamed node is found by its new name once the tree says it changed.
    void followsTheTree()
    {
        TreeFinder finder(m_tree, [this] { return m_changes; });
        QCOMPARE(finder.Find(QStringLiteral("kiosk")), 1);
        const QString key = finder.Next();
        m_tree.setText(key, QStringLiteral("Reception"));
        ++m_changes;
        QCOMPARE(finder.Find(QStringLiteral("kiosk")), 0);
        QCOMPARE(finder.Find(QStringLiteral("recep")), 1);
        m_tree.setText(key, QStringLiteral("Kiosk"));
        ++m_changes;
    }
};

QTEST_GUILESS_MAIN(TestTreeFinder)
#include "tst_TreeFinder.moc"

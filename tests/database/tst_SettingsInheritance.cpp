#include "DatabaseChecks.h"

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "support/RecordingPresenter.h"

#include <QTest>

namespace {

const QString G = QStringLiteral("G");
const QString F = QStringLiteral("F");
const QString C = QStringLiteral("C");

GlobalSettingsPtr record(const QString &sourceDomain, const QString &objectType = QString(), int associatedID = 0)
{
    GlobalSettingsPtr settings = GlobalSettings::create();
    settings->SourceDomain = sourceDomain;
    settings->ObjectType = objectType;
    settings->AssociatedID = associatedID;
    return settings;
}

// The last message was the internal error `text` from `procedure`.
bool internalError(const RecordingPresenter &presenter, const QString &text, const QString &procedure)
{
    if (presenter.count() == 0)
        return false;
    const Presenter::Message &message = presenter.last();
    return message.icon == Presenter::Icon::Critical && message.text.endsWith(text)
        && message.text.contains(QStringLiteral("Function: ") + procedure);
}

} // namespace

class TestSettingsInheritance : public QObject
{
    Q_OBJECT

private:
    DatabaseChecks::TempLogFolder m_logFolder;

private Q_SLOTS:
    void init() { AppState::Reset(); }

    void globalRecordHoldsSlotZero()
    {
        ComputerDB db;
        QCOMPARE(db.SettingsCount(), 1);
        QCOMPARE(db.SettingsCapacity(), 50);
        const GlobalSettingsPtr global = db.GetSettings(G, 42);
        QCOMPARE(global, db.SettingsTable(0));
        QCOMPARE(global->AssociatedID, -1);
        QCOMPARE(global->RebootPermitted, 1); // with the defaults of a new global record

        // The root has no folder record, and the global one is never removed.
        QVERIFY(!db.GetSettings(F, -1));
        QVERIFY(!db.RemoveNodeSettings(QStringLiteral("F-1")));
        QVERIFY(!db.RemoveSettings(0, G));
        QVERIFY(global->Valid);

        // Adding a global record replaces slot 0 and makes it global.
        const GlobalSettingsPtr wizard = record(QStringLiteral("WIZ"), F);
        QVERIFY(!db.AddSettings(wizard, 0, G));
        QCOMPARE(db.GetSettings(G, -1), wizard);
        QCOMPARE(wizard->ObjectType + QString::number(wizard->AssociatedID), QStringLiteral("G-1"));
        QCOMPARE(db.SettingsCount(), 1);
    }

    void effectiveSettingsWalkUp()
    {
        ComputerDB db;
        const int parent = db.AddFolder(QStringLiteral("Parent"), -1);
        const int group = db.AddFolder(QStringLiteral("Group"), parent);
        const int pc = db.AddComputer(QStringLiteral("pc"), QString(), group, -1);
        const int rootPc = db.AddComputer(QStringLiteral("rootpc"), QString(), -1, -1);
        const GlobalSettingsPtr parentSettings = record(QStringLiteral("PARENT"));
        QVERIFY(db.AddSettings(parentSettings, parent, F));

        QString key = QStringLiteral("unchanged");
        QCOMPARE(db.GetEffectiveSettings(C, pc, key), parentSettings);
        QCOMPARE(key, QStringLiteral("F%1").arg(parent));
        QCOMPARE(db.GetEffectiveSettings(F, parent, key), parentSettings);
        QCOMPARE(db.GetEffectiveSettings(C, rootPc, key), db.GetSettings(G, -1));
        QCOMPARE(key, QStringLiteral("F-1"));

        const GlobalSettingsPtr own = record(QStringLiteral("OWN"));
        QVERIFY(db.AddSettings(own, pc, C));
        QCOMPARE(db.GetEffectiveSettings(C, pc, key), own);
        QCOMPARE(key, QStringLiteral("C%1").arg(pc));
        QVERIFY(db.RemoveSettings(pc, C));
        QVERIFY(db.RemoveSettings(parent, F));
        QCOMPARE(db.GetEffectiveSettings(C, pc, key), db.GetSettings(G, -1));
    }

    void refusalsChangeNothing()
    {
        RecordingPresenter presenter;
        ComputerDB db;
        const int pc = db.AddComputer(QStringLiteral("pc"), QString(), -1, -1);
        const int gone = db.AddComputer(QStringLiteral("gone"), QString(), -1, -1);
        db.RemoveComputer(gone);
        const GlobalSettingsPtr settings = record(QStringLiteral("X"));
        QVERIFY(!db.AddSettings(settings, -1, C));
        QVERIFY(!db.AddSettings(settings, gone, C));
        QVERIFY(!db.AddSettings(settings, 0, F)); // no folder 0 yet
        QCOMPARE(presenter.count(), 0);

        // A wrong type or a broken link is the console's own fault, reported as such.
        QVERIFY(!db.AddSettings(settings, pc, QStringLiteral("Z")));
        QVERIFY(internalError(presenter, QStringLiteral("Invalid type received."), QStringLiteral("ComputerDB.AddSettings")));
        QCOMPARE(db.SettingsCount(), 1);
        QString key = QStringLiteral("unchanged");
        QVERIFY(!db.GetEffectiveSettings(C, 99, key));
        QVERIFY(
            internalError(presenter, QStringLiteral("Invalid permission structure."), QStringLiteral("ComputerDB.GetEffectiveSettings")));
        QCOMPARE(key, QStringLiteral("unchanged"));
        QCOMPARE(db.GetSettingsIndex(QStringLiteral("Q"), 1), -1);
        QVERIFY(internalError(presenter, QStringLiteral("Invalid associated type."), QStringLiteral("ComputerDB.GetSettingsIndex")));
        QCOMPARE(presenter.count(), 3);
    }

    void slotsAreKeptAndNotReused()
    {
        ComputerDB db;
        const int folder = db.AddFolder(QStringLiteral("f"), -1);
        const GlobalSettingsPtr first = record(QStringLiteral("1"));
        const GlobalSettingsPtr second = record(QStringLiteral("2"));
        QVERIFY(db.AddSettings(first, folder, F));
        QVERIFY(db.AddSettings(second, folder, F)); // the same node keeps its slot
        QCOMPARE(db.GetSettingsIndex(F, folder), 1);
        QCOMPARE(db.GetSettings(F, folder), second);
        QCOMPARE(second->ObjectType + QString::number(second->AssociatedID), F + QString::number(folder));

        QVERIFY(db.RemoveSettings(folder, F));
        QVERIFY(!second->Valid);
        QVERIFY(!db.GetSettings(F, folder));
        QVERIFY(!db.RemoveSettings(folder, F)); // nothing left to remove

        // A detached slot stays in the table, not Valid; the next record gets a new one.
        const GlobalSettingsPtr third = record(QStringLiteral("3"));
        QVERIFY(db.AddSettings(third, folder, F));
        QCOMPARE(db.GetSettingsIndex(F, folder), 2);
        QCOMPARE(db.SettingsTable(1), second);

        // A removed node takes its own record and those below it along.
        const int pc = db.AddComputer(QStringLiteral("pc"), QString(), folder, -1);
        const GlobalSettingsPtr pcSettings = record(QStringLiteral("pc"));
        db.AddSettings(pcSettings, pc, C);
        db.RemoveFolder(folder);
        QVERIFY(!pcSettings->Valid && !third->Valid);
        QCOMPARE(db.Computers(pc)->CustomSettings, -1);
    }

    void tableGrowsAtTheFiftiethRecord()
    {
        ComputerDB db;
        QList<GlobalSettingsPtr> attached;
        for (int i = 0; i < 60; ++i)
            db.AddComputer(QStringLiteral("pc%1").arg(i), QString(), -1, -1);
        // The record that fills slot 49, the table's 50th, makes it grow.
        for (int i = 0; i < 49; ++i) {
            attached.append(record(QString::number(i)));
            QVERIFY(db.AddSettings(attached.last(), i, C));
            QCOMPARE(db.SettingsCapacity(), i < 48 ? 50 : 100);
        }
        for (int i = 0; i < attached.size(); ++i)
            QCOMPARE(db.GetSettings(C, i), attached.at(i));
    }

    void associatedSettingsFromFile()
    {
        RecordingPresenter presenter;
        ComputerDB db;
        const int pc = db.AddComputer(QStringLiteral("pc"), QString(), -1, 0);
        const int folder = db.AddFolder(QStringLiteral("f"), -1);

        db.AddAssociatedSettings(record(QStringLiteral("?"), C, -1), true);
        QVERIFY(internalError(
            presenter, QStringLiteral("Invalid settings association in save file."), QStringLiteral("ComputerDB.AddAssociatedSettings")));
        QCOMPARE(db.SettingsCount(), 1);

        db.AddAssociatedSettings(record(QStringLiteral("a"), C, pc), true);
        QCOMPARE(db.Computers(pc)->CustomSettings, 1); // a 0 link never means slot 0
        db.AddAssociatedSettings(record(QStringLiteral("b"), C, pc), true); // from a file: always a new slot
        QCOMPARE(db.Computers(pc)->CustomSettings, 2);
        QCOMPARE(db.SettingsCount(), 3);

        db.AddAssociatedSettings(record(QStringLiteral("odd"), QStringLiteral("X"), folder), false);
        QCOMPARE(db.SettingsCount(), 3);
        QCOMPARE(db.Folders(folder)->CustomSettings, -1);
        QCOMPARE(db.SettingsTable(0)->SourceDomain, QString());
    }

    void removeAllSettingsStartsOver()
    {
        ComputerDB db;
        const int folder = db.AddFolder(QStringLiteral("f"), -1);
        const int pc = db.AddComputer(QStringLiteral("pc"), QString(), folder, -1);
        const GlobalSettingsPtr oldGlobal = db.GetSettings(G, -1);
        db.AddSettings(record(QStringLiteral("f")), folder, F);
        db.AddSettings(record(QStringLiteral("pc")), pc, C);
        AppState::Get().DatabaseChanged = true;

        db.RemoveAllSettings();
        QVERIFY(!AppState::Get().DatabaseChanged);
        QCOMPARE(db.SettingsCount(), 1);
        QVERIFY(db.GetSettings(G, -1) != oldGlobal);
        QVERIFY(!db.GetSettings(F, folder));
        QVERIFY(!db.GetSettings(C, pc));

        QVERIFY(db.AddSettings(record(QStringLiteral("new")), pc, C));
        QCOMPARE(db.GetSettingsIndex(C, pc), 1);
    }

    void overwriteChildren_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::newRow("database walk") << false;
        QTest::newRow("tree walk") << true;
    }

    void overwriteChildren()
    {
        QFETCH(bool, linked);
        DatabaseChecks::LinkedDB fixture(linked);
        ComputerDB &db = fixture.db;
        const int group = db.AddPath(QStringLiteral("Group"));
        const int sub = db.AddPath(QStringLiteral("Group\\Sub"));
        const int subsub = db.AddPath(QStringLiteral("Group\\Sub\\SubSub"));
        const int sibling = db.AddPath(QStringLiteral("Sibling"));
        const int pc1 = db.AddComputer(QStringLiteral("pc1"), QString(), group, -1);
        const int pc2 = db.AddComputer(QStringLiteral("pc2"), QString(), subsub, -1);
        const int outside = db.AddComputer(QStringLiteral("outside"), QString(), sibling, -1);
        for (int id : {group, sub, subsub, sibling})
            db.AddSettings(record(QString::number(id)), id, F);
        for (int id : {pc1, pc2, outside})
            db.AddSettings(record(QString::number(id)), id, C);

        // Which nodes still have a record of their own.
        const auto owners = [&] {
            QList<bool> have;
            for (int id : {group, sub, subsub, sibling})
                have << bool(db.GetSettings(F, id));
            for (int id : {pc1, pc2, outside})
                have << bool(db.GetSettings(C, id));
            return have;
        };
        db.OverwriteChildrenSettings(QStringLiteral("F%1").arg(group), 0);
        QCOMPARE(owners(), (QList<bool> {true, false, false, true, false, false, true}));

        // From the root every own record below goes; the global one stays.
        db.OverwriteChildrenSettings(QStringLiteral("F-1"), 0);
        QCOMPARE(owners(), QList<bool>(7, false));
        QVERIFY(db.GetSettings(G, -1)->Valid);
    }
};

QTEST_GUILESS_MAIN(TestSettingsInheritance)
#include "tst_SettingsInheritance.moc"

#include "DatabaseChecks.h"

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "support/RecordingPresenter.h"

#include <QTest>

namespace {

const QString G = QStringLiteral("G");
const QString F = QStringLiteral("F");
const QString C = QStringLiteral("C");

GlobalSettingsPtr record(const QString &sourceDomain, const QString &objectType = QString())
{
    GlobalSettingsPtr settings = GlobalSettings::create();
    settings->SourceDomain = sourceDomain;
    settings->ObjectType = objectType;
    return settings;
}

// The settings table slot by slot: owner, "-" when detached, and the record's source domain.
QString table(const ComputerDB &db)
{
    QStringList slots;
    for (int slot = 0; slot < db.SettingsCount(); ++slot) {
        const GlobalSettingsPtr r = db.SettingsTable(slot);
        slots << r->ObjectType + QString::number(r->AssociatedID) + (r->Valid ? QString() : QStringLiteral("-")) + QLatin1Char('=')
                + r->SourceDomain;
    }
    return slots.join(QLatin1Char(' '));
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
        const GlobalSettingsPtr global = db.GetSettings(G, 42);
        QCOMPARE(global, db.SettingsTable(0));
        QCOMPARE(global->RebootPermitted, 1); // with the defaults of a new global record
        QCOMPARE(table(db), QStringLiteral("G-1="));

        // The root has no folder record, and the global one is never removed.
        QVERIFY(!db.GetSettings(F, -1));
        QVERIFY(!db.RemoveNodeSettings(QStringLiteral("F-1")));
        QVERIFY(!db.RemoveSettings(0, G));
        // Adding a global record replaces slot 0 and makes it global.
        QVERIFY(!db.AddSettings(record(QStringLiteral("WIZ"), F), 0, G));
        QCOMPARE(table(db), QStringLiteral("G-1=WIZ"));
    }

    void effectiveSettingsWalkUp()
    {
        ComputerDB db;
        const int parent = db.AddFolder(QStringLiteral("Parent"), -1);
        const int group = db.AddFolder(QStringLiteral("Group"), parent);
        const int pc = db.AddComputer(QStringLiteral("pc"), QString(), group, -1);
        const int rootPc = db.AddComputer(QStringLiteral("rootpc"), QString(), -1, -1);
        QVERIFY(db.AddSettings(record(QStringLiteral("PARENT")), parent, F));
        QVERIFY(db.AddSettings(record(QStringLiteral("OWN")), pc, C));

        // Where each node's settings come from.
        const auto source = [&](const QString &type, int id) {
            QString key = QStringLiteral("unchanged");
            return db.GetEffectiveSettings(type, id, key)->SourceDomain + QLatin1Char('@') + key;
        };
        QCOMPARE((QStringList {source(C, pc), source(F, group), source(F, parent), source(C, rootPc)}),
            (QStringList {QStringLiteral("OWN@C%1").arg(pc), QStringLiteral("PARENT@F%1").arg(parent),
                QStringLiteral("PARENT@F%1").arg(parent), QStringLiteral("@F-1")}));
        QVERIFY(db.RemoveSettings(pc, C));
        QCOMPARE(source(C, pc), QStringLiteral("PARENT@F%1").arg(parent));
        QVERIFY(db.RemoveSettings(parent, F));
        QCOMPARE(source(C, pc), QStringLiteral("@F-1"));
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
        QString key = QStringLiteral("unchanged");
        QVERIFY(!db.GetEffectiveSettings(C, 99, key));
        QCOMPARE(key, QStringLiteral("unchanged"));
        QCOMPARE(db.GetSettingsIndex(QStringLiteral("Q"), 1), -1);
        QStringList reported;
        for (const Presenter::Message &message : presenter.messages())
            reported << (message.text.contains(QStringLiteral("\rFunction: ComputerDB.")) ? message.text.section(QLatin1Char('\r'), -1)
                                                                                          : message.text);
        QCOMPARE(reported, (QStringList {"Invalid type received.", "Invalid permission structure.", "Invalid associated type."}));
        QCOMPARE(presenter.count(), 3);
        QCOMPARE(table(db), QStringLiteral("G-1="));
        QCOMPARE(db.Computers(pc)->CustomSettings, -1);
    }

    void slotsAreKeptAndNotReused()
    {
        ComputerDB db;
        const int folder = db.AddFolder(QStringLiteral("f"), -1);
        const int pc = db.AddComputer(QStringLiteral("pc"), QString(), folder, -1);
        QVERIFY(db.AddSettings(record(QStringLiteral("1")), folder, F));
        QVERIFY(db.AddSettings(record(QStringLiteral("2")), folder, F)); // the same node keeps its slot
        QCOMPARE(db.GetSettingsIndex(F, folder), 1);
        QCOMPARE(db.GetSettings(F, folder)->SourceDomain, QStringLiteral("2"));

        // A detached record stays in its slot, not Valid; the next one gets a new slot.
        QVERIFY(db.RemoveSettings(folder, F));
        QVERIFY(!db.GetSettings(F, folder));
        QVERIFY(!db.RemoveSettings(folder, F)); // nothing left to remove
        QVERIFY(db.AddSettings(record(QStringLiteral("3")), folder, F));
        QVERIFY(db.AddSettings(record(QStringLiteral("pc")), pc, C));
        QCOMPARE(table(db), QStringLiteral("G-1= F0-=2 F0=3 C0=pc"));

        // A removed node takes its own record and those below it along.
        db.RemoveFolder(folder);
        QCOMPARE(table(db), QStringLiteral("G-1= F0-=2 F0-=3 C0-=pc"));
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
        QVERIFY(db.GetSettings(G, -1) != oldGlobal);
        QVERIFY(!db.GetSettings(F, folder));
        QVERIFY(!db.GetSettings(C, pc));
        QVERIFY(db.AddSettings(record(QStringLiteral("new")), pc, C));
        QCOMPARE(table(db), QStringLiteral("G-1= C0=new"));
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
        db.AddPath(QStringLiteral("Group\\Sub\\SubSub"));
        db.AddPath(QStringLiteral("Sibling"));
        db.AddComputer(QStringLiteral("pc1"), QString(), group, -1);
        db.AddComputer(QStringLiteral("pc2"), QString(), 2, -1);
        db.AddComputer(QStringLiteral("outside"), QString(), 3, -1);
        for (int id = 0; id < 4; ++id)
            db.AddSettings(record(QStringLiteral("F%1").arg(id)), id, F);
        for (int id = 0; id < 3; ++id)
            db.AddSettings(record(QStringLiteral("C%1").arg(id)), id, C);

        db.OverwriteChildrenSettings(QStringLiteral("F%1").arg(group), 0);
        QCOMPARE(table(db), QStringLiteral("G-1= F0=F0 F1-=F1 F2-=F2 F3=F3 C0-=C0 C1-=C1 C2=C2"));
        // From the root every own record below goes; the global one stays.
        db.OverwriteChildrenSettings(QStringLiteral("F-1"), 0);
        QCOMPARE(table(db), QStringLiteral("G-1= F0-=F0 F1-=F1 F2-=F2 F3-=F3 C0-=C0 C1-=C1 C2-=C2"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsInheritance)
#include "tst_SettingsInheritance.moc"

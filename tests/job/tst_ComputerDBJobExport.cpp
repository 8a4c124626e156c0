#include "job/ComputerDBJobExport.h"
#include "engine/JobArray.h"
#include "engine/JobColumns.h"
#include "engine/TranslationArray.h"
#include "job/RollbackJob.h"

#include "JobFixture.h"

#include "common/modErrorHandler.h"
#include "support/RecordingPresenter.h"

#include <QTemporaryDir>
#include <QTest>

using namespace JobFixture;

namespace {

const QVariant kEmpty;

QVariant t(const char *value)
{
    return QVariant(QString::fromUtf8(value));
}

QVariant n(int value)
{
    return QVariant(qint32(value));
}

struct Exported
{
    JobArray clients;
    JobArray settings;
    TranslationArray translation;
    QList<int> configRows;
};

// Exports with a writer that records the rows it was asked for, negated
// when a cell the file is made from was not written yet, and gives back the
// row number, so that column 10 shows which row's file it holds. `failAt`
// makes the writer fail on that row.
void exportInto(ComputerDB &db, Exported &out, int failAt = 0, const RollbackJob *rollback = nullptr)
{
    ComputerDBJobExport job(db);
    job.SetRollback(rollback);
    job.ExportArrays(out.clients, out.settings, out.translation, [&out, failAt](int row) {
        if (row == failAt)
            modErrorHandler::Raise(5);
        bool complete = out.translation.At(row) >= 0;
        for (int column = 1; column <= SettingsColumn::Count; ++column) {
            const bool join = column == SettingsColumn::Workgroup || column == SettingsColumn::JoinDomain;
            complete = complete && (join || out.settings.Value(column, row).isValid())
                && (column >= ClientColumn::GeneratedFiles || out.clients.Value(column, row).isValid());
        }
        out.configRows << (complete ? row : -row);
        return QByteArray("file of row ") + QByteArray::number(row);
    });
}

// Root computer, a removed one, two computers in a nested group that
// inherit its record, and one with its own record; one user list of each
// kind.
struct Small
{
    ComputerDB db;
    GlobalSettingsPtr sales;

    Small()
    {
        makeSound(global(db));
        const int salesID = db.AddFolder(QStringLiteral("Sales"), -1);
        const int eastID = db.AddFolder(QStringLiteral("East"), salesID);

        sales = global(db).Clone();
        sales->SourceDomain = LocalAccountDomain;
        sales->SourceDCName.clear();
        sales->SourceDCIP.clear();
        sales->SetUser(AdminA, QStringLiteral("varno"), QStringLiteral("pa55-A"), LocalAccountDomain);
        sales->SetUser(SourceSIDLookup, QStringLiteral("lookup-old"), QStringLiteral("pw3"), LocalAccountDomain);
        sales->JoinVal = JoinWorkgroup;
        sales->JoinName = QStringLiteral("WORKGROUP");
        sales->MinFreeSpace = 500;
        db.AddSettings(sales, salesID, QStringLiteral("F"));

        const int root = addComputer(db, QStringLiteral("ROOT-PC"));
        db.GetComputerUserList(root)->AddUserToUser(QStringLiteral("bob"), QStringLiteral("bob.new"));
        db.RemoveComputer(addComputer(db, QStringLiteral("GONE")));
        db.GetComputerUserList(db.AddComputer(QStringLiteral("EAST-1"), QString(), eastID, -1))->AddAllUsers();
        const UserProfilesPtr sids = db.GetComputerUserList(db.AddComputer(QStringLiteral("EAST-2"), QString(), eastID, -1));
        sids->AddSIDToUser(kSid1, QStringLiteral("alice.new"));
        sids->AddSIDToUser(kSid2, QStringLiteral("bob.new"));

        const int ownID = db.AddComputer(QStringLiteral("OWN-PC"), QString(), salesID, -1);
        GlobalSettingsPtr own = sales->Clone();
        own->DestinationDomain = LocalAccountDomain;
        own->JoinVal = JoinDomain;
        own->JoinName = QStringLiteral("NEWCORP");
        own->JoinDCName = QStringLiteral("NEW-DC1");
        own->JoinDCIP = QStringLiteral("10.0.1.1");
        own->SetUser(DomainJoin, QStringLiteral("joiner"), QStringLiteral("pwj"), LocalAccountDomain);
        own->CopyProfile = 0;
        own->IgnoreTempInternetFiles = 1;
        own->RebootPermitted = 0;
        own->ForceReboot = 0;
        own->OverwriteProfile = 1;
        db.AddSettings(own, ownID, QStringLiteral("C"));
        // Kinds the console never creates: only their empty destination travels.
        setList(db, ownID, ListUserToSID, {entry("carol", "", false, "", true, kSid1), entry("dave", "", false, "", true, kSid2)});
    }
};

} // namespace

class TestComputerDBJobExport : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;
    // The failure test writes the error log; it goes to a folder of our own.
    QTemporaryDir m_tmp;

private Q_SLOTS:
    void initTestCase()
    {
        qunsetenv("TMP");
        qunsetenv("TEMP");
        qputenv("tmp", m_tmp.path().toLocal8Bit());
        qputenv("temp", m_tmp.path().toLocal8Bit());
    }

    void init() { AppState::Reset(); }

    // Rows are the active computers in ID order, each complete before its
    // file is made; the export changes nothing but the default free space of
    // the root record a computer used.
    void rowsAreTheActiveComputers()
    {
        Small small;
        QCOMPARE(global(small.db).MinFreeSpace, -1);
        AppState::Get().DatabaseChanged = false;
        Exported out;
        exportInto(small.db, out);
        QCOMPARE(out.translation.Ids(), (QList<qint32> {0, 2, 3, 4}));
        QCOMPARE(out.configRows, (QList<int> {1, 2, 3, 4}));
        QCOMPARE(AppState::Get().ExportComputerCount, 5);
        QCOMPARE(m_presenter.count(), 0);
        QCOMPARE(global(small.db).MinFreeSpace, 100);
        QCOMPARE(small.sales->MinFreeSpace, 500);
        QVERIFY(!AppState::Get().DatabaseChanged);

        // A disabled computer stays out of a migration, but a rollback
        // that names it reaches it.
        QVERIFY(small.db.SetComputerEnabled(2, false));
        Exported without;
        exportInto(small.db, without);
        QCOMPARE(without.translation.Ids(), (QList<qint32> {0, 3, 4}));
        RollbackJob rollback;
        rollback.Computers = {2, 3};
        Exported back;
        exportInto(small.db, back, 0, &rollback);
        QCOMPARE(back.translation.Ids(), (QList<qint32> {2, 3}));
    }

    // A local Admin A domain goes out as each computer's own name, even when
    // computers share the record; column 10 holds the row's own file.
    void cells_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QVariantList>("client"); // columns 1 to 7
        QTest::addColumn<QVariantList>("settings"); // columns 1 to 24
        QTest::newRow("user to user from the root record")
            << 1 << QVariantList {t("ROOT-PC"), t("OLDCORP"), t("varno"), t("pa55-A"), t("NEWCORP"), t("osk"), t("pa55-B")}
            << QVariantList {t("alice,bob"), t("OLDCORP"), t("OLD-DC1"), t("10.0.0.1"), t(""), t("OLDCORP\\lookup-old"), t("pw3"),
                   t("alice.new,bob.new"), t("NEWCORP"), t("NEWCORP\\lookup-new"), t("pw4"), t("NEW-DC1"), t("10.0.1.1"), kEmpty, kEmpty,
                   t(""), t(""), t("\\"), t(""), n(1), n(1), n(3), n(100), n(0)};
        QTest::newRow("all users, group record with local source")
            << 2 << QVariantList {t("EAST-1"), t("EAST-1"), t("varno"), t("pa55-A"), t("NEWCORP"), t("osk"), t("pa55-B")}
            << QVariantList {t("*ALL"), t("EAST-1"), t(""), t(""), t(""), t("EAST-1\\lookup-old"), t("pw3"), t("*ALL"), t("NEWCORP"),
                   t("NEWCORP\\lookup-new"), t("pw4"), t("NEW-DC1"), t("10.0.1.1"), t("WORKGROUP"), kEmpty, t(""), t(""), t("\\"), t(""),
                   n(1), n(1), n(3), n(500), n(0)};
        QTest::newRow("own record: join a domain, local destination, kinds 2")
            << 4 << QVariantList {t("OWN-PC"), t("OWN-PC"), t("varno"), t("pa55-A"), t("NEWCORP"), t("osk"), t("pa55-B")}
            << QVariantList {t(""), t("OWN-PC"), t(""), t(""), t(""), t("OWN-PC\\lookup-old"), t("pw3"), t(","), t("OWN-PC"),
                   t("NEWCORP\\lookup-new"), t("pw4"), t("NEW-DC1"), t("10.0.1.1"), kEmpty, t("NEWCORP"), t("NEW-DC1"), t("10.0.1.1"),
                   t("OWN-PC\\joiner"), t("pwj"), n(0), n(0), n(2), n(500), n(1)};
    }

    void cells()
    {
        QFETCH(int, row);
        QFETCH(QVariantList, client);
        QFETCH(QVariantList, settings);
        Small small;
        Exported out;
        exportInto(small.db, out);
        for (int column = 1; column <= ClientColumn::AdminBPassword; ++column)
            QCOMPARE(out.clients.Value(column, row), client.at(column - 1));
        const QVariantList file {ComputerDBJobExport::ConfigFileName(), QByteArray("file of row ") + QByteArray::number(row)};
        QCOMPARE(out.clients.Value(ClientColumn::GeneratedFiles, row), QVariant(QVariantList {QVariant(file)}));
        for (int column = 1; column <= SettingsColumn::Count; ++column) {
            QCOMPARE(out.settings.Value(column, row), settings.at(column - 1));
            QCOMPARE(out.settings.Value(column, row).typeId(), settings.at(column - 1).typeId());
        }
    }

    void userColumnsFollowTheList()
    {
        // Entries of two kinds on one computer (no operation makes this, a
        // damaged file could): the comma goes before every entry after the
        // list's first, whichever column the entry lands in.
        ComputerDB db;
        makeSound(global(db));
        const int mixed = db.AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        setList(
            db, mixed, ListUserToUser, {entry("", "b2", true, kSid1), entry("alice", "a2", false, ""), entry("carol", "c2", false, "")});
        // Deleted entries leave no gap.
        const UserProfilesPtr list = db.GetComputerUserList(addComputer(db, QStringLiteral("PC2")));
        list->AddUserToUser(QStringLiteral("bob"), QStringLiteral("bob.new"));
        list->AddUserToUser(QStringLiteral("carol"), QStringLiteral("carol.new"));
        list->DeleteUser(0);
        Exported out;
        exportInto(db, out);
        QCOMPARE(out.settings.Value(SettingsColumn::SourceUsers, 1), t(",alice,carol"));
        QCOMPARE(out.settings.Value(SettingsColumn::SourceSIDs, 1), QVariant(kSid1));
        QCOMPARE(out.settings.Value(SettingsColumn::DestinationUsers, 1), t("b2,a2,c2"));
        QCOMPARE(out.settings.Value(SettingsColumn::SourceUsers, 2), t("bob,carol"));
        QCOMPARE(out.settings.Value(SettingsColumn::DestinationUsers, 2), t("bob.new,carol.new"));
    }

    // Computer IDs but no active computer, or a failure on the way: empty
    // arrays rather than half a job, so that the run refuses an empty list.
    void emptyArraysRatherThanHalfAJob()
    {
        ComputerDB removed;
        removed.RemoveComputer(addComputer(removed, QStringLiteral("PC-0")));
        Small small;
        for (ComputerDB *db : {&removed, &small.db}) {
            Exported out;
            exportInto(*db, out, 3);
            QVERIFY(out.clients.Exists() && out.settings.Exists() && out.translation.Exists());
            QCOMPARE(out.clients.Rows() + out.settings.Rows() + out.translation.Rows(), 0);
            QCOMPARE(AppState::Get().ExportComputerCount, 0);
        }
        QCOMPARE(m_presenter.count(), 1);
        QVERIFY(m_presenter.last().text.contains(QStringLiteral("ComputerDB.ExportArrays")));
        m_presenter.clear();
    }
};

QTEST_GUILESS_MAIN(TestComputerDBJobExport)
#include "tst_ComputerDBJobExport.moc"

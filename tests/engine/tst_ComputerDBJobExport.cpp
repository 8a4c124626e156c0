#include "engine/ClientConfig.h"
#include "engine/ComputerDBJobExport.h"
#include "engine/JobArray.h"
#include "engine/QXEInterface.h"
#include "engine/TranslationArray.h"
#include "engine/modScramble.h"

#include "EngineFixture.h"
#include "FakeEngine.h"
#include "JobFixture.h"

#include <QSignalSpy>

using namespace JobFixture;

namespace {

const QVariant kEmpty;

QVariant text(const char *value)
{
    return QVariant(QString::fromUtf8(value));
}

QVariant number(int value)
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

// Exports with a writer that records the rows it was asked for and gives
// back the row number, so that column 10 shows which row's file it holds.
void exportInto(ComputerDB &db, Exported &out)
{
    ComputerDBJobExport job(db);
    job.ExportArrays(out.clients, out.settings, out.translation, [&out](int row) {
        out.configRows << row;
        return QByteArray("file of row ") + QByteArray::number(row);
    });
}

} // namespace

class TestComputerDBJobExport : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;

    // Root computer, a removed one, two computers in a nested group that
    // inherit its record, and one with its own record; one user list of
    // each kind.
    struct Small
    {
        ComputerDB db;
        GlobalSettingsPtr sales;
        GlobalSettingsPtr own;

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

            const int root = db.AddComputer(QStringLiteral("ROOT-PC"), QString(), -1, -1);
            db.GetComputerUserList(root)->AddUserToUser(QStringLiteral("alice"), QStringLiteral("alice.new"));
            db.GetComputerUserList(root)->AddUserToUser(QStringLiteral("bob"), QStringLiteral("bob.new"));

            db.AddComputer(QStringLiteral("GONE"), QString(), -1, -1);
            db.RemoveComputer(1);

            const int east1 = db.AddComputer(QStringLiteral("EAST-1"), QString(), eastID, -1);
            db.GetComputerUserList(east1)->AddAllUsers();

            const int east2 = db.AddComputer(QStringLiteral("EAST-2"), QString(), eastID, -1);
            db.GetComputerUserList(east2)->AddSIDToUser(sid1(), QStringLiteral("alice.new"));
            db.GetComputerUserList(east2)->AddSIDToUser(sid2(), QStringLiteral("bob.new"));

            const int ownID = db.AddComputer(QStringLiteral("OWN-PC"), QString(), salesID, -1);
            own = sales->Clone();
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
            setList(db, ownID, ListUserToSID, {entry("carol", "", false, "", true, sid1()), entry("dave", "", false, "", true, sid2())});
        }
    };

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

    void rowsAreTheActiveComputersInIdOrder()
    {
        Small small;
        Exported out;
        exportInto(small.db, out);
        QCOMPARE(out.translation.Ids(), (QList<qint32> {0, 2, 3, 4}));
        QCOMPARE(out.clients.Rows(), 4);
        QCOMPARE(out.clients.Columns(), 10);
        QCOMPARE(out.settings.Rows(), 4);
        QCOMPARE(out.settings.Columns(), 24);
        QCOMPARE(out.configRows, (QList<int> {1, 2, 3, 4}));
        QCOMPARE(AppState::Get().ExportComputerCount, 5);
        QCOMPARE(m_presenter.count(), 0);
    }

    void clientCells_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QVariantList>("cells"); // columns 1 to 7
        QTest::newRow("root computer") << 1 << QVariantList {"ROOT-PC", "OLDCORP", "varno", "pa55-A", "NEWCORP", "osk", "pa55-B"};
        QTest::newRow("local Admin A: its own name")
            << 2 << QVariantList {"EAST-1", "EAST-1", "varno", "pa55-A", "NEWCORP", "osk", "pa55-B"};
        QTest::newRow("same record, other name") << 3 << QVariantList {"EAST-2", "EAST-2", "varno", "pa55-A", "NEWCORP", "osk", "pa55-B"};
        QTest::newRow("own record") << 4 << QVariantList {"OWN-PC", "OWN-PC", "varno", "pa55-A", "NEWCORP", "osk", "pa55-B"};
    }

    void clientCells()
    {
        QFETCH(int, row);
        QFETCH(QVariantList, cells);
        Small small;
        Exported out;
        exportInto(small.db, out);
        for (int column = 1; column <= 7; ++column) {
            QCOMPARE(out.clients.Value(column, row).typeId(), int(QMetaType::QString));
            QCOMPARE(out.clients.Value(column, row), cells.at(column - 1));
        }

        QCOMPARE(out.clients.Value(8, row), QVariant(QVariantList {"vbin.dat", "varno.exe", "obin.dat", "osk.exe"}));
        const QVariantList services = out.clients.Value(9, row).toList();
        QCOMPARE(services.size(), 2);
        const QVariantList varno = services.at(0).toList();
        const QVariantList osk = services.at(1).toList();
        QCOMPARE(varno, (QVariantList {"varno.exe", "Varno-Osk Service (Varno)", qint32(3), true, QString(), QString()}));
        QCOMPARE(osk, (QVariantList {"osk.exe", "Varno-Osk Service (Osk)", qint32(2), false, QString(), QString()}));
        QCOMPARE(varno.at(2).typeId(), int(QMetaType::Int));
        QCOMPARE(varno.at(3).typeId(), int(QMetaType::Bool));

        const QVariantList files = out.clients.Value(10, row).toList();
        QCOMPARE(files.size(), 1);
        const QVariantList file = files.at(0).toList();
        QCOMPARE(file.size(), 2);
        QCOMPARE(file.at(0), QVariant(QStringLiteral("varnoosk.cfg")));
        QCOMPARE(file.at(1), QVariant(QByteArray("file of row ") + QByteArray::number(row)));
    }

    void settingsCells_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QVariantList>("cells"); // columns 1 to 24
        QTest::newRow("user to user from the root record")
            << 1
            << QVariantList {text("alice,bob"), text("OLDCORP"), text("OLD-DC1"), text("10.0.0.1"), text(""), text("OLDCORP\\lookup-old"),
                   text("pw3"), text("alice.new,bob.new"), text("NEWCORP"), text("NEWCORP\\lookup-new"), text("pw4"), text("NEW-DC1"),
                   text("10.0.1.1"), kEmpty, kEmpty, text(""), text(""), text("\\"), text(""), number(1), number(1), number(3), number(100),
                   number(0)};
        QTest::newRow("all users, group record with local source")
            << 2
            << QVariantList {text("*ALL"), text("EAST-1"), text(""), text(""), text(""), text("EAST-1\\lookup-old"), text("pw3"),
                   text("*ALL"), text("NEWCORP"), text("NEWCORP\\lookup-new"), text("pw4"), text("NEW-DC1"), text("10.0.1.1"),
                   text("WORKGROUP"), kEmpty, text(""), text(""), text("\\"), text(""), number(1), number(1), number(3), number(500),
                   number(0)};
        QTest::newRow("SID to user") << 3
                                     << QVariantList {text(""), text("EAST-2"), text(""), text(""), QVariant(sid1() + "," + sid2()),
                                            text("EAST-2\\lookup-old"), text("pw3"), text("alice.new,bob.new"), text("NEWCORP"),
                                            text("NEWCORP\\lookup-new"), text("pw4"), text("NEW-DC1"), text("10.0.1.1"), text("WORKGROUP"),
                                            kEmpty, text(""), text(""), text("\\"), text(""), number(1), number(1), number(3), number(500),
                                            number(0)};
        QTest::newRow("own record: join a domain, local destination, kinds 2")
            << 4
            << QVariantList {text(""), text("OWN-PC"), text(""), text(""), text(""), text("OWN-PC\\lookup-old"), text("pw3"), text(","),
                   text("OWN-PC"), text("NEWCORP\\lookup-new"), text("pw4"), text("NEW-DC1"), text("10.0.1.1"), kEmpty, text("NEWCORP"),
                   text("NEW-DC1"), text("10.0.1.1"), text("OWN-PC\\joiner"), text("pwj"), number(0), number(0), number(2), number(500),
                   number(1)};
    }

    void settingsCells()
    {
        QFETCH(int, row);
        QFETCH(QVariantList, cells);
        Small small;
        Exported out;
        exportInto(small.db, out);
        for (int column = 1; column <= 24; ++column) {
            const QVariant actual = out.settings.Value(column, row);
            const QVariant &expected = cells.at(column - 1);
            if (actual != expected || actual.typeId() != expected.typeId())
                QFAIL(qPrintable(QStringLiteral("settings column %1: %2 (%3), expected %4 (%5)")
                                     .arg(column)
                                     .arg(actual.toString(), QString::fromLatin1(actual.typeName()), expected.toString(),
                                         QString::fromLatin1(expected.typeName()))));
        }
    }

    void separatorFollowsTheWholeList()
    {
        // Entries of two kinds on one computer (no operation makes this, a
        // damaged file could): the comma goes before every entry after the
        // list's first, whichever column the entry lands in.
        ComputerDB db;
        makeSound(global(db));
        const int id = db.AddComputer(QStringLiteral("PC"), QString(), -1, -1);
        setList(db, id, ListUserToUser, {entry("", "b2", true, sid1()), entry("alice", "a2", false, ""), entry("carol", "c2", false, "")});
        Exported out;
        exportInto(db, out);
        QCOMPARE(out.settings.Value(1, 1), text(",alice,carol"));
        QCOMPARE(out.settings.Value(5, 1), QVariant(sid1()));
        QCOMPARE(out.settings.Value(8, 1), text("b2,a2,c2"));
    }

    void deletedEntriesLeaveNoGap()
    {
        ComputerDB db;
        makeSound(global(db));
        const int id = addComputer(db, QStringLiteral("PC"));
        const UserProfilesPtr list = db.GetComputerUserList(id);
        list->AddUserToUser(QStringLiteral("bob"), QStringLiteral("bob.new"));
        list->AddUserToUser(QStringLiteral("carol"), QStringLiteral("carol.new"));
        list->DeleteUser(0);
        Exported out;
        exportInto(db, out);
        QCOMPARE(out.settings.Value(1, 1), text("bob,carol"));
        QCOMPARE(out.settings.Value(8, 1), text("bob.new,carol.new"));
    }

    void minFreeSpaceDefaultIsWrittenBack()
    {
        Small small;
        QCOMPARE(global(small.db).MinFreeSpace, -1);
        AppState::Get().DatabaseChanged = false;
        Exported out;
        exportInto(small.db, out);
        // The root record is the one ROOT-PC used: it keeps the default.
        QCOMPARE(global(small.db).MinFreeSpace, 100);
        QCOMPARE(small.sales->MinFreeSpace, 500);
        QVERIFY(!AppState::Get().DatabaseChanged);
    }

    void configFileIsAskedForOnceTheRowIsWritten()
    {
        Small small;
        ComputerDBJobExport job(small.db);
        JobArray clients;
        JobArray settings;
        TranslationArray translation;
        QStringList missing;
        job.ExportArrays(clients, settings, translation, [&](int row) {
            for (int column = 1; column <= 9; ++column) {
                if (!clients.Value(column, row).isValid())
                    missing << QStringLiteral("client %1 row %2").arg(column).arg(row);
            }
            for (int column = 1; column <= 24; ++column) {
                const bool joinColumn = column == 14 || column == 15;
                if (!joinColumn && !settings.Value(column, row).isValid())
                    missing << QStringLiteral("settings %1 row %2").arg(column).arg(row);
            }
            if (translation.At(row) < 0)
                missing << QStringLiteral("translation row %1").arg(row);
            return QByteArray("x");
        });
        QCOMPARE(missing, QStringList());
    }

    void emptyDatabaseLeavesTheArraysAlone()
    {
        ComputerDB db;
        Exported out;
        out.clients.Create(10, 2);
        out.clients.Cell(1, 1) = QStringLiteral("from before");
        out.translation.Create(2);
        AppState::Get().ExportComputerCount = 7;
        exportInto(db, out);
        QCOMPARE(AppState::Get().ExportComputerCount, 0);
        QCOMPARE(out.clients.Rows(), 2);
        QCOMPARE(out.clients.Value(1, 1), QVariant(QStringLiteral("from before")));
        QVERIFY(!out.settings.Exists());
        QCOMPARE(out.translation.Rows(), 2);
    }

    void noActiveComputerGivesNoRowsAndCountsAsEmpty()
    {
        ComputerDB db;
        makeSound(global(db));
        addComputer(db, QStringLiteral("PC-0"));
        addComputer(db, QStringLiteral("PC-1"));
        db.RemoveComputer(0);
        db.RemoveComputer(1);
        Exported out;
        out.clients.Create(10, 1);
        out.clients.Cell(1, 1) = QStringLiteral("from before");
        exportInto(db, out);
        QCOMPARE(AppState::Get().ExportComputerCount, 0);
        QVERIFY(out.clients.Exists());
        QVERIFY(out.settings.Exists());
        QVERIFY(out.translation.Exists());
        QCOMPARE(out.clients.Rows(), 0);
        QCOMPARE(out.settings.Rows(), 0);
        QCOMPARE(out.translation.Rows(), 0);
        QVERIFY(out.configRows.isEmpty());
    }

    void failureLeavesNoHalfJob()
    {
        Small small;
        ComputerDBJobExport job(small.db);
        JobArray clients;
        JobArray settings;
        TranslationArray translation;
        job.ExportArrays(clients, settings, translation, [](int row) {
            if (row == 3)
                modErrorHandler::Raise(5);
            return QByteArray("x");
        });
        QCOMPARE(m_presenter.count(), 1);
        QVERIFY(m_presenter.last().text.contains(QStringLiteral("ComputerDB.ExportArrays")));
        QCOMPARE(clients.Rows(), 0);
        QCOMPARE(settings.Rows(), 0);
        QCOMPARE(translation.Rows(), 0);
        QCOMPARE(AppState::Get().ExportComputerCount, 0);
        m_presenter.clear();
    }

    void runRefusesAJobWithoutActiveComputers()
    {
        EngineFixture fixture;
        auto engine = std::make_unique<FakeEngine>();
        FakeEngine *fake = engine.get();
        QXEInterface qxe(std::move(engine));
        QSignalSpy messages(&qxe, &QXEInterface::Message);

        ComputerDB db;
        makeSound(global(db));
        addComputer(db, QStringLiteral("PC-0"));
        db.RemoveComputer(0);
        ComputerDBJobExport job(db);
        qxe.Run(job);

        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.at(0).at(0).toInt(), int(QXEInterface::LevelWarning));
        QCOMPARE(messages.at(0).at(1).toString(), QStringLiteral("The migration list is empty."));
        QVERIFY(!fake->calls.contains(QStringLiteral("StartProcessing=")));
        QVERIFY(!AppState::Get().MigrationRunning);
    }

    // Through the console's own writer: each client's file reads back to
    // what its rows hold, key by key.
    void configFilesReadBackThroughRun()
    {
        EngineFixture fixture;
        auto engine = std::make_unique<FakeEngine>();
        QXEInterface qxe(std::move(engine));
        Small small;
        ComputerDBJobExport job(small.db);
        qxe.Run(job);
        QCOMPARE(qxe.Translation().Rows(), 4);

        const JobArray &clients = qxe.ClientArray();
        const JobArray &settings = qxe.SettingsArray();
        for (int row = 1; row <= 4; ++row) {
            const QVariantList file = clients.Value(10, row).toList().value(0).toList();
            QString plain;
            QString problem;
            QVERIFY2(modScramble::Descramble(file.value(1).toByteArray(), plain, &problem), qPrintable(problem));
            ClientConfig config;
            QVERIFY2(config.Parse(plain, &problem), qPrintable(problem));
            QCOMPARE(config.Value(QStringLiteral("COMPUTERNAME")), clients.Text(1, row));
            QCOMPARE(config.Value(QStringLiteral("KEY")), QString::number(row));
            QCOMPARE(config.Value(QStringLiteral("VARNODOM")), clients.Text(2, row));
            QCOMPARE(config.Value(QStringLiteral("OSKPASS")), clients.Text(7, row));
            QCOMPARE(config.Value(QStringLiteral("SOURCEUSER")), settings.Text(1, row));
            QCOMPARE(config.Value(QStringLiteral("SOURCESID")), settings.Text(5, row));
            QCOMPARE(config.Value(QStringLiteral("DESTUSER")), settings.Text(8, row));
            QCOMPARE(config.Value(QStringLiteral("JOINWORKGROUP")), settings.Text(14, row));
            QCOMPARE(config.Value(QStringLiteral("JOINDOMAIN")), settings.Text(15, row));
            QCOMPARE(config.Value(QStringLiteral("MINFREESPACE")), settings.Text(23, row));
            QCOMPARE(config.Value(QStringLiteral("CONSOLEIP")), QStringLiteral("127.0.0.1"));
        }
    }
};

QTEST_GUILESS_MAIN(TestComputerDBJobExport)
#include "tst_ComputerDBJobExport.moc"

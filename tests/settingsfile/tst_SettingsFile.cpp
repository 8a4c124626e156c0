#include "database/DatabaseChecks.h"

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "settingsfile/DatabaseSnapshot.h"
#include "database/MemoryTreeDisplay.h"
#include "settingsfile/SettingsFile.h"
#include "settingsfile/SettingsFileCodec.h"

#include "support/RecordingPresenter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString kPassphrase = QStringLiteral("Tr0ub4dor & 3");
const QStringList kPasswords = {QStringLiteral("Gl0bal-Admin-A"), QStringLiteral("Sales-Join!"), QStringLiteral("pc3-ädmin")};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Folders Europe(4) > Sales(0) > London(2), paris(3), with folder 1 removed;
// computers with ID 1 removed; a user list with a deleted entry and one
// emptied again; own settings on the root, Sales and two computers, one of
// them re-attached so that the table has a detached slot.
void fill(ComputerDB &db)
{
    const int sales = db.AddFolder(QStringLiteral("Sales"), -1);
    db.AddFolder(QStringLiteral("Temp"), -1);
    const int london = db.AddFolder(QStringLiteral("London"), sales);
    const int paris = db.AddFolder(QStringLiteral("paris"), sales);
    const int europe = db.AddFolder(QStringLiteral("Europe"), -1);
    db.MoveFolder(sales, europe);
    db.RemoveFolder(1);

    db.AddComputer(QStringLiteral("PC-0001"), QStringLiteral("pc-0001.corp.example"), london, -1);
    db.SetComputerOU(0, QStringLiteral("Europe\\Sales\\London"));
    db.AddComputer(QStringLiteral("PC-0002"), QString(), -1, -1);
    const int pc3 = db.AddComputer(QStringLiteral("pc-0003"), QString(), paris, -1);
    const int pc4 = db.AddComputer(QStringLiteral("PC-0004"), QString(), sales, -1);
    db.AddComputer(QStringLiteral("Zed"), QString(), -1, -1);
    db.RemoveComputer(1);
    WaveRecord pilot {QStringLiteral("Pilot"), QDateTime(QDate(2026, 12, 9), QTime(21, 0), Qt::UTC), 5, 10};
    db.AddWave(pilot);
    db.AddWave({QStringLiteral("Rest"), {}, 0, -1});
    db.SetComputerWave(pc4, QStringLiteral("pilot"));
    db.SetComputerEnabled(pc3, false);
    db.SetComputerDirectoryID(0, QStringLiteral("{0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0}"));

    UserProfilesPtr list = db.GetComputerUserList(0);
    list->AddUserToUser(QStringLiteral("jdoe"), QStringLiteral("john.doe"));
    list->AddUserToUser(QStringLiteral("amy"), QStringLiteral("amy.b"));
    list->AddUserToUser(QStringLiteral("kim"), QStringLiteral("kim.l"));
    list->DeleteUser(1);
    db.GetComputerUserList(pc3)->AddSIDToUser(QStringLiteral("S-1-5-21-7-8-9-1104"), QStringLiteral("eva"));
    db.GetComputerUserList(pc4)->AddAllUsers();
    db.GetComputerUserList(pc4)->DeleteUser(0);

    GlobalSettingsPtr global = db.GetSettings(QStringLiteral("G"), -1);
    global->SourceDomain = QStringLiteral("OLDCORP");
    global->SetUser(AdminA, QStringLiteral("migadmin"), kPasswords[0], QStringLiteral("NEWCORP"));
    GlobalSettingsPtr salesRecord = global->Clone();
    salesRecord->SetUser(DomainJoin, QStringLiteral("joiner"), kPasswords[1], QStringLiteral("NEWCORP"));
    salesRecord->MinFreeSpace = 4096;
    db.AddSettings(salesRecord, sales, QStringLiteral("F"));
    db.AddSettings(global->Clone(), pc3, QStringLiteral("C"));
    db.RemoveSettings(pc3, QStringLiteral("C"));
    GlobalSettingsPtr pc3Record = global->Clone();
    pc3Record->SetUser(AdminB, QStringLiteral("local"), kPasswords[2], LocalAccountDomain);
    db.AddSettings(pc3Record, pc3, QStringLiteral("C"));
    db.AddSettings(global->Clone(), 4, QStringLiteral("C"));
}

// Everything a user of the database can see, as text, after any breach of
// the database's own rules (lists, name index, counts).
QStringList describe(const ComputerDB &db, bool passwords)
{
    QStringList lines = DatabaseChecks::invariantViolations(db);
    lines << QStringLiteral("counts %1 %2 %3").arg(db.FolderCount()).arg(db.ComputerCount()).arg(db.GetComputerCount());
    auto settings = [&](const QString &type, int id) {
        QString source;
        const GlobalSettingsPtr record = db.GetEffectiveSettings(type, id, source);
        QString text = QStringLiteral(" from %1: %2 %3 %4").arg(source, record->SourceDomain).arg(record->MinFreeSpace).arg(record->Valid);
        for (int type = 0; type < UserTypeCount; ++type)
            text += QLatin1Char(' ') + record->GetFullUsername(type)
                + (passwords ? QLatin1Char('/') + record->account(type).Password : QString());
        return text;
    };
    lines << QStringLiteral("root") + settings(QStringLiteral("G"), -1);
    for (const WaveRecord &w : db.Waves().all())
        lines << QStringLiteral("wave %1 %2 %3 %4").arg(w.Name, w.NotBefore.toString(Qt::ISODate)).arg(w.Concurrency).arg(w.FailurePercent);
    for (int id = 0; id < db.FolderCount(); ++id) {
        const FolderRecord *f = db.Folders(id);
        lines << QStringLiteral("F%1 %2 '%3' in %4").arg(id).arg(f->Active).arg(f->Name).arg(f->ParentID)
                + (f->Active ? settings(QStringLiteral("F"), id) : QString());
    }
    for (int id = 0; id < db.ComputerCount(); ++id) {
        const ComputerRecord *c = db.Computers(id);
        QString line = QStringLiteral("C%1 %2 '%3' '%4' '%5' in %6").arg(id).arg(c->Active).arg(c->Name, c->DNSName, c->OU).arg(c->FolderID)
            + QStringLiteral(" wave '%1' id '%2'").arg(c->Wave, c->DirectoryID) + (c->Enabled ? QString() : QStringLiteral(" disabled"));
        if (c->Active) {
            line += settings(QStringLiteral("C"), id);
            const UserProfilesPtr users = db.GetComputerUserList(id);
            line += QStringLiteral(" list %1 %2 %3:").arg(users->GetType()).arg(users->GetMaxID()).arg(users->UserCapacity());
            for (int user = 0; user < users->GetMaxID(); ++user) {
                if (const std::optional<MigrationUsers> u = users->GetUser(user))
                    line += QStringLiteral(" %1=%2>%3%4")
                                .arg(user)
                                .arg(u->UseSIDFrom ? u->SIDFrom : u->UsernameFrom, u->UsernameTo)
                                .arg(u->UseSIDTo);
            }
        }
        lines << line;
    }
    return lines;
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;
    QTemporaryDir m_dir;
    QString path(const QString &name = QStringLiteral("job.vos.json")) const { return m_dir.filePath(name); }

    SettingsFile::SaveOptions options(const QString &passphrase = QString()) const
    {
        SettingsFile::SaveOptions save;
        save.JobName = QStringLiteral("Migration 7");
        save.Passphrase = passphrase;
        save.Cost = PasswordSealer::Cost::Minimum();
        return save;
    }

private Q_SLOTS:
    void init()
    {
        AppState::Reset();
        m_presenter.clear();
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void cleanup() { QCOMPARE(m_presenter.count(), 0); }

    void saveAndLoadReproduceTheDatabaseAndTheBytes_data()
    {
        QTest::addColumn<QString>("passphrase");
        QTest::newRow("passwords sealed") << kPassphrase;
        QTest::newRow("passwords left out") << QString();
    }

    void saveAndLoadReproduceTheDatabaseAndTheBytes()
    {
        QFETCH(QString, passphrase);
        ComputerDB saved;
        fill(saved);
        SettingsFile::SaveOptions save = options(passphrase);
        save.LastStatus = QMap<int, QString> {{0, QStringLiteral("CL")}, {1, QStringLiteral("removed")}, {2, QStringLiteral("NP")}};
        QVERIFY(SettingsFile().Save(saved, path(), save).ok());
        const QByteArray first = readAll(path());
        for (const QString &password : kPasswords) {
            QVERIFY(!first.contains(password.toUtf8()));
            QVERIFY(!first.contains(password.toUtf8().toBase64()));
        }

        ComputerDB loaded;
        loaded.AddComputer(QStringLiteral("Leftover"), QString(), -1, -1);
        AppState::Get().DatabaseChanged = true;
        SettingsFile file;
        const SettingsFileResult result = file.Load(path(), passphrase, loaded);
        QVERIFY2(result.ok(), qPrintable(result.Message));
        QCOMPARE(result.JobName, QStringLiteral("Migration 7"));
        QCOMPARE(result.PasswordsIncluded, !passphrase.isEmpty());
        // Only computers that exist have a status in the file.
        save.LastStatus->remove(1);
        QCOMPARE(result.LastStatus, save.LastStatus);
        QVERIFY(!AppState::Get().DatabaseChanged);

        QStringList expected = describe(saved, true);
        if (passphrase.isEmpty()) {
            for (const QString &password : kPasswords)
                expected.replaceInStrings(QLatin1Char('/') + password, QStringLiteral("/"));
        }
        QCOMPARE(describe(loaded, true), expected);

        // Saved again with the salt and cost of the file loaded: the same bytes.
        save.Cost.reset();
        QVERIFY(file.Save(loaded, path(QStringLiteral("again.vos.json")), save).ok());
        QCOMPARE(readAll(path(QStringLiteral("again.vos.json"))), first);
        // Another cost takes a new salt.
        if (!passphrase.isEmpty()) {
            save.Cost = PasswordSealer::Cost::Minimum();
            save.Cost->OpsLimit += 1;
            QVERIFY(file.Save(loaded, path(QStringLiteral("dearer.vos.json")), save).ok());
            QVERIFY(!readAll(path(QStringLiteral("dearer.vos.json"))).contains(first.mid(first.indexOf("\"salt\""), 40)));
        }
    }

    void largeDatabaseIsWrittenWholeOrNotAtAll()
    {
        // Enough lists that the file goes to the disk in pieces and the loader
        // fills them batch by batch beside the reading, with every kind of
        // list, deleted entries and texts of other alphabets among them.
        constexpr int computers = 3000;
        ComputerDB saved;
        const int folder = saved.AddFolder(QStringLiteral("Site"), -1);
        for (int c = 0; c < computers; ++c) {
            const int id = saved.AddComputer(QStringLiteral("WS%1").arg(c), QString(), c % 2 ? folder : -1, -1);
            const UserProfilesPtr list = saved.GetComputerUserList(id);
            if (c % 7 == 0) {
                list->AddAllUsers();
                continue;
            }
            for (int u = 0; u < 12; ++u) {
                const QString to = QStringLiteral("n\u00E9w%1.%2").arg(u).arg(c);
                if (c % 3 == 0)
                    list->AddSIDToUser(QStringLiteral("S-1-5-21-%1-%2").arg(c).arg(u), to);
                else
                    list->AddUserToUser(QStringLiteral("\u7528%1.%2").arg(u).arg(c), to);
            }
            list->DeleteUser(c % 12);
        }

        // The disk fills up at the second piece.
        writeAll(path(), "the old file\r\n");
        SettingsFile file;
        int pieces = 0;
        file.setWriteFaultHook([&](AtomicFileWriter::Step step) { return step != AtomicFileWriter::Step::Write || ++pieces < 2; });
        const SettingsFileResult full = file.Save(saved, path(), options());
        QVERIFY2(full.Message.contains(QLatin1String("cannot write the new contents: No space left on device")), qPrintable(full.Message));
        QCOMPARE(pieces, 2);
        QCOMPARE(readAll(path()), QByteArray("the old file\r\n"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {QStringLiteral("job.vos.json")});

        file.setWriteFaultHook({});
        QVERIFY(file.Save(saved, path(), options()).ok());
        ComputerDB loaded;
        const SettingsFileResult result = SettingsFile().Load(path(), QString(), loaded);
        QVERIFY2(result.ok(), qPrintable(result.Message));
        QCOMPARE(describe(loaded, false), describe(saved, false));

        // A mistake in one of the last lists still refuses the whole file.
        QByteArray bytes = readAll(path());
        const QByteArray entry = QStringLiteral("[1, \"\u7528%1.%2\"").arg(1).arg(computers - 1).toUtf8();
        QVERIFY(bytes.contains(entry));
        writeAll(path(), bytes.replace(entry, QStringLiteral("[2, \"\u7528%1.%2\"").arg(1).arg(computers - 1).toUtf8()));
        const SettingsFileResult refused = SettingsFile().Load(path(), QString(), loaded);
        QVERIFY2(refused.Message.endsWith(QStringLiteral("entry 2 is listed twice.")), qPrintable(refused.Message));
        QCOMPARE(describe(loaded, false), describe(saved, false));
    }

    void refusedFileLeavesTheDatabaseAsItWas_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("passphrase");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("words");

        ComputerDB db;
        fill(db);
        PasswordSealer sealer;
        sealer.Derive(kPassphrase, PasswordSealer::NewParameters(PasswordSealer::Cost::Minimum()));
        const QByteArray sealed = SettingsFileCodec::Encode(DatabaseSnapshot::Capture(db), &sealer);
        QTest::newRow("wrong passphrase") << sealed << QStringLiteral("Tr0ub4dor & 4") << int(SettingsFileResult::WrongPassphrase)
                                          << QString();
        QTest::newRow("no passphrase") << sealed << QString() << int(SettingsFileResult::PassphraseRequired) << QString();
        QTest::newRow("no file") << QByteArray() << QString() << int(SettingsFileResult::CannotRead)
                                 << QStringLiteral("The settings file \"%1\" cannot be read: ").arg(path());
        // Wrong only near the end, after every folder and computer has been read.
        QTest::newRow("damaged late") << QByteArray(sealed).replace("\"objectType\": \"C\"", "\"objectType\": \"X\"") << kPassphrase
                                      << int(SettingsFileResult::Damaged) << QString();
    }

    void refusedFileLeavesTheDatabaseAsItWas()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, passphrase);
        QFETCH(int, status);
        QFETCH(QString, words);
        if (!bytes.isNull())
            writeAll(path(), bytes);

        ComputerDB db;
        db.AddPath(QStringLiteral("Old\\Tree"));
        db.AddComputer(QStringLiteral("OLD-PC"), QString(), 1, -1);
        db.GetSettings(QStringLiteral("G"), -1)->SetUser(AdminA, QStringLiteral("keep"), QStringLiteral("me"), QString());
        const QStringList before = describe(db, true);
        AppState::Get().DatabaseChanged = true;

        const SettingsFileResult result = SettingsFile().Load(path(), passphrase, db);
        QCOMPARE(int(result.status), status);
        QVERIFY(result.Message.contains(QDir::toNativeSeparators(path())));
        QVERIFY2(result.Message.startsWith(words), qPrintable(result.Message));
        QCOMPARE(describe(db, true), before);
        QVERIFY(AppState::Get().DatabaseChanged);
    }

    // A file from elsewhere may hold a chain of groups as deep as its IDs
    // allow: it loads, shows as a tree and can be removed, all without
    // recursion. The codec's limits on IDs and texts are in its own test.
    void deepChainOfGroupsLoadsAndShowsAsATree()
    {
        DatabaseSnapshot chain = DatabaseSnapshot::Capture(ComputerDB());
        constexpr int depth = 60000;
        for (int id = 0; id < depth; ++id)
            chain.Folders.append({id, QStringLiteral("G%1").arg(id), id - 1});
        chain.NextFolderID = depth;
        writeAll(path(), SettingsFileCodec::Encode(chain, nullptr));

        ComputerDB db;
        const SettingsFileResult result = SettingsFile().Load(path(), QString(), db);
        QVERIFY2(result.ok(), qPrintable(result.Message));
        MemoryTreeDisplay tree;
        tree.resetWithRoot();
        db.LinkTreeView(&tree, ComputerDB::DefaultComputerIcon, ComputerDB::DefaultFolderIcon, nullptr);
        int shown = 0;
        for (QString key = modGeneral::FolderKey(depth - 1); key != modGeneral::RootKey; key = tree.parentKey(key))
            ++shown;
        QCOMPARE(shown, depth);
        QCOMPARE(db.CountCustomBelow(modGeneral::FolderKey(0), false), 0);
        db.UnlinkTreeView();
        db.RemoveFolder(0);
        QCOMPARE(db.GetFolderCount(), 0);
    }

    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("failingStep");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("spoil");
        const QString job = QStringLiteral("job.vos.json");
        // A full disk: see the large database.
        QTest::newRow("flush") << job << int(AtomicFileWriter::Step::Sync) << QStringLiteral("cannot flush the new contents") << 0;
        QTest::newRow("rename") << job << int(AtomicFileWriter::Step::Rename) << QStringLiteral("cannot replace the file") << 0;
        QTest::newRow("onto a folder") << QStringLiteral("folder") << -1 << QStringLiteral("a folder has that name") << 0;
        QTest::newRow("into nowhere") << QStringLiteral("missing/job.vos.json") << -1 << QStringLiteral("cannot create a file in") << 0;
        // Loading would refuse it.
        QTest::newRow("job name too long") << job << -1 << QStringLiteral(": jobName is longer than 32767 bytes") << 1;
        QTest::newRow("DNS name too long") << job << -1 << QStringLiteral(": computers[4] (BIG).dnsName is longer than 32767 bytes")
                                           << 2;
        QTest::newRow("user name too long") << job << -1 << QStringLiteral(": computers[0] (PC-0001).userList entry 3 is longer") << 3;
        QTest::newRow("too many user IDs") << job << -1
                                           << QStringLiteral(": the user list of computers[3] (Zed) has handed out more than 65536 IDs") << 4;
        QTest::newRow("password too long to seal") << job << -1
                                                   << QStringLiteral(": settings[0].accounts.AdminA.password is longer than 24527 bytes") << 5;
    }

    void failedSaveKeepsTheOldFile()
    {
        QFETCH(QString, name);
        QFETCH(int, failingStep);
        QFETCH(QString, reason);
        writeAll(path(), "the old file\r\n");
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
        ComputerDB db;
        fill(db);
        SettingsFile file;
        file.setWriteFaultHook([&](AtomicFileWriter::Step step) { return int(step) != failingStep; });

        QFETCH(int, spoil);
        SettingsFile::SaveOptions refused = options(spoil == 5 ? kPassphrase : QString());
        const QString tooLong(32768, u'j');
        if (spoil == 1)
            refused.JobName = tooLong;
        else if (spoil == 2)
            db.AddComputer(QStringLiteral("BIG"), QString(1 << 20, u'd'), -1, -1);
        else if (spoil == 3)
            db.GetComputerUserList(0)->AddUserToUser(tooLong, QStringLiteral("b"));
        else if (spoil == 4)
            db.GetComputerUserList(4)->RestoreList(ListUserToUser, 65537);
        else if (spoil == 5)
            db.GetSettings(QStringLiteral("G"), -1)->SetUser(AdminA, QStringLiteral("a"), QString(24528, u'p'), QString());
        const SettingsFileResult result = file.Save(db, path(name), refused);
        QCOMPARE(result.status, SettingsFileResult::CannotWrite);
        QVERIFY2(result.Message.startsWith(QStringLiteral("The settings file \"%1\" could not be saved: ").arg(path(name))),
            qPrintable(result.Message));
        QVERIFY2(result.Message.contains(reason), qPrintable(result.Message));
        QCOMPARE(readAll(path()), QByteArray("the old file\r\n"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {QStringLiteral("job.vos.json")});

        if (spoil != 0)
            return;
        // Only the flush of the folder may fail without failing the save.
        file.setWriteFaultHook([](AtomicFileWriter::Step step) { return step != AtomicFileWriter::Step::SyncFolder; });
        QVERIFY(file.Save(db, path(), options()).ok());
    }

    // A save killed half way leaves a temporary file as large as the file;
    // the next save of that file removes such files and nothing else, and
    // loading never takes one for the file, not even when it is missing.
    void nextSaveRemovesWhatKilledSavesLeft()
    {
        ComputerDB db;
        fill(db);
        SettingsFile file;
        SettingsFile::SaveOptions other = options();
        other.JobName = QStringLiteral("Left over");
        QVERIFY(file.Save(db, path(QStringLiteral("other")), other).ok());
        const QByteArray leftover = readAll(path(QStringLiteral("other")));
        const QStringList killed {QStringLiteral(".job.vos.json.a1B2c3"), QStringLiteral(".job.vos.json.ZZZZZZ")};
        for (const QString &name : killed)
            writeAll(path(name), leftover);
        const QStringList kept {QStringLiteral(".job.vos.json.a1B2c"), QStringLiteral(".job.vos.json.a1B2c34"),
            QStringLiteral(".job.vos.json.a1-2c3"), QStringLiteral(".jobXvos.json.a1B2c3"), QStringLiteral("job.vos.json.a1B2c3"),
            QStringLiteral(".job.vos.json.a1B2c3.bak"), QStringLiteral(".other.a1B2c3"), QStringLiteral(".job.vos.json.busy12")};
        for (const QString &name : kept)
            writeAll(path(name), leftover);
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral(".job.vos.json.dir123")));
        QVERIFY(QFile::link(path(QStringLiteral("other")), path(QStringLiteral(".job.vos.json.link12"))));
        // Another console's save at work holds its file locked.
        const int busy = ::open(QFile::encodeName(path(QStringLiteral(".job.vos.json.busy12"))).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(busy >= 0 && ::flock(busy, LOCK_EX) == 0);

        ComputerDB loaded;
        QCOMPARE(file.Load(path(), QString(), loaded).status, SettingsFileResult::CannotRead);
        QVERIFY(file.Save(db, path(), options()).ok());
        ::close(busy);
        const SettingsFileResult result = file.Load(path(), QString(), loaded);
        QVERIFY(result.ok());
        QCOMPARE(result.JobName, QStringLiteral("Migration 7"));
        for (const QString &name : killed)
            QVERIFY2(!QFileInfo::exists(path(name)), qPrintable(name));
        for (const QString &name : kept + QStringList {QStringLiteral(".job.vos.json.dir123"), QStringLiteral(".job.vos.json.link12")})
            QVERIFY2(QFileInfo::exists(path(name)), qPrintable(name));
        QCOMPARE(readAll(path(QStringLiteral("other"))), leftover);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_SettingsFile.moc"

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "database/MemoryTreeDisplay.h"
#include "import/UserFileImport.h"
#include "import/UserFileReader.h"
#include "import/UserLineParser.h"
#include "import/modImport.h"

#include "support/RecordingPresenter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace modImport;

namespace {

// "PC1" holds user -> user entries for "Bob" and "kim", "ALLPC" an all-users entry.
void fill(ComputerDB &db)
{
    db.Clear();
    const UserProfilesPtr pc1 = db.GetComputerUserList(db.AddComputer(QStringLiteral("PC1"), QString(), -1, -1));
    pc1->AddUserToUser(QStringLiteral("old"), QStringLiteral("Bob"));
    pc1->AddUserToUser(QStringLiteral("old2"), QStringLiteral("kim"));
    db.GetComputerUserList(db.AddComputer(QStringLiteral("ALLPC"), QString(), -1, -1))->AddAllUsers();
    AppState::Get().DatabaseChanged = false;
}

// Each computer with its list: "PC1[1:old>Bob]".
QString outline(const ComputerDB &db)
{
    QString text;
    for (int id = 0; id < db.ComputerCount(); ++id) {
        const UserProfilesPtr list = db.GetComputerUserList(id);
        text += db.GetComputerName(id) + QStringLiteral("[%1:").arg(list->GetType());
        for (int user = 0; user < list->GetMaxID(); ++user) {
            const MigrationUsers entry = *list->GetUser(user);
            text += (entry.UseSIDFrom ? entry.SIDFrom : entry.UsernameFrom) + QLatin1Char('>') + entry.UsernameTo + QLatin1Char(' ');
        }
        text += QLatin1Char(']');
    }
    return text;
}

} // namespace

class TestUserFileImport : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;
    QTemporaryDir m_dir;

    QString write(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("users.csv"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }

private Q_SLOTS:
    void init() { AppState::Reset(); }
    void cleanup() { m_presenter.clear(); }

    void lineCodes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("checked");
        QTest::addColumn<int>("added");

        QTest::newRow("three fields, blanks trimmed, name in any case") << 1 << " pc1 , ann , Ann " << 0 << 0;
        QTest::newRow("trailing comma") << 1 << "PC1,ann,ann," << 0 << 0;
        QTest::newRow("fourth field") << 1 << "PC1,ann,ann,x" << 1 << 1;
        QTest::newRow("computers only, second field") << 3 << "PC1,ann" << 1 << 1;
        QTest::newRow("all users, empty fields after") << 4 << "NEWPC,," << 0 << 0;
        QTest::newRow("blanks only") << 1 << "   " << 12 << 12;
        QTest::newRow("new computer, bad name") << 3 << "BAD NAME!" << 12 << 12;
        QTest::newRow("two fields") << 1 << "PC1,ann" << 14 << 14;
        QTest::newRow("no source") << 1 << "PC1, ,ann" << 4 << 4;
        QTest::newRow("no destination") << 2 << "PC1,S-1-5,," << 4 << 4;
        QTest::newRow("bad source user") << 1 << "PC1,a/b,ann" << 6 << 6;
        QTest::newRow("source not a SID") << 2 << "PC1,ann,ann" << 16 << 16;
        QTest::newRow("SID") << 2 << "NEWPC,S-1-5-21-7,ann" << 0 << 0;
        QTest::newRow("SID longer than a file keeps") << 2 << "PC1,S-" + QString(32767, u'1') + ",ann" << 17 << 17;
        QTest::newRow("bad destination") << 1 << "PC1,ann,a=b" << 13 << 13;
        QTest::newRow("destination taken, other case") << 1 << "PC1,ann,BOB" << 0 << 15;
        // The Kelvin sign folds to "k": no shortcut for ASCII names may miss it.
        QTest::newRow("destination taken, Kelvin sign") << 1 << "PC1,ann,\u212Aim" << 0 << 15;
        QTest::newRow("SID beside user entries") << 2 << "PC1,S-1-5,ann" << 0 << 5;
        QTest::newRow("user beside all users") << 1 << "ALLPC,ann,ann" << 0 << 5;
        QTest::newRow("second all-users entry") << 4 << "ALLPC" << 0 << 5;
    }

    void lineCodes()
    {
        QFETCH(int, type);
        QFETCH(QString, line);
        QFETCH(int, checked);
        QFETCH(int, added);
        ComputerDB db;
        fill(db);
        const QString before = outline(db);
        UserLineParser parser(db, type);
        QCOMPARE(parser.ParseUserLine(line, true), checked);
        QCOMPARE(outline(db), before);
        parser.Reset();
        QCOMPARE(parser.ParseUserLine(line, false), added);
        QCOMPARE(outline(db) != before, added == 0);
        QCOMPARE(m_presenter.count(), 0);
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");

        QTest::newRow("UTF-8") << QByteArray("Jos\xC3\xA9") << QStringLiteral("José");
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBFJos\xC3\xA9") << QStringLiteral("José");
        QTest::newRow("ANSI") << QByteArray("Jos\xE9 \x80") << QStringLiteral("José €");
        QTest::newRow("ANSI after a BOM") << QByteArray("\xEF\xBB\xBF\xE9") << QStringLiteral("é");
    }

    void decoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(UserFileReader::Decode(bytes), text);
    }

    // A failed check changes nothing; a line refused while importing keeps
    // the lines before and after it. Line numbers count every line.
    void importFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<UserFileImport::Status>("status");
        QTest::addColumn<QString>("errorText");
        QTest::addColumn<QString>("after"); // empty: as before
        QTest::newRow("check failed") << QByteArray("NEWPC,ann,ann\r\nPC1,x,y\r\nPC1,a,b,c\r\nPC1,ann,ann\r\n")
                                      << UserFileImport::Status::CheckFailed << "Error on line 3: Too many fields of data found.\r\n"
                                      << "";
        // LF and CR LF mixed, a line of only a CR, a line of blanks, no final break.
        QTest::newRow("line numbers") << QByteArray("\xEF\xBB\xBF\nPC1,x,y\r\n\r\n  \nPC1,z,w,v") << UserFileImport::Status::CheckFailed
                                      << ErrorLine(4, BadComputerName) + ErrorLine(5, TooManyFields) << "";
        QTest::newRow("partly imported") << QByteArray("NEWPC,ann,jos\xE9\nNEWPC,bea,JOS\xC9\nPC1,carl,dora\n")
                                         << UserFileImport::Status::PartlyImported
                                         << "Error on line 2: Duplicate destination username. This line has not been imported.\r\n"
                                         << "PC1[1:old>Bob old2>kim carl>dora ]ALLPC[5:*ALL>*ALL ]NEWPC[1:ann>josé ]";
        // Past what a settings file keeps for one list: the check stops there.
        QByteArray full;
        for (int n = 0; n <= 65536; ++n)
            full += "BIGPC,u" + QByteArray::number(n) + ",n" + QByteArray::number(n) + "\n";
        QTest::newRow("list full") << full + "PC1,a,b,c\n" << UserFileImport::Status::CheckFailed << ErrorLine(65537, ListFull) << "";
        // The first thousand errors are listed, the rest counted.
        QString listed;
        for (int line = 1; line <= ListedErrors; ++line)
            listed += ErrorLine(line, TooManyFields);
        QTest::newRow("many errors") << QByteArray("PC1,a,b,c\n").repeated(ListedErrors + 5) << UserFileImport::Status::CheckFailed
                                     << listed + MoreErrorsLine(5) << "";
    }

    void importFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(UserFileImport::Status, status);
        QFETCH(QString, errorText);
        QFETCH(QString, after);
        ComputerDB db;
        fill(db);
        const QString before = outline(db);
        const UserFileImport::Result result = UserFileImport::ImportUserFile(db, write(bytes), UserToUser);
        QCOMPARE(result.status, status);
        QCOMPARE(result.errorText, errorText);
        QCOMPARE(outline(db), after.isEmpty() ? before : after);
        QCOMPARE(AppState::Get().DatabaseChanged, !after.isEmpty());
    }

    void manyNewComputersUnlinkTheTree()
    {
        ComputerDB db;
        fill(db);
        MemoryTreeDisplay tree;
        tree.resetWithRoot();
        db.LinkTreeView(&tree, 24, 3, nullptr);
        const auto names = [](const char *prefix, int count) {
            QByteArray lines;
            for (int i = 0; i < count; ++i)
                lines += prefix + QByteArray::number(i) + "\n";
            return lines;
        };
        const int limit = UserFileImport::UnlinkTreeAbove;
        QCOMPARE(UserFileImport::ImportUserFile(db, write(names("A", limit)), ComputersOnly).status, UserFileImport::Status::Imported);
        QVERIFY(db.IsLinked());
        QCOMPARE(tree.childCount(modGeneral::RootKey), limit + 2);
        QCOMPARE(UserFileImport::ImportUserFile(db, write(names("B", limit + 1)), ComputersOnly).status, UserFileImport::Status::Imported);
        QVERIFY(!db.IsLinked());
        QCOMPARE(db.GetComputerCount(), 2 * limit + 3);
    }

    void unreadableFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");

        QTest::newRow("device") << QStringLiteral("/dev/zero")
                                << QStringLiteral("'/dev/zero' is not a file. Please choose a CSV file to import.");
        QTest::newRow("missing") << QStringLiteral("/nonexistent/users.csv") << QString();
        QTest::newRow("too large") << QStringLiteral("big") << QStringLiteral("is larger than 256 MB");
    }

    void unreadableFiles()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        if (path == QLatin1String("big")) {
            path = m_dir.filePath(path);
            QFile file(path);
            // Sparse: no disk space taken.
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(UserFileReader::MaxFileBytes + 1));
        }
        ComputerDB db;
        fill(db);
        QCOMPARE(UserFileImport::ImportUserFile(db, path, ComputersOnly).status, UserFileImport::Status::NotRead);
        QCOMPARE(m_presenter.count(), 1);
        if (message.isEmpty())
            QCOMPARE(m_presenter.last().caption, QStringLiteral("Unexpected Error"));
        else
            QVERIFY2(m_presenter.last().text.contains(message), qPrintable(m_presenter.last().text));
    }
};

QTEST_GUILESS_MAIN(TestUserFileImport)
#include "tst_UserFileImport.moc"

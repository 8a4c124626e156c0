#include "SlapdServer.h"

#include "common/ProgressBarLink.h"
#include "common/ProgressWindow.h"
#include "database/ComputerDB.h"
#include "database/MemoryTreeDisplay.h"
#include "import/ADComputerImport.h"
#include "import/ADSImportInput.h"
#include "import/modImportADS.h"
#include "support/RecordingPresenter.h"
#include "support/TestRegistry.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

#include <functional>

using Security = DirectoryClient::Security;

namespace {

const QString InvalidCredentials = QStringLiteral("Invalid username or password given. Please try again.");
const QString NotContacted = QStringLiteral("The server name entered is incorrect or the server could not be contacted.");
const QString CertificateRefused = QStringLiteral("The server's certificate could not be verified");
const QString ConfirmCancel = QStringLiteral("Are you sure you would like to cancel?");
const QString TlsRefused = QStringLiteral("The server refused StartTLS, so no connection was made.");
const QString CutShort = QStringLiteral("The server ended the read at its size or time limit");

// Computers of the test directory: more than a search may return at once,
// in nested units, one unit with a comma in its name, some directly below
// the suffix.
struct Population
{
    QString prefix;
    QStringList units;
    int count;
};
const Population kPopulation[] = {
    {QStringLiteral("EUS"), {QStringLiteral("Europe"), QStringLiteral("Sales")}, 500},
    {QStringLiteral("EU"), {QStringLiteral("Europe")}, 400},
    {QStringLiteral("AMS"), {QStringLiteral("America"), QStringLiteral("Sales, North")}, 250},
    {QStringLiteral("TOP"), {}, 60},
};
constexpr int kNamedComputers = 1210;

QString computerName(const QString &prefix, int n)
{
    return prefix + QStringLiteral("-%1").arg(n, 4, 10, QLatin1Char('0'));
}

// A progress window that only records, and presses Cancel when told.
class FakeWindow final : public ProgressWindow
{
public:
    void Show() override { }
    void Close() override { }
    void Clear() override { }
    void SetMainInfo(const QString &, bool) override { }
    void SetMessage(const QString &text) override
    {
        if (onMessage)
            onMessage(text);
    }

    void SetMax(int) override { }
    void SetValue(int) override { }
    bool CancelVal() const override { return cancel; }
    void ResetCancel() override { cancel = false; }

    bool cancel = false;
    std::function<void(const QString &)> onMessage;
};

int rowsIn(const QString &message)
{
    return message.startsWith(QLatin1String("Importing computer ")) ? message.mid(19).toInt() : 0;
}

// The group path of a computer's folder, outermost first.
QString folderPath(const ComputerDB &database, int computerID)
{
    QStringList names;
    for (int folder = database.Computers(computerID)->FolderID; folder >= 0; folder = database.Folders(folder)->ParentID)
        names.prepend(database.Folders(folder)->Name);
    return names.join(QLatin1Char('\\'));
}

} // namespace

class tst_ADComputerImport : public QObject
{
    Q_OBJECT

private:
    DirectoryClient::Server server(Security mode = Security::Plain) const
    {
        DirectoryClient::Server server;
        server.Name = QStringLiteral("127.0.0.1");
        server.Mode = mode;
        server.Port = mode == Security::LDAPS ? m_slapd.tlsPort() : m_slapd.port();
        server.CAFile = m_slapd.caFile();
        server.User = QLatin1String(SlapdServer::User);
        server.Domain = QStringLiteral("CORP");
        server.Password = QLatin1String(SlapdServer::Password);
        server.TimeoutSeconds = 3;
        return server;
    }

    // A database holding one computer that the directory has too, in a
    // group of its own.
    static void addExisting(ComputerDB &database)
    {
        const int group = database.AddFolder(QStringLiteral("Mine"), -1);
        database.AddComputer(QStringLiteral("eus-0007"), QStringLiteral("kept.example"), group, -1);
    }

    TestRegistry m_registry;
    SlapdServer m_slapd;
    SlapdServer m_withoutTls {false};

private Q_SLOTS:
    void initTestCase()
    {
        QByteArray ldif;
        QStringList made;
        for (const Population &population : kPopulation) {
            ldif += SlapdServer::unitEntries(population.units, made);
            for (int n = 1; n <= population.count; ++n)
                ldif += SlapdServer::computerEntry(computerName(population.prefix, n), population.units);
        }
        // One entry with the binary GUID of a Windows directory as well.
        ldif.replace(
            "cn: TOP-0060\n", "cn: TOP-0060\nobjectGUID:: " + QByteArray::fromHex("0102030405060708090a0b0c0d0e0f10").toBase64() + '\n');
        // A computer object without a name: skipped.
        ldif += QByteArray("dn: dNSHostName=nameless.corp.example,") + SlapdServer::Suffix
            + "\nobjectClass: computer\ndNSHostName: nameless.corp.example\n\n";
        // Two that no settings file could keep or no client take: left out, and named.
        ldif += "dn: cn=BIG-DNS," + QByteArray(SlapdServer::Suffix) + "\nobjectClass: computer\ncn: BIG-DNS\ndNSHostName: "
            + QByteArray(1 << 20, 'd') + "\n\n";
        ldif += "dn: description=escape," + QByteArray(SlapdServer::Suffix) + "\nobjectClass: computer\ndescription: escape\ncn:: "
            + QByteArray("PC\x1b[2J1").toBase64() + "\n\n";
        QVERIFY2(m_slapd.start(ldif), qPrintable(m_slapd.error()));
        QVERIFY2(m_withoutTls.start(QByteArray()), qPrintable(m_withoutTls.error()));
    }

    void inputChecks_data()
    {
        QTest::addColumn<QStringList>("entries"); // server, user, domain, port
        QTest::addColumn<int>("focus");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, const QStringList &entries, ADSImportInput::Field focus, const QString &message) {
            QTest::newRow(name) << entries << int(focus) << message;
        };
        // clang-format off
        row("all empty: server first", {"", "", "", ""}, ADSImportInput::ServerField, "You must enter the name of your Active Directory server.");
        row("no user before a bad server", {"dc:1", "", "CORP", ""}, ADSImportInput::UserField, "You must enter a username. Please try again.");
        row("no domain", {"dc1", "jo", "", ""}, ADSImportInput::DomainField, "You must enter the user's domain name.");
        row("server with a port", {"dc1:389", "jo", "CORP", ""}, ADSImportInput::ServerField, "The server name entered contains invalid characters.");
        row("user with a backslash", {"dc1", "CORP\\jo", "CORP", ""}, ADSImportInput::UserField, "The username entered contains invalid characters.");
        row("domain with a slash", {"dc1", "jo", "CO/RP", ""}, ADSImportInput::DomainField, "The domain name entered contains invalid characters.");
        row("port out of range", {"dc1", "jo", "CORP", "65536"}, ADSImportInput::PortField, "The port must be a number from 1 to 65535, or empty for the usual port.");
        row("a DN as user", {"dc1", "uid=jo,ou=People,dc=corp,dc=example", "CORP", "636"}, ADSImportInput::NoField, QString());
        // clang-format on
    }

    void inputChecks()
    {
        QFETCH(QStringList, entries);
        QFETCH(int, focus);
        QFETCH(QString, message);
        ADSImportInput input;
        input.Server = entries.at(0);
        input.User = entries.at(1);
        input.Domain = entries.at(2);
        input.Port = entries.at(3);
        const ADSImportInput::Problem problem = input.DoInputChecks();
        QCOMPARE(int(problem.Focus), focus);
        QCOMPARE(problem.Message, message);
    }

    void parseOUPath_data()
    {
        QTest::addColumn<QString>("adsPath");
        QTest::addColumn<QString>("path");
        // clang-format off
        QTest::newRow("nested, outermost first") << "LDAP://dc1/CN=PC1,OU=Sales,OU=Europe,DC=corp,DC=example" << "Europe\\Sales";
        QTest::newRow("no unit") << "LDAP://dc1/CN=PC1,CN=Computers,DC=corp,DC=example" << "";
        QTest::newRow("lower case") << "LDAP://dc1/cn=PC1,ou=Sales,ou=Europe,dc=corp" << "Europe\\Sales";
        QTest::newRow("escaped comma") << "LDAP://dc1/CN=PC1,OU=Sales\\, North,DC=corp" << "Sales, North";
        QTest::newRow("hex escape ending a unit") << "LDAP://dc1/CN=PC1,OU=Sales\\2C,OU=Europe\\C3\\A9,DC=corp" << "Europe\u00e9\\Sales,";
        QTest::newRow("comma in the computer's name") << "LDAP://dc1/CN=PC\\,1,OU=A,DC=corp" << "A";
        QTest::newRow("no server part") << "LDAP://CN=PC1,OU=A,OU=B,DC=corp" << "B\\A";
        QTest::newRow("server with port") << "LDAP://dc1:389/CN=PC1,OU=A,DC=corp" << "A";
        QTest::newRow("OU= inside another value") << "LDAP://dc1/CN=MYOU=1,OU=A,DC=corp" << "A";
        QTest::newRow("not an LDAP path") << "GC://dc1/CN=PC1,OU=A,DC=corp" << "";
        QTest::newRow("prefix only") << "LDAP://" << "";
        // clang-format on
    }

    void parseOUPath()
    {
        QFETCH(QString, adsPath);
        QFETCH(QString, path);
        QCOMPARE(modImportADS::ParseOUPath(adsPath), path);
    }

    void importsEveryComputer_data()
    {
        QTest::addColumn<Security>("mode");
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("allUsers");
        QTest::newRow("plain, user found by name") << Security::Plain << QString() << true;
        QTest::newRow("StartTLS") << Security::StartTLS << QString() << false;
        QTest::newRow("LDAPS, user as a DN") << Security::LDAPS << QStringLiteral("uid=importer,ou=People,dc=corp,dc=example") << false;
    }

    void importsEveryComputer()
    {
        QFETCH(Security, mode);
        QFETCH(QString, user);
        QFETCH(bool, allUsers);
        RecordingPresenter presenter;
        ComputerDB database;
        addExisting(database);
        MemoryTreeDisplay tree;
        tree.resetWithRoot();
        database.LinkTreeView(&tree, ComputerDB::DefaultComputerIcon, ComputerDB::DefaultFolderIcon, nullptr);
        DirectoryClient::Server target = server(mode);
        if (!user.isEmpty())
            target.User = user;

        ADComputerImport import;
        FakeWindow window;
        ProgressBarLink progress;
        progress.LinkForm(&window);
        QCOMPARE(import.AddADComputers(target, database, &progress, false, allUsers), int(ADComputerImport::Success));
        QCOMPARE(presenter.count(), 1);
        for (const char *refused : {"2 computers of the directory were not imported:", "\rBIG-DNS: its DNS name is longer than 32767 bytes.",
                 "\rPC<U+001B>[2J1: its name contains the character U+001B, which cannot be passed to the client computers."})
            QVERIFY2(presenter.last().text.contains(QLatin1String(refused)), qPrintable(presenter.last().text));
        QCOMPARE(import.CountsText(), QStringLiteral("Added %1 computers and %2 groups; 1 computer was already there.")
                                          .arg(kNamedComputers - 1).arg(database.FolderCount() - 1));
        // With all users the one already there is offered the entry too.
        presenter.setNextAnswer(Presenter::Yes);
        QCOMPARE(import.ReportAndOffer(database, allUsers, nullptr), allUsers ? 1 : 0);
        QCOMPARE(presenter.last().buttons, allUsers ? Presenter::Buttons::YesNo : Presenter::Buttons::Ok);

        // Every named computer once; the one the database had stays where it was.
        QCOMPARE(database.GetComputerCount(), kNamedComputers);
        QCOMPARE(import.AddedCount(), kNamedComputers - 1);
        const int kept = database.FindComputer(QStringLiteral("EUS-0007"));
        QCOMPARE((QStringList {folderPath(database, kept), database.Computers(kept)->DNSName, database.Computers(kept)->Name}),
            (QStringList {"Mine", "kept.example", "eus-0007"}));

        for (const auto &[name, path] :
            {std::pair {"EUS-0500", "Europe\\Sales"}, {"EU-0400", "Europe"}, {"AMS-0250", "America\\Sales, North"}, {"TOP-0060", ""}})
            QCOMPARE(folderPath(database, database.FindComputer(QString::fromLatin1(name))), QString::fromLatin1(path));
        const int sales = database.FindComputer(QStringLiteral("EUS-0500"));
        QCOMPARE(database.Computers(sales)->DNSName, QStringLiteral("eus-0500.corp.example"));

        // The tree was rebuilt with everything in it, and is linked again.
        QVERIFY(database.IsLinked());
        QCOMPARE(tree.computerKeysInOrder().size(), kNamedComputers);
        QCOMPARE(tree.text(modGeneral::ComputerKey(sales)), QStringLiteral("EUS-0500"));

        const UserProfilesPtr list = database.GetComputerUserList(sales);
        QCOMPARE(list->GetUserCount(), allUsers ? 1 : 0);
        QCOMPARE(database.GetComputerUserList(kept)->GetUserCount(), allUsers ? 1 : 0);
    }

    // Each computer comes with the directory's identity of it, entryUUID or
    // objectGUID. A computer the database has under an older name is found
    // by it and renamed, not added a second time.
    void reimportFindsRenamedComputersByIdentity()
    {
        RecordingPresenter presenter;
        ComputerDB database;
        addExisting(database);
        ADComputerImport import;
        QCOMPARE(import.AddADComputers(server(Security::Plain), database, nullptr, false, false), int(ADComputerImport::Success));
        const int kept = database.FindComputer(QStringLiteral("EUS-0007"));
        const int sales = database.FindComputer(QStringLiteral("EUS-0500"));
        const QString keptID = database.Computers(kept)->DirectoryID;
        QVERIFY2(
            QRegularExpression(QStringLiteral("^[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}$")).match(keptID).hasMatch(), qPrintable(keptID));
        QVERIFY(database.Computers(sales)->DirectoryID != keptID);
        QCOMPARE(database.Computers(database.FindComputer(QStringLiteral("TOP-0060")))->DirectoryID,
            QStringLiteral("{04030201-0605-0807-090a-0b0c0d0e0f10}"));

        QVERIFY(database.RenameComputer(sales, QStringLiteral("OLD-0500")));
        database.SetComputerDirectoryID(kept, QString());
        QCOMPARE(import.AddADComputers(server(Security::Plain), database, nullptr, false, false), int(ADComputerImport::Success));
        QCOMPARE(database.GetComputerCount(), kNamedComputers);
        QCOMPARE(database.FindComputer(QStringLiteral("EUS-0500")), sales);
        QCOMPARE(database.Computers(kept)->DirectoryID, keptID);
        QCOMPARE(import.CountsText(),
            QStringLiteral("Added 0 computers and 0 groups; %1 computers were already there. Renamed 1 computer "
                           "as the directory names it now: OLD-0500 is now EUS-0500.")
                .arg(kNamedComputers));
    }

    void failureAddsNothing_data()
    {
        QTest::addColumn<Security>("mode");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("otherCa");
        QTest::addColumn<bool>("test");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        const QString user = QLatin1String(SlapdServer::User);
        const QString password = QLatin1String(SlapdServer::Password);
        const QString userDN = QStringLiteral("uid=importer,ou=People,dc=corp,dc=example");
        const auto row = [](const char *name, Security mode, const char *target, const QString &user, const QString &password, bool otherCa,
                             bool test, int result, const QString &message) {
            QTest::newRow(name) << mode << QString::fromLatin1(target) << user << password << otherCa << test << result << message;
        };
        // clang-format off
        row("connection test", Security::Plain, "slapd", user, password, false, true, 0, QString());
        row("wrong password", Security::Plain, "slapd", user, "wrong", false, false, 1, InvalidCredentials);
        row("wrong password, DN", Security::Plain, "slapd", userDN, "wrong", false, false, 1, InvalidCredentials);
        row("unknown user", Security::Plain, "slapd", "nobody", password, false, true, 1, InvalidCredentials);
        row("closed port", Security::Plain, "closed", user, password, false, false, 2, NotContacted);
        row("silent listener", Security::Plain, "silent", user, password, false, false, 2, NotContacted);
        row("silent listener, LDAPS", Security::LDAPS, "silent", user, password, false, false, 2, NotContacted);
        row("wrong CA, StartTLS", Security::StartTLS, "slapd", user, password, true, false, 3, CertificateRefused);
        row("wrong CA, LDAPS", Security::LDAPS, "slapd", user, password, true, true, 3, CertificateRefused);
        row("StartTLS refused", Security::StartTLS, "no TLS", user, password, false, true, 3, TlsRefused);
        row("limit on all pages", Security::Plain, "slapd", SlapdServer::LimitedUser, password, false, false, 3, CutShort);
        // clang-format on
    }

    void failureAddsNothing()
    {
        QFETCH(Security, mode);
        QFETCH(QString, target);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, otherCa);
        QFETCH(bool, test);
        QFETCH(int, result);
        QFETCH(QString, message);
        RecordingPresenter presenter;
        ComputerDB database;
        addExisting(database);

        DirectoryClient::Server directory = server(mode);
        directory.User = user;
        directory.Password = password;
        if (otherCa)
            directory.CAFile = m_slapd.otherCaFile();
        QTcpServer silent;
        if (target == QLatin1String("no TLS"))
            directory.Port = m_withoutTls.port();
        if (target == QLatin1String("closed"))
            directory.Port = SlapdServer::freePort();
        if (target == QLatin1String("silent")) {
            QVERIFY(silent.listen(QHostAddress::LocalHost));
            directory.Port = silent.serverPort();
        }

        ADComputerImport import;
        QCOMPARE(import.AddADComputers(directory, database, nullptr, test, false), result);
        QCOMPARE(database.GetComputerCount(), 1);
        QCOMPARE(database.FolderCount(), 1);
        if (message.isEmpty()) {
            QCOMPARE(presenter.count(), 0);
        } else {
            QCOMPARE(presenter.count(), 1);
            QVERIFY2(presenter.last().text.startsWith(message), qPrintable(presenter.last().text));
            QVERIFY(!presenter.last().text.contains(password));
        }
    }

    // Stopped during the read, by Cancel ("No" goes on, "Yes" stops) or by
    // the server going away between pages: nothing is added.
    void stoppedReadAddsNothing_data()
    {
        QTest::addColumn<bool>("kill");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("told"); // caption: text
        const QString asked = QStringLiteral("Confirm Cancel: ") + ConfirmCancel;
        QTest::newRow("cancel, confirmed the second time") << false << int(ADComputerImport::Success) << QStringList {asked, asked};
        QTest::newRow("server killed between pages") << true << int(ADComputerImport::ServerNotReachable)
                                                     << QStringList {QStringLiteral("Varno-Osk: The connection to the server was lost during the "
                                                                                    "read of the computers, so nothing was imported.")};
    }

    void stoppedReadAddsNothing()
    {
        QFETCH(bool, kill);
        QFETCH(int, result);
        QFETCH(QStringList, told);
        RecordingPresenter presenter;
        ComputerDB database;
        addExisting(database);
        FakeWindow window;
        int stops = 0;
        window.onMessage = [&](const QString &text) {
            const int rows = rowsIn(text);
            if (kill ? stops == 0 && rows >= 20 : (stops == 0 && rows >= 50) || (stops == 1 && rows >= 1100)) {
                ++stops;
                if (kill)
                    m_slapd.kill();
                window.cancel = !kill;
            }
        };
        ProgressBarLink progress;
        progress.LinkForm(&window);
        presenter.setNextAnswer(Presenter::No);
        presenter.setNextAnswer(Presenter::Yes);

        ADComputerImport import;
        QCOMPARE(import.AddADComputers(server(), database, &progress, false, false), result);
        QStringList messages;
        for (const auto &message : presenter.messages())
            messages << message.caption + QStringLiteral(": ") + message.text;
        QCOMPARE(messages, told);
        QCOMPARE(database.GetComputerCount(), 1);
        QCOMPARE(import.AddedCount(), 0);
        QVERIFY2(!kill || m_slapd.restart(), qPrintable(m_slapd.error()));
    }
};

QTEST_GUILESS_MAIN(tst_ADComputerImport)
#include "tst_ADComputerImport.moc"

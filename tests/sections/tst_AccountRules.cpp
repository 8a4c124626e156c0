#include "settings/sections/AddMigrationModel.h"
#include "settings/sections/ManualAccountsModel.h"
#include "support/RecordingPresenter.h"

#include <QTest>

using Field = AddMigrationModel::Field;

namespace {

const QString CR = QStringLiteral("\r");
const QString TypeMessage = "You can not change the type of user specification on one system. " + CR
    + "If you specify one migration as SID -> Username, you must specify " + CR
    + "all other migrations as SID -> Username on that particular computer.";
const QString AllUsersMessage = "'All Users' profiles can be migrated only if there are no other " + CR
    + "profiles in the migration list.  Please delete any other user " + CR + "profiles in the migration list and try again.";

QString duplicateMessage(const QString &name)
{
    return "The destination username you specified already exists as part of " + CR
        + "another migration user set.  Before adding this user, you must remove " + CR
        + "the other migration user set which contains the destination username " + CR + "'" + name + "'.";
}

} // namespace

// The rules of the account dialog and the add-migration dialog, without windows.
class TestAccountRules : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;

private Q_SLOTS:
    void init() { m_presenter.clear(); }

    void manualSet_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QStringList>("entry"); // username, password, domain, "local" to tick the box
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("stored");

        const QString pick = "You must specify a domain name to be used or select 'Local Account' for local computer accounts.";
        const QString badUser = "Invalid characters specified in account username or username is too long.";
        const QString badDomain = "Invalid characters specified in domain name or name is too long.";
        // clang-format off
        QTest::newRow("button 0 is Administrator A, slot 1") << 0 << QStringList {"varno", "pw", "CORP"} << "" << "" << int(AdminA) << "CORP\\varno";
        QTest::newRow("button 1 is Administrator B, slot 0") << 1 << QStringList {"osk", "pw", "CORP"} << "" << "" << int(AdminB) << "CORP\\osk";
        QTest::newRow("a local account needs no domain") << 4 << QStringList {"sid", "", "", "local"} << "" << "" << 4 << "*LOCAL ACCOUNT*\\sid";
        QTest::newRow("15 characters of domain") << 2 << QStringList {"join", "pw", "ABCDEFGHIJKLMNO"} << "" << "" << 2 << "ABCDEFGHIJKLMNO\\join";
        QTest::newRow("username first") << 0 << QStringList {"", "", ""} << "You must specify a username to be used." << "txtUsername" << 1 << "";
        QTest::newRow("domain or local") << 0 << QStringList {"varno", "pw", ""} << pick << "txtDomain" << 1 << "";
        QTest::newRow("username characters") << 0 << QStringList {"var/no", "pw", "CORP/EU"} << badUser << "txtUsername" << 1 << "";
        QTest::newRow("16 characters of domain") << 0 << QStringList {"varno", "pw", "ABCDEFGHIJKLMNOP"} << badDomain << "txtDomain" << 1 << "";
        // clang-format on
    }
    void manualSet()
    {
        QFETCH(int, button);
        QFETCH(QStringList, entry);
        QFETCH(QString, message);
        QFETCH(QString, control);
        QFETCH(int, slot);
        QFETCH(QString, stored);
        ManualAccountsModel model;
        const GlobalSettingsPtr record = GlobalSettings::create();
        model.LinkSettings(record);
        AccountEntrySection &section = model.entry();
        section.type(AccountEntrySection::Username, entry[0]);
        section.type(AccountEntrySection::Password, entry[1]);
        section.type(AccountEntrySection::Domain, entry[2]);
        if (entry.size() > 3)
            section.click(AccountEntrySection::LocalAccount);

        QCOMPARE(model.cmdSet_Click(button), message.isEmpty());
        QCOMPARE(model.Changed(), message.isEmpty());
        QCOMPARE(model.failedControl(), control);
        QCOMPARE(m_presenter.count(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QCOMPARE(m_presenter.last().text, message);
        QCOMPARE(model.accountText(button), stored.isEmpty() ? NotSpecifiedAccount : stored);
        // Only the working copy has it until OK.
        QVERIFY(record->GetFullUsername(slot).isEmpty());
        model.Confirm();
        QCOMPARE(record->GetFullUsername(slot), stored);
    }

    void manualSameValuesWriteNothing()
    {
        const GlobalSettingsPtr record = GlobalSettings::create();
        record->SetUser(AdminA, QStringLiteral("varno"), QStringLiteral("pw"), QStringLiteral("CORP"));
        record->Valid = false;
        ManualAccountsModel model;
        model.LinkSettings(record);
        model.entry().load(record->account(AdminA));
        QVERIFY(model.cmdSet_Click(0) && !model.Changed());
        model.Confirm();
        QVERIFY(!record->Valid);

        // A new password through the prompt is a change; OK then makes the record valid.
        QVERIFY(!model.hasAccount(1));
        model.SetPassword(0, QStringLiteral("pw"));
        QVERIFY(!model.Changed());
        model.SetPassword(0, QStringLiteral("new"));
        model.Confirm();
        QVERIFY(record->Valid && record->account(AdminA).Password == QStringLiteral("new"));
    }

    void addMigration_data()
    {
        QTest::addColumn<QString>("existing"); // "user", "sid" or "all" already in the list
        QTest::addColumn<bool>("bySID");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("line"); // the entry added, "from -> to"

        // clang-format off
        QTest::newRow("user to user") << "" << false << "alice" << "alice2" << "" << "alice -> alice2";
        QTest::newRow("sid to user") << "" << true << "S-1-5-21-1-2-3-1001" << "bob" << "" << "S-1-5-21-1-2-3-1001 -> bob";
        QTest::newRow("all users, any case") << "" << false << "*all" << "" << "" << "*ALL -> *ALL";
        QTest::newRow("all users beside others") << "user" << false << "*ALL" << "" << AllUsersMessage << "";
        QTest::newRow("type before duplicate") << "sid" << false << "carol" << "taken" << TypeMessage << "";
        QTest::newRow("duplicate destination, case ignored") << "user" << false << "dave" << "TAKEN" << duplicateMessage("TAKEN") << "";
        QTest::newRow("sid beside users") << "user" << true << "S-1-5-21-1-2-3-1002" << "erin" << TypeMessage << "";
        QTest::newRow("empty source") << "" << false << " " << "x" << "You must specify a source username, or *ALL for all profiles." << "";
        QTest::newRow("empty source SID") << "" << true << "" << "x" << "You must specify the SID of the source user." << "";
        QTest::newRow("empty destination") << "" << false << "frank" << "" << "You must specify a destination username." << "";
        // clang-format on
    }
    void addMigration()
    {
        QFETCH(QString, existing);
        QFETCH(bool, bySID);
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, message);
        QFETCH(QString, line);
        const UserProfilesPtr list = UserProfiles::create();
        if (existing == QLatin1String("user"))
            list->AddUserToUser(QStringLiteral("old"), QStringLiteral("taken"));
        if (existing == QLatin1String("sid"))
            list->AddSIDToUser(QStringLiteral("S-1-5-21-1-2-3-1000"), QStringLiteral("taken"));
        const int before = list->GetUserCount();

        AddMigrationModel model;
        model.LinkList(list);
        model.setSourceBySID(bySID);
        model.TextChange(bySID ? Field::SourceSID : Field::SourceUsername, source);
        model.TextChange(Field::DestUsername, destination);
        QCOMPARE(model.cmdAddMigration_Click(), message.isEmpty());
        QCOMPARE(m_presenter.count(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(m_presenter.last().text, message);
            QCOMPARE(m_presenter.last().icon, Presenter::Icon::Information);
            QCOMPARE(list->GetUserCount(), before);
            return;
        }
        const MigrationUsers added = *list->GetUser(list->GetMaxID() - 1);
        QCOMPARE((added.UseSIDFrom ? added.SIDFrom : added.UsernameFrom) + " -> " + added.UsernameTo, line);
    }
};

QTEST_GUILESS_MAIN(TestAccountRules)
#include "tst_AccountRules.moc"

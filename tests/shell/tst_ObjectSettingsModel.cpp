#include "FakeNetwork.h"

#include "common/AppState.h"
#include "common/modErrorHandler.h"
#include "database/ComputerDB.h"
#include "shell/ObjectSettingsModel.h"
#include "support/RecordingPresenter.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Model = ObjectSettingsModel;
using Text = Model::Text;
using Check = Model::Check;
using Command = Model::Command;

namespace {

const QString CR = QStringLiteral("\r");

// The root with defaults and two contexts; "Sales" (inherits) holding PC01
// (inherits, two user migrations); "Labs" with its own record; PC02 directly
// under the root with its own record and a user migration.
struct Fixture
{
    ComputerDB db;
    Model model;
    int sales = -1, labs = -1, pc01 = -1, pc02 = -1;

    Fixture()
    {
        GlobalSettingsPtr root = db.GetSettings(QStringLiteral("G"), -1);
        root->SourceDomain = QStringLiteral("OLDDOM");
        root->DestinationDomain = QStringLiteral("NEWDOM");
        root->SetUser(AdminA, QStringLiteral("varno"), QStringLiteral("pw"), QStringLiteral("NEWDOM"));

        sales = db.AddFolder(QStringLiteral("Sales"), -1);
        labs = db.AddFolder(QStringLiteral("Labs"), -1);
        pc01 = db.AddComputer(QStringLiteral("PC01"), QString(), sales, -1);
        pc02 = db.AddComputer(QStringLiteral("PC02"), QString(), -1, -1);
        db.GetComputerUserList(pc01)->AddUserToUser(QStringLiteral("alice"), QStringLiteral("alice2"));
        db.GetComputerUserList(pc01)->AddSIDToUser(QStringLiteral("S-1-5-21-9-9-9-1001"), QStringLiteral("bob"));

        GlobalSettingsPtr labsRecord = root->Clone();
        labsRecord->JoinVal = JoinWorkgroup;
        labsRecord->JoinName = QStringLiteral("LABGROUP");
        db.AddSettings(labsRecord, labs, QStringLiteral("F"));
        db.AddSettings(root->Clone(), pc02, QStringLiteral("C"));
        db.GetComputerUserList(pc02)->AddUserToUser(QStringLiteral("carol"), QStringLiteral("carol"));

        model.setDatabase(&db);
        model.setAddUserAvailable(true);
        AppState::Get().DatabaseChanged = false;
    }

    void loadFolder(int id) { model.LoadSelectedNode(modGeneral::ParseNodeKey(modGeneral::FolderKey(id))); }
    void loadComputer(int id) { model.LoadSelectedNode(modGeneral::ParseNodeKey(modGeneral::ComputerKey(id))); }
    GlobalSettingsPtr folderRecord(int id) const { return db.GetSettings(QStringLiteral("F"), id); }
    GlobalSettingsPtr computerRecord(int id) const { return db.GetSettings(QStringLiteral("C"), id); }
    GlobalSettingsPtr global() const { return db.GetSettings(QStringLiteral("G"), -1); }

    // Steps by control name: "chkJoinDomain" clicks the box, "txtDomDCIP=10.0.0.1" types into the field.
    void apply(const QStringList &steps)
    {
        for (const QString &step : steps) {
            const QString name = step.section(QLatin1Char('='), 0, 0);
            int found = 0;
            for (int i = 0; i < Model::TextCount; ++i)
                if (model.ControlName(Text(i)) == name && ++found)
                    model.TextChange(Text(i), step.section(QLatin1Char('='), 1));
            for (int i = 0; i < Model::CheckCount; ++i)
                if (model.ControlName(Check(i)) == name && ++found)
                    model.CheckClick(Check(i));
            QVERIFY2(found == 1, qPrintable(step));
        }
    }
};

} // namespace

class TestObjectSettingsModel : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_logFolder;
    RecordingPresenter m_presenter;

private Q_SLOTS:
    void initTestCase()
    {
        // Internal errors write the error log; keep it out of the real temporary folder.
        qputenv("tmp", m_logFolder.path().toLocal8Bit());
        qputenv("temp", m_logFolder.path().toLocal8Bit());
    }
    void init()
    {
        AppState::Reset();
        m_presenter.clear();
    }

    // A lookup's message, or (without one) the address it writes. Without a
    // name the button is disabled: nothing happens.
    void dcLookup_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("address");
        const auto row
            = [](const char *name, const QStringList &steps, Command command, const QString &message, Text field, const char *address) {
                  QTest::newRow(name) << steps << int(command) << message << int(field) << QString::fromLatin1(address);
              };
        // clang-format off
        row("empty name", {}, Command::LookupSourceDC, "", Text::SourceDCIP, "");
        row("invalid name", {"txtDestDC=dc/1"}, Command::LookupDestDC, "Invalid characters found in DC name. Unable to perform IP lookup.", Text::DestDCIP, "");
        row("not found keeps the field", {"txtDestDC=dc9", "txtDestDCIP=10.9.9.9"}, Command::LookupDestDC, "Failed to lookup IP address for 'dc9'.", Text::DestDCIP, "10.9.9.9");
        row("source", {"txtSourceDC=dc1"}, Command::LookupSourceDC, "", Text::SourceDCIP, "10.0.0.7");
        row("destination", {"txtDestDC=dc1"}, Command::LookupDestDC, "", Text::DestDCIP, "10.0.0.7");
        row("join", {"chkJoinDomain", "txtJoinDomainName=CORP", "txtDomDCName=dc1"}, Command::LookupJoinDC, "", Text::DomDCIP, "10.0.0.7");
        // clang-format on
    }

    void dcLookup()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, command);
        QFETCH(QString, message);
        QFETCH(int, field);
        QFETCH(QString, address);
        FakeNetwork network;
        network.addresses = {{"dc1", "10.0.0.7"}};
        Fixture f;
        f.loadComputer(f.pc02);
        f.apply(steps);
        f.model.cmdLookup_Click(Command(command));
        QCOMPARE(f.model.text(Text(field)), address);
        QCOMPARE(m_presenter.count(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QCOMPARE(m_presenter.last().text, message);
    }

    void rootShowsItsOwnRecord()
    {
        Fixture f;
        f.loadFolder(-1);
        QCOMPARE(f.model.check(Check::RebootAllow), int(Model::Checked));
        QVERIFY(!f.model.textInherited(Text::SourceContext) && !f.model.userListEnabled());
        QVERIFY(!f.model.commandEnabled(Command::InheritFromParent));
        QCOMPARE(f.model.accountLabel(0), QStringLiteral("varno")); // lblVarnoUser shows slot 1, without its domain
        QCOMPARE(f.model.accountLabel(1), Model::NotSpecified);

        // Overwriting children waits for the edits to be saved.
        QVERIFY(f.model.commandEnabled(Command::OverwriteChildren));
        f.apply({"chkOverwriteProfile"});
        QVERIFY(!f.model.commandEnabled(Command::OverwriteChildren));
        // The global record is changed in place; no slot is taken.
        const int slots = f.db.SettingsCount();
        QVERIFY(f.model.SaveObjectSettings());
        QVERIFY(f.global()->OverwriteProfile == 1 && f.db.SettingsCount() == slots);
    }

    void inheritingGroupIsGreyUntilSaved()
    {
        Fixture f;
        f.loadFolder(f.sales);
        QCOMPARE(f.model.check(Check::RebootAllow), int(Model::Grayed));
        QVERIFY(f.model.textInherited(Text::SourceContext));
        QCOMPARE(f.model.inheritedFrom(), QStringLiteral("All Computers"));

        // Saving an inheriting node gives it its own record; greyed ticks are stored as 1.
        f.apply({"chkOverwriteProfile"});
        QVERIFY(f.model.SaveObjectSettings());
        const GlobalSettingsPtr record = f.folderRecord(f.sales);
        QVERIFY(record && record != f.global());
        QVERIFY(record->RebootPermitted == 1 && record->OverwriteProfile == 1 && f.global()->OverwriteProfile == 0);
        QCOMPARE(record->SourceDomain + QLatin1Char(' ') + record->GetFullUsername(AdminA), QStringLiteral("OLDDOM NEWDOM\\varno"));
        QVERIFY(AppState::Get().DatabaseChanged);
        QCOMPARE(f.model.check(Check::RebootAllow), int(Model::Checked));
        QVERIFY(!f.model.textInherited(Text::SourceContext) && !f.model.SettingsChanged());

        // The computer below now inherits from the group.
        f.loadComputer(f.pc01);
        QCOMPARE(f.model.check(Check::OverwriteProfile), int(Model::Grayed));
        QCOMPARE(f.model.inheritedFrom(), QStringLiteral("Sales"));
    }

    void savesLocalSourceAndWorkgroup()
    {
        Fixture f;
        f.loadComputer(f.pc02);
        f.apply({"chkJoinDomain", "txtJoinDomainName=CORP", "chkJoinWorkgroup", "txtSourceDC=olddc", "txtSourceDCIP=10.1.1.1",
            "chkSourceUseLocal", "txtJoinWorkgroupName=TEAM"});
        QVERIFY(f.model.textLocked(Text::SourceDC) && !f.model.commandEnabled(Command::LookupSourceDC));
        QVERIFY(f.model.SaveObjectSettings());
        const GlobalSettingsPtr record = f.computerRecord(f.pc02);
        QCOMPARE((QStringList {record->SourceDomain, record->SourceDCName, record->SourceDCIP, record->JoinName}),
            (QStringList {"*LOCAL ACCOUNT*", "", "", "TEAM"}));
        QCOMPARE(record->JoinVal, JoinWorkgroup);
    }

    void inputChecks_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("control");
        auto row = [](const char *name, const QStringList &steps, const QString &message, int tab, const char *control) {
            QTest::newRow(name) << steps << message << tab << QString::fromLatin1(control);
        };
        const QString join = QStringLiteral("chkJoinDomain");
        const QString group = QStringLiteral("chkJoinWorkgroup");
        const QString space = QStringLiteral("chkMinFreeSpace");
        const QString corp = QStringLiteral("txtJoinDomainName=CORP");
        const QString must = QStringLiteral("You must specify ");
        const QString both = QStringLiteral("You must specify both a ");
        const QString bad = QStringLiteral("Invalid characters found in ");
        const QString range = QStringLiteral("The minimum disk space value must be between 0 and 102400.");

        // clang-format off
        row("domain empty, before disk space", {space, join}, must + "a domain to join or deselect the join domain option.", 1, "txtJoinDomainName");
        row("workgroup empty", {group}, must + "a workgroup name to join or deselect the join workgroup option.", 1, "txtJoinWorkgroupName");
        row("space empty", {space}, must + "a minimum free space or deselect the minimum disk space option.", 2, "txtMinFreeSpace");
        row("space abc", {space, "txtMinFreeSpace=abc"}, "Invalid minimum disk space specified. This must be a number between 0 and 102400.", 2, "txtMinFreeSpace");
        row("space 102401", {space, "txtMinFreeSpace=102401"}, range, 2, "txtMinFreeSpace");
        row("space -1", {space, "txtMinFreeSpace=-1"}, range, 2, "txtMinFreeSpace");
        // Accepted: the control column holds what is stored and shown.
        row("space 102400 accepted", {space, "txtMinFreeSpace=102400"}, "", 2, "102400");
        row("space stored as its integer part", {space, "txtMinFreeSpace= 2048.9 "}, "", 2, "2048");
        row("domain name, before its DC", {join, "txtJoinDomainName=CORP/EU"}, bad + "domain name.", 1, "txtJoinDomainName");
        row("join DC IP missing", {join, corp, "txtDomDCName=dc1"}, both + "domain controller name and IP address.", 1, "txtDomDCIP");
        row("join DC name", {join, corp, "txtDomDCName=dc:1", "txtDomDCIP=10.0.0.1"}, bad + "domain controller name.", 1, "txtDomDCName");
        row("join DC IP", {join, corp, "txtDomDCName=dc1", "txtDomDCIP=10.0.0"}, bad + "domain controller IP address.", 1, "txtDomDCIP");
        row("workgroup name", {group, "txtJoinWorkgroupName=A*B"}, bad + "workgroup name.", 1, "txtJoinWorkgroupName");
        row("source context for users", {"txtSourceContext="}, must + "a source domain for the user migrations.", 0, "txtSourceContext");
        row("source pair, before context names", {"txtSourceDC=dc1", "txtDestContext=NEW,DOM"}, both + "source domain controller name and IP address.", 0, "txtSourceDCIP");
        row("destination pair", {"txtDestDC=dc2"}, both + "destination domain controller name and IP address.", 0, "txtDestDCIP");
        row("source context", {"txtSourceContext=OLD=DOM"}, bad + "source context name.", 0, "txtSourceContext");
        row("destination context", {"txtDestContext=NEW;DOM"}, bad + "destination context.", 0, "txtDestContext");
        row("source DC name", {"txtSourceDC=dc?1", "txtSourceDCIP=1.2.3.4", "txtDestDC=dc?2", "txtDestDCIP=1.2.3.5"}, bad + "source domain controller name.", 0, "txtSourceDC");
        row("destination DC name, before source IP", {"txtSourceDC=dc1", "txtSourceDCIP=1.2.3", "txtDestDC=dc<2", "txtDestDCIP=1.2.3.5"}, bad + "destination domain controller name.", 0, "txtDestDC");
        row("source DC IP", {"txtSourceDC=dc1", "txtSourceDCIP=1.2.3.256"}, bad + "source domain controller IP address.", 0, "txtSourceDCIP");
        // clang-format on
    }
    void inputChecks()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, message);
        QFETCH(int, tab);
        QFETCH(QString, control);

        Fixture f;
        f.loadComputer(f.pc02);
        f.apply(steps);
        QSignalSpy focus(&f.model, &Model::focusRequested);
        const GlobalSettings before = *f.computerRecord(f.pc02);

        QCOMPARE(f.model.SaveObjectSettings(), message.isEmpty());
        if (message.isEmpty()) {
            QCOMPARE(f.computerRecord(f.pc02)->MinFreeSpace, control.toInt());
            QCOMPARE(f.model.text(Text::MinFreeSpace), control);
            return;
        }
        QCOMPARE(m_presenter.count(), 1);
        QCOMPARE(m_presenter.last().text, message);
        QCOMPARE(m_presenter.last().icon, Presenter::Icon::Information);
        QCOMPARE(QList<QVariantList>(focus), (QList<QVariantList> {{tab, control}}));
        // Nothing stored, the edits stay.
        const GlobalSettingsPtr after = f.computerRecord(f.pc02);
        QVERIFY(
            after->JoinVal == before.JoinVal && after->SourceDCName == before.SourceDCName && after->MinFreeSpace == before.MinFreeSpace);
        QVERIFY(f.model.SettingsChanged());
    }

    void inheritedTicksAreNotCheckedAgainButEditedOnesAre()
    {
        Fixture f;
        f.global()->JoinVal = JoinDomain; // a domain without its controller, as an old file may hold
        f.global()->JoinName = QStringLiteral("CORP");
        f.loadFolder(f.sales);
        QCOMPARE(f.model.check(Check::JoinDomain), int(Model::Grayed));
        QVERIFY(f.model.GeneralSettingsInputChecks());

        f.apply({"txtJoinDomainName=CORP2"});
        QCOMPARE(f.model.check(Check::JoinDomain), int(Model::Checked));
        QVERIFY(!f.model.textInherited(Text::JoinDomainName) && f.model.textInherited(Text::SourceContext));
        QVERIFY(!f.model.GeneralSettingsInputChecks());
        QCOMPARE(m_presenter.last().text, QStringLiteral("You must specify both a domain controller name and IP address."));
    }

    void promptToSaveRecord()
    {
        Fixture f;
        f.loadComputer(f.pc02);
        QVERIFY(f.model.PromptToSaveRecord());
        QCOMPARE(m_presenter.count(), 0);

        f.apply({"txtSourceContext=OTHER"});
        m_presenter.setNextAnswer(Presenter::Cancel);
        QVERIFY(!f.model.PromptToSaveRecord());
        QCOMPARE(m_presenter.last().text,
            "The settings for the current selection have changed." + CR + "Do you want to save the settings before proceeding?");
        QCOMPARE(m_presenter.last().buttons, Presenter::Buttons::YesNoCancel);
        QCOMPARE(f.model.text(Text::SourceContext), QStringLiteral("OTHER"));

        // Yes with a refused save keeps the edits and stops the command.
        f.apply({"chkJoinDomain"});
        m_presenter.setNextAnswer(Presenter::Yes);
        QVERIFY(!f.model.PromptToSaveRecord() && f.model.SettingsChanged());
    }

    void invalidJoinValueIsReportedAndTheRestShown()
    {
        Fixture f;
        f.computerRecord(f.pc02)->JoinVal = 7;
        f.loadComputer(f.pc02);
        QVERIFY(m_presenter.count() == 1 && m_presenter.last().text.contains(QStringLiteral("Function: frmMain.DisplaySettings")));
        QCOMPARE(f.model.text(Text::DestContext), QStringLiteral("NEWDOM"));
    }

    void inheritFromParentAndOverwriteChildren()
    {
        Fixture f;
        f.loadFolder(f.sales);
        f.model.cmdInheritFromParent_Click();
        QCOMPARE(m_presenter.last().text, QStringLiteral("This object is already inheriting settings."));

        const int sub = f.db.AddFolder(QStringLiteral("Lab 2"), f.labs);
        f.db.AddSettings(f.global()->Clone(), sub, QStringLiteral("F"));
        f.loadFolder(f.labs);
        for (const auto answer : {Presenter::No, Presenter::Yes}) {
            m_presenter.setNextAnswer(answer);
            f.model.cmdOverwriteChildren_Click();
            QCOMPARE(!f.folderRecord(sub), answer == Presenter::Yes);
        }
        QCOMPARE(m_presenter.last().text,
            "This will erase all individual settings and force settings inheritance" + CR
                + "for all on computers and groups below the currently selected" + CR + "node (\"Labs\")." + CR + CR
                + "Are you sure you wish to proceed?");

        QSignalSpy icons(&f.model, &Model::treeIconsChanged);
        for (const auto answer : {Presenter::No, Presenter::Yes}) {
            m_presenter.setNextAnswer(answer);
            f.model.cmdInheritFromParent_Click();
            QCOMPARE(!f.folderRecord(f.labs), answer == Presenter::Yes);
        }
        QCOMPARE(m_presenter.last().text,
            "Are you sure you'd like to remove these settings and " + CR + "inherit the settings from a parent object?");
        QCOMPARE(f.model.check(Check::RebootAllow), int(Model::Grayed));
        QVERIFY(AppState::Get().DatabaseChanged);
        QCOMPARE(icons.size(), 1);
    }

    // The question and its texts are modAccountsOpening's; here what the
    // panel does around them.
    void editAccountsAsksFirst()
    {
        Fixture f;
        f.loadFolder(f.sales);
        const auto own = [&] { return f.folderRecord(f.sales); };
        int opened = 0;
        const auto cancelled = [&](const GlobalSettingsPtr &record) {
            ++opened;
            QVERIFY(!record->Valid && record == own());
        };
        m_presenter.setNextAnswer(Presenter::No);
        f.model.EditAccounts(Model::AccountCommand::ChangePasswords, cancelled);
        QVERIFY(m_presenter.last().text.contains(QStringLiteral("Changing the account passwords for this group")));
        QVERIFY(opened == 0 && !own());

        m_presenter.setNextAnswer(Presenter::Yes);
        f.model.EditAccounts(Model::AccountCommand::ChangePasswords, cancelled);
        QVERIFY(opened == 1 && own() && own()->Valid && f.model.inheritedFrom().isEmpty());

        // Confirmed with edits in the panel: the accounts are shown again, the edits stay.
        f.apply({"txtDestContext=EDITED"});
        f.model.EditAccounts(Model::AccountCommand::AuthWizard, [](const GlobalSettingsPtr &record) {
            record->SetUser(AdminB, QStringLiteral("osk"), QString(), QStringLiteral("NEWDOM"));
            record->Valid = true;
        });
        QCOMPARE(m_presenter.count(), 2);
        QCOMPARE(f.model.accountLabel(1), QStringLiteral("osk"));
        QVERIFY(f.model.text(Text::DestContext) == QStringLiteral("EDITED") && f.model.SettingsChanged());
    }

    void userList()
    {
        Fixture f;
        const UserProfilesPtr list = f.db.GetComputerUserList(f.pc01);
        list->AddUserToSID(QStringLiteral("dave"), QStringLiteral("S-1-5-21-9-9-9-1002")); // ID 2
        list->AddUserToUser(QStringLiteral("fay"), QStringLiteral("fay2")); // ID 3
        list->DeleteUser(0);
        f.loadComputer(f.pc01);
        QCOMPARE(f.model.userLines(), QStringList({"S-1-5-21-9-9-9-1001 -> bob", "dave -> *SID*", "fay -> fay2"}));
        f.model.cmdDeleteUser_Click(-1);
        QCOMPARE(m_presenter.last().text, QStringLiteral("You must select the user migration set that you wish to delete from the list."));

        // Lines count the entries shown, not the deleted one before them.
        m_presenter.setNextAnswer(Presenter::Yes);
        f.model.cmdDeleteUser_Click(2);
        QCOMPARE(m_presenter.last().text, QStringLiteral("Are you sure you'd like to delete the migration set 'fay -> fay2'?"));
        QVERIFY(!list->GetUser(3) && list->GetUser(1) && list->GetUser(2));
        QCOMPARE(f.model.userLines(), QStringList({"S-1-5-21-9-9-9-1001 -> bob", "dave -> *SID*"}));
        QVERIFY(AppState::Get().DatabaseChanged);

        // "All users" is the whole list: nothing more to add.
        QVERIFY(f.model.commandEnabled(Command::AddUser));
        UserProfilesPtr all = UserProfiles::create();
        all->AddAllUsers();
        f.db.SetComputerUserList(f.pc01, all);
        f.loadComputer(f.pc01);
        QVERIFY(!f.model.commandEnabled(Command::AddUser));
    }

    void invalidSelectionKeepsThePanel()
    {
        Fixture f;
        f.loadComputer(f.pc02);
        f.apply({"txtDestContext=X"});
        f.model.LoadSelectedNode(NodeInfo {});
        QCOMPARE(f.model.ObjectKey(), modGeneral::ComputerKey(f.pc02));
        QVERIFY(f.model.text(Text::DestContext) == QStringLiteral("X") && !f.model.SettingsChanged());
    }
};

QTEST_GUILESS_MAIN(TestObjectSettingsModel)
#include "tst_ObjectSettingsModel.moc"

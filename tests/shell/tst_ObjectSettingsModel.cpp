#include "common/AppState.h"
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

    void load(const QString &key) { model.LoadSelectedNode(modGeneral::ParseNodeKey(key)); }
    GlobalSettingsPtr own(const QString &type, int id) const { return db.GetSettings(type, id); }
};

// Steps by control name: "chkJoinDomain" clicks the box, "txtDomDCIP=10.0.0.1" types into the field.
void apply(Model &model, const QStringList &steps)
{
    for (const QString &step : steps) {
        const qsizetype equals = step.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? step : step.left(equals);
        bool found = false;
        for (int i = 0; i < Model::TextCount && !found; ++i) {
            if (Model::ControlName(Text(i)) == name) {
                model.TextChange(Text(i), step.mid(equals + 1));
                found = true;
            }
        }
        for (int i = 0; i < Model::CheckCount && !found; ++i) {
            if (Model::ControlName(Check(i)) == name) {
                model.CheckClick(Check(i));
                found = true;
            }
        }
        QVERIFY2(found, qPrintable(step));
    }
}

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

    void rootShowsItsOwnRecordAndItsCommands()
    {
        Fixture f;
        f.load(QStringLiteral("F-1"));
        QCOMPARE(f.model.title(), QStringLiteral("Global Settings"));
        QCOMPARE(f.model.headerIcon(), 9);
        QCOMPARE(f.model.subtitle(), QStringLiteral("Default settings for all computers"));
        QCOMPARE(f.model.check(Check::RebootAllow), int(Model::Checked));
        QCOMPARE(f.model.check(Check::OverwriteProfile), int(Model::Unchecked));
        QCOMPARE(f.model.text(Text::SourceContext), QStringLiteral("OLDDOM"));
        QVERIFY(!f.model.textInherited(Text::SourceContext));
        QVERIFY(!f.model.SettingsChanged());
        QVERIFY(!f.model.userListEnabled());
        for (Command off : {Command::ObjSettingsSave, Command::InheritFromParent, Command::AddUser, Command::DeleteUser,
                 Command::AuthWizard, Command::LookupSourceDC})
            QVERIFY2(!f.model.commandEnabled(off), qPrintable(Model::ControlName(off)));
        QVERIFY(f.model.commandEnabled(Command::OverwriteChildren));
        QCOMPARE(f.model.accountLabel(0), QStringLiteral("NEWDOM\\varno")); // lblVarnoUser shows slot 1
        QCOMPARE(f.model.accountLabel(1), Model::NotSpecified);

        // Overwriting children waits for the edits to be saved.
        apply(f.model, {QStringLiteral("chkOverwriteProfile")});
        QVERIFY(f.model.SettingsChanged());
        QVERIFY(f.model.commandEnabled(Command::ObjSettingsSave));
        QVERIFY(!f.model.commandEnabled(Command::OverwriteChildren));

        // The global record is changed in place; no slot is taken.
        const int slots = f.db.SettingsCount();
        QVERIFY(f.model.SaveObjectSettings());
        QCOMPARE(f.own(QStringLiteral("G"), -1)->OverwriteProfile, 1);
        QCOMPARE(f.db.SettingsCount(), slots);
        QCOMPARE(m_presenter.count(), 0);
    }

    void inheritingGroupIsGreyUntilSaved()
    {
        Fixture f;
        const int slots = f.db.SettingsCount();
        f.load(QStringLiteral("F%1").arg(f.sales));
        QCOMPARE(f.model.title(), QStringLiteral("Sales"));
        QCOMPARE(f.model.subtitle(), QStringLiteral("Custom group settings"));
        QCOMPARE(f.model.check(Check::RebootAllow), int(Model::Grayed));
        QVERIFY(f.model.textInherited(Text::SourceContext));
        QVERIFY(f.model.commandEnabled(Command::InheritFromParent));
        QCOMPARE(f.model.inheritedFrom(), QStringLiteral("All Computers"));

        // Saving an inheriting node gives it its own record; greyed ticks are stored as 1.
        apply(f.model, {QStringLiteral("chkOverwriteProfile")});
        QVERIFY(f.model.SaveObjectSettings());
        const GlobalSettingsPtr record = f.own(QStringLiteral("F"), f.sales);
        QVERIFY(record);
        QVERIFY(record != f.own(QStringLiteral("G"), -1));
        QCOMPARE(f.db.SettingsCount(), slots + 1);
        QCOMPARE(record->RebootPermitted, 1);
        QCOMPARE(record->ForceReboot, 1);
        QCOMPARE(record->OverwriteProfile, 1);
        QCOMPARE(record->SourceDomain, QStringLiteral("OLDDOM"));
        QCOMPARE(record->GetFullUsername(AdminA), QStringLiteral("NEWDOM\\varno"));
        QCOMPARE(f.own(QStringLiteral("G"), -1)->OverwriteProfile, 0);
        QVERIFY(AppState::Get().DatabaseChanged);

        QCOMPARE(f.model.check(Check::RebootAllow), int(Model::Checked));
        QVERIFY(!f.model.textInherited(Text::SourceContext));
        QVERIFY(!f.model.SettingsChanged());
        QVERIFY(f.model.inheritedFrom().isEmpty());

        // The computer below now inherits from the group.
        f.load(QStringLiteral("C%1").arg(f.pc01));
        QCOMPARE(f.model.check(Check::OverwriteProfile), int(Model::Grayed));
        QCOMPARE(f.model.inheritedFrom(), QStringLiteral("Sales"));
    }

    void lockingRules()
    {
        Fixture f;
        f.load(QStringLiteral("C%1").arg(f.pc02));
        QVERIFY(f.model.textLocked(Text::JoinDomainName));
        QVERIFY(f.model.textLocked(Text::JoinWorkgroupName));
        QVERIFY(f.model.textLocked(Text::MinFreeSpace));

        apply(f.model, {QStringLiteral("chkJoinDomain"), QStringLiteral("txtJoinDomainName=CORP"), QStringLiteral("txtDomDCName=dc1")});
        QVERIFY(!f.model.textLocked(Text::DomDCIP));
        QVERIFY(f.model.commandEnabled(Command::LookupJoinDC));
        // The two join boxes exclude each other; leaving the domain empties its fields.
        apply(f.model, {QStringLiteral("chkJoinWorkgroup")});
        QCOMPARE(f.model.check(Check::JoinDomain), int(Model::Unchecked));
        QVERIFY(f.model.text(Text::JoinDomainName).isEmpty());
        QVERIFY(f.model.textLocked(Text::DomDCName));
        QVERIFY(!f.model.commandEnabled(Command::LookupJoinDC));
        QVERIFY(!f.model.textLocked(Text::JoinWorkgroupName));

        apply(f.model, {QStringLiteral("txtSourceDC=olddc"), QStringLiteral("txtSourceDCIP=10.1.1.1")});
        QVERIFY(f.model.commandEnabled(Command::LookupSourceDC));
        apply(f.model, {QStringLiteral("chkSourceUseLocal")});
        for (Text source : {Text::SourceContext, Text::SourceDC, Text::SourceDCIP}) {
            QVERIFY(f.model.text(source).isEmpty());
            QVERIFY(f.model.textLocked(source));
        }
        QVERIFY(!f.model.commandEnabled(Command::LookupSourceDC));
        QVERIFY(!f.model.textLocked(Text::DestContext));

        apply(f.model, {QStringLiteral("txtJoinWorkgroupName=TEAM")});
        QVERIFY(f.model.SaveObjectSettings());
        const GlobalSettingsPtr record = f.own(QStringLiteral("C"), f.pc02);
        QCOMPARE(record->SourceDomain, QStringLiteral("*LOCAL ACCOUNT*"));
        QVERIFY(record->SourceDCName.isEmpty() && record->SourceDCIP.isEmpty());
        QCOMPARE(record->JoinVal, int(JoinWorkgroup));
        QCOMPARE(record->JoinName, QStringLiteral("TEAM"));
        QCOMPARE(f.model.check(Check::SourceUseLocal), int(Model::Checked));
        QVERIFY(f.model.textLocked(Text::SourceContext));
    }

    void inheritedWorkgroupNameStaysLocked()
    {
        Fixture f;
        f.db.AddComputer(QStringLiteral("LAB1"), QString(), f.labs, -1);
        f.load(QStringLiteral("C%1").arg(f.db.FindComputer(QStringLiteral("LAB1"))));
        QCOMPARE(f.model.check(Check::JoinWorkgroup), int(Model::Grayed));
        QCOMPARE(f.model.text(Text::JoinWorkgroupName), QStringLiteral("LABGROUP"));
        QVERIFY(f.model.textLocked(Text::JoinWorkgroupName));
    }

    void coupledOptions()
    {
        Fixture f;
        f.load(QStringLiteral("C%1").arg(f.pc02));
        apply(f.model, {QStringLiteral("chkMinFreeSpace"), QStringLiteral("txtMinFreeSpace=500")});
        apply(f.model, {QStringLiteral("chkCopyProfile")});
        QCOMPARE(f.model.check(Check::NoTempInternet), int(Model::Unchecked));
        QCOMPARE(f.model.check(Check::MinFreeSpace), int(Model::Unchecked));
        QVERIFY(f.model.checkLocked(Check::NoTempInternet));
        QVERIFY(f.model.checkLocked(Check::MinFreeSpace));
        QVERIFY(f.model.text(Text::MinFreeSpace).isEmpty());
        apply(f.model, {QStringLiteral("chkCopyProfile")});
        QCOMPARE(f.model.check(Check::NoTempInternet), int(Model::Checked));
        QCOMPARE(f.model.check(Check::MinFreeSpace), int(Model::Unchecked));
        QVERIFY(!f.model.checkLocked(Check::MinFreeSpace));

        apply(f.model, {QStringLiteral("chkRebootAllow")});
        QCOMPARE(f.model.check(Check::RebootForce), int(Model::Unchecked));
        QVERIFY(f.model.checkLocked(Check::RebootForce));
        apply(f.model, {QStringLiteral("chkRebootAllow")});
        QCOMPARE(f.model.check(Check::RebootForce), int(Model::Checked));
        QVERIFY(!f.model.checkLocked(Check::RebootForce));

        // A stored record with copying off shows its dependants locked as well.
        f.own(QStringLiteral("C"), f.pc02)->CopyProfile = 0;
        f.load(QStringLiteral("C%1").arg(f.pc02));
        QVERIFY(f.model.checkLocked(Check::NoTempInternet));
        QVERIFY(!f.model.SettingsChanged());
    }

    void inputChecks_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("control");

        const QString join = QStringLiteral("chkJoinDomain");
        const QString space = QStringLiteral("chkMinFreeSpace");
        const QString corp = QStringLiteral("txtJoinDomainName=CORP");
        QTest::newRow("domain empty, before disk space")
            << QStringList {space, join} << "You must specify a domain to join or deselect the join domain option." << 1
            << "txtJoinDomainName";
        QTest::newRow("workgroup empty") << QStringList {QStringLiteral("chkJoinWorkgroup")}
                                         << "You must specify a workgroup name to join or deselect the join workgroup option." << 1
                                         << "txtJoinWorkgroupName";
        QTest::newRow("space empty") << QStringList {space}
                                     << "You must specify a minimum free space or deselect the minimum disk space option." << 2
                                     << "txtMinFreeSpace";
        QTest::newRow("space abc") << QStringList {space, QStringLiteral("txtMinFreeSpace=abc")}
                                   << "Invalid minimum disk space specified. This must be a number between 0 and 102400." << 2
                                   << "txtMinFreeSpace";
        QTest::newRow("space 102401") << QStringList {space, QStringLiteral("txtMinFreeSpace=102401")}
                                      << "The minimum disk space value must be between 0 and 102400." << 2 << "txtMinFreeSpace";
        QTest::newRow("space -1") << QStringList {space, QStringLiteral("txtMinFreeSpace=-1")}
                                  << "The minimum disk space value must be between 0 and 102400." << 2 << "txtMinFreeSpace";
        QTest::newRow("domain name, before its DC") << QStringList {join, QStringLiteral("txtJoinDomainName=CORP/EU")}
                                                    << "Invalid characters found in domain name." << 1 << "txtJoinDomainName";
        QTest::newRow("join DC IP missing") << QStringList {join, corp, QStringLiteral("txtDomDCName=dc1")}
                                            << "You must specify both a domain controller name and IP address." << 1 << "txtDomDCIP";
        QTest::newRow("join DC name missing") << QStringList {join, corp, QStringLiteral("txtDomDCIP=10.0.0.1")}
                                              << "You must specify both a domain controller name and IP address." << 1 << "txtDomDCName";
        QTest::newRow("join DC name") << QStringList {join, corp, QStringLiteral("txtDomDCName=dc:1"),
            QStringLiteral("txtDomDCIP=10.0.0.1")}
                                      << "Invalid characters found in domain controller name." << 1 << "txtDomDCName";
        QTest::newRow("join DC IP") << QStringList {join, corp, QStringLiteral("txtDomDCName=dc1"), QStringLiteral("txtDomDCIP=10.0.0")}
                                    << "Invalid characters found in domain controller IP address." << 1 << "txtDomDCIP";
        QTest::newRow("workgroup name") << QStringList {QStringLiteral("chkJoinWorkgroup"), QStringLiteral("txtJoinWorkgroupName=A*B")}
                                        << "Invalid characters found in workgroup name." << 1 << "txtJoinWorkgroupName";
        QTest::newRow("source context for users") << QStringList {QStringLiteral("txtSourceContext=")}
                                                  << "You must specify a source domain for the user migrations." << 0 << "txtSourceContext";
        QTest::newRow("destination context for users")
            << QStringList {QStringLiteral("txtDestContext=")} << "You must specify a destination domain for the user migrations." << 0
            << "txtDestContext";
        QTest::newRow("source DC without IP, before context names")
            << QStringList {QStringLiteral("txtSourceDC=dc1"), QStringLiteral("txtDestContext=NEW,DOM")}
            << "You must specify both a source domain controller name and IP address." << 0 << "txtSourceDCIP";
        QTest::newRow("source IP without DC") << QStringList {QStringLiteral("txtSourceDCIP=10.0.0.1")}
                                              << "You must specify both a source domain controller name and IP address." << 0
                                              << "txtSourceDC";
        QTest::newRow("destination pair") << QStringList {QStringLiteral("txtDestDC=dc2")}
                                          << "You must specify both a destination domain controller name and IP address." << 0
                                          << "txtDestDCIP";
        QTest::newRow("source context") << QStringList {QStringLiteral("txtSourceContext=OLD=DOM")}
                                        << "Invalid characters found in source context name." << 0 << "txtSourceContext";
        QTest::newRow("destination context") << QStringList {QStringLiteral("txtDestContext=NEW;DOM")}
                                             << "Invalid characters found in destination context." << 0 << "txtDestContext";
        QTest::newRow("source DC name") << QStringList {QStringLiteral("txtSourceDC=dc?1"), QStringLiteral("txtSourceDCIP=1.2.3.4"),
            QStringLiteral("txtDestDC=dc?2"), QStringLiteral("txtDestDCIP=1.2.3.5")}
                                        << "Invalid characters found in source domain controller name." << 0 << "txtSourceDC";
        QTest::newRow("destination DC name, before source IP")
            << QStringList {QStringLiteral("txtSourceDC=dc1"), QStringLiteral("txtSourceDCIP=1.2.3"), QStringLiteral("txtDestDC=dc<2"),
                   QStringLiteral("txtDestDCIP=1.2.3.5")}
            << "Invalid characters found in destination domain controller name." << 0 << "txtDestDC";
        QTest::newRow("source DC IP") << QStringList {QStringLiteral("txtSourceDC=dc1"), QStringLiteral("txtSourceDCIP=1.2.3.256")}
                                      << "Invalid characters found in source domain controller IP address." << 0 << "txtSourceDCIP";
        QTest::newRow("destination DC IP") << QStringList {QStringLiteral("txtDestDC=dc2"), QStringLiteral("txtDestDCIP=a.b.c.d")}
                                           << "Invalid characters found in destination domain controller IP address." << 0 << "txtDestDCIP";
    }

    void inputChecks()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, message);
        QFETCH(int, tab);
        QFETCH(QString, control);

        Fixture f;
        f.load(QStringLiteral("C%1").arg(f.pc02));
        apply(f.model, steps);
        QSignalSpy focus(&f.model, &Model::focusRequested);
        const GlobalSettings before = *f.own(QStringLiteral("C"), f.pc02);

        QVERIFY(!f.model.SaveObjectSettings());
        QCOMPARE(m_presenter.count(), 1);
        QCOMPARE(m_presenter.last().text, message);
        QCOMPARE(m_presenter.last().icon, Presenter::Icon::Information);
        QCOMPARE(f.model.lastCheckFailure().Tab, tab);
        QCOMPARE(f.model.lastCheckFailure().Control, control);
        QCOMPARE(focus.size(), 1);
        QCOMPARE(focus.at(0).at(0).toInt(), tab);
        QCOMPARE(focus.at(0).at(1).toString(), control);
        // Nothing stored, the edits stay.
        const GlobalSettingsPtr after = f.own(QStringLiteral("C"), f.pc02);
        QCOMPARE(after->JoinVal, before.JoinVal);
        QCOMPARE(after->SourceDCName, before.SourceDCName);
        QCOMPARE(after->MinFreeSpace, before.MinFreeSpace);
        QVERIFY(f.model.SettingsChanged());
    }

    void diskSpaceLimitAndIntegerPart_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::newRow("upper limit") << "102400" << 102400;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("fraction") << " 2048.9 " << 2048;
    }

    void diskSpaceLimitAndIntegerPart()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        Fixture f;
        f.load(QStringLiteral("C%1").arg(f.pc02));
        apply(f.model, {QStringLiteral("chkMinFreeSpace"), QStringLiteral("txtMinFreeSpace=") + typed});
        QVERIFY(f.model.SaveObjectSettings());
        QCOMPARE(m_presenter.count(), 0);
        QCOMPARE(f.own(QStringLiteral("C"), f.pc02)->MinFreeSpace, stored);
        QCOMPARE(f.model.text(Text::MinFreeSpace), QString::number(stored));
    }

    void inheritedTicksAreNotCheckedAgainButEditedOnesAre()
    {
        Fixture f;
        GlobalSettingsPtr root = f.own(QStringLiteral("G"), -1);
        root->JoinVal = JoinDomain; // a domain without its controller, as an old file may hold
        root->JoinName = QStringLiteral("CORP");
        f.load(QStringLiteral("F%1").arg(f.sales));
        QCOMPARE(f.model.check(Check::JoinDomain), int(Model::Grayed));
        QVERIFY(!f.model.textLocked(Text::DomDCName));
        QVERIFY(f.model.GeneralSettingsInputChecks());

        apply(f.model, {QStringLiteral("txtJoinDomainName=CORP2")});
        QCOMPARE(f.model.check(Check::JoinDomain), int(Model::Checked));
        QVERIFY(!f.model.textInherited(Text::JoinDomainName));
        QVERIFY(f.model.textInherited(Text::SourceContext));
        QVERIFY(!f.model.GeneralSettingsInputChecks());
        QCOMPARE(m_presenter.last().text, QStringLiteral("You must specify both a domain controller name and IP address."));
    }

    void promptToSaveRecord()
    {
        Fixture f;
        f.load(QStringLiteral("C%1").arg(f.pc02));
        QVERIFY(f.model.PromptToSaveRecord());
        QCOMPARE(m_presenter.count(), 0);

        apply(f.model, {QStringLiteral("txtSourceContext=OTHER")});
        m_presenter.setNextAnswer(Presenter::Cancel);
        QVERIFY(!f.model.PromptToSaveRecord());
        const Presenter::Message &asked = m_presenter.last();
        QCOMPARE(asked.caption, QStringLiteral("Save Settings"));
        QCOMPARE(asked.text,
            "The settings for the current selection have changed." + CR + "Do you want to save the settings before proceeding?");
        QCOMPARE(asked.buttons, Presenter::Buttons::YesNoCancel);
        QCOMPARE(asked.icon, Presenter::Icon::Question);
        QCOMPARE(f.model.text(Text::SourceContext), QStringLiteral("OTHER"));
        QVERIFY(f.model.SettingsChanged());

        m_presenter.setNextAnswer(Presenter::No);
        QVERIFY(f.model.PromptToSaveRecord());
        QVERIFY(!f.model.SettingsChanged());
        QCOMPARE(f.own(QStringLiteral("C"), f.pc02)->SourceDomain, QStringLiteral("OLDDOM"));

        apply(f.model, {QStringLiteral("txtSourceContext=OTHER")});
        m_presenter.setNextAnswer(Presenter::Yes);
        QVERIFY(f.model.PromptToSaveRecord());
        QCOMPARE(f.own(QStringLiteral("C"), f.pc02)->SourceDomain, QStringLiteral("OTHER"));

        // Yes with a refused save keeps the edits and stops the command.
        apply(f.model, {QStringLiteral("chkJoinDomain")});
        m_presenter.setNextAnswer(Presenter::Yes);
        QVERIFY(!f.model.PromptToSaveRecord());
        QVERIFY(f.model.SettingsChanged());
        QCOMPARE(f.model.check(Check::JoinDomain), int(Model::Checked));
    }

    void invalidJoinValueIsReportedAndTheRestShown()
    {
        Fixture f;
        f.own(QStringLiteral("C"), f.pc02)->JoinVal = 7;
        f.load(QStringLiteral("C%1").arg(f.pc02));
        QCOMPARE(m_presenter.count(), 1);
        QCOMPARE(m_presenter.last().icon, Presenter::Icon::Critical);
        QVERIFY(m_presenter.last().text.contains(QStringLiteral("Function: frmMain.DisplaySettings")));
        QVERIFY(m_presenter.last().text.endsWith(QStringLiteral("Invalid join value encountered.")));
        QCOMPARE(f.model.check(Check::RebootAllow), int(Model::Checked));
        QCOMPARE(f.model.text(Text::DestContext), QStringLiteral("NEWDOM"));
    }

    void inheritFromParent()
    {
        Fixture f;
        f.load(QStringLiteral("F%1").arg(f.sales));
        f.model.cmdInheritFromParent_Click();
        QCOMPARE(m_presenter.last().text, QStringLiteral("This object is already inheriting settings."));

        f.load(QStringLiteral("F%1").arg(f.labs));
        QCOMPARE(f.model.check(Check::JoinWorkgroup), int(Model::Checked));
        m_presenter.setNextAnswer(Presenter::No);
        f.model.cmdInheritFromParent_Click();
        QCOMPARE(m_presenter.last().caption, QStringLiteral("Confirm inheritance"));
        QCOMPARE(m_presenter.last().text,
            "Are you sure you'd like to remove these settings and " + CR + "inherit the settings from a parent object?");
        QVERIFY(f.own(QStringLiteral("F"), f.labs));

        QSignalSpy icons(&f.model, &Model::treeIconsChanged);
        m_presenter.setNextAnswer(Presenter::Yes);
        f.model.cmdInheritFromParent_Click();
        QVERIFY(!f.own(QStringLiteral("F"), f.labs));
        QCOMPARE(f.model.check(Check::JoinWorkgroup), int(Model::Unchecked));
        QCOMPARE(f.model.check(Check::RebootAllow), int(Model::Grayed));
        QVERIFY(AppState::Get().DatabaseChanged);
        QCOMPARE(icons.size(), 1);
    }

    void overwriteChildren()
    {
        Fixture f;
        const int sub = f.db.AddFolder(QStringLiteral("Lab 2"), f.labs);
        f.db.AddSettings(f.own(QStringLiteral("G"), -1)->Clone(), sub, QStringLiteral("F"));
        f.load(QStringLiteral("F%1").arg(f.labs));
        QVERIFY(f.model.commandEnabled(Command::OverwriteChildren));

        m_presenter.setNextAnswer(Presenter::No);
        f.model.cmdOverwriteChildren_Click();
        QCOMPARE(m_presenter.last().caption, QStringLiteral("Overwrite Children Settings"));
        QCOMPARE(m_presenter.last().text,
            "This will erase all individual settings and force settings inheritance" + CR
                + "for all on computers and groups below the currently selected" + CR + "node (\"Labs\")." + CR + CR
                + "Are you sure you wish to proceed?");
        QVERIFY(f.own(QStringLiteral("F"), sub));

        m_presenter.setNextAnswer(Presenter::Yes);
        f.model.cmdOverwriteChildren_Click();
        QVERIFY(!f.own(QStringLiteral("F"), sub));
        QVERIFY(f.own(QStringLiteral("F"), f.labs));

        f.load(QStringLiteral("C%1").arg(f.pc02));
        QVERIFY(!f.model.commandEnabled(Command::OverwriteChildren));
    }

    void userListLines()
    {
        Fixture f;
        f.db.GetComputerUserList(f.pc01)->AddUserToSID(QStringLiteral("dave"), QStringLiteral("S-1-5-21-9-9-9-1002"));
        f.load(QStringLiteral("C%1").arg(f.pc01));
        QCOMPARE(f.model.title(), QStringLiteral("PC01"));
        QCOMPARE(f.model.headerIcon(), 6);
        QCOMPARE(f.model.subtitle(), QStringLiteral("Custom individual computer settings"));
        QVERIFY(f.model.userListEnabled());
        QCOMPARE(f.model.userLines(), QStringList({"alice -> alice2", "S-1-5-21-9-9-9-1001 -> bob", "dave -> *SID*"}));
        QVERIFY(f.model.commandEnabled(Command::AddUser));
        QVERIFY(f.model.commandEnabled(Command::DeleteUser));

        UserProfilesPtr all = UserProfiles::create();
        all->AddAllUsers();
        f.db.SetComputerUserList(f.pc02, all);
        f.load(QStringLiteral("C%1").arg(f.pc02));
        QCOMPARE(f.model.userLines(), QStringList {"*ALL -> *ALL"});
        QVERIFY(!f.model.commandEnabled(Command::AddUser));
        QVERIFY(f.model.commandEnabled(Command::DeleteUser));
    }

    void deleteUserCountsShownLinesOnly()
    {
        Fixture f;
        const UserProfilesPtr list = f.db.GetComputerUserList(f.pc01);
        list->AddUserToUser(QStringLiteral("erin"), QStringLiteral("erin2")); // ID 2
        list->AddUserToUser(QStringLiteral("fay"), QStringLiteral("fay2")); // ID 3
        list->DeleteUser(0);
        f.load(QStringLiteral("C%1").arg(f.pc01));
        QCOMPARE(f.model.userLines().at(1), QStringLiteral("erin -> erin2"));

        f.model.cmdDeleteUser_Click(-1);
        QCOMPARE(m_presenter.last().text, QStringLiteral("You must select the user migration set that you wish to delete from the list."));

        m_presenter.setNextAnswer(Presenter::No);
        f.model.cmdDeleteUser_Click(0);
        QCOMPARE(m_presenter.last().caption, QStringLiteral("Confirm Delete"));
        QCOMPARE(
            m_presenter.last().text, QStringLiteral("Are you sure you'd like to delete the migration set 'S-1-5-21-9-9-9-1001 -> bob'?"));
        QCOMPARE(list->GetUserCount(), 3);

        m_presenter.setNextAnswer(Presenter::Yes);
        f.model.cmdDeleteUser_Click(1);
        QCOMPARE(m_presenter.last().text, QStringLiteral("Are you sure you'd like to delete the migration set 'erin -> erin2'?"));
        QVERIFY(!list->GetUser(2));
        QVERIFY(list->GetUser(1) && list->GetUser(3));
        QCOMPARE(f.model.userLines(), QStringList({"S-1-5-21-9-9-9-1001 -> bob", "fay -> fay2"}));
        QCOMPARE(f.db.GetComputerUserList(f.pc01), list);
        QVERIFY(AppState::Get().DatabaseChanged);
    }

    void invalidSelectionKeepsThePanel()
    {
        Fixture f;
        f.load(QStringLiteral("C%1").arg(f.pc02));
        apply(f.model, {QStringLiteral("txtDestContext=X")});
        f.model.LoadSelectedNode(NodeInfo {});
        QCOMPARE(f.model.ObjectKey(), QStringLiteral("C%1").arg(f.pc02));
        QCOMPARE(f.model.text(Text::DestContext), QStringLiteral("X"));
        QVERIFY(!f.model.SettingsChanged());
    }
};

QTEST_GUILESS_MAIN(TestObjectSettingsModel)
#include "tst_ObjectSettingsModel.moc"

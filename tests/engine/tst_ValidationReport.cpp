#include "engine/ValidationCode.h"
#include "engine/ValidationReport.h"

#include "JobFixture.h"

#include "support/RecordingPresenter.h"

#include <QTest>

using Tab = ValidationReport::Tab;

namespace {

const QString CR = QStringLiteral("\r");
const QString kEnding = QStringLiteral("\rPlease check your input or re-run the authentication wizard.");
const QString kW = QStringLiteral(
    "This may be expected if using global or group settings and some\rPCs do not have profiles to migrate.\r\rDo you wish to ignore "
    "this message?");
const QString kInternal = QStringLiteral("An internal error occurred.  Please report this error to Brindlewood:\r");

ValidationResult failing(int code, const QString &sourceKey = QStringLiteral("F-1"), const QString &character = QString())
{
    ValidationResult result;
    result.Code = code;
    result.Index = 4;
    result.ComputerKey = QStringLiteral("C4");
    result.SettingsSourceKey = sourceKey;
    result.Character = character;
    return result;
}

} // namespace

Q_DECLARE_METATYPE(ValidationReport::Tab)

class TestValidationReport : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;

private Q_SLOTS:
    void texts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("warning");
        const auto row = [](int code, const QString &text, bool warning = false) { QTest::addRow("%d", code) << code << text << warning; };
        row(1, "The 'Local Admin A' domain is invalid." + kEnding);
        row(2, "The 'Local Admin A' password is too long or invalid." + kEnding);
        row(3, "The 'Local Admin A' username is invalid." + kEnding);
        row(4, "The 'Destination SID Lookup' domain is invalid." + kEnding);
        row(5, "A domain was specified without a username for 'Destination SID Lookup.'" + kEnding);
        row(6, "The 'Destination SID Lookup' password is too long or invalid." + kEnding);
        row(7, "A password was specified without a username for 'Destination SID Lookup.'" + kEnding);
        row(8, "The 'Destination SID Lookup' username is invalid.\r" + kW + kEnding, true);
        row(9, "The 'Local Admin B' domain is invalid." + kEnding);
        row(10, "The 'Local Admin B' password is too long or invalid." + kEnding);
        row(11, "The 'Local Admin B' username is invalid." + kEnding);
        row(12, "The 'Source SID Lookup' domain is invalid." + kEnding);
        row(13, "A domain was specified without a username for 'Source SID Lookup.'" + kEnding);
        row(14, "The 'Source SID Lookup' password is too long or invalid." + kEnding);
        row(15, "A password was specified without a username for 'Source SID Lookup.'" + kEnding);
        row(16, "The 'Source SID Lookup' username is invalid.\r" + kW + kEnding, true);
        row(17, "A 'Source SID Lookup' account is not required as source SIDs were supplied for profile migrations." + kEnding);
        row(18, "The 'Domain Join Privileges' domain is invalid." + kEnding);
        row(19, "A domain was specified without a username for 'Domain Join Privileges.'" + kEnding);
        row(20, "The 'Domain Join Privileges' password is too long or invalid." + kEnding);
        row(21, "A password was specified without a username for 'Domain Join Privileges.'" + kEnding);
        row(22, "The 'Domain Join Privileges' username is invalid." + kEnding);
        row(23,
            "A 'Domain Join Privileges' username was provided without specifying a domain join action.\rPlease choose 'Join Domain' or "
            "clear the 'Domain Join Privilieges' username and password."
                + kEnding);
        row(24, kEnding); // a failure number in the accounts range
        row(100, "The 'Destination DC IP' specified is invalid.");
        row(101,
            "'Destination DC IP' was specified without 'Destination Domain.'\rPlease specify a 'Destination Domain' or clear the "
            "'Destination DC IP.'");
        row(102, "'Destination DC' is invalid.");
        row(103, "'Destination DC' was specified without 'Destination Domain.'");
        row(104, "'Destination Domain' is invalid.");
        row(105,
            "'Destination Domain' is required to migrate profiles.  Please enter\ra 'Destination Domain' or clear the 'Profiles' list "
            "for this computer.");
        row(106,
            "'Destination Domain' was specified without any profiles to migrate.  Please\renter at least profile for this computer or "
            "clear the 'Destination Domain.'",
            true);
        row(107, "The 'Source DC IP' specified is invalid.");
        row(108, "'Source DC IP' was specified without 'Source Domain.'\rPlease specify a 'Source Domain' or clear the 'Source DC IP.'");
        row(109, "'Source DC' is invalid.");
        row(110, "");
        row(111, "'Source DC' was specified without 'Source Domain.'  Please\rspecify a 'Source DC' or clear the 'Source Domain.'");
        row(112, "'Source Domain' is invalid.");
        row(113,
            "'Source Domain' is required to migrate profiles from source usernames.\rPlease enter a 'Source Domain' or clear the "
            "'Profiles' list for this computer.");
        row(114,
            "'Source Domain' was specified without any profiles to migrate or source SIDs specified.\rPlease enter at least one profile "
            "migration for this computer or clear the 'Source Domain.'\r"
                + kW,
            true);
        row(200, "At least one 'Destination User' specified in the migration profiles is invalid.");
        row(201, "At least one 'Source SID' specified in the migration profiles is invalid.");
        row(202,
            "'Source User' and 'Source SID' cannot be migrated in one run.  Please enter all 'Source Users' or 'Source SIDs' to "
            "migrate profiles.");
        row(203, "At least one 'Source SID' has been entered when User to User migration has been selected.");
        row(204, "At least one 'Source User' specified in the migration profiles is invalid.");
        row(205, "At least one 'Source User' has been entered when SID to User migration has been selected.");
        row(206, "");
        row(300, "A numeric value is required for 'Minimum disk space required after migration.'");
        row(301, "The 'Join Domain DC IP' specified for the domain join is invalid.");
        row(302,
            "'Join Domain DC IP' was specified without 'Join Domain.'  Please\renter a 'Join Domain' name or clear the 'Join "
            "Domain DC IP.'");
        row(303, "'Join Domain DC' is invalid.");
        row(305, "'Join Domain DC' was specified without 'Join Domain.'");
        row(306, "'Join Domain/Workgroup' is invalid.");
        row(308, "");
        row(900, kInternal + "Internal action invalid.");
        row(901, kInternal + "'Force Reboot' invalid.");
        row(902, kInternal + "Migration type invalid.");
        row(903, kInternal + "Join type invalid.");
        row(904, kInternal + "'Reboot Allowed' invalid.");
        row(905, "'Join Domain/Workgroup' specified without join type.");
        row(906, kInternal);
        row(450, kInternal);
        row(35601, kInternal);
    }

    void texts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QFETCH(bool, warning);
        QCOMPARE(ValidationReport::TextFor(code), text);
        QCOMPARE(ValidationReport::IsWarning(code), warning);
        const ValidationReport report = ValidationReport::Build(failing(code), QStringLiteral("PC-4"), QStringLiteral("All Computers"));
        QCOMPARE(report.SpecificText, text);
        QCOMPARE(report.Warning, warning);
        QVERIFY(!report.Passed);
    }

    void tabsAndFields_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<ValidationReport::Tab>("tab");
        QTest::addColumn<QStringList>("fields");
        const QStringList wizard {QStringLiteral("cmdAuthWizard")};
        const QStringList list {QStringLiteral("lstMigrateUsers")};
        QTest::newRow("1") << 1 << Tab::Authentication << wizard;
        QTest::newRow("23") << 23 << Tab::Authentication << wizard;
        QTest::newRow("99") << 99 << Tab::Authentication << wizard;
        QTest::newRow("100") << 100 << Tab::Domains << QStringList {"txtDestDCIP"};
        QTest::newRow("101") << 101 << Tab::Domains << QStringList {"txtDestDCIP"};
        QTest::newRow("102") << 102 << Tab::Domains << QStringList {"txtDestDC"};
        QTest::newRow("103") << 103 << Tab::Domains << QStringList {"txtDestDC"};
        QTest::newRow("104") << 104 << Tab::Domains << QStringList {"txtDestContext"};
        QTest::newRow("105") << 105 << Tab::Domains << QStringList {"txtDestContext"};
        QTest::newRow("106") << 106 << Tab::Domains << QStringList {"txtDestContext"};
        QTest::newRow("107") << 107 << Tab::Domains << QStringList {"txtSourceDCIP"};
        QTest::newRow("108") << 108 << Tab::Domains << QStringList {"txtSourceDCIP"};
        QTest::newRow("109") << 109 << Tab::Domains << QStringList {"txtSourceDC"};
        QTest::newRow("110") << 110 << Tab::Domains << QStringList();
        QTest::newRow("111") << 111 << Tab::Domains << QStringList {"txtSourceDC"};
        QTest::newRow("112") << 112 << Tab::Domains << QStringList {"txtSourceContext"};
        QTest::newRow("113") << 113 << Tab::Domains << QStringList {"txtSourceContext"};
        QTest::newRow("114") << 114 << Tab::Domains << QStringList {"txtSourceContext"};
        QTest::newRow("200") << 200 << Tab::None << list;
        QTest::newRow("205") << 205 << Tab::None << list;
        QTest::newRow("300") << 300 << Tab::Options << QStringList {"txtMinFreeSpace"};
        QTest::newRow("301") << 301 << Tab::DomainJoin << QStringList {"txtDomDCIP"};
        QTest::newRow("302") << 302 << Tab::DomainJoin << QStringList {"txtDomDCIP"};
        QTest::newRow("303") << 303 << Tab::DomainJoin << QStringList {"txtDomDCName"};
        QTest::newRow("305") << 305 << Tab::DomainJoin << QStringList {"txtDomDCName"};
        QTest::newRow("306") << 306 << Tab::DomainJoin << QStringList {"txtJoinDomainName", "txtJoinWorkgroupName"};
        QTest::newRow("308") << 308 << Tab::None << QStringList();
        QTest::newRow("903") << 903 << Tab::None << QStringList();
        QTest::newRow("905") << 905 << Tab::None << QStringList();
        QTest::newRow("310 computer name") << 310 << Tab::None << QStringList();
        QTest::newRow("313 Admin A password") << 313 << Tab::Authentication << wizard;
        QTest::newRow("325 Source lookup password") << 325 << Tab::Authentication << wizard;
        QTest::newRow("332 source DC address") << 332 << Tab::Domains << QStringList {"txtSourceDCIP"};
        QTest::newRow("333 destination domain") << 333 << Tab::Domains << QStringList {"txtDestContext"};
        QTest::newRow("336 join name") << 336 << Tab::DomainJoin << QStringList {"txtJoinDomainName", "txtJoinWorkgroupName"};
        QTest::newRow("338 join DC address") << 338 << Tab::DomainJoin << QStringList {"txtDomDCIP"};
        QTest::newRow("341 source SID") << 341 << Tab::None << list;
    }

    void tabsAndFields()
    {
        QFETCH(int, code);
        QFETCH(ValidationReport::Tab, tab);
        QFETCH(QStringList, fields);
        const ValidationReport report = ValidationReport::Build(failing(code, "F-1", "é"), "PC-4", "All Computers");
        QCOMPARE(report.SettingsTab, tab);
        QCOMPARE(report.Fields, fields);
    }

    void inheritedSettingsShowTheirSource()
    {
        const ValidationReport report = ValidationReport::Build(failing(104, "F7"), "PC-4", "Sales");
        QCOMPARE(report.NodeToShow, QStringLiteral("F7"));
        QCOMPARE(report.Message,
            QStringLiteral("Validation error checking computer 'PC-4'.\rThis node is inheriting the invalid setting from group "
                           "'Sales'.\r'Destination Domain' is invalid."));
    }

    void ownSettingsHaveNoInheritanceLine()
    {
        const ValidationReport report = ValidationReport::Build(failing(104, "C4"), "PC-4", "PC-4");
        QCOMPARE(report.NodeToShow, QStringLiteral("C4"));
        QCOMPARE(report.Message, QStringLiteral("Validation error checking computer 'PC-4'.\r'Destination Domain' is invalid."));
    }

    void userListFaultsShowTheComputer_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("200") << 200;
        QTest::newRow("202") << 202;
        QTest::newRow("299") << 299;
        QTest::newRow("310 computer name") << 310;
        QTest::newRow("340 source user") << 340;
        QTest::newRow("342 destination user") << 342;
    }

    void userListFaultsShowTheComputer()
    {
        QFETCH(int, code);
        const ValidationReport report = ValidationReport::Build(failing(code, "F7", "é"), "PC-4", "Sales");
        QCOMPARE(report.NodeToShow, QStringLiteral("C4"));
        QVERIFY(!report.Message.contains(QStringLiteral("inheriting")));
        QVERIFY(report.Message.startsWith(QStringLiteral("Validation error checking computer 'PC-4'.\r")));
    }

    void codeWithoutTextGivesTheHeaderAlone()
    {
        const ValidationReport report = ValidationReport::Build(failing(308, "C4"), "PC-4", "PC-4");
        QCOMPARE(report.Message, QStringLiteral("Validation error checking computer 'PC-4'.\r"));
        QVERIFY(!report.Warning);
    }

    void passedResultHasNothingToShow()
    {
        ValidationResult result;
        result.SettingsSourceKey = QStringLiteral("F-1");
        const ValidationReport report = ValidationReport::Build(result, QString(), QStringLiteral("All Computers"));
        QVERIFY(report.Passed);
        QVERIFY(report.Message.isEmpty());
        QCOMPARE(report.NodeToShow, QString());
    }

    void unreadableTextsNameFieldAndCharacter_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("character");
        QTest::addColumn<QString>("text");
        const QString tail
            = QStringLiteral(", which cannot be passed to the client computers.\rOnly characters of the Windows ANSI code page up "
                             "to code 199 reach them unchanged.");
        QTest::newRow("password") << 313 << QStringLiteral("é")
                                  << "The 'Local Admin A' password contains the character 'é' (U+00E9)" + tail + kEnding;
        QTest::newRow("computer") << 310 << QStringLiteral("Ω") << "The computer name contains the character 'Ω' (U+03A9)" + tail;
        QTest::newRow("line feed") << 332 << QStringLiteral("\n") << "The 'Source DC IP' contains the character U+000A" + tail;
        QTest::newRow("emoji") << 342 << QStringLiteral("\U0001F600")
                               << "A 'Destination User' in the migration profiles contains the character '\U0001F600' (U+1F600)" + tail;
    }

    void unreadableTextsNameFieldAndCharacter()
    {
        QFETCH(int, code);
        QFETCH(QString, character);
        QFETCH(QString, text);
        const ValidationReport report = ValidationReport::Build(failing(code, "F-1", character), "PC-4", "All Computers");
        QCOMPARE(report.SpecificText, text);
        QVERIFY(!report.Warning);
    }

    void textsComeFromTheDatabase()
    {
        ComputerDB db;
        const int group = db.AddFolder(QStringLiteral("Sales"), -1);
        const int id = db.AddComputer(QStringLiteral("PC-9"), QString(), group, -1);
        QCOMPARE(ValidationReport::NodeText(db, QStringLiteral("F-1")), QStringLiteral("All Computers"));
        QCOMPARE(ValidationReport::NodeText(db, QStringLiteral("F%1").arg(group)), QStringLiteral("Sales"));
        QCOMPARE(ValidationReport::NodeText(db, QStringLiteral("C%1").arg(id)), QStringLiteral("PC-9"));

        ValidationResult result = failing(106, QStringLiteral("F-1"));
        result.ComputerKey = QStringLiteral("C%1").arg(id);
        const ValidationReport report = ValidationReport::Build(result, db);
        QVERIFY(report.Message.startsWith(QStringLiteral(
            "Validation error checking computer 'PC-9'.\rThis node is inheriting the invalid setting from group 'All Computers'.\r")));
        QVERIFY(report.Warning);
        QCOMPARE(ValidationReport::WarningButtons(), (QStringList {"Ignore All", "Ignore Once", "Cancel"}));
    }
};

QTEST_GUILESS_MAIN(TestValidationReport)
#include "tst_ValidationReport.moc"

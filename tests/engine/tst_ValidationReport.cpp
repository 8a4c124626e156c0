#include "engine/ValidationCode.h"
#include "engine/ValidationReport.h"

#include "JobFixture.h"

#include "support/RecordingPresenter.h"

#include <QTest>

using Tab = ValidationReport::Tab;

namespace {

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
    // One or two codes of each kind of text: accounts end with the wizard
    // hint, warnings with the question, internal codes carry the report
    // prefix, and some codes have no text at all.
    void texts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const auto row = [](int code, const QString &text) { QTest::addRow("%d", code) << code << text; };
        row(1, "The 'Local Admin A' domain is invalid." + kEnding);
        row(8, "The 'Destination SID Lookup' username is invalid.\r" + kW + kEnding);
        row(23,
            "A 'Domain Join Privileges' username was provided without specifying a domain join action.\rPlease choose 'Join Domain' or "
            "clear the 'Domain Join Privilieges' username and password."
                + kEnding);
        row(24, kEnding); // a failure number in the accounts range
        row(106,
            "'Destination Domain' was specified without any profiles to migrate.  Please\renter at least profile for this computer or "
            "clear the 'Destination Domain.'");
        row(110, "");
        row(114,
            "'Source Domain' was specified without any profiles to migrate or source SIDs specified.\rPlease enter at least one profile "
            "migration for this computer or clear the 'Source Domain.'\r"
                + kW);
        row(202,
            "'Source User' and 'Source SID' cannot be migrated in one run.  Please enter all 'Source Users' or 'Source SIDs' to "
            "migrate profiles.");
        row(206, "");
        row(300, "A numeric value is required for 'Minimum disk space required after migration.'");
        row(308, "");
        row(309,
            "The computer name is not a valid Windows computer name: it must have at most 15 characters,\rno blanks and none of these: "
            "\" / [ ] : ; | = , + * ? < > \\\rPlease rename the computer.");
        row(901, kInternal + "'Force Reboot' invalid.");
        row(905, "'Join Domain/Workgroup' specified without join type.");
        row(906, kInternal);
        row(35601, kInternal);
    }

    void texts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(ValidationReport::TextFor(code), text);
        const ValidationReport report = ValidationReport::Build(failing(code), QStringLiteral("PC-4"), QStringLiteral("All Computers"));
        QCOMPARE(report.SpecificText, text);
        QCOMPARE(report.Warning, ValidationReport::IsWarning(code));
        QVERIFY(!report.Passed);
    }

    void warningsAreTheFourCodes()
    {
        const QList<int> warnings {8, 16, 106, 114};
        for (int code = 0; code <= 1000; ++code)
            QVERIFY2(ValidationReport::IsWarning(code) == warnings.contains(code), qPrintable(QString::number(code)));
    }

    void tabsAndFields_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<ValidationReport::Tab>("tab");
        QTest::addColumn<QStringList>("fields");
        const QStringList wizard {QStringLiteral("cmdAuthWizard")};
        const QStringList list {QStringLiteral("lstMigrateUsers")};
        const QStringList joinName {"txtJoinDomainName", "txtJoinWorkgroupName"};
        QTest::newRow("1") << 1 << Tab::Authentication << wizard;
        QTest::newRow("99") << 99 << Tab::Authentication << wizard;
        QTest::newRow("100") << 100 << Tab::Domains << QStringList {"txtDestDCIP"};
        QTest::newRow("103") << 103 << Tab::Domains << QStringList {"txtDestDC"};
        QTest::newRow("105") << 105 << Tab::Domains << QStringList {"txtDestContext"};
        QTest::newRow("108") << 108 << Tab::Domains << QStringList {"txtSourceDCIP"};
        QTest::newRow("109") << 109 << Tab::Domains << QStringList {"txtSourceDC"};
        QTest::newRow("110") << 110 << Tab::Domains << QStringList();
        QTest::newRow("114") << 114 << Tab::Domains << QStringList {"txtSourceContext"};
        QTest::newRow("205") << 205 << Tab::None << list;
        QTest::newRow("300") << 300 << Tab::Options << QStringList {"txtMinFreeSpace"};
        QTest::newRow("302") << 302 << Tab::DomainJoin << QStringList {"txtDomDCIP"};
        QTest::newRow("303") << 303 << Tab::DomainJoin << QStringList {"txtDomDCName"};
        QTest::newRow("306") << 306 << Tab::DomainJoin << joinName;
        QTest::newRow("308") << 308 << Tab::None << QStringList();
        QTest::newRow("903") << 903 << Tab::None << QStringList();
        QTest::newRow("310 computer name") << 310 << Tab::None << QStringList();
        QTest::newRow("325 Source lookup password") << 325 << Tab::Authentication << wizard;
        QTest::newRow("332 source DC address") << 332 << Tab::Domains << QStringList {"txtSourceDCIP"};
        QTest::newRow("333 destination domain") << 333 << Tab::Domains << QStringList {"txtDestContext"};
        QTest::newRow("336 join name") << 336 << Tab::DomainJoin << joinName;
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

    void messageAndNodeToShow_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("sourceKey");
        QTest::addColumn<QString>("sourceName");
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("message");
        const QString header = QStringLiteral("Validation error checking computer 'PC-4'.\r");
        const QString inherited = QStringLiteral("This node is inheriting the invalid setting from group 'Sales'.\r");
        const QString domain = QStringLiteral("'Destination Domain' is invalid.");
        QTest::newRow("inherited") << 104 << "F7"
                                   << "Sales"
                                   << "F7" << header + inherited + domain;
        QTest::newRow("own record") << 104 << "C4"
                                    << "PC-4"
                                    << "C4" << header + domain;
        QTest::newRow("code without text") << 308 << "C4"
                                           << "PC-4"
                                           << "C4" << header;
        // Faults of the list or of texts point at the computer, whatever record it inherits.
        QTest::newRow("user list 200") << 200 << "F7"
                                       << "Sales"
                                       << "C4" << header + ValidationReport::TextFor(200, "é");
        QTest::newRow("user list 299") << 299 << "F7"
                                       << "Sales"
                                       << "C4" << header + ValidationReport::TextFor(299, "é");
        QTest::newRow("computer name 309") << 309 << "F7"
                                           << "Sales"
                                           << "C4" << header + ValidationReport::TextFor(309);
        QTest::newRow("computer name 310") << 310 << "F7"
                                           << "Sales"
                                           << "C4" << header + ValidationReport::TextFor(310, "é");
        QTest::newRow("destination user 342") << 342 << "F7"
                                              << "Sales"
                                              << "C4" << header + ValidationReport::TextFor(342, "é");
    }

    void messageAndNodeToShow()
    {
        QFETCH(int, code);
        QFETCH(QString, sourceKey);
        QFETCH(QString, sourceName);
        QFETCH(QString, node);
        QFETCH(QString, message);
        const ValidationReport report = ValidationReport::Build(failing(code, sourceKey, "é"), "PC-4", sourceName);
        QCOMPARE(report.NodeToShow, node);
        QCOMPARE(report.Message, message);
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

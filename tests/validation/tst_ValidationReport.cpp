#include "validation/ValidationReport.h"

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
    // One code of each kind of text: accounts end with the wizard hint,
    // warnings with the question, internal codes carry the report prefix,
    // codes of no table have no text at all, and the texts the clients
    // cannot read name their field and character.
    void texts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("character");
        QTest::addColumn<QString>("text");
        const auto row = [](int code, const QString &text) { QTest::addRow("%d", code) << code << QString() << text; };
        row(1, "The 'Local Admin A' domain is invalid." + kEnding);
        row(8, "The 'Destination SID Lookup' username is invalid.\r" + kW + kEnding);
        row(24, kEnding); // a failure number in the accounts range
        row(110, "");
        row(114,
            "'Source Domain' was specified without any profiles to migrate or source SIDs specified.\rPlease enter at least one profile "
            "migration for this computer or clear the 'Source Domain.'\r"
                + kW);
        row(905, "'Join Domain/Workgroup' specified without join type.");
        row(35601, kInternal);
        const QString tail
            = QStringLiteral(", which cannot be passed to the client computers.\rOnly characters of the Windows ANSI code page up "
                             "to code 199 reach them unchanged.");
        QTest::newRow("password") << 313 << QStringLiteral("é")
                                  << "The 'Local Admin A' password contains the character 'é' (U+00E9)" + tail + kEnding;
        QTest::newRow("line feed") << 332 << QStringLiteral("\n") << "The 'Source DC IP' contains the character U+000A" + tail;
        QTest::newRow("emoji") << 342 << QStringLiteral("\U0001F600")
                               << "A 'Destination User' in the migration profiles contains the character '\U0001F600' (U+1F600)" + tail;
    }

    void texts()
    {
        QFETCH(int, code);
        QFETCH(QString, character);
        QFETCH(QString, text);
        const ValidationReport report = ValidationReport::Build(
            failing(code, QStringLiteral("F-1"), character), QStringLiteral("PC-4"), QStringLiteral("All Computers"));
        QCOMPARE(report.SpecificText, text);
        QVERIFY(!report.Passed);
    }

    void warningsAreTheFiveCodes()
    {
        const QList<int> warnings {8, 16, 106, 114, 307};
        for (int code = 0; code <= 1000; ++code)
            QVERIFY2(ValidationReport::IsWarning(code) == warnings.contains(code), qPrintable(QString::number(code)));
    }

    // Where the administrator is sent, at the edges of the ranges, and the
    // node selected: the computer for its list and its own name or texts,
    // the owner of the settings record otherwise.
    void tabFieldAndNode_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<ValidationReport::Tab>("tab");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("node");
        const QStringList wizard {QStringLiteral("cmdAuthWizard")};
        const QStringList list {QStringLiteral("lstMigrateUsers")};
        QTest::newRow("1") << 1 << Tab::Authentication << wizard << "F7";
        QTest::newRow("110") << 110 << Tab::Domains << QStringList() << "F7";
        QTest::newRow("299") << 299 << Tab::None << list << "C4";
        QTest::newRow("306") << 306 << Tab::DomainJoin << QStringList {"txtJoinDomainName", "txtJoinWorkgroupName"} << "F7";
        QTest::newRow("308") << 308 << Tab::None << QStringList() << "F7";
        QTest::newRow("309 computer name") << 309 << Tab::None << QStringList() << "C4";
        QTest::newRow("310 computer name text") << 310 << Tab::None << QStringList() << "C4";
        QTest::newRow("325 Source lookup password") << 325 << Tab::Authentication << wizard << "F7";
        QTest::newRow("342 destination user") << 342 << Tab::None << list << "C4";
    }

    void tabFieldAndNode()
    {
        QFETCH(int, code);
        QFETCH(ValidationReport::Tab, tab);
        QFETCH(QStringList, fields);
        QFETCH(QString, node);
        const ValidationReport report = ValidationReport::Build(failing(code, "F7", "é"), "PC-4", "Sales");
        QCOMPARE(report.SettingsTab, tab);
        QCOMPARE(report.Fields, fields);
        QCOMPARE(report.NodeToShow, node);
        const QString header = QStringLiteral("Validation error checking computer 'PC-4'.\r");
        const QString inherited = QStringLiteral("This node is inheriting the invalid setting from group 'Sales'.\r");
        QCOMPARE(report.Message, header + (node == "F7" ? inherited : QString()) + report.SpecificText);
    }

    void ownRecordHasNoInheritanceLine()
    {
        const ValidationReport report = ValidationReport::Build(failing(104, "C4"), "PC-4", "PC-4");
        QCOMPARE(report.Message, QStringLiteral("Validation error checking computer 'PC-4'.\r'Destination Domain' is invalid."));
    }

    void passedResultHasNothingToShow()
    {
        ValidationResult result;
        result.SettingsSourceKey = QStringLiteral("F-1");
        const ValidationReport report = ValidationReport::Build(result, QString(), QStringLiteral("All Computers"));
        QVERIFY(report.Passed && report.Message.isEmpty() && report.NodeToShow.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestValidationReport)
#include "tst_ValidationReport.moc"

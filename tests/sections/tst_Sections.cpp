#include "settings/sections/AccountEntrySection.h"
#include "settings/sections/ContextSection.h"
#include "settings/sections/JoinSection.h"
#include "settings/sections/OptionsSection.h"

#include <QTest>

#include <memory>

namespace {

// A section as a host would set it up: "defaults" is an own record with
// the defaults of a new global record, "inherited..." a record of a higher
// level, "cleared" nothing loaded at all.
std::unique_ptr<SettingsSection> makeSection(const QString &kind, const QString &setup)
{
    GlobalSettings record;
    record.SetDefaults();
    record.JoinVal = JoinNone;
    const bool inherited = setup.startsWith(QLatin1String("inherited"));
    if (setup == QLatin1String("copyOff"))
        record.CopyProfile = 0;
    if (setup == QLatin1String("inheritedSpace"))
        record.MinFreeSpace = 100;
    if (setup == QLatin1String("inheritedWorkgroup")) {
        record.JoinVal = JoinWorkgroup;
        record.JoinName = QStringLiteral("LABGROUP");
    }
    if (setup == QLatin1String("destLocal")) {
        record.DestinationDomain = LocalAccountDomain;
        record.DestinationDCName = QStringLiteral("stale");
    }

    std::unique_ptr<SettingsSection> section;
    if (kind == QLatin1String("account")) {
        auto account = std::make_unique<AccountEntrySection>();
        if (setup == QLatin1String("domainOnly"))
            account->setAccountType(AccountEntrySection::AccountType::DomainOnly);
        if (setup == QLatin1String("localOnly"))
            account->setAccountType(AccountEntrySection::AccountType::LocalOnly);
        if (setup == QLatin1String("localAccount"))
            account->load(AccountRecord {QStringLiteral("admin"), QStringLiteral("pw"), LocalAccountDomain});
        section = std::move(account);
    } else if (kind == QLatin1String("options")) {
        auto options = std::make_unique<OptionsSection>();
        options->load(record, inherited);
        section = std::move(options);
    } else if (kind == QLatin1String("join")) {
        auto join = std::make_unique<JoinSection>();
        join->load(record, inherited);
        section = std::move(join);
    } else {
        auto context = std::make_unique<ContextSection>(
            kind == QLatin1String("source") ? ContextSection::Side::Source : ContextSection::Side::Destination);
        context->load(record, inherited);
        section = std::move(context);
    }
    if (setup == QLatin1String("cleared"))
        section->clear();
    return section;
}

// "txtX" reads "text" or "text|L" (locked); "chkX" "1" or "0|L"; "cmdX" "on" or "off".
QString describe(const SettingsSection &section, const QString &name)
{
    const int control = section.controlIndex(name);
    switch (section.controlKind(control)) {
    case SettingsSection::Kind::Text:
        return section.text(control) + (section.locked(control) ? "|L" : "");
    case SettingsSection::Kind::Check:
        return QString::number(section.check(control)) + (section.locked(control) ? "|L" : "");
    case SettingsSection::Kind::Command:
        return section.commandEnabled(control) ? "on" : "off";
    }
    return QString();
}

} // namespace

class TestSections : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rules_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("setup");
        // "chkX" clicks the box, "txtX=text" types into the field.
        QTest::addColumn<QStringList>("steps");
        // "name=state" as describe() reads it.
        QTest::addColumn<QStringList>("expected");

        // clang-format off
        QTest::newRow("copying off unticks and locks its dependants, the space with its number")
            << "options" << "defaults" << QStringList {"chkMinFreeSpace", "txtMinFreeSpace=500", "chkCopyProfile"}
            << QStringList {"chkNoTempInternet=0|L", "chkMinFreeSpace=0|L", "txtMinFreeSpace=|L"};
        QTest::newRow("copying on again ticks Temporary Internet Files only")
            << "options" << "defaults" << QStringList {"chkCopyProfile", "chkCopyProfile"}
            << QStringList {"chkNoTempInternet=1", "chkMinFreeSpace=0", "txtMinFreeSpace=|L"};
        QTest::newRow("reboots off untick and lock forcing")
            << "options" << "defaults" << QStringList {"chkRebootAllow"} << QStringList {"chkRebootForce=0|L"};
        QTest::newRow("reboots on again tick forcing")
            << "options" << "defaults" << QStringList {"chkRebootAllow", "chkRebootAllow"} << QStringList {"chkRebootForce=1"};
        QTest::newRow("a record with copying off loads its dependants locked")
            << "options" << "copyOff" << QStringList {} << QStringList {"chkNoTempInternet=1|L", "chkMinFreeSpace=0|L"};
        QTest::newRow("an inherited tick is unticked by a click")
            << "options" << "inheritedSpace" << QStringList {"chkOverwriteProfile", "chkRebootAllow"}
            << QStringList {"chkOverwriteProfile=1", "chkRebootAllow=0", "chkMinFreeSpace=2"};
        QTest::newRow("typing a space makes its inherited tick the level's own")
            << "options" << "inheritedSpace" << QStringList {"txtMinFreeSpace=200"} << QStringList {"chkMinFreeSpace=1", "txtMinFreeSpace=200"};
        QTest::newRow("join: the workgroup unticks the domain and empties its fields")
            << "join" << "defaults" << QStringList {"chkJoinDomain", "txtJoinDomainName=CORP", "txtDomDCName=dc1", "chkJoinWorkgroup"}
            << QStringList {"chkJoinDomain=0", "txtJoinDomainName=|L", "txtDomDCName=|L", "cmdLookupJoinDC=off", "txtJoinWorkgroupName="};
        QTest::newRow("join: the domain unticks the workgroup")
            << "join" << "defaults" << QStringList {"chkJoinWorkgroup", "txtJoinWorkgroupName=TEAM", "chkJoinDomain"}
            << QStringList {"chkJoinWorkgroup=0", "txtJoinWorkgroupName=TEAM|L", "cmdLookupJoinDC=off"};
        QTest::newRow("join: an inherited workgroup name stays locked under its greyed box")
            << "join" << "inheritedWorkgroup" << QStringList {"txtJoinWorkgroupName=OTHER"}
            << QStringList {"chkJoinWorkgroup=2", "txtJoinWorkgroupName=LABGROUP|L"};
        QTest::newRow("source: local accounts empty and lock the three fields")
            << "source" << "defaults" << QStringList {"txtSourceContext=OLD", "txtSourceDC=olddc", "txtSourceDCIP=10.1.1.1", "chkSourceUseLocal"}
            << QStringList {"txtSourceContext=|L", "txtSourceDC=|L", "txtSourceDCIP=|L", "cmdLookupSourceDC=off"};
        QTest::newRow("destination: a local context loads ticked, its stale controller emptied")
            << "destination" << "destLocal" << QStringList {} << QStringList {"chkDestUseLocal=1", "txtDestContext=|L", "txtDestDC=|L"};
        QTest::newRow("nothing loaded takes no edits")
            << "source" << "cleared" << QStringList {"txtSourceContext=X", "chkSourceUseLocal"}
            << QStringList {"txtSourceContext=|L", "chkSourceUseLocal=0|L"};
        QTest::newRow("account: a local account shows in the locked domain")
            << "account" << "" << QStringList {"txtDomain=CORP", "chkLocalAccount"} << QStringList {"txtDomain=*LOCAL ACCOUNT*|L"};
        QTest::newRow("account: unticking local hands back an empty domain")
            << "account" << "localAccount" << QStringList {"chkLocalAccount"} << QStringList {"txtDomain=", "chkLocalAccount=0", "txtUsername=admin"};
        QTest::newRow("account: domain accounts only")
            << "account" << "domainOnly" << QStringList {"chkLocalAccount", "txtDomain=CORP"} << QStringList {"chkLocalAccount=0|L", "txtDomain=CORP"};
        QTest::newRow("account: local accounts only")
            << "account" << "localOnly" << QStringList {"chkLocalAccount"} << QStringList {"chkLocalAccount=1|L", "txtDomain=*LOCAL ACCOUNT*|L"};
        // clang-format on
    }
    void rules()
    {
        QFETCH(QString, kind);
        QFETCH(QString, setup);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        const std::unique_ptr<SettingsSection> section = makeSection(kind, setup);
        for (const QString &step : steps) {
            const int control = section->controlIndex(step.section(QLatin1Char('='), 0, 0));
            QVERIFY2(control >= 0, qPrintable(step));
            if (section->controlKind(control) == SettingsSection::Kind::Text)
                section->type(control, step.section(QLatin1Char('='), 1));
            else
                section->click(control);
        }
        for (const QString &expectation : expected) {
            const QString name = expectation.section(QLatin1Char('='), 0, 0);
            QCOMPARE(name + "=" + describe(*section, name), expectation);
        }
    }
};

QTEST_GUILESS_MAIN(TestSections)
#include "tst_Sections.moc"

#include "wizards/SetupWizardModel.h"

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "support/RecordingPresenter.h"

#include <QSignalSpy>
#include <QTest>

using L = QList<int>;
using S = SetupWizardModel;
using C = ContextSection;
using J = JoinSection;
using O = OptionsSection;

namespace {

GlobalSettingsPtr newRecord()
{
    GlobalSettingsPtr record = GlobalSettings::create();
    record->SetDefaults();
    record->Valid = false;
    return record;
}

// Fills the page shown with what passes its check.
void fill(S &wizard, int action, int migration)
{
    switch (wizard.CurrentPage()) {
    case S::ActionPage:
        wizard.chooseAction(action);
        break;
    case S::MigrationPage:
        wizard.chooseMigration(migration);
        break;
    case S::ContextPage:
        for (C *side : {&wizard.source(), &wizard.destination()}) {
            side->type(C::Context, QStringLiteral("CORP"));
            side->type(C::DC, QStringLiteral("dc01"));
            side->type(C::DCIP, QStringLiteral("10.0.0.1"));
        }
        break;
    case S::JoinPage:
        wizard.join().type(J::JoinName, QStringLiteral("NEWCORP"));
        wizard.join().type(J::DomDCName, QStringLiteral("newdc"));
        wizard.join().type(J::DomDCIP, QStringLiteral("10.1.0.1"));
        break;
    default:
        break;
    }
}

// Next from the welcome page to `page`, filling every page on the way.
void walkTo(S &wizard, int page, int action, int migration)
{
    for (int step = 0; step < S::PageCount && wizard.CurrentPage() != page; ++step) {
        fill(wizard, action, migration);
        wizard.cmdNext_Click();
    }
    QCOMPARE(wizard.CurrentPage(), page);
}

} // namespace

class TestSetupWizardModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { AppState::Reset(); }

    void pageFlow_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("migration");
        QTest::addColumn<L>("pages");
        QTest::newRow("domain change only") << 0 << 0 << L {0, 1, 4, 5, 6, 7, 8};
        QTest::newRow("profile migration only") << 1 << 0 << L {0, 1, 2, 3, 5, 6, 7, 8};
        QTest::newRow("both") << 2 << 1 << L {0, 1, 2, 3, 4, 5, 6, 7, 8};
    }

    // Forward through every page, then Previous back through the pages
    // actually shown, and forward again without refilling anything.
    void pageFlow()
    {
        QFETCH(int, action);
        QFETCH(int, migration);
        QFETCH(L, pages);
        RecordingPresenter presenter;
        const GlobalSettingsPtr record = newRecord();
        record->MigrationType = LocalToLocal; // as from an earlier pass; a domain change drops it
        S wizard;
        wizard.LinkData(record, nullptr);
        QVERIFY(!wizard.previousEnabled());
        L shown {wizard.CurrentPage()};
        while (wizard.CurrentPage() != S::FinishPage && shown.size() < 12) {
            fill(wizard, action, migration);
            wizard.cmdNext_Click();
            shown << wizard.CurrentPage();
        }
        QCOMPARE(shown, pages);
        QCOMPARE(wizard.nextCaption(), S::FinishCaption);
        QCOMPARE(wizard.history().Count(), pages.size() - 1);

        L back;
        while (wizard.previousEnabled()) {
            wizard.cmdPrevious_Click();
            back.prepend(wizard.CurrentPage());
        }
        QCOMPARE(back, pages.mid(0, pages.size() - 1));
        for (int page = 0; page < pages.size() - 1; ++page)
            wizard.cmdNext_Click();
        QCOMPARE(wizard.CurrentPage(), int(S::FinishPage));
        QCOMPARE(presenter.count(), 0);
        QVERIFY(!record->Valid);

        wizard.cmdNext_Click();
        QVERIFY(wizard.isFinished());
        QVERIFY(record->Valid);
        QCOMPARE(record->ActionType, action);
        QCOMPARE(record->MigrationType, action == DomainChangeOnly ? -1 : migration);
    }

    // Each row breaks one field of a filled page 3 (or two, to show which
    // check comes first); the first failing check speaks and keeps the page.
    void contextChecks_data()
    {
        QTest::addColumn<int>("migration");
        QTest::addColumn<QStringList>("edits"); // "s:field=text" or "d:field=text"
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const auto row = [](const char *name, int migration, QStringList edits, const char *message, const char *focus) {
            QTest::newRow(name) << migration << edits << QString::fromLatin1(message) << QString::fromLatin1(focus);
        };
        row("source domain before destination", 0, {"s:1=", "d:1="}, "Please enter a source domain.", "txtSourceContext");
        row("destination domain before DC names", 0, {"d:1=", "s:2="}, "Please enter a destination domain.", "txtDestContext");
        row("source DC name", 0, {"s:2=", "d:2="}, "Please enter the source context DC name.", "txtSourceDC");
        row("destination DC name before addresses", 0, {"d:2=", "s:3="}, "Please enter the destination context DC name.", "txtDestDC");
        row("source DC address", 0, {"s:3=", "d:3="}, "Please enter the source context DC IP address.", "txtSourceDCIP");
        row("destination DC address", 0, {"d:3="}, "Please enter the destination context DC IP address.", "txtDestDCIP");
        row("empty before invalid", 0, {"s:1=a*b", "d:3="}, "Please enter the destination context DC IP address.", "txtDestDCIP");
        row("destination name checked first", 0, {"s:1=a*b", "d:1=c*d"}, "Invalid characters in destination domain name.",
            "txtDestContext");
        row("source domain name", 0, {"s:1=a*b", "s:2=e*f"}, "Invalid characters in source domain name.", "txtSourceContext");
        row("source DC name invalid", 0, {"s:2=e*f", "d:2=e*f"}, "Invalid characters in source context DC name.", "txtSourceDC");
        row("destination DC name invalid", 0, {"d:2=e*f", "s:3=1.2.3"}, "Invalid characters in destination context DC name.", "txtDestDC");
        row("source address invalid", 0, {"s:3=1.2.3", "d:3=x"}, "Invalid IP address given for the source context DC IP.", "txtSourceDCIP");
        row("destination address invalid", 0, {"d:3=256.0.0.1"}, "Invalid IP address given for the destination context DC IP.",
            "txtDestDCIP");
        row("domain to local asks only the source", 1, {"s:3="}, "Please enter the source context DC IP address.", "txtSourceDCIP");
        row("local to domain asks only the destination", 2, {"d:2="}, "Please enter the destination context DC name.", "txtDestDC");
        row("local to local needs nothing", 3, {}, "", "");
    }

    void contextChecks()
    {
        QFETCH(int, migration);
        QFETCH(QStringList, edits);
        QFETCH(QString, message);
        RecordingPresenter presenter;
        const GlobalSettingsPtr record = newRecord();
        S wizard;
        wizard.LinkData(record, nullptr);
        walkTo(wizard, S::ContextPage, 1, migration);
        QSignalSpy focus(&wizard, &S::focusRequested);
        fill(wizard, 1, migration);
        for (const QString &edit : edits) {
            C &side = edit.startsWith(u's') ? wizard.source() : wizard.destination();
            side.type(edit.mid(2, 1).toInt(), edit.mid(edit.indexOf(u'=') + 1));
        }
        wizard.cmdNext_Click();
        if (message.isEmpty()) {
            QCOMPARE(presenter.count(), 0);
            QCOMPARE(wizard.CurrentPage(), int(S::OptionsPage));
            QCOMPARE(record->SourceDomain, QString()); // nothing before Finish
            const GlobalSettingsPtr working = wizard.workingCopy();
            QCOMPARE(working->SourceDomain, LocalAccountDomain);
            QCOMPARE(working->DestinationDomain, LocalAccountDomain);
            QCOMPARE(working->SourceDCName + working->DestinationDCIP, QString());
            return;
        }
        QCOMPARE(presenter.count(), 1);
        QCOMPARE(presenter.messages().constFirst().text, message);
        QCOMPARE(wizard.CurrentPage(), int(S::ContextPage));
        QCOMPARE(focus.size(), 1);
        QTEST(focus.constFirst().constFirst().toString(), "focus");
    }

    // The kind of migration decides which side is local accounts, and a
    // side the type makes a domain never keeps "*LOCAL ACCOUNT*" from an
    // earlier pass.
    void contextSidesFollowMigrationType()
    {
        RecordingPresenter presenter;
        const GlobalSettingsPtr record = newRecord();
        S wizard;
        wizard.LinkData(record, nullptr);
        walkTo(wizard, S::ContextPage, 1, int(LocalToLocal));
        for (C *side : {&wizard.source(), &wizard.destination()}) {
            QVERIFY(side->isOn(C::UseLocal));
            QVERIFY(side->locked(C::UseLocal));
            QVERIFY(side->locked(C::DC));
        }
        wizard.cmdNext_Click();
        wizard.cmdPrevious_Click();
        wizard.cmdPrevious_Click();
        QCOMPARE(wizard.CurrentPage(), int(S::MigrationPage));
        wizard.chooseMigration(int(DomainToLocal));
        wizard.cmdNext_Click();
        QVERIFY(!wizard.source().isOn(C::UseLocal));
        QVERIFY(wizard.source().locked(C::UseLocal));
        QVERIFY(!wizard.source().locked(C::Context));
        QCOMPARE(wizard.source().text(C::Context), QString());
        QVERIFY(wizard.destination().isOn(C::UseLocal));
        wizard.source().click(C::UseLocal);
        QVERIFY(!wizard.source().isOn(C::UseLocal));
        wizard.cmdNext_Click();
        QCOMPARE(presenter.messages().constFirst().text, QStringLiteral("Please enter a source domain."));
    }

    void joinChecks_data()
    {
        QTest::addColumn<bool>("workgroup");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("dc");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("message");
        QTest::newRow("no name") << false << ""
                                 << ""
                                 << ""
                                 << "Please enter the name of the domain or workgroup you wish to join.";
        QTest::newRow("no controller") << false << "a*b"
                                       << ""
                                       << ""
                                       << "Please enter the name of the domain controller.";
        QTest::newRow("no address") << false << "a*b"
                                    << "dc"
                                    << ""
                                    << "Please enter the IP address of the domain controller.";
        QTest::newRow("bad name") << false << "a*b"
                                  << "d*c"
                                  << "x"
                                  << "Invalid domain or workgroup name entered.";
        QTest::newRow("bad controller") << false << "NEW"
                                        << "d*c"
                                        << "x"
                                        << "Invalid domain controller name entered.";
        QTest::newRow("bad address") << false << "NEW"
                                     << "dc"
                                     << "1.2.3.4.5"
                                     << "Invalid domain controller IP address entered.";
        QTest::newRow("domain") << false << "NEW"
                                << "dc"
                                << "10.1.0.1"
                                << "";
        QTest::newRow("workgroup without name") << true << ""
                                                << ""
                                                << ""
                                                << "Please enter the name of the domain or workgroup you wish to join.";
        QTest::newRow("workgroup bad name") << true << "W*G"
                                            << ""
                                            << ""
                                            << "Invalid domain or workgroup name entered.";
        QTest::newRow("workgroup needs only its name") << true << "WG"
                                                       << ""
                                                       << ""
                                                       << "";
    }

    void joinChecks()
    {
        QFETCH(bool, workgroup);
        QFETCH(QString, message);
        RecordingPresenter presenter;
        const GlobalSettingsPtr record = newRecord();
        record->JoinDCName = QStringLiteral("olddc");
        S wizard;
        wizard.LinkData(record, nullptr);
        walkTo(wizard, S::ActionPage, 0, 0);
        wizard.chooseAction(int(DomainChangeOnly));
        wizard.cmdNext_Click();
        J &join = wizard.join();
        // A record without a join starts at a domain join.
        QVERIFY(join.isOn(J::JoinDomain));
        QCOMPARE(join.text(J::DomDCName), QStringLiteral("olddc"));
        if (workgroup) {
            join.click(J::JoinWorkgroup);
            join.click(J::JoinWorkgroup); // a chosen option stays chosen
            QVERIFY(join.locked(J::DomDCName));
        }
        QFETCH(QString, name);
        QFETCH(QString, dc);
        QFETCH(QString, ip);
        join.type(J::JoinName, name);
        join.type(J::DomDCName, dc);
        join.type(J::DomDCIP, ip);
        wizard.cmdNext_Click();
        if (!message.isEmpty()) {
            QCOMPARE(presenter.messages().constFirst().text, message);
            QCOMPARE(wizard.CurrentPage(), int(S::JoinPage));
            return;
        }
        QCOMPARE(presenter.count(), 0);
        QCOMPARE(wizard.CurrentPage(), int(S::OptionsPage));
        const GlobalSettingsPtr working = wizard.workingCopy();
        QCOMPARE(working->JoinVal, workgroup ? int(JoinWorkgroup) : int(JoinDomain));
        QCOMPARE(working->JoinName, name);
        QCOMPARE(working->JoinDCName, dc);
    }

    // What page 5 shows for each action, and that what it stores is what it shows.
    void optionsFollowAction_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<L>("shown"); // allow, force, copy, no temp, overwrite: 0/1
        QTest::addColumn<L>("locked"); // the same boxes
        QTest::addColumn<L>("stored"); // after clicking "Create a copy" and "Allow" where they may be clicked
        // The record: reboots not allowed, force 1, copy 1, no temp 1, overwrite 1.
        QTest::newRow("domain change only") << 0 << L {1, 1, 0, 0, 0} << L {1, 1, 1, 1, 1} << L {1, 1, 0, 0, 0};
        QTest::newRow("profile migration only") << 1 << L {0, 1, 1, 1, 1} << L {0, 1, 0, 0, 0} << L {1, 1, 0, 0, 1};
        QTest::newRow("both") << 2 << L {1, 1, 1, 1, 1} << L {1, 1, 0, 0, 0} << L {1, 1, 0, 0, 1};
    }

    void optionsFollowAction()
    {
        QFETCH(int, action);
        RecordingPresenter presenter;
        const GlobalSettingsPtr record = newRecord();
        record->RebootPermitted = 0;
        record->OverwriteProfile = 1;
        record->MinFreeSpace = 500;
        S wizard;
        wizard.LinkData(record, nullptr);
        walkTo(wizard, S::OptionsPage, action, int(DomainToDomain));
        O &options = wizard.options();
        const L boxes {O::RebootAllow, O::RebootForce, O::CopyProfile, O::NoTempInternet, O::OverwriteProfile};
        L shown, locked;
        for (int box : boxes) {
            shown << int(options.isOn(box));
            locked << int(options.locked(box));
        }
        QTEST(shown, "shown");
        QTEST(locked, "locked");
        options.click(O::CopyProfile);
        options.click(O::RebootAllow);
        wizard.cmdNext_Click();
        const GlobalSettings &working = *wizard.workingCopy();
        const L stored {
            working.RebootPermitted, working.ForceReboot, working.CopyProfile, working.IgnoreTempInternetFiles, working.OverwriteProfile};
        QTEST(stored, "stored");
        QCOMPARE(working.MinFreeSpace, 500);
    }

    void noCopyLeavesNoTemporaryFilesToSkip()
    {
        const GlobalSettingsPtr record = newRecord();
        record->CopyProfile = 0;
        S wizard;
        wizard.LinkData(record, nullptr);
        walkTo(wizard, S::OptionsPage, int(ProfileMigrationOnly), int(LocalToLocal));
        QVERIFY(!wizard.options().isOn(O::NoTempInternet));
        QVERIFY(wizard.options().locked(O::NoTempInternet));
        wizard.cmdNext_Click();
        QCOMPARE(wizard.workingCopy()->IgnoreTempInternetFiles, 0);
    }

    void refusalsAndCancel()
    {
        RecordingPresenter presenter;
        S unlinked;
        unlinked.cmdNext_Click();
        QCOMPARE(presenter.messages().constFirst().text, S::NotLinkedText);
        QCOMPARE(unlinked.CurrentPage(), int(S::WelcomePage));

        presenter.clear();
        const GlobalSettingsPtr record = newRecord();
        S wizard;
        wizard.LinkData(record, nullptr);
        wizard.cmdNext_Click();
        wizard.cmdNext_Click();
        QCOMPARE(presenter.messages().constFirst().text, QStringLiteral("You must select an action type to continue."));
        wizard.chooseAction(int(ProfileMigrationOnly));
        wizard.cmdNext_Click();
        wizard.cmdNext_Click();
        QCOMPARE(presenter.messages().constLast().text, QStringLiteral("You must select a migration type to continue."));
        QCOMPARE(wizard.CurrentPage(), int(S::MigrationPage));

        QSignalSpy closed(&wizard, &S::closeRequested);
        wizard.cmdCancel_Click();
        QCOMPARE(closed.size(), 1);
        QVERIFY(!wizard.isFinished());
        QVERIFY(!record->Valid);
        QCOMPARE(record->ActionType, -1);
        ComputerDB db;
        QVERIFY(!S::ApplyResult(db, record));
    }
};

QTEST_GUILESS_MAIN(TestSetupWizardModel)
#include "tst_SetupWizardModel.moc"

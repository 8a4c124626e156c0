#include "wizards/AuthWizardModel.h"

#include "common/AppState.h"
#include "support/RecordingPresenter.h"

#include <QTest>

using L = QList<int>;
using W = AuthWizardModel;

namespace {

// Every slot holds an account the wizard never writes, so that a slot it
// should have emptied shows.
GlobalSettingsPtr oldRecord(int joinVal = JoinNone)
{
    GlobalSettingsPtr record = GlobalSettings::create();
    record->JoinVal = joinVal;
    for (int slot = 0; slot < UserTypeCount; ++slot)
        record->SetUser(slot, QStringLiteral("old"), QStringLiteral("old"), QStringLiteral("OLD"));
    return record;
}

// Types account "u<kind>" with password "p<kind>" and, where the domain may
// be typed, domain "D<kind>".
void type(W &wizard)
{
    const QString kind = QString::number(wizard.currentKind());
    wizard.setUsername(QStringLiteral("u") + kind);
    wizard.setPassword(QStringLiteral("p") + kind);
    wizard.setDomain(QStringLiteral("D") + kind);
}

struct Walk
{
    L choiceSteps;
    L kinds;
};

// From the page shown to the finish page: takes `options` in turn on the
// choice pages and types an account on every account page.
Walk walkToFinish(W &wizard, L options)
{
    Walk walk;
    for (int page = 0; page < 12 && wizard.CurrentStep() != W::FinishStep; ++page) {
        if (wizard.isChoicePage()) {
            walk.choiceSteps << wizard.CurrentStep();
            wizard.selectOption(options.isEmpty() ? -1 : options.takeFirst());
        } else {
            walk.kinds << wizard.currentKind();
            type(wizard);
        }
        wizard.cmdNext_Click();
    }
    return walk;
}

} // namespace

class TestAuthWizardModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { AppState::Reset(); }

    // Options: action, migration type, then the questions' options (0 the
    // first answer: yes, same domain, domain admins). Slots 0 to 4: the kind
    // whose account each holds, 0 for empty.
    void leaves_data()
    {
        QTest::addColumn<L>("options");
        QTest::addColumn<int>("join");
        QTest::addColumn<L>("steps");
        QTest::addColumn<L>("kinds");
        QTest::addColumn<L>("slots");
        const int none = JoinNone;
        QTest::newRow("change only") << L {0} << none << L {0} << L {1, 2} << L {1, 1, 2, 0, 0};
        QTest::newRow("change only, workgroup") << L {0} << int(JoinWorkgroup) << L {0} << L {1} << L {1, 1, 0, 0, 0};
        QTest::newRow("DD users apart") << L {1, 0, 1} << none << L {0, 1, 8} << L {1, 9, 10} << L {1, 1, 0, 9, 10};
        QTest::newRow("DD local admins") << L {1, 0, 0, 1} << none << L {0, 1, 8, 9} << L {12, 11} << L {12, 12, 0, 11, 11};
        QTest::newRow("DD computers apart") << L {1, 0, 0, 0, 1} << none << L {0, 1, 8, 9, 10} << L {8, 11} << L {8, 8, 0, 11, 11};
        QTest::newRow("DD all together") << L {1, 0, 0, 0, 0} << none << L {0, 1, 8, 9, 10} << L {7} << L {7, 7, 0, 7, 7};
        QTest::newRow("DL local") << L {1, 1, 1} << none << L {0, 1, 9} << L {12, 9} << L {12, 12, 0, 9, 0};
        QTest::newRow("DL domain") << L {1, 1, 0} << none << L {0, 1, 9} << L {7} << L {7, 7, 0, 7, 7};
        QTest::newRow("LD local") << L {1, 2, 1} << none << L {0, 1, 9} << L {12, 10} << L {12, 12, 0, 0, 10};
        QTest::newRow("LD domain") << L {1, 2, 0} << none << L {0, 1, 9} << L {7} << L {7, 7, 0, 7, 7};
        QTest::newRow("LL") << L {1, 3} << none << L {0, 1} << L {1} << L {1, 1, 0, 0, 0};
        const L threeQuestions {0, 7, 12, 11, 9};
        QTest::newRow("+DD No Yes local") << L {2, 0, 1, 0, 1} << none << threeQuestions << L {12, 9, 13} << L {12, 12, 13, 9, 13};
        QTest::newRow("+DD No Yes domain") << L {2, 0, 1, 0, 0} << none << threeQuestions << L {9, 3, 4} << L {4, 3, 4, 3, 4};
        QTest::newRow("+DD No No local") << L {2, 0, 1, 1, 1} << none << threeQuestions << L {12, 9, 2, 10} << L {12, 12, 2, 9, 10};
        QTest::newRow("+DD No No domain") << L {2, 0, 1, 1, 0} << none << threeQuestions << L {9, 5, 6, 10} << L {6, 5, 6, 9, 10};
        QTest::newRow("+DD Yes Yes local") << L {2, 0, 0, 0, 1} << none << threeQuestions << L {12, 9, 13} << L {12, 12, 13, 9, 13};
        QTest::newRow("+DD Yes Yes domain") << L {2, 0, 0, 0, 0} << none << threeQuestions << L {3, 4} << L {4, 3, 4, 3, 4};
        QTest::newRow("+DD Yes No local") << L {2, 0, 0, 1, 1} << none << threeQuestions << L {12, 9, 10, 2} << L {12, 12, 2, 9, 10};
        QTest::newRow("+DD Yes No domain") << L {2, 0, 0, 1, 0} << none << threeQuestions << L {3, 6, 10} << L {6, 3, 6, 3, 10};
        QTest::newRow("+DL") << L {2, 1} << none << L {0, 7} << L {12, 9, 2} << L {12, 12, 2, 9, 0};
        QTest::newRow("+DL workgroup") << L {2, 1} << int(JoinWorkgroup) << L {0, 7} << L {12, 9} << L {12, 12, 0, 9, 0};
        QTest::newRow("+LD together") << L {2, 2, 0} << none << L {0, 7, 11} << L {12, 13} << L {12, 12, 13, 0, 13};
        QTest::newRow("+LD apart") << L {2, 2, 1} << none << L {0, 7, 11} << L {12, 10, 2} << L {12, 12, 2, 0, 10};
    }

    void leaves()
    {
        QFETCH(L, options);
        QFETCH(int, join);
        RecordingPresenter presenter;
        const GlobalSettingsPtr record = oldRecord(join);
        W wizard;
        wizard.LinkSettings(record);
        const Walk walk = walkToFinish(wizard, options);
        QCOMPARE(presenter.count(), 0);
        QTEST(walk.choiceSteps, "steps");
        QTEST(walk.kinds, "kinds");
        wizard.cmdNext_Click();
        QVERIFY(wizard.isFinished());
        QVERIFY(record->Valid);
        QCOMPARE(record->ActionType, -1);
        QFETCH(L, slots);
        QStringList held, expected;
        for (int slot = 0; slot < UserTypeCount; ++slot) {
            const AccountRecord &account = record->account(slot);
            held << account.Username + u'/' + account.Password + u'\\' + account.Domain;
            const int kind = slots[slot];
            const QString k = QString::number(kind);
            const QString domain = kind == 12 ? LocalAccountDomain : QStringLiteral("D") + k;
            expected << (kind ? QStringLiteral("u%1/p%1\\").arg(k) + domain : QStringLiteral("/\\"));
        }
        QCOMPARE(held, expected);
    }

    void openedAtLaterStepGoesBackThroughSkippedPages()
    {
        GlobalSettingsPtr record = oldRecord();
        record->ActionType = ProfileMigrationOnly;
        record->MigrationType = DomainToDomain;
        W wizard;
        wizard.LinkSettings(record);
        QCOMPARE(wizard.CurrentStep(), int(W::SameUserDomainStep));
        wizard.cmdPrevious_Click();
        QCOMPARE(wizard.CurrentStep(), int(W::MigrationStep));
        QCOMPARE(wizard.selectedOption(), int(DomainToDomain));
        wizard.cmdPrevious_Click();
        QCOMPARE(wizard.CurrentStep(), int(W::ActionStep));
        QCOMPARE(wizard.selectedOption(), int(ProfileMigrationOnly));
        QVERIFY(!wizard.previousEnabled());

        // A domain change's record may hold a type left from an earlier choice; it skips no page.
        record->ActionType = DomainChangeOnly;
        W domainChange;
        domainChange.LinkSettings(record);
        QCOMPARE(domainChange.currentKind(), 1);
    }

    void changedAnswerReplacesLaterPagesAndKeepsEntries()
    {
        RecordingPresenter presenter;
        W wizard;
        wizard.LinkSettings(oldRecord());
        walkToFinish(wizard, {1, 0, 1});
        for (int back = 0; back < 3; ++back)
            wizard.cmdPrevious_Click();
        QCOMPARE(wizard.form().Username, QStringLiteral("u1"));
        wizard.cmdPrevious_Click();
        QCOMPARE(wizard.CurrentStep(), int(W::SameUserDomainStep));
        QCOMPARE(wizard.selectedOption(), 1);
        wizard.selectOption(0);
        wizard.cmdNext_Click();
        QCOMPARE(wizard.CurrentStep(), int(W::AccountTypeStep));
        QCOMPARE(wizard.selectedOption(), -1);
        wizard.selectOption(1);
        wizard.cmdNext_Click();
        QCOMPARE(wizard.requests(), (W::Requests {12, 11, -1, -1}));
        QCOMPARE(wizard.currentKind(), 12);
        QCOMPARE(wizard.form().Username, QString());
        QCOMPARE(wizard.form().Domain, LocalAccountDomain);
        QVERIFY(!wizard.domainEnabled());
        wizard.cmdPrevious_Click();
        wizard.cmdPrevious_Click();
        wizard.selectOption(1);
        wizard.cmdNext_Click();
        QCOMPARE(wizard.currentKind(), 1);
        QCOMPARE(wizard.form().Username, QStringLiteral("u1"));
        QCOMPARE(wizard.form().Domain, QStringLiteral("D1"));
        QCOMPARE(presenter.count(), 0);
    }

    // The messages come in the order of the checks, and the focus goes to
    // the field at fault. Account rows are on kind 1's page, where the
    // local-account box is the administrator's to tick.
    void refusals_data()
    {
        QTest::addColumn<L>("options");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString none;
        QTest::newRow("no action") << L {} << none << none << "Please select an action type." << none;
        QTest::newRow("no migration") << L {1} << none << none << "Please choose a migration type." << none;
        QTest::newRow("local to local locked") << L {2, 3} << none << none << "Please choose a migration type." << none;
        QTest::newRow("no answer") << L {1, 0} << none << none << "Please select an answer to proceed." << none;
        QTest::newRow("no user") << L {0} << none << none << "You must enter a username." << W::UsernameControl;
        QTest::newRow("no domain") << L {0} << "a*b" << none << "You must enter a domain name." << W::DomainControl;
        QTest::newRow("bad user") << L {0} << "a*b"
                                  << "a*b"
                                  << "Username specified contains invalid characters." << W::UsernameControl;
        QTest::newRow("bad domain") << L {0} << "ab"
                                    << "a*b"
                                    << "Domain name specified contains invalid characters." << W::DomainControl;
    }

    void refusals()
    {
        QFETCH(L, options);
        QFETCH(QString, user);
        QFETCH(QString, domain);
        RecordingPresenter presenter;
        W wizard;
        wizard.LinkSettings(oldRecord());
        for (int option : options) {
            wizard.selectOption(option);
            if (wizard.selectedOption() == option)
                wizard.cmdNext_Click();
        }
        wizard.setUsername(user);
        wizard.setDomain(domain);
        QStringList focus;
        connect(&wizard, &W::focusRequested, this, [&](const QString &control) { focus << control; });
        const int step = wizard.CurrentStep();
        wizard.cmdNext_Click();
        QCOMPARE(wizard.CurrentStep(), step);
        QCOMPARE(presenter.count(), 1);
        QTEST(presenter.last().text, "message");
        QTEST(focus.join(QString()), "focus");
    }

    void finishSetsChangeFlagOnlyForNewAccounts()
    {
        const GlobalSettingsPtr record = oldRecord();
        for (const bool changed : {true, false}) {
            AppState::Get().DatabaseChanged = false;
            W wizard;
            wizard.LinkSettings(record);
            walkToFinish(wizard, {0});
            wizard.cmdNext_Click();
            QVERIFY(wizard.isFinished());
            QCOMPARE(AppState::Get().DatabaseChanged, changed);
        }
    }

    void finishWritesOverriddenCopy()
    {
        const GlobalSettingsPtr record = oldRecord();
        W wizard;
        wizard.LinkSettings(record);
        walkToFinish(wizard, {0});
        QCOMPARE(wizard.summaryLines().first(), QStringLiteral("Administrator A: D1\\u1"));
        wizard.workingCopy()->SetUser(AdminA, QStringLiteral("manual"), QString(), QStringLiteral("DOM"));
        wizard.cmdNext_Click();
        QCOMPARE(record->GetFullUsername(AdminA), QStringLiteral("DOM\\manual"));
        QCOMPARE(record->GetFullUsername(AdminB), QStringLiteral("D1\\u1"));
    }
};

QTEST_GUILESS_MAIN(TestAuthWizardModel)
#include "tst_AuthWizardModel.moc"

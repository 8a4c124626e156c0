#include "wizards/modAccountsOpening.h"

#include "database/ComputerDB.h"
#include "support/RecordingPresenter.h"
#include "wizards/AuthWizardModel.h"

#include <QTest>

using namespace modAccountsOpening;

class TestModAccountsOpening : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A tree of "Sales" (own settings) > "East" > "PC1", and "Empty" under
    // the root. `source` is the node the question names; empty when the node
    // is not asked about.
    void recordForAccounts_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("source");
        QTest::newRow("root") << "G"
                              << ""
                              << "";
        QTest::newRow("own record") << "F"
                                    << "Sales"
                                    << "";
        QTest::newRow("group below own") << "F"
                                         << "East"
                                         << "Sales";
        QTest::newRow("computer") << "C"
                                  << "PC1"
                                  << "Sales";
        QTest::newRow("group under root") << "F"
                                          << "Empty"
                                          << "All Computers";
    }

    void recordForAccounts()
    {
        QFETCH(QString, type);
        QFETCH(QString, name);
        QFETCH(QString, source);
        ComputerDB db;
        const int sales = db.AddFolder(QStringLiteral("Sales"), -1);
        const int east = db.AddFolder(QStringLiteral("East"), sales);
        const QHash<QString, int> ids = {{QStringLiteral("Sales"), sales}, {QStringLiteral("East"), east},
            {QStringLiteral("PC1"), db.AddComputer(QStringLiteral("PC1"), QString(), east, -1)},
            {QStringLiteral("Empty"), db.AddFolder(QStringLiteral("Empty"), -1)}};
        db.AddSettings(GlobalSettings::create(), sales, QStringLiteral("F"));
        const int id = ids.value(name, -1);
        const GlobalSettingsPtr clone = GlobalSettings::create();
        int clones = 0;
        const auto cloneAtThisLevel = [&] {
            ++clones;
            return clone;
        };

        RecordingPresenter presenter;
        for (const Presenter::Answer answer : {Presenter::No, Presenter::Yes}) {
            presenter.clear();
            if (!source.isEmpty())
                presenter.setNextAnswer(answer);
            const GlobalSettingsPtr record = RecordForAccounts(db, type, id, Purpose::AuthWizard, cloneAtThisLevel);
            if (source.isEmpty()) {
                QCOMPARE(presenter.count(), 0);
                QCOMPARE(record, db.GetSettings(type, id));
                continue;
            }
            QCOMPARE(presenter.count(), 1);
            QVERIFY(presenter.last().text.contains(QStringLiteral(" inheriting settings from '") + source + QStringLiteral("'.\r")));
            QCOMPARE(presenter.last().caption, QStringLiteral("Confirm Changes"));
            QCOMPARE(record, answer == Presenter::Yes ? clone : nullptr);
        }
        QCOMPARE(clones, source.isEmpty() ? 0 : 1);
    }

    void questionTexts()
    {
        QCOMPARE(InheritanceQuestion(QStringLiteral("C"), QStringLiteral("Sales"), Purpose::AuthWizard),
            QStringLiteral("This computer is currently inheriting settings from 'Sales'.\r\r"
                           "Running the Authentication Wizard on this computer will create new\r"
                           "settings for this computer which may disrupt your intended settings\r"
                           "inheritance path.\r\rWould you like to continue?"));
        QCOMPARE(InheritanceQuestion(QStringLiteral("F"), QStringLiteral("East"), Purpose::ChangePasswords),
            QStringLiteral("This group is currently inheriting settings from 'East'.\r\r"
                           "Changing the account passwords for this group will create a new\r"
                           "settings root beginning at this item which may disrupt your\r"
                           "intended settings inheritance path.\r\rWould you like to continue?"));
    }

    // However the wizard closes without Finish, the record is in use again
    // and holds what it held.
    void editorClosingLeavesRecordValid_data()
    {
        QTest::addColumn<int>("close");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("window closed") << 1;
        QTest::newRow("failure") << 2;
        QTest::newRow("Finish") << 3;
    }

    void editorClosingLeavesRecordValid()
    {
        QFETCH(int, close);
        RecordingPresenter presenter;
        GlobalSettingsPtr record = GlobalSettings::create();
        record->JoinVal = JoinWorkgroup;
        record->SetUser(AdminA, QStringLiteral("old"), QString(), QStringLiteral("OLD"));
        bool validWhileOpen = true;
        const bool finished = RunEditor(*record, "frmMain.cmdAuthWizard_Click", [&] {
            validWhileOpen = record->Valid;
            AuthWizardModel wizard;
            wizard.LinkSettings(record);
            wizard.selectOption(DomainChangeOnly);
            wizard.cmdNext_Click();
            wizard.setUsername(QStringLiteral("new"));
            wizard.setDomain(QStringLiteral("NEW"));
            wizard.cmdNext_Click();
            if (close == 0)
                wizard.cmdCancel_Click();
            if (close == 2)
                throw std::runtime_error("lost");
            if (close == 3)
                wizard.cmdNext_Click();
        });
        QVERIFY(!validWhileOpen);
        QVERIFY(record->Valid);
        QCOMPARE(finished, close == 3);
        QCOMPARE(record->GetFullUsername(AdminA), close == 3 ? QStringLiteral("NEW\\new") : QStringLiteral("OLD\\old"));
        QCOMPARE(presenter.count(), close == 2 ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestModAccountsOpening)
#include "tst_modAccountsOpening.moc"

#include "wizards/modAccountsOpening.h"

#include "database/ComputerDB.h"
#include "support/RecordingPresenter.h"

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
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("source");
        QTest::newRow("root") << QString() << QString();
        QTest::newRow("own record") << QStringLiteral("Sales") << QString();
        QTest::newRow("group below own") << QStringLiteral("East") << QStringLiteral("Sales");
        QTest::newRow("computer") << QStringLiteral("PC1") << QStringLiteral("Sales");
        QTest::newRow("group under root") << QStringLiteral("Empty") << QStringLiteral("All Computers");
    }

    void recordForAccounts()
    {
        QFETCH(QString, name);
        const QString type
            = name.isEmpty() ? QStringLiteral("G") : (name == QStringLiteral("PC1") ? QStringLiteral("C") : QStringLiteral("F"));
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
        if (!source.isEmpty()) {
            presenter.setNextAnswer(Presenter::Help);
            presenter.setNextAnswer(Presenter::Yes);
        }
        const GlobalSettingsPtr record = RecordForAccounts(db, type, id, Purpose::AuthWizard, cloneAtThisLevel);
        QCOMPARE(record, source.isEmpty() ? db.GetSettings(type, id) : clone);
        QCOMPARE(clones, source.isEmpty() ? 0 : 1);
        QCOMPARE(presenter.count(), source.isEmpty() ? 0 : 1);
        if (source.isEmpty())
            return;
        QVERIFY(presenter.last().text.contains(QStringLiteral(" inheriting settings from '") + source + QStringLiteral("'.\r")));
        QCOMPARE(presenter.last().icon, Presenter::Icon::Exclamation);
        QCOMPARE(presenter.last().buttons, Presenter::Buttons::YesNo);
        QCOMPARE(presenter.helpPages(), QStringList {InheritanceHelpPage});
    }

    void questionTexts_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("purpose");
        QTest::addColumn<QString>("text");
        QTest::newRow("computer, wizard") << "C" << int(Purpose::AuthWizard)
                                          << "This computer is currently inheriting settings from 'Sales'.\r\r"
                                             "Running the Authentication Wizard on this computer will create new\r"
                                             "settings for this computer which may disrupt your intended settings\r"
                                             "inheritance path.\r\rWould you like to continue?";
        QTest::newRow("group, passwords") << "F" << int(Purpose::ChangePasswords)
                                          << "This group is currently inheriting settings from 'Sales'.\r\r"
                                             "Changing the account passwords for this group will create a new\r"
                                             "settings root beginning at this item which may disrupt your\r"
                                             "intended settings inheritance path.\r\rWould you like to continue?";
    }
    void questionTexts()
    {
        QFETCH(QString, type);
        QFETCH(int, purpose);
        QFETCH(QString, text);
        QCOMPARE(InheritanceQuestion(type, QStringLiteral("Sales"), Purpose(purpose)), text);
    }

    // However the editor closes without confirming, the record is in use again.
    void runEditor_data()
    {
        QTest::addColumn<int>("close");
        QTest::newRow("closed") << 0;
        QTest::newRow("failure") << 1;
        QTest::newRow("confirmed") << 2;
    }

    void runEditor()
    {
        QFETCH(int, close);
        RecordingPresenter presenter;
        GlobalSettings record;
        bool validWhileOpen = true;
        const bool confirmed = RunEditor(record, "frmMain.cmdAuthWizard_Click", [&] {
            validWhileOpen = record.Valid;
            if (close == 1)
                throw std::runtime_error("lost");
            record.Valid = close == 2;
        });
        QVERIFY(!validWhileOpen);
        QVERIFY(record.Valid);
        QCOMPARE(confirmed, close == 2);
        QCOMPARE(presenter.count(), close == 1 ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestModAccountsOpening)
#include "tst_modAccountsOpening.moc"

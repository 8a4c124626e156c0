#include "FakeNetwork.h"

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "shell/forms/ObjectSettingsPanel.h"
#include "support/RecordingPresenter.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace {

const QColor Grey(128, 128, 128);

// The root with two contexts, the group "Sales" without a record of its own,
// and PC01 in it with one user migration.
struct Fixture
{
    ComputerDB db;
    ObjectSettingsPanel panel;
    int sales = -1, pc01 = -1;

    Fixture()
    {
        GlobalSettingsPtr root = db.GetSettings(QStringLiteral("G"), -1);
        root->SourceDomain = QStringLiteral("OLDDOM");
        root->DestinationDomain = QStringLiteral("NEWDOM");
        sales = db.AddFolder(QStringLiteral("Sales"), -1);
        pc01 = db.AddComputer(QStringLiteral("PC01"), QString(), sales, -1);
        db.GetComputerUserList(pc01)->AddUserToUser(QStringLiteral("alice"), QStringLiteral("alice2"));
        db.GetComputerUserList(pc01)->AddUserToUser(QStringLiteral("bob"), QStringLiteral("bob2"));
        panel.setDatabase(&db);
        panel.resize(640, 620);
    }

    void load(const QString &key) { panel.LoadSelectedNode(modGeneral::ParseNodeKey(key)); }
    template<typename T> T *control(const QString &name) const { return panel.findChild<T *>(name); }
    QCheckBox *box(const char *name) const { return control<QCheckBox>(QString::fromLatin1(name)); }
    QLineEdit *edit(const char *name) const { return control<QLineEdit>(QString::fromLatin1(name)); }
    QPushButton *button(const char *name) const { return control<QPushButton>(QString::fromLatin1(name)); }
    QTabWidget *tabs() const { return control<QTabWidget>(QStringLiteral("tabObjectSettings")); }
};

// Clicks where the administrator would: on the box itself, which a stretched check box has at its left.
void clickBox(QCheckBox *box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
}

// Runs `step` on the modal dialog that the next command opens.
void onModal(std::function<void(QWidget &dialog)> step)
{
    QTimer::singleShot(0, [step] {
        QWidget *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        step(*dialog);
    });
}

} // namespace

class TestObjectSettingsPanel : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;

private Q_SLOTS:
    void init()
    {
        AppState::Reset();
        m_presenter.clear();
    }

    void greyValuesClicksAndTyping()
    {
        FakeNetwork network;
        network.addresses = {{"dc1", "10.0.0.7"}};
        Fixture f;
        f.panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.panel));
        f.load(QStringLiteral("F%1").arg(f.sales));
        QCOMPARE(f.box("chkRebootAllow")->checkState(), Qt::PartiallyChecked);
        QCOMPARE(f.edit("txtSourceContext")->palette().color(QPalette::Active, QPalette::Text), Grey);
        QVERIFY(!f.button("cmdObjSettingsSave")->isEnabled());
        QVERIFY(!f.control<QListWidget>(QStringLiteral("lstMigrateUsers"))->isEnabled());

        clickBox(f.box("chkOverwriteProfile"));
        QTest::mouseClick(f.button("cmdObjSettingsSave"), Qt::LeftButton);
        QVERIFY(f.edit("txtSourceContext")->palette().color(QPalette::Active, QPalette::Text) != Grey);
        QVERIFY(!f.button("cmdObjSettingsSave")->isEnabled());

        // A computer of its own.
        f.load(QStringLiteral("C%1").arg(f.pc01));
        f.tabs()->setCurrentIndex(1);

        clickBox(f.box("chkJoinDomain"));
        QTest::keyClicks(f.edit("txtJoinDomainName"), QStringLiteral("ORP"));
        QTest::keyClick(f.edit("txtJoinDomainName"), Qt::Key_Home);
        QTest::keyClicks(f.edit("txtJoinDomainName"), QStringLiteral("C"));
        QCOMPARE(f.panel.model().text(ObjectSettingsModel::Text::JoinDomainName), QStringLiteral("CORP"));
        QTest::keyClicks(f.edit("txtDomDCName"), QStringLiteral("dc1"));
        QTest::mouseClick(f.button("cmdLookupJoinDC"), Qt::LeftButton);
        QCOMPARE(f.edit("txtDomDCIP")->text(), QStringLiteral("10.0.0.7"));

        // The selected line of the list is the migration deleted.
        auto *list = f.control<QListWidget>(QStringLiteral("lstMigrateUsers"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        m_presenter.setNextAnswer(Presenter::Yes);
        QTest::mouseClick(f.button("cmdDeleteUser"), Qt::LeftButton);
        QCOMPARE(m_presenter.last().text, QStringLiteral("Are you sure you'd like to delete the migration set 'bob -> bob2'?"));
        QCOMPARE(list->count(), 1);
    }

    void failedCheckSelectsTheTabAndFocusesTheField()
    {
        Fixture f;
        f.panel.show();
        QApplication::setActiveWindow(&f.panel);
        QVERIFY(QTest::qWaitForWindowActive(&f.panel));
        f.load(QStringLiteral("C%1").arg(f.pc01));

        f.tabs()->setCurrentIndex(2);
        clickBox(f.box("chkMinFreeSpace"));
        QTest::keyClicks(f.edit("txtMinFreeSpace"), QStringLiteral("abc"));
        f.tabs()->setCurrentIndex(0);
        QTest::mouseClick(f.button("cmdObjSettingsSave"), Qt::LeftButton);

        QCOMPARE(m_presenter.count(), 1);
        QCOMPARE(f.tabs()->currentIndex(), 2);
        QCOMPARE(QApplication::focusWidget(), f.edit("txtMinFreeSpace"));
    }

    void accountAndMigrationDialogs()
    {
        Fixture f;
        f.panel.show();
        // The wizard on the root's own record: closing it changes nothing.
        f.load(QStringLiteral("F-1"));
        AppState::Get().DatabaseChanged = false;
        onModal([](QWidget &dialog) { dialog.close(); });
        QTest::mouseClick(f.button("cmdAuthWizard"), Qt::LeftButton);
        QVERIFY(f.db.GetSettings(QStringLiteral("G"), -1)->Valid && !AppState::Get().DatabaseChanged);
        // A group that inherits asks first, then edits a record of its own.
        f.load(QStringLiteral("F%1").arg(f.sales));
        m_presenter.setNextAnswer(Presenter::Yes);
        onModal([](QWidget &dialog) {
            QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("txtUsername")), QStringLiteral("varno"));
            QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("txtDomain")), QStringLiteral("NEWDOM"));
            dialog.findChild<QPushButton *>(QStringLiteral("cmdSet0"))->click();
            dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        });
        QTest::mouseClick(f.button("cmdChangePasswords"), Qt::LeftButton);
        const GlobalSettingsPtr own = f.db.GetSettings(QStringLiteral("F"), f.sales);
        QVERIFY(own && own->Valid && f.control<QLabel>(QStringLiteral("lblVarnoUser"))->text() == QStringLiteral("varno"));

        f.load(QStringLiteral("C%1").arg(f.pc01));
        AppState::Get().DatabaseChanged = false;
        onModal([](QWidget &dialog) {
            QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("txtSourceUser")), QStringLiteral("carol"));
            QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("txtDestUser")), QStringLiteral("carol2"));
            dialog.findChild<QPushButton *>(QStringLiteral("cmdAddMigration"))->click();
        });
        QTest::mouseClick(f.button("cmdAddUser"), Qt::LeftButton);
        QCOMPARE(f.control<QListWidget>(QStringLiteral("lstMigrateUsers"))->count(), 3);
        QVERIFY(AppState::Get().DatabaseChanged);
    }
};

QTEST_MAIN(TestObjectSettingsPanel)
#include "tst_ObjectSettingsPanel.moc"

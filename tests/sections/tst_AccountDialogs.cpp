#include "common/modLimits.h"
#include "wizards/forms/frmAddMigration.h"
#include "wizards/forms/frmAuthManual.h"
#include "wizards/forms/frmAuthPassword.h"

#include "support/RecordingPresenter.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

template<typename T> T *child(QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        qWarning("%s is missing", qPrintable(name));
    return found;
}

void click(QWidget &window, const QString &name)
{
    child<QAbstractButton>(window, name)->click();
}

// Shown and active, so that a failed check can put the focus on its field.
bool showActive(QDialog &dialog)
{
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    return QTest::qWaitForWindowActive(&dialog);
}

// Cancel, the window's close button or the dialog's own confirming button.
void finish(QDialog &dialog, const QString &way, const QString &confirm)
{
    if (way == QLatin1String("close"))
        dialog.close();
    else
        click(dialog, way == QLatin1String("cancel") ? QStringLiteral("cmdCancel") : confirm);
}

// The guide's pictures: VO_SCREENSHOTS=docs/images tst_AccountDialogs
void picture(QDialog &dialog, const char *name)
{
    const QString folder = qEnvironmentVariable("VO_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QApplication::processEvents();
    dialog.grab().save(folder + QLatin1Char('/') + QString::fromLatin1(name));
}

void ways()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("OK") << "ok";
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("close button") << "close";
}

} // namespace

class TestAccountDialogs : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;

private Q_SLOTS:
    void init() { m_presenter.clear(); }

    void authManual_data() { ways(); }
    void authManual()
    {
        QFETCH(QString, way);
        const GlobalSettingsPtr record = GlobalSettings::create();
        record->SetUser(AdminA, QStringLiteral("varno"), QStringLiteral("pw"), QStringLiteral("CORP"));
        record->Valid = false;
        frmAuthManual dialog;
        dialog.LinkSettings(record);
        QVERIFY(showActive(dialog));
        QCOMPARE(child<QLabel>(dialog, "lblAccount0")->text(), QStringLiteral("CORP\\varno"));
        QCOMPARE(child<QLabel>(dialog, "lblAccount1")->text(), QStringLiteral("- Not specified -"));
        QVERIFY(!child<QPushButton>(dialog, "cmdPassword1")->isEnabled());

        // Without a domain the check stops at the domain field.
        QTest::keyClicks(child<QLineEdit>(dialog, "txtUsername"), QStringLiteral("osk"));
        click(dialog, "cmdSet1");
        QCOMPARE(m_presenter.count(), 1);
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(dialog, "txtDomain"));
        // Pasting stops at what a settings file keeps.
        QApplication::clipboard()->setText(QString(40000, QLatin1Char('d')));
        child<QLineEdit>(dialog, "txtDomain")->paste();
        QCOMPARE(child<QLineEdit>(dialog, "txtDomain")->text().size(), modLimits::MaxTextLength);

        click(dialog, "chkLocalAccount");
        QVERIFY(!child<QLineEdit>(dialog, "txtDomain")->isEnabled());
        click(dialog, "cmdSet1");
        QCOMPARE(child<QLabel>(dialog, "lblAccount1")->text(), QStringLiteral("*LOCAL ACCOUNT*\\osk"));
        picture(dialog, "auth-manual.png");
        QVERIFY(record->account(AdminB).Username.isEmpty());

        finish(dialog, way, QStringLiteral("cmdOK"));
        QVERIFY(dialog.isHidden());
        const bool written = way == QLatin1String("ok");
        QCOMPARE(record->Valid, written);
        QCOMPARE(record->GetFullUsername(AdminB), written ? QStringLiteral("*LOCAL ACCOUNT*\\osk") : QString());
    }

    void passwordPrompt()
    {
        frmAuthPassword prompt;
        prompt.setAccountName(QStringLiteral("CORP\\varno"));
        prompt.show();
        auto *field = child<QLineEdit>(prompt, "txtPassword");
        QVERIFY(field->text().isEmpty());
        field->setFocus();
        QTest::keyClicks(field, QString(128, QLatin1Char('p')));
        click(prompt, "cmdOK");
        QCOMPARE(m_presenter.last().text, QStringLiteral("The password is too long.  Please enter a valid password."));
        QVERIFY(prompt.isVisible() && prompt.Password().isEmpty());
        QTest::keyClick(field, Qt::Key_Backspace);
        click(prompt, "cmdOK");
        QVERIFY(prompt.isHidden() && prompt.result() == QDialog::Accepted);
        QCOMPARE(prompt.Password().size(), 127);
    }

    void addMigration_data() { ways(); }
    void addMigration()
    {
        QFETCH(QString, way);
        const UserProfilesPtr list = UserProfiles::create();
        frmAddMigration dialog;
        dialog.LinkList(list);
        dialog.show();
        auto *destination = child<QLineEdit>(dialog, "txtDestUser");
        QVERIFY(!child<QRadioButton>(dialog, "optDestSID")->isEnabled());

        // Pasted "*ALL" counts as typed.
        QApplication::clipboard()->setText(QStringLiteral("*all"));
        auto *source = child<QLineEdit>(dialog, "txtSourceUser");
        source->setFocus();
        QTest::keyClick(source, Qt::Key_V, Qt::ControlModifier);
        QVERIFY(destination->text() == QStringLiteral("*ALL") && !destination->isEnabled());
        picture(dialog, "add-migration.png");
        click(dialog, "optSourceSID");
        QVERIFY(destination->isEnabled() && destination->text().isEmpty() && !source->isEnabled());
        click(dialog, "optSourceUser");
        QVERIFY(!destination->isEnabled());
        // One letter less and the source is a user name again; what was filled in goes.
        source->setFocus();
        QTest::keyClick(source, Qt::Key_Backspace);
        QVERIFY(destination->isEnabled() && destination->text().isEmpty());
        QTest::keyClick(source, Qt::Key_L);

        finish(dialog, way, QStringLiteral("cmdAddMigration"));
        QVERIFY(dialog.isHidden());
        QCOMPARE(list->GetType(), way == QLatin1String("ok") ? int(ListAllUsers) : int(ListNone));
    }

    void addMigrationKeepsTheDialogOnAMessage()
    {
        const UserProfilesPtr list = UserProfiles::create();
        list->AddUserToUser(QStringLiteral("alice"), QStringLiteral("alice2"));
        frmAddMigration dialog;
        dialog.LinkList(list);
        QVERIFY(showActive(dialog));
        // Typing goes to the source user at once.
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("bob"));
        QTest::keyClicks(child<QLineEdit>(dialog, "txtDestUser"), QStringLiteral("Alice2"));
        click(dialog, "cmdAddMigration");
        QVERIFY(dialog.isVisible() && m_presenter.last().text.endsWith(QStringLiteral("'Alice2'.")));
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(dialog, "txtDestUser"));
        QCOMPARE(list->GetUserCount(), 1);
    }
};

QTEST_MAIN(TestAccountDialogs)
#include "tst_AccountDialogs.moc"

#include "wizards/forms/frmAuthWizard.h"

#include "support/RecordingPresenter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

void click(QWidget &form, const QString &name)
{
    auto *button = form.findChild<QAbstractButton *>(name);
    QVERIFY2(button && button->isEnabled(), qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, 4));
}

void typeInto(QWidget &form, const QString &name, const QString &text)
{
    auto *field = form.findChild<QLineEdit *>(name);
    QVERIFY2(field && field->isEnabled(), qPrintable(name));
    QTest::keyClicks(field, text);
}

} // namespace

class TestFrmAuthWizard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Domain change only into a workgroup asks for one account; Finish
    // writes it, Cancel and the close button write nothing.
    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Finish") << "cmdNext";
        QTest::newRow("Cancel") << "cmdCancel";
        QTest::newRow("close button") << "";
    }

    void closing()
    {
        QFETCH(QString, how);
        RecordingPresenter presenter;
        GlobalSettingsPtr record = GlobalSettings::create();
        record->JoinVal = JoinWorkgroup;
        record->Valid = false;
        frmAuthWizard wizard;
        wizard.LinkSettings(record);
        wizard.show();
        click(wizard, QStringLiteral("optAnswer0"));
        click(wizard, QStringLiteral("cmdNext"));
        QVERIFY(wizard.findChild<QCheckBox *>(QStringLiteral("chkLocalAccount"))->isEnabled());
        typeInto(wizard, QStringLiteral("txtUsername"), QStringLiteral("admin"));
        click(wizard, QStringLiteral("chkLocalAccount"));
        QVERIFY(!wizard.findChild<QLineEdit *>(QStringLiteral("txtDomain"))->isEnabled());
        click(wizard, QStringLiteral("cmdNext"));
        QCOMPARE(wizard.findChild<QPushButton *>(QStringLiteral("cmdNext"))->text(), QStringLiteral("&Finish"));
        QVERIFY(!wizard.findChild<QPushButton *>(QStringLiteral("cmdOverride"))->isEnabled());
        if (how.isEmpty())
            wizard.close();
        else
            click(wizard, how);
        QVERIFY(!wizard.isVisible());
        const bool finished = how == QStringLiteral("cmdNext");
        QCOMPARE(wizard.result(), finished ? QDialog::Accepted : QDialog::Rejected);
        QCOMPARE(record->Valid, finished);
        QCOMPARE(record->GetFullUsername(AdminB), finished ? LocalAccountDomain + QStringLiteral("\\admin") : QString());
        QCOMPARE(presenter.count(), 0);
    }

    void refusalFocusesField()
    {
        RecordingPresenter presenter;
        frmAuthWizard wizard;
        wizard.LinkSettings(GlobalSettings::create());
        wizard.show();
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        click(wizard, QStringLiteral("optAnswer0"));
        click(wizard, QStringLiteral("cmdNext"));
        typeInto(wizard, QStringLiteral("txtUsername"), QStringLiteral("admin"));
        click(wizard, QStringLiteral("cmdNext"));
        QCOMPARE(presenter.last().text, QStringLiteral("You must enter a domain name."));
        QCOMPARE(QApplication::focusWidget(), wizard.findChild<QLineEdit *>(QStringLiteral("txtDomain")));
    }
};

QTEST_MAIN(TestFrmAuthWizard)
#include "tst_frmAuthWizard.moc"

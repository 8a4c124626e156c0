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
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        click(wizard, QStringLiteral("optAnswer0"));
        click(wizard, QStringLiteral("cmdNext"));
        auto *domain = wizard.findChild<QLineEdit *>(QStringLiteral("txtDomain"));
        typeInto(wizard, QStringLiteral("txtDomain"), QStringLiteral("DOM"));
        click(wizard, QStringLiteral("cmdNext"));
        QCOMPARE(presenter.last().text, QStringLiteral("You must enter a username."));
        QCOMPARE(QApplication::focusWidget(), wizard.findChild<QLineEdit *>(QStringLiteral("txtUsername")));
        typeInto(wizard, QStringLiteral("txtUsername"), QStringLiteral("admin"));
        // Ticked, the domain is the marker and is not checked as a name;
        // unticked, it is empty and the administrator's again.
        click(wizard, QStringLiteral("chkLocalAccount"));
        QVERIFY(!domain->isEnabled());
        click(wizard, QStringLiteral("chkLocalAccount"));
        QCOMPARE(domain->text(), QString());
        click(wizard, QStringLiteral("chkLocalAccount"));
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
        QCOMPARE(presenter.count(), 1);
    }
};

QTEST_MAIN(TestFrmAuthWizard)
#include "tst_frmAuthWizard.moc"

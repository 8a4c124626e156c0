#include "SlapdServer.h"

#include "import/forms/frmImportADS.h"
#include "shell/MainWindowFixture.h"

#include "common/widgets/LinkedProgressBar.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

class tst_frmImportADS : public QObject
{
    Q_OBJECT

private:
    // Opens the dialog from the File menu and fills it in.
    frmImportADS *openDialog(frmMain &window, const QString &password)
    {
        if (!f.trigger(window, QStringLiteral("mnuImportADS")))
            return nullptr;
        auto *dialog = window.findChild<frmImportADS *>();
        if (!dialog)
            return nullptr;
        const auto type = [dialog](const char *name, const QString &text) {
            MainWindowFixture::retype(dialog->findChild<QLineEdit *>(QLatin1String(name)), text);
        };
        type("txtServer", QStringLiteral("127.0.0.1"));
        type("txtPort", QString::number(m_slapd.port()));
        dialog->findChild<QComboBox *>(QStringLiteral("cboSecurity"))->setCurrentText(QStringLiteral("StartTLS"));
        type("txtCAFile", m_slapd.caFile());
        type("txtUser", QLatin1String(SlapdServer::User));
        type("txtDomain", QStringLiteral("CORP"));
        type("txtPassword", password);
        return dialog;
    }

    MainWindowFixture f;
    SlapdServer m_slapd;

private Q_SLOTS:
    void initTestCase()
    {
        QByteArray ldif;
        QStringList made;
        const QStringList units {QStringLiteral("Europe"), QStringLiteral("Sales")};
        ldif += SlapdServer::unitEntries(units, made);
        for (int n = 1; n <= 25; ++n)
            ldif += SlapdServer::computerEntry(QStringLiteral("PC%1").arg(n), units);
        QVERIFY2(m_slapd.start(ldif), qPrintable(m_slapd.error()));
    }

    void init() { f.init(); }
    void cleanup() { f.cleanup(); }
    void importsThroughTheMenuAndRemembersAllButThePassword()
    {
        frmMain window;
        frmImportADS *dialog = openDialog(window, QLatin1String(SlapdServer::Password));
        QVERIFY(dialog);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdImport")), Qt::LeftButton);
        QCOMPARE(f.presenter->last().text, QStringLiteral("Added 25 computers and 2 groups; 0 computers were already there."));
        QVERIFY(!dialog->isVisible());

        QCOMPARE(window.database()->GetComputerCount(), 25);
        const int europe = window.database()->FindFolder(QStringLiteral("Europe"), -1);
        QCOMPARE(MainWindowFixture::childTexts(window, modGeneral::RootKey), QStringList {QStringLiteral("Europe")});
        QCOMPARE(MainWindowFixture::childTexts(window, modGeneral::FolderKey(europe)), QStringList {QStringLiteral("Sales")});
        QCOMPARE(MainWindowFixture::setting(QStringLiteral("ADImportServer")), QStringLiteral("127.0.0.1"));
        QCOMPARE(MainWindowFixture::setting(QStringLiteral("ADImportSecurity")), QStringLiteral("StartTLS"));
        QFile store(f.registry->path());
        QVERIFY(store.open(QIODevice::ReadOnly));
        const QByteArray stored = store.readAll();
        const QString password = QLatin1String(SlapdServer::Password);
        QVERIFY(!stored.contains(password.toUtf8()));
        QVERIFY(!stored.contains(QByteArray(reinterpret_cast<const char *>(password.utf16()), password.size() * 2)));

        // The next dialog starts with what this one was given, password aside.
        QVERIFY(f.trigger(window, QStringLiteral("mnuImportADS")));
        auto *next = window.findChildren<frmImportADS *>().constLast();
        QCOMPARE(next->findChild<QLineEdit *>(QStringLiteral("txtPort"))->text(), QString::number(m_slapd.port()));
        QCOMPARE(next->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->text(), QString());
    }

    // The setup wizard shows the import's progress in a bar of its own page.
    void progressGoesToALinkedBar()
    {
        frmMain window;
        frmImportADS *dialog = openDialog(window, QLatin1String(SlapdServer::Password));
        QVERIFY(dialog);
        QProgressBar bar;
        QLabel caption;
        LinkedProgressBar linked(&bar, &caption);
        dialog->LinkBar(&linked);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdImport")), Qt::LeftButton);
        QCOMPARE(f.presenter->count(), 1);
        QCOMPARE(window.database()->GetComputerCount(), 25);
        // Run through to the end, which empties the bar and says so.
        QVERIFY(bar.maximum() > 0);
        QCOMPARE(bar.value(), 0);
        QCOMPARE(caption.text(), QStringLiteral("Complete"));
    }

    void wrongPasswordKeepsTheDialogOpen()
    {
        frmMain window;
        frmImportADS *dialog = openDialog(window, QStringLiteral("wrong"));
        QVERIFY(dialog);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdImport")), Qt::LeftButton);
        QCOMPARE(f.presenter->count(), 1);
        QCOMPARE(f.presenter->last().text, QStringLiteral("Invalid username or password given. Please try again."));
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->text(), QString());
        QCOMPARE(window.database()->GetComputerCount(), 0);
    }
};

QTEST_MAIN(tst_frmImportADS)
#include "tst_frmImportADS.moc"

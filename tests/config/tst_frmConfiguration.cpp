#include "config/forms/frmConfiguration.h"

#include "common/ConsoleCertificate.h"

#include "shell/MainWindowFixture.h"
#include "support/FixedAddressTable.h"
#include "support/Mnemonics.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

// The dialog over a fresh console key and a machine with two addresses.
class TestFrmConfiguration : public QObject
{
    Q_OBJECT

    MainWindowFixture m_fixture;
    std::unique_ptr<FixedAddressTable> m_addresses;
    std::unique_ptr<frmConfiguration> m_dialog;

    template<typename T> T *control(const char *name) const
    {
        T *widget = m_dialog->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    QLineEdit *edit(const char *name) const { return control<QLineEdit>(name); }
    void click(const char *name) const { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }
    static QString stored(const char *name) { return MainWindowFixture::setting(QString::fromLatin1(name)); }

private Q_SLOTS:
    void init()
    {
        m_fixture.init();
        m_addresses = std::make_unique<FixedAddressTable>(QStringList {"10.0.0.5", "192.168.1.9"});
        m_dialog = std::make_unique<frmConfiguration>();
        m_dialog->show();
    }
    void cleanup()
    {
        m_dialog.reset();
        m_addresses.reset();
        m_fixture.cleanup();
    }

    // The console address opens on the listener's; Apply waits for a
    // change, saves, and leaves the dialog open for the next one.
    void applyStaysOpen()
    {
        QCOMPARE(Mnemonics::problems(*m_dialog), QStringList());
        QCOMPARE(control<QComboBox>("cboConsoleIP")->currentText(), QStringLiteral("- Use Listener IP -"));
        QVERIFY(!control<QPushButton>("cmdApply")->isEnabled());
        MainWindowFixture::retype(edit("txtListenerPort"), QStringLiteral("8080"));
        click("cmdApply");
        QCOMPARE(stored("ListenerPort"), QStringLiteral("8080"));
        QCOMPARE(stored("ListenerIP"), QStringLiteral("10.0.0.5"));
        QVERIFY(m_dialog->isVisible() && !control<QPushButton>("cmdApply")->isEnabled());
    }

    // The listener's fingerprint is shown, never made by opening the dialog.
    void certificateShownReadOnly()
    {
        QTemporaryDir data;
        qputenv("VARNO_OSK_DATA", data.path().toLocal8Bit());
        m_dialog = std::make_unique<frmConfiguration>();
        QVERIFY(edit("txtCertificate")->text().startsWith("None yet") && edit("txtCertificate")->isReadOnly());
        ConsoleCertificate certificate;
        QVERIFY(!certificate.Exists());
        ConsoleCertificate::Pair pair;
        QString problem;
        QVERIFY(certificate.Load(pair, problem));
        m_dialog = std::make_unique<frmConfiguration>();
        QCOMPARE(edit("txtCertificate")->text(), ConsoleCertificate::Displayed(pair.fingerprint));
        qunsetenv("VARNO_OSK_DATA");
    }

    // A refusal takes the focus to its field (the order and the messages
    // are the rules class's) and writes nothing; OK then saves and closes
    // once it is put right.
    void okFocusesTheRefusedField()
    {
        MainWindowFixture::retype(edit("txtLoggingLevel"), QStringLiteral("10"));
        control<QCheckBox>("chkWelcomeScreen")->setChecked(true);
        click("cmdOK");
        QCOMPARE(m_fixture.presenter->last().icon, Presenter::Icon::Information);
        QCOMPARE(m_dialog->focusWidget(), edit("txtLoggingLevel"));
        QCOMPARE(stored("WelcomeScreen"), QStringLiteral("1"));
        MainWindowFixture::retype(edit("txtLoggingLevel"), QStringLiteral("9"));
        click("cmdOK");
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        QCOMPARE(stored("WelcomeScreen"), QStringLiteral("0"));
    }

    // The folder browser replaces the log path with the folder chosen (a
    // cancelled one leaves it alone); Cancel then saves nothing.
    void browseThenCancel()
    {
        const QString before = edit("txtLogPath")->text();
        m_fixture.presenter->setNextFolder(std::nullopt);
        click("cmdBrowse");
        QCOMPARE(edit("txtLogPath")->text(), before);
        m_fixture.presenter->setNextFolder(QStringLiteral("/srv/vo-logs"));
        click("cmdBrowse");
        QCOMPARE(edit("txtLogPath")->text(), QStringLiteral("/srv/vo-logs"));
        QVERIFY(control<QPushButton>("cmdApply")->isEnabled());
        const Presenter::FolderRequest &asked = m_fixture.presenter->folderRequests().constLast();
        QCOMPARE(asked.caption + asked.prompt + asked.folder, "Browse Folders...Select folder for logs:" + before);
        click("cmdCancel");
        QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
        QCOMPARE(stored("LogPath"), before);
    }

    // Tools > Configuration... opens the dialog over the main window.
    void openedFromTheToolsMenu()
    {
        frmMain window;
        bool opened = false;
        QTimer::singleShot(0, qApp, [&] {
            if (auto *dialog = qobject_cast<frmConfiguration *>(QApplication::activeModalWidget())) {
                opened = dialog->parentWidget() == &window;
                dialog->reject();
            }
        });
        QVERIFY(MainWindowFixture::trigger(window, QStringLiteral("mnuConfiguration")));
        QVERIFY(opened);
    }
};

QTEST_MAIN(TestFrmConfiguration)
#include "tst_frmConfiguration.moc"

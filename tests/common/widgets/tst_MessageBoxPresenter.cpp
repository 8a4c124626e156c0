#include "common/widgets/MessageBoxPresenter.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs `handle` on the dialog the presenter opens, once it is up.
void whenModal(std::function<void(QWidget *)> handle)
{
    QTimer::singleShot(0, qApp, [handle] {
        if (QWidget *modal = QApplication::activeModalWidget())
            handle(modal);
    });
}

} // namespace

class TestMessageBoxPresenter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Help opens the guide's page and leaves the box open for the answer.
    void helpKeepsTheBoxOpen()
    {
        QStringList opened;
        MessageBoxPresenter presenter([&](const QString &page) { opened << page; });
        Presenter::Message message;
        message.buttons = Presenter::Buttons::YesNo;
        message.helpPage = QStringLiteral("tree-and-inheritance.html");
        whenModal([](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box && box->button(QMessageBox::Help));
            box->button(QMessageBox::Help)->click();
            QVERIFY(box->isVisible());
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(presenter.showMessage(message), Presenter::No);
        QCOMPARE(opened, QStringList {message.helpPage});
    }

    void passphraseIsTypedHidden()
    {
        MessageBoxPresenter presenter;
        Presenter::TextRequest request;
        request.caption = QStringLiteral("Settings File Passphrase");
        request.text = QStringLiteral("first line\rsecond line");
        request.password = true;

        QString label;
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        whenModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QInputDialog *>(modal);
            QVERIFY(dialog);
            label = dialog->labelText();
            echo = dialog->textEchoMode();
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Settings File Passphrase"));
            dialog->setTextValue(QStringLiteral("s3cret"));
            dialog->accept();
        });
        QCOMPARE(presenter.askText(request), std::optional<QString>(QStringLiteral("s3cret")));
        QCOMPARE(label, QStringLiteral("first line\nsecond line"));
        QCOMPARE(echo, QLineEdit::Password);

        // OK on an empty field is an answer; closing the dialog is none.
        whenModal([](QWidget *modal) { qobject_cast<QDialog *>(modal)->accept(); });
        QCOMPARE(presenter.askText(request), std::optional<QString>(QString()));
        whenModal([](QWidget *modal) { qobject_cast<QDialog *>(modal)->reject(); });
        QCOMPARE(presenter.askText(request), std::nullopt);
    }

    void saveDialogStartsWhereAskedAndAddsTheEnding()
    {
        QTemporaryDir folder;
        MessageBoxPresenter presenter;
        Presenter::FileRequest request;
        request.caption = QStringLiteral("Save Settings As");
        request.filter = QStringLiteral("Varno-Osk settings files (*.vos.json);;All files (*)");
        request.folder = folder.path();
        request.fileName = QStringLiteral("Migration1.vos.json");
        request.defaultSuffix = QStringLiteral("vos.json");

        QString shownFolder;
        whenModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            shownFolder = dialog->directory().absolutePath();
            dialog->selectFile(QStringLiteral("wave1"));
            // QFileDialog hides accept(); QDialog's reaches it.
            static_cast<QDialog *>(dialog)->accept();
        });
        const std::optional<QString> chosen = presenter.askSaveFileName(request);
        QCOMPARE(shownFolder, QDir(folder.path()).absolutePath());
        QCOMPARE(chosen, std::optional<QString>(folder.filePath(QStringLiteral("wave1.vos.json"))));

        whenModal([](QWidget *modal) { qobject_cast<QDialog *>(modal)->reject(); });
        QCOMPARE(presenter.askOpenFileName(request), std::nullopt);
    }
};

QTEST_MAIN(TestMessageBoxPresenter)
#include "tst_MessageBoxPresenter.moc"

#include "common/widgets/MessageBoxPresenter.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon boxIcon(Presenter::Icon icon)
{
    switch (icon) {
    case Presenter::Icon::Information:
        return QMessageBox::Information;
    case Presenter::Icon::Critical:
        return QMessageBox::Critical;
    case Presenter::Icon::Exclamation:
        return QMessageBox::Warning;
    case Presenter::Icon::Question:
        return QMessageBox::Question;
    case Presenter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton boxButton(Presenter::Answer answer)
{
    switch (answer) {
    case Presenter::Ok:
        return QMessageBox::Ok;
    case Presenter::Cancel:
        return QMessageBox::Cancel;
    case Presenter::Abort:
        return QMessageBox::Abort;
    case Presenter::Retry:
        return QMessageBox::Retry;
    case Presenter::Ignore:
        return QMessageBox::Ignore;
    case Presenter::Yes:
        return QMessageBox::Yes;
    case Presenter::No:
        return QMessageBox::No;
    case Presenter::Help:
        return QMessageBox::Help;
    }
    return QMessageBox::Ok;
}

// Message texts break their lines with CR alone.
QString displayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QWidget *ownerWidget(QObject *owner)
{
    QWidget *parent = qobject_cast<QWidget *>(owner);
    return parent ? parent : QApplication::activeWindow();
}

std::optional<QString> askFileName(const Presenter::FileRequest &request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(ownerWidget(request.owner), request.caption, request.folder, request.filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

MessageBoxPresenter::MessageBoxPresenter(HelpOpener showHelp)
    : m_showHelp(std::move(showHelp))
{ }

Presenter::Answer MessageBoxPresenter::showMessage(const Message &message)
{
    const QString text = displayText(message.text);
    QWidget *parent = ownerWidget(message.owner);

    QMessageBox box(boxIcon(message.icon), message.caption, text, QMessageBox::NoButton, parent);
    const QList<Answer> answers = answersFor(message.buttons);
    QHash<QAbstractButton *, Answer> answerOf;
    for (qsizetype i = 0; i < answers.size(); ++i) {
        QPushButton *button = box.addButton(boxButton(answers.at(i)));
        if (i < message.buttonCaptions.size())
            button->setText(message.buttonCaptions.at(i));
        answerOf.insert(button, answers.at(i));
        if (i == message.defaultButton || (i == 0 && (message.defaultButton < 0 || message.defaultButton >= answers.size())))
            box.setDefaultButton(button);
    }
    if (!message.helpPage.isEmpty() && m_showHelp) {
        // Help is no answer: the box stays open while the guide is read, so
        // the button leaves the box's own handling, which would close it.
        QPushButton *help = box.addButton(QMessageBox::Help);
        QObject::disconnect(help, &QAbstractButton::clicked, nullptr, nullptr);
        QObject::connect(help, &QAbstractButton::clicked, &box, [this, &message] { m_showHelp(message.helpPage); });
    }
    box.exec();
    // Closing the box with Escape or the title bar counts as its last button.
    return answerOf.value(box.clickedButton(), answers.constLast());
}

std::optional<QString> MessageBoxPresenter::askText(const TextRequest &request)
{
    QInputDialog dialog(ownerWidget(request.owner));
    dialog.setWindowTitle(request.caption);
    dialog.setLabelText(displayText(request.text));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextEchoMode(request.password ? QLineEdit::Password : QLineEdit::Normal);
    dialog.setTextValue(request.initial);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<int> MessageBoxPresenter::askChoice(const ChoiceRequest &request)
{
    QInputDialog dialog(ownerWidget(request.owner));
    dialog.setWindowTitle(request.caption);
    dialog.setLabelText(displayText(request.text));
    dialog.setComboBoxItems(request.items);
    dialog.setComboBoxEditable(false);
    if (request.current >= 0 && request.current < request.items.size())
        dialog.setTextValue(request.items.at(request.current));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const qsizetype chosen = request.items.indexOf(dialog.textValue());
    return chosen < 0 ? std::nullopt : std::optional<int>(int(chosen));
}

std::optional<QString> MessageBoxPresenter::askOpenFileName(const FileRequest &request)
{
    return askFileName(request, QFileDialog::AcceptOpen);
}

std::optional<QString> MessageBoxPresenter::askSaveFileName(const FileRequest &request)
{
    return askFileName(request, QFileDialog::AcceptSave);
}

std::optional<QString> MessageBoxPresenter::askFolder(const FolderRequest &request)
{
    QFileDialog dialog(ownerWidget(request.owner), request.caption, request.folder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    // The prompt needs Qt's own dialog: a desktop's native one has no place for it.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setLabelText(QFileDialog::LookIn, request.prompt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

#include "common/widgets/MessageBoxPresenter.h"

#include <QApplication>
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
    }
    return QMessageBox::Ok;
}

} // namespace

Presenter::Answer MessageBoxPresenter::showMessage(const Message &message)
{
    // Message texts break their lines with CR alone.
    QString text = message.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    QWidget *parent = qobject_cast<QWidget *>(message.owner);
    if (!parent)
        parent = QApplication::activeWindow();

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
    box.exec();
    // Closing the box with Escape or the title bar counts as its last button.
    return answerOf.value(box.clickedButton(), answers.constLast());
}

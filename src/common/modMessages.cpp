#include "common/modMessages.h"

#include "common/Presenter.h"

namespace modMessages {

namespace {

Presenter::Icon iconForStyle(int style)
{
    switch (style & 0x70) {
    case IconCritical:
        return Presenter::Icon::Critical;
    case IconQuestion:
        return Presenter::Icon::Question;
    case IconExclamation:
        return Presenter::Icon::Exclamation;
    case IconInformation:
        return Presenter::Icon::Information;
    default:
        return Presenter::Icon::None;
    }
}

} // namespace

int ShowCustomMessage(QObject *owner, const QString &message, const QString &caption, int style, const QStringList &buttonCaptions)
{
    Presenter::Message box;
    box.owner = owner;
    box.text = message;
    box.caption = caption;
    box.icon = iconForStyle(style);
    if (buttonCaptions.size() >= 3) {
        box.buttons = Presenter::Buttons::YesNoCancel;
        box.buttonCaptions = buttonCaptions.mid(0, 3);
    } else if (buttonCaptions.size() == 2) {
        box.buttons = Presenter::Buttons::YesNo;
        box.buttonCaptions = buttonCaptions;
    } else {
        box.buttons = Presenter::Buttons::Ok;
        box.buttonCaptions = buttonCaptions;
    }

    const Presenter::Answer answer = Presenter::current().showMessage(box);
    switch (answer) {
    case Presenter::Ok:
    case Presenter::Yes:
        return 1;
    case Presenter::No:
        return 2;
    case Presenter::Cancel:
        return 3;
    default:
        return answer;
    }
}

} // namespace modMessages

#include "common/Presenter.h"

#include <cstdio>
#include <utility>

namespace {

// Used where no window exists (the vo command, early start-up): says what
// would have been shown and never waits for an answer.
class StderrPresenter final : public Presenter
{
public:
    Answer showMessage(const Message &message) override
    {
        QString text = message.text;
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        const QByteArray out = (message.caption.isEmpty() ? text : message.caption + QStringLiteral(": ") + text).toLocal8Bit();
        std::fprintf(stderr, "%s\n", out.constData());
        return answersFor(message.buttons).constFirst();
    }
};

Presenter *s_presenter = nullptr;

} // namespace

Presenter &Presenter::current()
{
    static StderrPresenter fallback;
    return s_presenter ? *s_presenter : fallback;
}

Presenter *Presenter::install(Presenter *presenter)
{
    return std::exchange(s_presenter, presenter);
}

std::optional<QString> Presenter::askText(const TextRequest &)
{
    return std::nullopt;
}

std::optional<QString> Presenter::askOpenFileName(const FileRequest &)
{
    return std::nullopt;
}

std::optional<QString> Presenter::askSaveFileName(const FileRequest &)
{
    return std::nullopt;
}

std::optional<QString> Presenter::askFolder(const FolderRequest &)
{
    return std::nullopt;
}

std::optional<int> Presenter::askChoice(const ChoiceRequest &)
{
    return std::nullopt;
}

QList<Presenter::Answer> Presenter::answersFor(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
        return {Ok};
    case Buttons::OkCancel:
        return {Ok, Cancel};
    case Buttons::YesNo:
        return {Yes, No};
    case Buttons::YesNoCancel:
        return {Yes, No, Cancel};
    case Buttons::RetryCancel:
        return {Retry, Cancel};
    case Buttons::AbortRetryIgnore:
        return {Abort, Retry, Ignore};
    }
    return {Ok};
}

#include "support/RecordingPresenter.h"

RecordingPresenter::RecordingPresenter()
{
    Presenter::install(this);
}

RecordingPresenter::~RecordingPresenter()
{
    Presenter::install(nullptr);
}

Presenter::Answer RecordingPresenter::showMessage(const Message &message)
{
    m_messages.append(message);
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    return answersFor(message.buttons).constFirst();
}

#include "support/RecordingPresenter.h"

RecordingPresenter::RecordingPresenter()
    : m_previous(Presenter::install(this))
{
}

RecordingPresenter::~RecordingPresenter()
{
    // A fixture's presenter inside a test's own: the test's counts on after
    // it. Only when this one is still in charge; otherwise the one that is
    // stays.
    if (Presenter *current = Presenter::install(m_previous); current != this)
        Presenter::install(current);
}

Presenter::Answer RecordingPresenter::showMessage(const Message &message)
{
    m_messages.append(message);
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    return answersFor(message.buttons).constFirst();
}

std::optional<QString> RecordingPresenter::askText(const TextRequest &request)
{
    m_textRequests.append(request);
    return m_texts.isEmpty() ? std::nullopt : m_texts.dequeue();
}

std::optional<QString> RecordingPresenter::askOpenFileName(const FileRequest &request)
{
    m_fileRequests.append({request, false});
    return m_fileNames.isEmpty() ? std::nullopt : m_fileNames.dequeue();
}

std::optional<QString> RecordingPresenter::askSaveFileName(const FileRequest &request)
{
    m_fileRequests.append({request, true});
    return m_fileNames.isEmpty() ? std::nullopt : m_fileNames.dequeue();
}

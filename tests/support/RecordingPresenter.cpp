#include "support/RecordingPresenter.h"

#include <QTest>

RecordingPresenter::RecordingPresenter()
    : m_previous(Presenter::install(this))
{ }

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
    while (!m_answers.isEmpty()) {
        const Answer answer = m_answers.dequeue();
        if (answer != Help)
            return answer;
        if (message.helpPage.isEmpty())
            QTest::qFail("Help scripted for a box without it", __FILE__, __LINE__);
        m_helpPages.append(message.helpPage);
    }
    const QList<Answer> answers = answersFor(message.buttons);
    // A question nobody scripted would be answered with its first button,
    // often Yes: a test that never expected the question would pass on an
    // answer it never chose.
    if (answers.size() > 1) {
        const QByteArray what = "unscripted question: " + message.text.toUtf8().replace('\r', " / ");
        QTest::qFail(what.constData(), __FILE__, __LINE__);
    }
    return answers.constFirst();
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

std::optional<QString> RecordingPresenter::askFolder(const FolderRequest &request)
{
    m_folderRequests.append(request);
    return m_folders.isEmpty() ? std::nullopt : m_folders.dequeue();
}

std::optional<int> RecordingPresenter::askChoice(const ChoiceRequest &request)
{
    m_choiceRequests.append(request);
    return m_choices.isEmpty() ? std::nullopt : m_choices.dequeue();
}

#pragma once

#include "common/Presenter.h"

#include <QList>
#include <QQueue>

// Records every message the code under test shows and answers from a script.
// A message with one button is answered with it; a question without a
// scripted answer fails the running test (and then takes the first button). Text and file-name
// requests are recorded too and answered from their own scripts; without a
// scripted answer they are cancelled. Installed for its lifetime; the
// presenter installed before it is back when it goes.
class RecordingPresenter final : public Presenter
{
public:
    RecordingPresenter();
    ~RecordingPresenter() override;

    Answer showMessage(const Message &message) override;

    std::optional<QString> askText(const TextRequest &request) override;
    std::optional<QString> askOpenFileName(const FileRequest &request) override;
    std::optional<QString> askSaveFileName(const FileRequest &request) override;
    std::optional<QString> askFolder(const FolderRequest &request) override;
    std::optional<int> askChoice(const ChoiceRequest &request) override;
    void setNextChoice(std::optional<int> choice) { m_choices.enqueue(choice); }
    const QList<ChoiceRequest> &choiceRequests() const { return m_choiceRequests; }
    // std::nullopt scripts a Cancel.
    void setNextFolder(std::optional<QString> folder) { m_folders.enqueue(std::move(folder)); }
    const QList<FolderRequest> &folderRequests() const { return m_folderRequests; }

    // Help presses the box's Help button; the next answer scripted closes it.
    void setNextAnswer(Answer answer) { m_answers.enqueue(answer); }
    // The guide pages Help opened, in order.
    const QStringList &helpPages() const { return m_helpPages; }
    // std::nullopt scripts a Cancel.
    void setNextText(std::optional<QString> text) { m_texts.enqueue(std::move(text)); }
    void setNextFileName(std::optional<QString> fileName) { m_fileNames.enqueue(std::move(fileName)); }

    const QList<TextRequest> &textRequests() const { return m_textRequests; }
    // Open and save requests in the order asked; `saving` tells them apart.
    struct FileAsk
    {
        FileRequest request;
        bool saving = false;
    };
    const QList<FileAsk> &fileRequests() const { return m_fileRequests; }

    const QList<Message> &messages() const { return m_messages; }
    const Message &last() const { return m_messages.constLast(); }
    qsizetype count() const { return m_messages.size(); }
    // Forgets what was shown and asked; answers scripted but not yet used stay.
    void clear()
    {
        m_messages.clear();
        m_textRequests.clear();
        m_fileRequests.clear();
        m_helpPages.clear();
    }

private:
    Presenter *m_previous = nullptr;
    QList<Message> m_messages;
    QQueue<Answer> m_answers;
    QStringList m_helpPages;
    QList<TextRequest> m_textRequests;
    QQueue<std::optional<QString>> m_texts;
    QList<FileAsk> m_fileRequests;
    QQueue<std::optional<QString>> m_fileNames;
    QList<FolderRequest> m_folderRequests;
    QQueue<std::optional<QString>> m_folders;
    QList<ChoiceRequest> m_choiceRequests;
    QQueue<std::optional<int>> m_choices;
};

#pragma once

#include "common/Presenter.h"

#include <QList>
#include <QQueue>

// Records every message the code under test shows and answers from a script.
// Without a scripted answer the first button is pressed. Installed for its
// lifetime.
class RecordingPresenter final : public Presenter
{
public:
    RecordingPresenter();
    ~RecordingPresenter() override;

    Answer showMessage(const Message &message) override;

    void setNextAnswer(Answer answer) { m_answers.enqueue(answer); }

    const QList<Message> &messages() const { return m_messages; }
    const Message &last() const { return m_messages.constLast(); }
    qsizetype count() const { return m_messages.size(); }
    void clear() { m_messages.clear(); }

private:
    QList<Message> m_messages;
    QQueue<Answer> m_answers;
};

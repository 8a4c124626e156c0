#pragma once

#include "common/AssociatedOpener.h"

#include <QList>
#include <QQueue>

// Records what the console would have opened, and answers from a script
// (Opened when nothing is scripted); no program is ever started. Installed
// for its lifetime; the opener installed before it is back when it goes.
class RecordingOpener final : public AssociatedOpener
{
public:
    struct Call
    {
        QString path;
        QString workingFolder;
    };

    RecordingOpener() { m_previous = install(this); }
    ~RecordingOpener() override { install(m_previous); }

    int open(const QString &path, const QString &workingFolder) override
    {
        opened.append({path, workingFolder});
        return m_results.isEmpty() ? Opened : m_results.dequeue();
    }

    void setNextResult(int result) { m_results.enqueue(result); }

    QList<Call> opened;

private:
    AssociatedOpener *m_previous = nullptr;
    QQueue<int> m_results;
};

#pragma once

#include <QObject>
#include <QString>

class TreeDisplay;

// The ping test without a window: every computer of the tree, in the tree's
// order, resolved and pinged once, each with its line in the progress log
// and its result on its node's image. It runs on the user-interface thread
// and lets pending events run between its steps, so the stop command (which
// sets the cancel request) is handled while it goes on; the request is
// looked at before each computer.
class PingTest : public QObject
{
    Q_OBJECT

public:
    // How long one echo waits for its reply.
    static constexpr int TimeoutMs = 2000;

    explicit PingTest(TreeDisplay &tree, QObject *parent = nullptr);

    // Writes the opening lines, then goes through the computers until the
    // cancel request is set, then writes the closing line when there was a
    // computer at all. Returns the number of computers visited.
    int Run();
    void Cancel() { m_cancel = true; }
    bool CancelRequested() const { return m_cancel; }
    // True from the start of Run until it returns: the caller keeps the
    // tree (and whatever shows it) alive meanwhile.
    bool Looping() const { return m_looping; }

Q_SIGNALS:
    // A new line of the progress log.
    void Line(const QString &text);
    // More text at the end of the last line.
    void LineContinued(const QString &text);

private:
    void pingComputer(const QString &key);

    TreeDisplay &m_tree;
    bool m_cancel = false;
    bool m_looping = false;
};

#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class ParallelPing;

// The ping test without a window: a list of computers, each resolved and
// pinged once, with its line in the progress log. The lines come in the
// list's order however many pings are under way at once. The test runs on
// the caller's thread and lets pending events run between its steps and
// while it waits, so a stop command (which sets the cancel request) is
// handled while it goes on; the request is looked at before each computer.
class PingTest : public QObject
{
    Q_OBJECT

public:
    // How long one echo waits for its reply.
    static constexpr int TimeoutMs = 2000;

    explicit PingTest(QObject *parent = nullptr);
    ~PingTest() override;

    // Up to ParallelPing::MaxInFlight; 1 pings one computer after the other.
    void setInFlight(int inFlight) { m_inFlight = inFlight; }

    // Writes the opening lines, then goes through the computers until the
    // cancel request is set, then writes the closing line when there was a
    // computer at all. Returns the number of computers visited.
    int Run(const QStringList &computers);
    void Cancel();
    bool CancelRequested() const { return m_cancel; }
    // Of the computers the last Run visited, those that did not answer.
    int Failed() const { return m_failed; }
    // The line that ends the log: complete or canceled, and how many answered.
    static QString ClosingLine(bool canceled, int visited, int failed, int total);
    // True from the start of Run until it returns: the caller keeps
    // whatever shows the test alive meanwhile.
    bool Looping() const { return m_looping; }

Q_SIGNALS:
    // A new line of the progress log.
    void Line(const QString &text);
    // More text at the end of the last line.
    void LineContinued(const QString &text);
    // The computer at `index` of the list has its result.
    void Pinged(int index, qint32 result);

private:
    // False when the computer was given up, unresolved, by a cancel.
    bool pingComputer(int index, const QString &name);

    ParallelPing *m_pings = nullptr;
    int m_inFlight = 1;
    int m_failed = 0;
    bool m_cancel = false;
    bool m_looping = false;
};

#pragma once

#include <QString>

class ProgressBarView;
class ProgressWindow;

// The one way long operations report progress. The worker talks to the link;
// the link passes each report on to a progress window, to a bar with its
// label on another form, or to both, and the worker never knows which. A
// side that is not linked ignores every call.
//
// Everything runs on the user-interface thread. The link lets pending
// events run at the points where the worker reports, which keeps the window
// painting and lets a click on Cancel arrive; the worker sees it at its next
// CancelVal. Nothing is ever cancelled behind the worker's back.
//
// The caller keeps the linked window and bar alive for as long as the link.
class ProgressBarLink
{
public:
    ProgressBarLink() = default;
    ~ProgressBarLink();

    ProgressBarLink(const ProgressBarLink &) = delete;
    ProgressBarLink &operator=(const ProgressBarLink &) = delete;

    // nullptr unlinks.
    void LinkForm(ProgressWindow *window);
    void LinkBar(ProgressBarView *bar);

    // Starts a phase; a worker with two phases starts twice. `options` is taken
    // for callers that pass one; no option changes the display. A Cancel
    // button is offered only when the worker asks CancelVal.
    void Start(int minimum, int maximum, const QString &caption, const QString &message, int options = 0, bool cancelAllowed = false);
    void SetValue(int value);
    void SetMax(int maximum);
    void SetMessage(const QString &text);
    // One step further. Only every UpdateStep-th value is shown, so a loop over
    // thousands of records repaints a few dozen times instead of thousands.
    void IncVal();
    bool CancelVal();
    void CancelOff();
    void Finish();

    int UpdateStep() const { return m_updateStep; }
    // Steps below 1 count as 1.
    void SetUpdateStep(int step);

    int Value() const { return m_value; }
    int Max() const { return m_max; }
    bool FormLinked() const { return m_window != nullptr; }
    bool BarLinked() const { return m_bar != nullptr; }
    bool FormShown() const { return m_formShown; }

private:
    void letEventsRun();

    ProgressWindow *m_window = nullptr;
    ProgressBarView *m_bar = nullptr;
    bool m_cancel = false;
    bool m_formShown = false;
    int m_value = 0;
    int m_max = 0;
    int m_updateStep = 1;
};

#include "common/ProgressBarLink.h"

#include "common/ProgressBarView.h"
#include "common/ProgressWindow.h"

#include <QCoreApplication>

namespace {

const QString kCompleteCaption = QStringLiteral("Complete");

} // namespace

ProgressBarLink::~ProgressBarLink()
{
    // A worker that ends early, through a failure, never reaches Finish; the
    // window it opened must not stay on the screen. A window somebody else
    // showed is theirs to close.
    if (m_window && m_formShown)
        m_window->Close();
}

void ProgressBarLink::LinkForm(ProgressWindow *window)
{
    m_window = window;
    m_formShown = false;
}

void ProgressBarLink::LinkBar(ProgressBarView *bar)
{
    m_bar = bar;
}

void ProgressBarLink::Start(int minimum, int maximum, const QString &caption, const QString &message, int options, bool cancelAllowed)
{
    Q_UNUSED(options)
    if (m_window) {
        m_window->Show();
        m_window->Clear();
        m_window->SetMainInfo(caption, cancelAllowed);
        m_formShown = true;
    }
    if (m_bar)
        m_bar->setValue(0);
    SetMessage(message);
    SetMax(maximum);
    SetValue(minimum);
    letEventsRun();
}

void ProgressBarLink::SetValue(int value)
{
    if (m_window && value >= 0)
        m_window->SetValue(value);
    // The window clamps a value above its maximum; an embedded bar would
    // silently refuse it, so it keeps what it showed.
    if (m_bar && value >= 0 && value <= m_bar->maximum())
        m_bar->setValue(value);
    m_value = value;
    letEventsRun();
}

void ProgressBarLink::SetMax(int maximum)
{
    if (m_window && maximum >= 0)
        m_window->SetMax(maximum);
    // An embedded bar with a maximum of 0 would show a busy indicator instead of an empty bar.
    if (m_bar && maximum >= 1)
        m_bar->setMaximum(maximum);
    m_max = maximum;
}

void ProgressBarLink::SetMessage(const QString &text)
{
    if (m_window)
        m_window->SetMessage(text);
    if (m_bar)
        m_bar->setCaption(text);
    letEventsRun();
}

void ProgressBarLink::IncVal()
{
    if (m_value >= m_max)
        return;
    ++m_value;
    if (m_value % m_updateStep == 0)
        SetValue(m_value);
}

bool ProgressBarLink::CancelVal()
{
    if (m_window) {
        // A click on Cancel made since the last report is still in the queue.
        letEventsRun();
        m_cancel = m_window->CancelVal();
    }
    return m_cancel;
}

void ProgressBarLink::CancelOff()
{
    m_cancel = false;
    if (m_window)
        m_window->ResetCancel();
}

void ProgressBarLink::Finish()
{
    if (m_window && m_formShown) {
        m_window->Close();
        m_formShown = false;
    }
    if (m_bar) {
        m_bar->setValue(0);
        m_bar->setCaption(kCompleteCaption);
    }
}

void ProgressBarLink::SetUpdateStep(int step)
{
    m_updateStep = step < 1 ? 1 : step;
}

void ProgressBarLink::letEventsRun()
{
    if (m_window || m_bar)
        QCoreApplication::processEvents();
}

#pragma once

#include <QString>

// A separate progress window as the progress link drives it. The console's
// window is frmProgress; tests drive the link with a fake.
class ProgressWindow
{
public:
    virtual ~ProgressWindow() = default;

    // Shows the window without waiting for it; the worker goes on at once.
    virtual void Show() = 0;
    virtual void Close() = 0;
    // Empties the bar for a new phase.
    virtual void Clear() = 0;
    virtual void SetMainInfo(const QString &caption, bool showCancel) = 0;
    virtual void SetMessage(const QString &text) = 0;
    virtual void SetMax(int maximum) = 0;
    virtual void SetValue(int value) = 0;
    // True once the administrator pressed Cancel, until ResetCancel.
    virtual bool CancelVal() const = 0;
    virtual void ResetCancel() = 0;
};

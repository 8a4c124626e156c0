#pragma once

#include <QString>

// Where long database work reports its progress. The progress dialog's link
// implements it; the database never knows whether a window is showing.
class ProgressSink
{
public:
    virtual ~ProgressSink() = default;

    // Starts a phase: range, window caption and message.
    virtual void Start(int minimum, int maximum, const QString &caption, const QString &message) = 0;
    virtual void SetValue(int value) = 0;
    // One step further, never past the maximum.
    virtual void IncVal() = 0;
    // True when the administrator asked to cancel.
    virtual bool CancelVal() = 0;
};

#pragma once

#include <QString>

// A progress bar that sits on another form, together with the label above it,
// as the progress link drives them.
class ProgressBarView
{
public:
    virtual ~ProgressBarView() = default;

    virtual int value() const = 0;
    virtual void setValue(int value) = 0;
    virtual int maximum() const = 0;
    virtual void setMaximum(int maximum) = 0;
    // The text of the caption label; a bar without a label ignores it.
    virtual void setCaption(const QString &text) = 0;
};

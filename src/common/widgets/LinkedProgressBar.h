#pragma once

#include "common/ProgressBarView.h"

#include <QPointer>

class QLabel;
class QProgressBar;

// A progress bar and its caption label on some form, ready for
// ProgressBarLink::LinkBar. Either control may go away before the link is
// done with it; calls then do nothing.
class LinkedProgressBar final : public ProgressBarView
{
public:
    LinkedProgressBar(QProgressBar *bar, QLabel *label);

    int value() const override;
    void setValue(int value) override;
    int maximum() const override;
    void setMaximum(int maximum) override;
    void setCaption(const QString &text) override;

private:
    QPointer<QProgressBar> m_bar;
    QPointer<QLabel> m_label;
};

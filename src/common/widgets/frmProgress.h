#pragma once

#include "common/ProgressWindow.h"

#include <QDialog>

class BusyIndicator;
class QLabel;
class QPushButton;
class QTimer;
class SegmentedProgressBar;

// The progress window of long operations: caption, message, the segmented
// bar, the circles that show the console is working, and Cancel when the
// worker can stop. The worker runs on the user-interface thread and drives
// the window through a ProgressBarLink; Show returns at once.
//
// Cancel only raises a flag. The worker reads it at its next CancelVal and
// decides; until it clears the flag (ResetCancel) the button stays pressed.
class frmProgress final : public QDialog, public ProgressWindow
{
    Q_OBJECT

public:
    explicit frmProgress(QWidget *parent = nullptr);
    ~frmProgress() override;

    void Show() override;
    void Close() override;
    void Clear() override;
    void SetMainInfo(const QString &caption, bool showCancel) override;
    void SetMessage(const QString &text) override;
    void SetMax(int maximum) override;
    void SetValue(int value) override;
    bool CancelVal() const override { return m_cancel; }
    void ResetCancel() override;

    int Value() const;
    int Maximum() const;
    QString Message() const;
    // Pixels of a length given in twips, on this window's screen.
    int twipsToPixels(int twips) const;

public Q_SLOTS:
    void cmdCancel_Click();
    void tmrAnimate_Timer();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void fitHeight();

    QLabel *m_lblMessage;
    BusyIndicator *m_picWait;
    SegmentedProgressBar *m_picProgress;
    QPushButton *m_cmdCancel;
    QTimer *m_tmrAnimate;
    bool m_cancel = false;
};

#include "common/widgets/frmProgress.h"

#include "common/widgets/BusyIndicator.h"
#include "common/widgets/SegmentedProgressBar.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kWaitMessage = QStringLiteral("Please wait...");

constexpr int kWidth = 420;
// Below the Cancel button, or below the bar when there is no button.
constexpr int kBottomMarginTwips = 100;
constexpr int kAnimateIntervalMs = 300;

} // namespace

frmProgress::frmProgress(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_lblMessage(new QLabel(kWaitMessage, this))
    , m_picWait(new BusyIndicator(this))
    , m_picProgress(new SegmentedProgressBar(this))
    , m_cmdCancel(new QPushButton(tr("Cancel"), this))
    , m_tmrAnimate(new QTimer(this))
{
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(tr("Progress"));
    // The worker owns the user-interface thread while this window is up; the
    // window it works for must not take commands meanwhile.
    setWindowModality(Qt::WindowModal);
    setSizeGripEnabled(false);

    m_lblMessage->setObjectName(QStringLiteral("lblMessage"));
    m_lblMessage->setTextFormat(Qt::PlainText);
    // A long message must not widen the window; it is cut at the edge instead.
    m_lblMessage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_picWait->setObjectName(QStringLiteral("picWait"));
    m_picProgress->setObjectName(QStringLiteral("picProgress"));
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter asks to cancel as Escape does; the window has no other button.
    m_cmdCancel->setDefault(true);
    m_tmrAnimate->setObjectName(QStringLiteral("tmrAnimate"));
    m_tmrAnimate->setInterval(kAnimateIntervalMs);

    auto *messageRow = new QHBoxLayout;
    messageRow->addWidget(m_lblMessage, 1);
    messageRow->addWidget(m_picWait, 0, Qt::AlignVCenter);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_cmdCancel);

    auto *layout = new QVBoxLayout(this);
    const int margin = style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    layout->setContentsMargins(margin, margin, margin, twipsToPixels(kBottomMarginTwips));
    layout->addLayout(messageRow);
    layout->addWidget(m_picProgress);
    layout->addLayout(buttonRow);

    connect(m_cmdCancel, &QPushButton::clicked, this, &frmProgress::cmdCancel_Click);
    connect(m_tmrAnimate, &QTimer::timeout, this, &frmProgress::tmrAnimate_Timer);

    setFixedWidth(kWidth);
    fitHeight();
}

frmProgress::~frmProgress() = default;

void frmProgress::Show()
{
    show();
    activateWindow();
}

void frmProgress::Close()
{
    hide();
}

void frmProgress::Clear()
{
    // The cancel flag survives: a Cancel pressed between two phases is still
    // the worker's to see.
    m_picProgress->Clear();
}

void frmProgress::SetMainInfo(const QString &caption, bool showCancel)
{
    setWindowTitle(caption);
    m_cmdCancel->setVisible(showCancel);
    fitHeight();
}

void frmProgress::SetMessage(const QString &text)
{
    m_lblMessage->setText(text);
}

void frmProgress::SetMax(int maximum)
{
    m_picProgress->SetMax(maximum);
}

void frmProgress::SetValue(int value)
{
    m_picProgress->SetValue(value);
}

void frmProgress::ResetCancel()
{
    m_cancel = false;
    m_cmdCancel->setEnabled(true);
}

int frmProgress::Value() const
{
    return m_picProgress->meter().Value();
}

int frmProgress::Maximum() const
{
    return m_picProgress->meter().Maximum();
}

QString frmProgress::Message() const
{
    return m_lblMessage->text();
}

int frmProgress::twipsToPixels(int twips) const
{
    return qRound(twips * logicalDpiY() / 1440.0);
}

void frmProgress::cmdCancel_Click()
{
    m_cancel = true;
    // One press is enough; the button comes back if the worker goes on.
    m_cmdCancel->setEnabled(false);
}

void frmProgress::tmrAnimate_Timer()
{
    m_picWait->Advance();
}

void frmProgress::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_tmrAnimate->start();
}

void frmProgress::hideEvent(QHideEvent *event)
{
    m_tmrAnimate->stop();
    QDialog::hideEvent(event);
}

void frmProgress::closeEvent(QCloseEvent *event)
{
    // Only the worker closes the window. Alt+F4 is a request to cancel, and
    // only where the worker offered to stop.
    if (event->spontaneous()) {
        event->ignore();
        if (m_cmdCancel->isVisible() && m_cmdCancel->isEnabled())
            cmdCancel_Click();
        return;
    }
    QDialog::closeEvent(event);
}

void frmProgress::reject()
{
    // Escape asks to cancel like the button; it never closes the window.
    if (m_cmdCancel->isVisible() && m_cmdCancel->isEnabled())
        cmdCancel_Click();
}

void frmProgress::fitHeight()
{
    // Hidden widgets take no room in the layout, so without Cancel the
    // window ends the margin below the bar.
    layout()->activate();
    setFixedHeight(sizeHint().height());
}

#pragma once

#include "common/ProgressMeter.h"

#include <QWidget>

// The progress window's bar: a row of equal segments, filled from the left,
// in a colour that runs from blue to green along the bar. A change repaints
// only the segments that turned, which keeps a long import cheap to show.
class SegmentedProgressBar final : public QWidget
{
    Q_OBJECT

public:
    explicit SegmentedProgressBar(QWidget *parent = nullptr);

    const ProgressMeter &meter() const { return m_meter; }

    void SetMax(int maximum);
    void SetValue(int value);
    void Clear();

    // The colour of a filled segment; the first is pure blue, the last pure green.
    QColor segmentColor(int segment) const;
    // Where a segment is drawn, in widget coordinates.
    QRect segmentRect(int segment) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void repaintSegments(ProgressMeter::SegmentSpan span);
    QRect trackRect() const;

    ProgressMeter m_meter;
};

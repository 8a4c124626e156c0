#include "common/widgets/SegmentedProgressBar.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kFirstColor(0x1f, 0x5f, 0xc4);
const QColor kLastColor(0x2a, 0xa8, 0x5f);

constexpr int kFrame = 1; // border line
constexpr int kPadding = 2; // between border and segments
constexpr int kGap = 2; // between two segments
constexpr int kHeight = 22;

int blend(int from, int to, double t)
{
    return qRound(from + (to - from) * t);
}

} // namespace

SegmentedProgressBar::SegmentedProgressBar(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SegmentedProgressBar::SetMax(int maximum)
{
    repaintSegments(m_meter.SetMax(maximum));
}

void SegmentedProgressBar::SetValue(int value)
{
    repaintSegments(m_meter.SetValue(value));
}

void SegmentedProgressBar::Clear()
{
    repaintSegments(m_meter.Clear());
}

QColor SegmentedProgressBar::segmentColor(int segment) const
{
    const int last = m_meter.Segments() - 1;
    const double t = last > 0 ? double(std::clamp(segment, 0, last)) / last : 0.0;
    return QColor(blend(kFirstColor.red(), kLastColor.red(), t), blend(kFirstColor.green(), kLastColor.green(), t),
        blend(kFirstColor.blue(), kLastColor.blue(), t));
}

QRect SegmentedProgressBar::trackRect() const
{
    return rect().adjusted(kFrame + kPadding, kFrame + kPadding, -(kFrame + kPadding), -(kFrame + kPadding));
}

QRect SegmentedProgressBar::segmentRect(int segment) const
{
    // Edges are placed by rounding so that the segments share out the odd
    // pixels of the track instead of leaving a gap at the right end.
    const QRect track = trackRect();
    const int count = m_meter.Segments();
    const int left = track.left() + int(qint64(track.width() + kGap) * segment / count);
    const int right = track.left() + int(qint64(track.width() + kGap) * (segment + 1) / count) - kGap;
    return QRect(QPoint(left, track.top()), QPoint(right - 1, track.bottom()));
}

QSize SegmentedProgressBar::sizeHint() const
{
    return QSize(360, kHeight);
}

QSize SegmentedProgressBar::minimumSizeHint() const
{
    return QSize(m_meter.Segments() * (kGap + 2) + 2 * (kFrame + kPadding), kHeight);
}

void SegmentedProgressBar::repaintSegments(ProgressMeter::SegmentSpan span)
{
    if (span.isEmpty())
        return;
    update(segmentRect(span.First).united(segmentRect(span.First + span.Count - 1)));
}

void SegmentedProgressBar::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QPalette &pal = palette();
    const QColor background = pal.color(QPalette::Base);

    // The frame lies outside every segment, so it is drawn only when Qt asks
    // for more than segments (first show, resize, uncovering).
    if (!trackRect().contains(event->rect())) {
        painter.fillRect(rect(), pal.color(QPalette::Window));
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath frame;
        frame.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        painter.fillPath(frame, background);
        painter.setPen(QPen(pal.color(QPalette::Mid), kFrame));
        painter.drawPath(frame);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }

    painter.fillRect(event->rect() & trackRect(), background);
    const int filled = m_meter.FilledSegments();
    for (int segment = 0; segment < filled; ++segment) {
        const QRect cell = segmentRect(segment);
        if (!event->rect().intersects(cell))
            continue;
        // A lighter top half gives the segments a little depth.
        const QColor color = segmentColor(segment);
        QLinearGradient shade(cell.topLeft(), cell.bottomLeft());
        shade.setColorAt(0.0, color.lighter(135));
        shade.setColorAt(0.45, color.lighter(110));
        shade.setColorAt(1.0, color);
        painter.fillRect(cell, shade);
    }
}

#include "common/widgets/BusyIndicator.h"

#include <QPainter>

namespace {

constexpr int kDiameter = 8;
constexpr int kSpacing = 6;

} // namespace

BusyIndicator::BusyIndicator(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void BusyIndicator::Advance()
{
    m_active = (m_active + 1) % Circles;
    update();
}

QSize BusyIndicator::sizeHint() const
{
    return QSize(Circles * kDiameter + (Circles - 1) * kSpacing + 2, kDiameter + 2);
}

void BusyIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor active = palette().color(QPalette::Highlight);
    const QColor resting = palette().color(QPalette::Mid).lighter(115);
    const int top = (height() - kDiameter) / 2;
    for (int circle = 0; circle < Circles; ++circle) {
        painter.setBrush(circle == m_active ? active : resting);
        painter.drawEllipse(QRectF(1 + circle * (kDiameter + kSpacing), top, kDiameter, kDiameter));
    }
}

#pragma once

#include <QWidget>

// Three small circles; the highlighted one moves on at every Advance, so the
// administrator sees the console is alive even while the bar stands still.
class BusyIndicator final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Circles = 3;

    explicit BusyIndicator(QWidget *parent = nullptr);

    int ActiveCircle() const { return m_active; }
    void Advance();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_active = 0;
};

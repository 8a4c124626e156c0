#include "common/widgets/LinkedProgressBar.h"

#include <QLabel>
#include <QProgressBar>

LinkedProgressBar::LinkedProgressBar(QProgressBar *bar, QLabel *label)
    : m_bar(bar)
    , m_label(label)
{ }

int LinkedProgressBar::value() const
{
    return m_bar ? m_bar->value() : 0;
}

void LinkedProgressBar::setValue(int value)
{
    if (m_bar)
        m_bar->setValue(value);
}

int LinkedProgressBar::maximum() const
{
    return m_bar ? m_bar->maximum() : 0;
}

void LinkedProgressBar::setMaximum(int maximum)
{
    if (m_bar)
        m_bar->setMaximum(maximum);
}

void LinkedProgressBar::setCaption(const QString &text)
{
    if (m_label)
        m_label->setText(text);
}

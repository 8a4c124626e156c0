#include "settings/sections/widgets/InheritableCheckBox.h"

#include <QStyleOptionButton>
#include <QStylePainter>

InheritableCheckBox::InheritableCheckBox(const QString &text, QWidget *parent)
    : QCheckBox(text, parent)
{
    setTristate(true);
}

void InheritableCheckBox::nextCheckState()
{ }

void InheritableCheckBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (checkState() == Qt::PartiallyChecked) {
        option.state &= ~QStyle::State_NoChange;
        option.state |= QStyle::State_On;
        const QColor grey(128, 128, 128);
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            option.palette.setColor(group, QPalette::Base, QColor(224, 224, 224));
            option.palette.setColor(group, QPalette::Text, grey);
        }
    }
    painter.drawControl(QStyle::CE_CheckBox, option);
}

#include "common/widgets/modKeyboard.h"

#include <QWidget>

namespace modKeyboard {

void TabOrder(std::initializer_list<QWidget *> controls)
{
    QWidget *previous = nullptr;
    for (QWidget *control : controls) {
        if (previous && control)
            QWidget::setTabOrder(previous, control);
        if (control)
            previous = control;
    }
}

} // namespace modKeyboard

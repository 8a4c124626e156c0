#pragma once

#include <initializer_list>

class QWidget;

// The keyboard's way through a form.
namespace modKeyboard {

// The order Tab walks a form's controls in, as they are read: top to
// bottom, left to right, the buttons last. Left to itself the order is the
// order of creation, which changes whenever a form is rearranged.
void TabOrder(std::initializer_list<QWidget *> controls);

} // namespace modKeyboard

#pragma once

#include <QGroupBox>

class ContextSection;

// One side's context, controller and address, in a box titled "Source" or
// "Destination", bound to its section.
class ContextSectionWidget final : public QGroupBox
{
    Q_OBJECT

public:
    ContextSectionWidget(ContextSection &section, QWidget *parent = nullptr);
};

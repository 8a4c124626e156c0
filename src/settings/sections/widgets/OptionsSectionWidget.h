#pragma once

#include <QWidget>

class OptionsSection;

// The "Reboot" and "Profile" boxes of options, bound to their section.
class OptionsSectionWidget final : public QWidget
{
    Q_OBJECT

public:
    OptionsSectionWidget(OptionsSection &section, QWidget *parent = nullptr);
};

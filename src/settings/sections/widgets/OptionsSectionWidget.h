#pragma once

#include <QWidget>

class OptionsSection;

// The "Reboot" and "Profile" boxes of options, bound to their section.
class OptionsSectionWidget final : public QWidget
{
    Q_OBJECT

public:
    enum class Host {
        // Every option, with the minimum disk space.
        Panel,
        // The options a new migration starts with, each with an access key;
        // the disk space is left to the panel.
        Wizard,
    };

    OptionsSectionWidget(OptionsSection &section, QWidget *parent = nullptr);
    OptionsSectionWidget(OptionsSection &section, Host host, QWidget *parent = nullptr);
};

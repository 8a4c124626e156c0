#pragma once

#include <QObject>

#include <vector>

class QWidget;
class SettingsSection;

// Ties a section's controls to the widgets under `root` that carry their
// names: text fields, check boxes and buttons. What the administrator types
// or clicks goes to the section; what the section then holds comes back
// into the widgets (text, tick, greyed tick, grey inherited text, enabled).
// A name without a widget is left out, so a host may show part of a section.
class SectionBinding final : public QObject
{
    Q_OBJECT

public:
    SectionBinding(SettingsSection &section, QWidget *root);

    void refresh();

private:
    SettingsSection &m_section;
    QWidget *m_root;
    // By control index; nullptr where the host has no such widget.
    std::vector<QWidget *> m_widgets;
};

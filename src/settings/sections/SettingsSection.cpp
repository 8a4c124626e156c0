#include "settings/sections/SettingsSection.h"

#include <algorithm>

SettingsSection::Batch::Batch(SettingsSection &section)
    : m_section(section)
{
    ++m_section.m_batchDepth;
}

SettingsSection::Batch::~Batch()
{
    if (--m_section.m_batchDepth == 0)
        Q_EMIT m_section.changed();
}

SettingsSection::SettingsSection(std::vector<ControlState> controls, QObject *parent)
    : QObject(parent)
    , m_controls(std::move(controls))
    , m_pins(m_controls.size())
{ }

int SettingsSection::controlIndex(const QString &name) const
{
    for (size_t i = 0; i < m_controls.size(); ++i)
        if (m_controls[i].Name == name)
            return static_cast<int>(i);
    return -1;
}

bool SettingsSection::commandEnabled(int) const
{
    return true;
}

void SettingsSection::clear()
{
    Batch batch(*this);
    for (ControlState &control : m_controls) {
        control.Text.clear();
        control.Value = Unchecked;
        control.Inherited = false;
        control.Locked = true;
    }
}

void SettingsSection::updateLocks()
{
    Batch batch(*this);
    for (size_t i = 0; i < m_controls.size(); ++i) {
        ControlState &control = m_controls[i];
        if (control.Kind != Kind::Check)
            continue;
        control.Locked = false;
        if (m_pins[i])
            control.Value = *m_pins[i];
    }
    // The section's rules see the pinned values, so what depends on a
    // pinned box follows it; the pinned boxes stay locked whatever the rules say.
    applyLocks();
    for (size_t i = 0; i < m_controls.size(); ++i)
        if (m_pins[i])
            m_controls[i].Locked = true;
}

void SettingsSection::pin(int control, int value)
{
    if (controlKind(control) != Kind::Check)
        return;
    m_pins.at(pos(control)) = value;
    updateLocks();
}

void SettingsSection::releasePins()
{
    std::fill(m_pins.begin(), m_pins.end(), std::nullopt);
    updateLocks();
}

void SettingsSection::setTextsInherited(bool inherited)
{
    for (ControlState &control : m_controls)
        if (control.Kind == Kind::Text)
            control.Inherited = inherited;
}

void SettingsSection::lockTexts(std::initializer_list<int> fields, bool lock, bool empty)
{
    for (int field : fields) {
        ControlState &control = m_controls.at(pos(field));
        control.Locked = lock;
        if (lock && empty)
            control.Text.clear();
    }
}

void SettingsSection::promote(int check)
{
    if (this->check(check) == Grayed)
        setCheck(check, Checked);
}

void SettingsSection::type(int control, const QString &text)
{
    Batch batch(*this);
    ControlState &field = m_controls.at(pos(control));
    if (field.Kind != Kind::Text || field.Locked)
        return;
    field.Text = text;
    field.Inherited = false;
    typed(control);
    Q_EMIT edited(control);
}

void SettingsSection::click(int control)
{
    Batch batch(*this);
    ControlState &box = m_controls.at(pos(control));
    if (box.Kind != Kind::Check || box.Locked)
        return;
    box.Value = box.Value == Unchecked ? Checked : Unchecked;
    clicked(control, box.Value == Checked);
    Q_EMIT edited(control);
}

void SettingsSection::press(int control)
{
    if (controlKind(control) == Kind::Command && commandEnabled(control))
        Q_EMIT commandPressed(control);
}

void SettingsSection::typed(int)
{
    updateLocks();
}

void SettingsSection::clicked(int, bool)
{
    updateLocks();
}

#include "settings/sections/widgets/SectionBinding.h"

#include "common/modLimits.h"
#include "settings/sections/SettingsSection.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

// Inherited values are drawn in this grey; a value the level defines itself in the normal text colour.
const QColor InheritedGrey(128, 128, 128);

} // namespace

SectionBinding::SectionBinding(SettingsSection &section, QWidget *root)
    : QObject(root)
    , m_section(section)
    , m_root(root)
{
    for (int control = 0; control < section.controlCount(); ++control) {
        QWidget *widget = root->findChild<QWidget *>(section.controlName(control));
        m_widgets.push_back(widget);
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            connect(edit, &QLineEdit::textEdited, this, [this, control](const QString &text) { m_section.type(control, text); });
        else if (qobject_cast<QCheckBox *>(widget) || qobject_cast<QRadioButton *>(widget))
            connect(static_cast<QAbstractButton *>(widget), &QAbstractButton::clicked, this, [this, control] {
                m_section.click(control);
                // A click the section refused (a locked or chosen option) must not stay drawn.
                refresh();
            });
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            connect(button, &QAbstractButton::clicked, this, [this, control] { m_section.press(control); });
    }
    connect(&section, &SettingsSection::changed, this, &SectionBinding::refresh);
    refresh();
}

void SectionBinding::refresh()
{
    for (int control = 0; control < m_section.controlCount(); ++control) {
        QWidget *widget = m_widgets[static_cast<size_t>(control)];
        if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            // Typing and pasting stay within what a settings file keeps; a
            // longer text that came from a file is still shown whole.
            const int limit = edit->echoMode() == QLineEdit::Password ? modLimits::MaxPasswordLength : modLimits::MaxTextLength;
            edit->setMaxLength(std::max(limit, int(m_section.text(control).size())));
            // Setting equal text would put the cursor at the end while the administrator types.
            if (edit->text() != m_section.text(control))
                edit->setText(m_section.text(control));
            edit->setEnabled(!m_section.locked(control));
            const bool inherited = m_section.inherited(control);
            QPalette colours = m_root->palette();
            if (inherited) {
                colours.setColor(QPalette::Active, QPalette::Text, InheritedGrey);
                colours.setColor(QPalette::Inactive, QPalette::Text, InheritedGrey);
            }
            edit->setPalette(colours);
            edit->setToolTip(inherited && !edit->text().isEmpty() ? QStringLiteral("Inherited from a higher level") : QString());
        } else if (auto *box = qobject_cast<QCheckBox *>(widget)) {
            const int value = m_section.check(control);
            box->setCheckState(value == SettingsSection::Grayed ? Qt::PartiallyChecked
                                                                : (value == SettingsSection::Checked ? Qt::Checked : Qt::Unchecked));
            box->setEnabled(!m_section.locked(control));
            box->setToolTip(value == SettingsSection::Grayed
                    ? QStringLiteral("Inherited from a higher level; saving makes it this level's own")
                    : QString());
        } else if (auto *option = qobject_cast<QRadioButton *>(widget)) {
            // The section decides which option is on; Qt's own exclusion
            // would refuse to show none chosen.
            option->setAutoExclusive(false);
            option->setChecked(m_section.isOn(control));
            option->setAutoExclusive(true);
            option->setEnabled(!m_section.locked(control));
        } else if (widget) {
            widget->setEnabled(m_section.commandEnabled(control));
        }
    }
}

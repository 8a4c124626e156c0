#include "settings/sections/widgets/OptionsSectionWidget.h"

#include "settings/sections/OptionsSection.h"
#include "settings/sections/widgets/InheritableCheckBox.h"
#include "settings/sections/widgets/SectionBinding.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

// Dependent options sit this far right of the option they depend on.
constexpr int DependentIndent = 20;

} // namespace

OptionsSectionWidget::OptionsSectionWidget(OptionsSection &section, QWidget *parent)
    : OptionsSectionWidget(section, Host::Panel, parent)
{ }

OptionsSectionWidget::OptionsSectionWidget(OptionsSection &section, Host host, QWidget *parent)
    : QWidget(parent)
{
    const bool wizard = host == Host::Wizard;
    using Control = OptionsSection::Control;
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    const auto box = [&](Control control, const QString &caption, QWidget *owner) {
        auto *check = new InheritableCheckBox(caption, owner);
        check->setObjectName(section.controlName(control));
        return check;
    };
    const auto dependent = [](QWidget *widget) {
        auto *row = new QHBoxLayout;
        row->setContentsMargins(DependentIndent, 0, 0, 0);
        row->addWidget(widget);
        return row;
    };

    auto *reboot = new QGroupBox(QStringLiteral("Reboot"), this);
    auto *rebootLayout = new QVBoxLayout(reboot);
    rebootLayout->addWidget(box(Control::RebootAllow,
        wizard ? QStringLiteral("&Allow target computers to be rebooted if necessary (strongly recommended)")
               : QStringLiteral("Allow target computers to be rebooted if necessary (strongly recommended)"),
        reboot));
    rebootLayout->addLayout(dependent(box(Control::RebootForce,
        wizard ? QStringLiteral("&Force applications closed during reboot (recommended)")
               : QStringLiteral("Force applications closed during reboot (recommended)"),
        reboot)));
    layout->addWidget(reboot);

    auto *profile = new QGroupBox(QStringLiteral("Profile"), this);
    auto *profileLayout = new QVBoxLayout(profile);
    profileLayout->addWidget(box(Control::CopyProfile,
        wizard ? QStringLiteral("&Create a copy of source user profile instead of renaming it (strongly recommended)")
               : QStringLiteral("Copy source user profile instead of renaming it (strongly recommended)"),
        profile));
    profileLayout->addLayout(dependent(box(Control::NoTempInternet,
        wizard ? QStringLiteral("&Do not copy 'Temporary Internet Files' folder (recommended)")
               : QStringLiteral("Do not copy 'Temporary Internet Files' folder (recommended)"),
        profile)));
    if (wizard) {
        profileLayout->addWidget(box(Control::OverwriteProfile, QStringLiteral("&Overwrite existing destination profiles"), profile));
        layout->addWidget(profile);
        new SectionBinding(section, this);
        return;
    }
    auto *space = new QHBoxLayout;
    space->setContentsMargins(DependentIndent, 0, 0, 0);
    space->addWidget(box(Control::MinFreeSpace, QStringLiteral("Minimum disk space required after migration:"), profile));
    auto *spaceEdit = new QLineEdit(profile);
    spaceEdit->setObjectName(section.controlName(Control::MinFreeSpaceValue));
    spaceEdit->setMaxLength(12);
    spaceEdit->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 12);
    spaceEdit->setAlignment(Qt::AlignRight);
    space->addWidget(spaceEdit);
    space->addStretch(1);
    profileLayout->addLayout(space);
    profileLayout->addWidget(box(Control::OverwriteProfile, QStringLiteral("Overwrite existing destination profiles"), profile));
    layout->addWidget(profile);

    new SectionBinding(section, this);
}

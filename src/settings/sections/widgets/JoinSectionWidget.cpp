#include "settings/sections/widgets/JoinSectionWidget.h"

#include "settings/sections/JoinSection.h"
#include "settings/sections/widgets/InheritableCheckBox.h"
#include "settings/sections/widgets/SectionBinding.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// Dependent fields sit this far right of the box they depend on.
constexpr int DependentIndent = 20;

} // namespace

JoinSectionWidget::JoinSectionWidget(JoinSection &section, QWidget *parent)
    : QWidget(parent)
{
    using Control = JoinSection::Control;
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    const auto box = [&](Control control, const QString &caption) {
        auto *check = new InheritableCheckBox(caption, this);
        check->setObjectName(section.controlName(control));
        layout->addWidget(check);
    };
    const auto edit = [&](QGridLayout *grid, Control control, const QString &caption, int row, int span) {
        auto *field = new QLineEdit(this);
        field->setObjectName(section.controlName(control));
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1, 1, span);
        return field;
    };

    // The controller's name with its lookup in row 1 of a grid, its address in row 2.
    const auto controllerRows = [&](QGridLayout *grid, const QString &nameCaption, const QString &addressCaption) {
        edit(grid, Control::DomDCName, nameCaption, 1, 1);
        auto *lookup = new QPushButton(QStringLiteral("Lookup"), this);
        lookup->setObjectName(section.controlName(Control::LookupJoinDC));
        lookup->setAutoDefault(false);
        grid->addWidget(lookup, 1, 2);
        edit(grid, Control::DomDCIP, addressCaption, 2, 1);
        grid->setColumnStretch(1, 1);
    };

    if (section.style() == JoinSection::Style::Choice) {
        // The options read workgroup first; each is bound by its name, so the
        // stored value never depends on the order shown.
        auto *options = new QHBoxLayout;
        for (const auto &[control, caption] : {std::pair {Control::JoinWorkgroup, QStringLiteral("&Workgroup")},
                 std::pair {Control::JoinDomain, QStringLiteral("&Domain")}}) {
            auto *option = new QRadioButton(caption, this);
            option->setObjectName(section.controlName(control));
            options->addWidget(option);
        }
        options->addStretch(1);
        layout->addLayout(options);
        auto *fields = new QGridLayout;
        fields->setHorizontalSpacing(8);
        fields->setVerticalSpacing(6);
        edit(fields, Control::JoinName, QStringLiteral("D&omain/Workgroup name:"), 0, 2);
        controllerRows(fields, QStringLiteral("Domain &controller name:"), QStringLiteral("Domain controller &IP address:"));
        layout->addLayout(fields);
        new SectionBinding(section, this);
        return;
    }

    box(Control::JoinDomain, QStringLiteral("Join Domain"));
    auto *domain = new QGridLayout;
    domain->setContentsMargins(DependentIndent, 0, 0, 0);
    domain->setHorizontalSpacing(8);
    domain->setVerticalSpacing(6);
    edit(domain, Control::JoinDomainName, QStringLiteral("Domain Name:"), 0, 2);
    controllerRows(domain, QStringLiteral("Domain Controller:"), QStringLiteral("Domain Controller IP:"));
    layout->addLayout(domain);

    layout->addSpacing(10);
    box(Control::JoinWorkgroup, QStringLiteral("Join Workgroup"));
    auto *workgroup = new QGridLayout;
    workgroup->setContentsMargins(DependentIndent, 0, 0, 0);
    workgroup->setHorizontalSpacing(8);
    edit(workgroup, Control::JoinWorkgroupName, QStringLiteral("Workgroup Name:"), 0, 1)->setPlaceholderText(JoinSection::WorkgroupPrompt);
    workgroup->setColumnStretch(1, 1);
    // The captions of both grids line up so that the fields start in one column.
    const int captionWidth = fontMetrics().horizontalAdvance(QStringLiteral("Domain Controller IP:")) + 4;
    domain->setColumnMinimumWidth(0, captionWidth);
    workgroup->setColumnMinimumWidth(0, captionWidth);
    layout->addLayout(workgroup);

    new SectionBinding(section, this);
}

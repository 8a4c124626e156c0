#include "settings/sections/widgets/AccountEntryWidget.h"

#include "settings/sections/AccountEntrySection.h"
#include "settings/sections/widgets/SectionBinding.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

AccountEntryWidget::AccountEntryWidget(AccountEntrySection &section, const Captions &captions, QWidget *parent)
    : QWidget(parent)
{
    using Control = AccountEntrySection::Control;
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    const auto edit = [&](Control control, const QString &caption, int row) {
        auto *field = new QLineEdit(this);
        field->setObjectName(section.controlName(control));
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        return field;
    };
    edit(Control::Username, captions.Username, 0);
    edit(Control::Password, captions.Password, 1)->setEchoMode(QLineEdit::Password);
    edit(Control::Domain, captions.Domain, 2);
    auto *local = new QCheckBox(captions.LocalAccount, this);
    local->setObjectName(section.controlName(Control::LocalAccount));
    grid->addWidget(local, 3, 1);
    grid->setColumnStretch(1, 1);

    new SectionBinding(section, this);
}

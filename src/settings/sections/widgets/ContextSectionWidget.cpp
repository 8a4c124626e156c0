#include "settings/sections/widgets/ContextSectionWidget.h"

#include "settings/sections/ContextSection.h"
#include "settings/sections/widgets/InheritableCheckBox.h"
#include "settings/sections/widgets/SectionBinding.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

ContextSectionWidget::ContextSectionWidget(ContextSection &section, QWidget *parent)
    : QGroupBox(parent)
{
    using Control = ContextSection::Control;
    const bool source = section.side() == ContextSection::Side::Source;
    setTitle(source ? QStringLiteral("Source") : QStringLiteral("Destination"));

    const auto edit = [&](Control control, const QString &caption, int row, int span) {
        auto *field = new QLineEdit(this);
        field->setObjectName(section.controlName(control));
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        auto *grid = static_cast<QGridLayout *>(layout());
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1, 1, span);
    };

    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    auto *useLocal = new InheritableCheckBox(
        source ? QStringLiteral("Source users are local accounts") : QStringLiteral("Destination users are local accounts"), this);
    useLocal->setObjectName(section.controlName(Control::UseLocal));
    grid->addWidget(useLocal, 0, 0, 1, 3);
    edit(Control::Context, source ? QStringLiteral("Source Domain:") : QStringLiteral("Destination Domain:"), 1, 2);
    edit(Control::DC, source ? QStringLiteral("Source DC:") : QStringLiteral("Destination DC:"), 2, 1);
    auto *lookup = new QPushButton(QStringLiteral("Lookup"), this);
    lookup->setObjectName(section.controlName(Control::LookupDC));
    lookup->setAutoDefault(false);
    grid->addWidget(lookup, 2, 2);
    edit(Control::DCIP, source ? QStringLiteral("Source DC IP:") : QStringLiteral("Destination DC IP:"), 3, 1);
    grid->setColumnStretch(1, 1);

    new SectionBinding(section, this);
}

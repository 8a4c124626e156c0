#include "wizards/forms/frmAddMigration.h"

#include "common/widgets/modKeyboard.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using Field = AddMigrationModel::Field;

frmAddMigration::frmAddMigration(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAddMigration"));
    setWindowTitle(QStringLiteral("Add New Profile Migration"));
    auto *layout = new QVBoxLayout(this);

    auto *explanation = new QLabel(QStringLiteral("Enter the details for both the source and destination user account.  You "
                                                  "may identify either account using a SID instead of the username and domain "
                                                  "in the case that the domain controller is no longer active.\n\n"
                                                  "To migrate all profiles from the source context to matching usernames in "
                                                  "the destination context, enter: *ALL"),
        this);
    explanation->setWordWrap(true);
    layout->addWidget(explanation);

    const auto side = [&](const QString &title, Field byName, const QString &nameCaption, Field bySID, const QString &sidCaption) {
        auto *box = new QGroupBox(title, this);
        auto *grid = new QGridLayout(box);
        for (const auto &[field, caption, row] : {std::tuple {byName, nameCaption, 0}, std::tuple {bySID, sidCaption, 2}}) {
            auto *option = new QRadioButton(caption, box);
            option->setObjectName(AddMigrationModel::OptionName(field));
            auto *edit = new QLineEdit(box);
            edit->setObjectName(AddMigrationModel::ControlName(field));
            grid->addWidget(option, row, 0);
            grid->addWidget(edit, row + 1, 0);
            m_options[static_cast<size_t>(field)] = option;
            m_fields[static_cast<size_t>(field)] = edit;
            // Typing and pasting alike; the model's own changes come back through refresh().
            connect(edit, &QLineEdit::textEdited, this, [this, field](const QString &text) { m_model.TextChange(field, text); });
        }
        m_options[static_cast<size_t>(byName)]->setChecked(true);
        layout->addWidget(box);
    };
    side(QStringLiteral("&Source User"), Field::SourceUsername, QStringLiteral("Specify by source username (or *ALL)"), Field::SourceSID,
        QStringLiteral("Specify by source SID"));
    side(QStringLiteral("&Destination User"), Field::DestUsername, QStringLiteral("Specify by destination username (or *ALL)"),
        Field::DestSID, QStringLiteral("Specify by destination SID"));

    connect(m_options[Field::SourceSID], &QRadioButton::toggled, this, [this](bool bySID) { m_model.setSourceBySID(bySID); });
    if (!AddMigrationModel::DestinationBySIDOffered()) {
        m_options[Field::DestSID]->setEnabled(false);
        m_options[Field::DestSID]->setToolTip(AddMigrationModel::DestinationSIDWithdrawn);
    }

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *add = buttons->addButton(QStringLiteral("&Add Migration"), QDialogButtonBox::AcceptRole);
    add->setObjectName(QStringLiteral("cmdAddMigration"));
    QPushButton *cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    add->setDefault(true);
    modKeyboard::TabOrder({m_options[Field::SourceUsername], m_fields[Field::SourceUsername], m_options[Field::SourceSID],
        m_fields[Field::SourceSID], m_options[Field::DestUsername], m_fields[Field::DestUsername], m_options[Field::DestSID],
        m_fields[Field::DestSID], add, cancel});
    connect(add, &QPushButton::clicked, this, &frmAddMigration::cmdAddMigration_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(&m_model, &AddMigrationModel::stateChanged, this, &frmAddMigration::refresh);
    refresh();
    // The dialog opens for a name to type, not for a choice already made.
    m_fields[Field::SourceUsername]->setFocus();
}

void frmAddMigration::LinkList(const UserProfilesPtr &list)
{
    m_model.LinkList(list);
}

void frmAddMigration::refresh()
{
    for (int i = 0; i < AddMigrationModel::FieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        QLineEdit *edit = m_fields[static_cast<size_t>(i)];
        if (edit->text() != m_model.text(field))
            edit->setText(m_model.text(field));
        edit->setEnabled(m_model.fieldEnabled(field));
    }
}

void frmAddMigration::cmdAddMigration_Click()
{
    if (m_model.cmdAddMigration_Click()) {
        accept();
        return;
    }
    QLineEdit *field = m_fields[static_cast<size_t>(m_model.failedField())];
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

#include "shell/forms/ObjectSettingsPanel.h"

#include "validation/ValidationReport.h"
#include "settings/sections/widgets/ContextSectionWidget.h"
#include "settings/sections/widgets/JoinSectionWidget.h"
#include "settings/sections/widgets/OptionsSectionWidget.h"
#include "wizards/forms/frmAddMigration.h"
#include "wizards/forms/frmAuthManual.h"
#include "wizards/forms/frmAuthWizard.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Inherited values are drawn in this grey; a value the node defines itself in the normal text colour.
const QColor InheritedGrey(128, 128, 128);
size_t slot(ObjectSettingsModel::Command command)
{
    return static_cast<size_t>(command);
}

// A short explanation under a group of controls, in the window's text colour but smaller.
QLabel *hintLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.92);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    // One line that does not wrap: a wrapping label makes the scrolling
    // panel lay out by preferred heights, and at the window's usual size
    // the Save Settings button then went below the edge. A narrow panel
    // cuts the line instead; the whole text stays in the tooltip.
    label->setMinimumWidth(1);
    label->setToolTip(text);
    return label;
}

} // namespace

ObjectSettingsPanel::ObjectSettingsPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ObjectSettingsPanel"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);

    // Header: what is shown, and whose settings these are.
    auto *header = new QHBoxLayout;
    header->setSpacing(10);
    m_imgObjSetIcon = new QLabel(this);
    m_imgObjSetIcon->setObjectName(QStringLiteral("imgObjSetIcon"));
    m_imgObjSetIcon->setFixedSize(32, 32);
    header->addWidget(m_imgObjSetIcon, 0, Qt::AlignTop);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(0);
    m_lblObjSetTitle = new QLabel(this);
    m_lblObjSetTitle->setObjectName(QStringLiteral("lblObjSetTitle"));
    QFont titleFont = m_lblObjSetTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    m_lblObjSetTitle->setFont(titleFont);
    m_lblObjSetTitle->setTextFormat(Qt::PlainText);
    m_lblCommon = new QLabel(this);
    m_lblCommon->setObjectName(QStringLiteral("lblCommon"));
    m_lblInheritedFrom = new QLabel(this);
    m_lblInheritedFrom->setObjectName(QStringLiteral("lblInheritedFrom"));
    m_lblInheritedFrom->setTextFormat(Qt::PlainText);
    QPalette hintColours = m_lblInheritedFrom->palette();
    hintColours.setColor(QPalette::WindowText, InheritedGrey);
    m_lblInheritedFrom->setPalette(hintColours);
    // Always there, empty or not, so the tabs do not jump when another node is selected.
    m_lblInheritedFrom->setMinimumHeight(m_lblInheritedFrom->fontMetrics().height());
    titles->addWidget(m_lblObjSetTitle);
    titles->addWidget(m_lblCommon);
    titles->addWidget(m_lblInheritedFrom);
    header->addLayout(titles, 1);
    layout->addLayout(header);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabObjectSettings"));
    m_tabs->addTab(createSourceDestinationTab(), QStringLiteral("Source && Destination"));
    m_tabs->addTab(createDomainJoinTab(), QStringLiteral("Domain Join"));
    m_tabs->addTab(createOptionsTab(), QStringLiteral("Options"));
    m_tabs->addTab(createAccountsTab(), QStringLiteral("Accounts"));
    layout->addWidget(m_tabs);

    layout->addWidget(createProfilesBox(), 1);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(addButton(Command::InheritFromParent, QStringLiteral("&Inherit Parent Settings"), this));
    buttons->addWidget(addButton(Command::OverwriteChildren, QStringLiteral("&Overwrite Child Settings"), this));
    buttons->addStretch(1);
    QPushButton *save = addButton(Command::ObjSettingsSave, QStringLiteral("&Save Settings"), this);
    save->setMinimumWidth(save->sizeHint().width() + 16);
    buttons->addWidget(save);
    layout->addLayout(buttons);

    m_commands[slot(Command::InheritFromParent)]->setToolTip(
        QStringLiteral("Drop this level's own settings and use those of the group above it"));
    m_commands[slot(Command::OverwriteChildren)]->setToolTip(
        QStringLiteral("Make every group and computer below this one use these settings"));

    connect(m_commands[slot(Command::ChangePasswords)], &QPushButton::clicked, this, &ObjectSettingsPanel::cmdChangePasswords_Click);
    connect(m_commands[slot(Command::AuthWizard)], &QPushButton::clicked, this, &ObjectSettingsPanel::cmdAuthWizard_Click);
    connect(m_commands[slot(Command::ObjSettingsSave)], &QPushButton::clicked, this, [this] { m_model.SaveObjectSettings(); });
    connect(m_commands[slot(Command::InheritFromParent)], &QPushButton::clicked, this, [this] { m_model.cmdInheritFromParent_Click(); });
    connect(m_commands[slot(Command::OverwriteChildren)], &QPushButton::clicked, this, [this] { m_model.cmdOverwriteChildren_Click(); });
    connect(m_commands[slot(Command::AddUser)], &QPushButton::clicked, this, &ObjectSettingsPanel::cmdAddUser_Click);
    connect(m_commands[slot(Command::DeleteUser)], &QPushButton::clicked, this, &ObjectSettingsPanel::cmdDeleteUser_Click);

    connect(&m_model, &ObjectSettingsModel::stateChanged, this, &ObjectSettingsPanel::refresh);
    connect(&m_model, &ObjectSettingsModel::focusRequested, this, &ObjectSettingsPanel::focusField);
    connect(&m_model, &ObjectSettingsModel::settingsChangeChanged, this, &ObjectSettingsPanel::settingsChangeChanged);
    connect(&m_model, &ObjectSettingsModel::settingsSaved, this, &ObjectSettingsPanel::settingsSaved);
    connect(&m_model, &ObjectSettingsModel::treeIconsChanged, this, &ObjectSettingsPanel::treeIconsChanged);

    setAddMigrationDialog([](QWidget *owner, const UserProfilesPtr &list) {
        frmAddMigration dialog(owner);
        dialog.LinkList(list);
        dialog.exec();
    });
    refresh();
}

ObjectSettingsPanel::~ObjectSettingsPanel() = default;

// ---- building ---------------------------------------------------------------------------

QPushButton *ObjectSettingsPanel::addButton(Command command, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(m_model.ControlName(command));
    button->setAutoDefault(false);
    m_commands[slot(command)] = button;
    return button;
}

QWidget *ObjectSettingsPanel::createSourceDestinationTab()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabSourceDestination"));
    auto *layout = new QVBoxLayout(page);
    layout->setSpacing(8);

    layout->addWidget(new ContextSectionWidget(m_model.sourceSection(), page));
    layout->addWidget(new ContextSectionWidget(m_model.destinationSection(), page));
    layout->addStretch(1);
    return page;
}

QWidget *ObjectSettingsPanel::createDomainJoinTab()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabDomainJoin"));
    auto *layout = new QVBoxLayout(page);
    layout->setSpacing(6);
    layout->addWidget(new JoinSectionWidget(m_model.joinSection(), page));

    layout->addSpacing(10);
    layout->addWidget(hintLabel(QStringLiteral("With neither box ticked the computers stay members of the domain or workgroup "
                                               "they belong to now."),
        page));
    layout->addStretch(1);
    return page;
}

QWidget *ObjectSettingsPanel::createOptionsTab()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabOptions"));
    auto *layout = new QVBoxLayout(page);
    layout->setSpacing(8);

    layout->addWidget(new OptionsSectionWidget(m_model.optionsSection(), page));
    layout->addStretch(1);
    return page;
}

QWidget *ObjectSettingsPanel::createAccountsTab()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabAccounts"));
    auto *layout = new QVBoxLayout(page);
    layout->setSpacing(8);

    layout->addWidget(hintLabel(QStringLiteral("The accounts the migration works with on the target computers and in the domains."), page));
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    for (int i = 0; i < ObjectSettingsModel::AccountLabelCount; ++i) {
        auto *caption = new QLabel(ObjectSettingsModel::AccountCaption(i), page);
        auto *value = new QLabel(page);
        value->setObjectName(ObjectSettingsModel::AccountLabelName(i));
        value->setTextFormat(Qt::PlainText);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_accountLabels[static_cast<size_t>(i)] = value;
        grid->addWidget(caption, i, 0);
        grid->addWidget(value, i, 1);
    }
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(addButton(Command::AuthWizard, QStringLiteral("Authentication &Wizard..."), page));
    buttons->addWidget(addButton(Command::ChangePasswords, QStringLiteral("Change &Passwords..."), page));
    buttons->addStretch(1);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    layout->addStretch(1);
    return page;
}

QWidget *ObjectSettingsPanel::createProfilesBox()
{
    auto *box = new QGroupBox(QStringLiteral("Profiles"), this);
    box->setObjectName(QStringLiteral("fraProfiles"));
    auto *layout = new QHBoxLayout(box);
    m_lstMigrateUsers = new QListWidget(box);
    m_lstMigrateUsers->setObjectName(QStringLiteral("lstMigrateUsers"));
    m_lstMigrateUsers->setAccessibleName(QStringLiteral("Profiles to migrate"));
    m_lstMigrateUsers->setAccessibleDescription(QStringLiteral("The computer's user migrations: source user -> destination user"));
    m_lstMigrateUsers->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lstMigrateUsers->setMinimumHeight(fontMetrics().height() * 4 + 8);
    layout->addWidget(m_lstMigrateUsers, 1);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(addButton(Command::AddUser, QStringLiteral("&Add"), box));
    buttons->addWidget(addButton(Command::DeleteUser, QStringLiteral("&Delete"), box));
    buttons->addStretch(1);
    layout->addLayout(buttons);
    return box;
}

// ---- the main window's calls -------------------------------------------------------------

void ObjectSettingsPanel::setDatabase(ComputerDB *database)
{
    m_model.setDatabase(database);
}

void ObjectSettingsPanel::setIconProvider(IconProvider provider)
{
    m_iconProvider = std::move(provider);
    m_shownIcon = -1;
    refresh();
}

void ObjectSettingsPanel::setAddMigrationDialog(AddMigrationDialog dialog)
{
    m_addMigrationDialog = std::move(dialog);
    m_model.setAddUserAvailable(static_cast<bool>(m_addMigrationDialog));
}

void ObjectSettingsPanel::LoadSelectedNode(const NodeInfo &node)
{
    m_model.LoadSelectedNode(node);
}

bool ObjectSettingsPanel::PromptToSaveRecord()
{
    return m_model.PromptToSaveRecord();
}

bool ObjectSettingsPanel::SaveObjectSettings()
{
    return m_model.SaveObjectSettings();
}

void ObjectSettingsPanel::SettingsChange(bool changed)
{
    m_model.SettingsChange(changed);
}

bool ObjectSettingsPanel::SettingsChanged() const
{
    return m_model.SettingsChanged();
}

void ObjectSettingsPanel::SelectTab(int index)
{
    m_tabs->setCurrentIndex(index);
}

int ObjectSettingsPanel::CurrentTab() const
{
    return m_tabs->currentIndex();
}

GlobalSettingsPtr ObjectSettingsPanel::GetCurrentLoadedSettings() const
{
    return m_model.GetCurrentLoadedSettings();
}

GlobalSettingsPtr ObjectSettingsPanel::CloneAtThisLevel()
{
    return m_model.CloneAtThisLevel();
}

// ---- model to controls ----------------------------------------------------------------------

QIcon ObjectSettingsPanel::headerIcon(int imageNumber) const
{
    if (imageNumber <= 0)
        return QIcon();
    if (m_iconProvider)
        return m_iconProvider(imageNumber);
    return style()->standardIcon(imageNumber == ObjectSettingsModel::ComputerIcon ? QStyle::SP_ComputerIcon : QStyle::SP_DirIcon);
}

void ObjectSettingsPanel::refresh()
{
    // The lookups are their sections' buttons.
    for (int i = 0; i < ObjectSettingsModel::CommandCount; ++i) {
        const auto command = static_cast<Command>(i);
        if (QPushButton *button = m_commands[slot(command)])
            button->setEnabled(m_model.commandEnabled(command));
    }

    m_lblObjSetTitle->setText(m_model.title());
    m_lblCommon->setText(m_model.subtitle());
    if (m_shownIcon != m_model.headerIcon()) {
        m_shownIcon = m_model.headerIcon();
        const QIcon icon = headerIcon(m_shownIcon);
        m_imgObjSetIcon->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(32, 32));
    }

    const QString source = m_model.inheritedFrom();
    m_lblInheritedFrom->setText(source.isEmpty() ? QString() : QStringLiteral("Grey values are inherited from \"%1\".").arg(source));

    QPalette accountColours = palette();
    if (!source.isEmpty()) {
        accountColours.setColor(QPalette::Active, QPalette::WindowText, InheritedGrey);
        accountColours.setColor(QPalette::Inactive, QPalette::WindowText, InheritedGrey);
    }
    for (int i = 0; i < ObjectSettingsModel::AccountLabelCount; ++i) {
        QLabel *label = m_accountLabels[static_cast<size_t>(i)];
        label->setText(m_model.accountLabel(i));
        label->setPalette(accountColours);
    }

    const QStringList lines = m_model.userLines();
    QStringList shown;
    for (int row = 0; row < m_lstMigrateUsers->count(); ++row)
        shown << m_lstMigrateUsers->item(row)->text();
    if (shown != lines) {
        const int selected = m_lstMigrateUsers->currentRow();
        m_lstMigrateUsers->clear();
        m_lstMigrateUsers->addItems(lines);
        // After a delete the line below takes the deleted one's place, so Delete can be pressed again.
        if (selected >= 0 && !lines.isEmpty() && lines.size() < shown.size())
            m_lstMigrateUsers->setCurrentRow(std::min<int>(selected, static_cast<int>(lines.size()) - 1));
    }
    m_lstMigrateUsers->setEnabled(m_model.userListEnabled());
}

void ObjectSettingsPanel::ShowValidationFault(const ValidationReport &report)
{
    using Tab = ValidationReport::Tab;
    switch (report.SettingsTab) {
    case Tab::None:
        break;
    case Tab::Domains:
        m_tabs->setCurrentIndex(0);
        break;
    case Tab::DomainJoin:
        m_tabs->setCurrentIndex(1);
        break;
    case Tab::Options:
        m_tabs->setCurrentIndex(2);
        break;
    case Tab::Authentication:
        m_tabs->setCurrentIndex(3);
        break;
    }
    for (const QString &name : report.Fields) {
        QWidget *field = findChild<QWidget *>(name);
        if (field && field->isEnabled()) {
            field->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void ObjectSettingsPanel::focusField(int tab, const QString &controlName)
{
    m_tabs->setCurrentIndex(tab);
    QWidget *field = findChild<QWidget *>(controlName);
    // A field that cannot take the focus is passed over; the message still shows.
    if (!field || !field->isEnabled())
        return;
    field->setFocus(Qt::OtherFocusReason);
    if (auto *edit = qobject_cast<QLineEdit *>(field))
        edit->selectAll();
}

void ObjectSettingsPanel::cmdAddUser_Click()
{
    const UserProfilesPtr list = m_model.currentUserList();
    if (!m_addMigrationDialog || !list)
        return;
    const UserProfiles before = *list;
    m_addMigrationDialog(this, list);
    m_model.UserListEdited(before);
}

void ObjectSettingsPanel::cmdChangePasswords_Click()
{
    m_model.EditAccounts(ObjectSettingsModel::AccountCommand::ChangePasswords, [this](const GlobalSettingsPtr &record) {
        frmAuthManual dialog(this);
        dialog.LinkSettings(record);
        dialog.exec();
    });
}

void ObjectSettingsPanel::cmdAuthWizard_Click()
{
    m_model.EditAccounts(
        ObjectSettingsModel::AccountCommand::AuthWizard, [this](const GlobalSettingsPtr &record) { frmAuthWizard::Open(record, this); });
}

void ObjectSettingsPanel::cmdDeleteUser_Click()
{
    const QList<QListWidgetItem *> selected = m_lstMigrateUsers->selectedItems();
    m_model.cmdDeleteUser_Click(selected.isEmpty() ? -1 : m_lstMigrateUsers->row(selected.first()));
}

#include "wizards/forms/frmSetupWizard.h"

#include "common/modGeneral.h"
#include "common/widgets/LinkedProgressBar.h"
#include "database/ComputerDB.h"
#include "import/forms/frmImportADS.h"
#include "import/forms/frmImportUsers.h"
#include "settings/sections/widgets/ContextSectionWidget.h"
#include "settings/sections/widgets/JoinSectionWidget.h"
#include "settings/sections/widgets/OptionsSectionWidget.h"
#include "wizards/forms/frmAuthWizard.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

template<typename Widget> Widget *named(Widget *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QLabel *wrappedLabel(QWidget *owner, const QString &name, const QString &text = QString())
{
    auto *label = named(new QLabel(text, owner), name);
    label->setWordWrap(true);
    return label;
}

// A page of options, one radio button per caption, named prefix0, prefix1...
QWidget *optionPage(QStackedWidget *pages, const QString &name, const QStringList &captions, QButtonGroup *group, const QString &prefix)
{
    auto *page = named(new QWidget(pages), name);
    auto *layout = new QVBoxLayout(page);
    for (int option = 0; option < captions.size(); ++option) {
        auto *button = named(new QRadioButton(captions.at(option), page), prefix + QString::number(option));
        group->addButton(button, option);
        layout->addWidget(button);
    }
    layout->addStretch(1);
    return page;
}

// Shows `chosen` checked in the group, or none at all for NoChoice.
void showChoice(QButtonGroup *group, int chosen)
{
    group->setExclusive(false);
    for (QAbstractButton *button : group->buttons())
        button->setChecked(group->id(button) == chosen);
    group->setExclusive(true);
}

} // namespace

frmSetupWizard::frmSetupWizard(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("frmSetupWizard"));
    setWindowTitle(SetupWizardModel::Caption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setMinimumSize(640, 500);

    lblTitle = wrappedLabel(this, QStringLiteral("lblTitle"));
    QFont heading = lblTitle->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.25);
    lblTitle->setFont(heading);
    lblText = wrappedLabel(this, QStringLiteral("lblText"));

    m_pages = named(new QStackedWidget(this), QStringLiteral("stkPages"));
    m_pages->addWidget(named(new QWidget(m_pages), QStringLiteral("fraWelcome")));

    m_actions = new QButtonGroup(this);
    m_pages->addWidget(
        optionPage(m_pages, QStringLiteral("fraAction"), SetupWizardModel::ActionCaptions(), m_actions, QStringLiteral("optAction")));
    m_migrations = new QButtonGroup(this);
    m_pages->addWidget(optionPage(
        m_pages, QStringLiteral("fraMigration"), SetupWizardModel::MigrationCaptions(), m_migrations, QStringLiteral("optMigration")));

    auto *contexts = named(new QWidget(m_pages), QStringLiteral("fraContexts"));
    auto *contextsLayout = new QVBoxLayout(contexts);
    contextsLayout->addWidget(new ContextSectionWidget(m_model.source(), contexts));
    contextsLayout->addWidget(new ContextSectionWidget(m_model.destination(), contexts));
    contextsLayout->addStretch(1);
    m_pages->addWidget(contexts);

    auto *join = named(new QWidget(m_pages), QStringLiteral("fraJoin"));
    auto *joinLayout = new QVBoxLayout(join);
    joinLayout->addWidget(new JoinSectionWidget(m_model.join(), join));
    joinLayout->addStretch(1);
    m_pages->addWidget(join);

    auto *options = named(new QWidget(m_pages), QStringLiteral("fraOptions"));
    auto *optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(new OptionsSectionWidget(m_model.options(), OptionsSectionWidget::Host::Wizard, options));
    optionsLayout->addStretch(1);
    m_pages->addWidget(options);

    auto *imports = named(new QWidget(m_pages), QStringLiteral("fraImport"));
    cmdImportADS = named(new QPushButton(QStringLiteral("Import from &Active Directory..."), imports), QStringLiteral("cmdImportADS"));
    cmdImportFile = named(new QPushButton(QStringLiteral("Import from &file..."), imports), QStringLiteral("cmdImportFile"));
    lblProgress = named(new QLabel(QStringLiteral("Import Progress:"), imports), QStringLiteral("lblProgress"));
    pbImport = named(new QProgressBar(imports), QStringLiteral("pbImport"));
    pbImport->setValue(0);
    m_importBar = std::make_unique<LinkedProgressBar>(pbImport, lblProgress);
    auto *importLayout = new QVBoxLayout(imports);
    for (QPushButton *button : {cmdImportADS, cmdImportFile}) {
        button->setAutoDefault(false);
        importLayout->addWidget(button, 0, Qt::AlignLeft);
    }
    importLayout->addSpacing(16);
    importLayout->addWidget(lblProgress);
    importLayout->addWidget(pbImport);
    importLayout->addStretch(1);
    m_pages->addWidget(imports);

    auto *accounts = named(new QWidget(m_pages), QStringLiteral("fraAccounts"));
    cmdAuthWizard = named(new QPushButton(QStringLiteral("Run the &Authentication Wizard..."), accounts), QStringLiteral("cmdAuthWizard"));
    cmdAuthWizard->setAutoDefault(false);
    auto *accountsLayout = new QVBoxLayout(accounts);
    accountsLayout->addWidget(cmdAuthWizard, 0, Qt::AlignLeft);
    accountsLayout->addStretch(1);
    m_pages->addWidget(accounts);

    m_pages->addWidget(named(new QWidget(m_pages), QStringLiteral("fraFinish")));

    lblImportant = wrappedLabel(this, QStringLiteral("lblImportant"),
        QStringLiteral("<b>%1</b> %2").arg(SetupWizardModel::ImportantTitle, SetupWizardModel::ImportantText.toHtmlEscaped()));

    cmdPrevious = named(new QPushButton(SetupWizardModel::PreviousCaption, this), QStringLiteral("cmdPrevious"));
    cmdNext = named(new QPushButton(SetupWizardModel::NextCaption, this), QStringLiteral("cmdNext"));
    cmdNext->setDefault(true);
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("cmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdPrevious);
    buttons->addWidget(cmdNext);
    buttons->addWidget(cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblTitle);
    layout->addWidget(lblText);
    layout->addSpacing(8);
    layout->addWidget(m_pages, 1);
    layout->addWidget(lblImportant);
    layout->addLayout(buttons);

    connect(m_actions, &QButtonGroup::idClicked, &m_model, &SetupWizardModel::chooseAction);
    connect(m_migrations, &QButtonGroup::idClicked, &m_model, &SetupWizardModel::chooseMigration);
    connect(cmdImportADS, &QPushButton::clicked, this, &frmSetupWizard::cmdImportADS_Click);
    connect(cmdImportFile, &QPushButton::clicked, this, &frmSetupWizard::cmdImportFile_Click);
    connect(cmdAuthWizard, &QPushButton::clicked, this, &frmSetupWizard::cmdAuthWizard_Click);
    connect(cmdNext, &QPushButton::clicked, &m_model, &SetupWizardModel::cmdNext_Click);
    connect(cmdPrevious, &QPushButton::clicked, &m_model, &SetupWizardModel::cmdPrevious_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetupWizard::reject);
    connect(&m_model, &SetupWizardModel::pageChanged, this, &frmSetupWizard::ShowCurrentFrame);
    connect(&m_model, &SetupWizardModel::closeRequested, this, &frmSetupWizard::closeWizard);
    connect(&m_model, &SetupWizardModel::focusRequested, this, [this](const QString &control) {
        if (auto *field = findChild<QWidget *>(control))
            field->setFocus();
    });

    ShowCurrentFrame();
}

frmSetupWizard::~frmSetupWizard() = default;

void frmSetupWizard::LinkData(const GlobalSettingsPtr &record, ComputerDB *database, std::function<void()> treeChanged)
{
    m_treeChanged = std::move(treeChanged);
    m_model.LinkData(record, database);
}

void frmSetupWizard::reject()
{
    // The model answers with closeRequested, which closes the window.
    if (!m_model.isClosed())
        m_model.cmdCancel_Click();
    else
        QDialog::reject();
}

void frmSetupWizard::closeWizard()
{
    done(m_model.isFinished() ? QDialog::Accepted : QDialog::Rejected);
}

void frmSetupWizard::ShowCurrentFrame()
{
    const int page = m_model.CurrentPage();
    m_pages->setCurrentIndex(page);
    lblTitle->setText(SetupWizardModel::PageTitle(page));
    lblText->setText(SetupWizardModel::PageText(page));
    lblImportant->setVisible(page <= SetupWizardModel::ActionPage);
    showChoice(m_actions, m_model.actionChoice());
    showChoice(m_migrations, m_model.migrationChoice());
    const bool importing = m_model.database() != nullptr;
    cmdImportADS->setEnabled(importing);
    cmdImportFile->setEnabled(importing);
    cmdNext->setText(m_model.nextCaption());
    cmdPrevious->setEnabled(m_model.previousEnabled());
}

void frmSetupWizard::cmdImportADS_Click()
{
    ComputerDB *database = m_model.database();
    if (!database)
        return;
    frmImportADS dialog(this);
    dialog.LinkRequired(database, m_treeChanged);
    dialog.LinkBar(m_importBar.get());
    dialog.exec();
}

void frmSetupWizard::cmdImportFile_Click()
{
    ComputerDB *database = m_model.database();
    if (!database)
        return;
    frmImportUsers::ShowModal(*database, this, NodeInfo {});
    // A large list is read with the tree unlinked; it is built again here.
    if (!database->IsLinked() && m_treeChanged)
        m_treeChanged();
}

void frmSetupWizard::cmdAuthWizard_Click()
{
    if (const GlobalSettingsPtr working = m_model.workingCopy())
        frmAuthWizard::Open(working, this);
}

#include "wizards/forms/frmSetupWizard.h"

#include "common/modGeneral.h"
#include "common/widgets/LinkedProgressBar.h"
#include "common/widgets/modKeyboard.h"
#include "database/ComputerDB.h"
#include "import/forms/frmImportADS.h"
#include "import/forms/frmImportUsers.h"
#include "settings/sections/widgets/ContextSectionWidget.h"
#include "settings/sections/widgets/JoinSectionWidget.h"
#include "settings/sections/widgets/OptionsSectionWidget.h"
#include "wizards/forms/frmAuthWizard.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

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

// "Name: value" lines as a table of two columns.
QString summaryTable(const QStringList &lines)
{
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\">");
    for (const QString &line : lines) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        html += QStringLiteral("<tr><td style=\"padding-right:12px\"><b>%1</b></td><td>%2</td></tr>")
                    .arg(line.left(colon + 1).toHtmlEscaped(), line.mid(colon + 1).trimmed().toHtmlEscaped());
    }
    return html + QStringLiteral("</table>");
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
    const int importWidth = std::max(cmdImportADS->sizeHint().width(), cmdImportFile->sizeHint().width());
    for (QPushButton *button : {cmdImportADS, cmdImportFile}) {
        button->setAutoDefault(false);
        button->setMinimumWidth(importWidth);
        importLayout->addWidget(button, 0, Qt::AlignLeft);
    }
    importLayout->addSpacing(16);
    importLayout->addWidget(lblProgress);
    importLayout->addWidget(pbImport);
    lblComputerCount = named(new QLabel(imports), QStringLiteral("lblComputerCount"));
    importLayout->addSpacing(8);
    importLayout->addWidget(lblComputerCount);
    importLayout->addStretch(1);
    m_pages->addWidget(imports);

    auto *accounts = named(new QWidget(m_pages), QStringLiteral("fraAccounts"));
    cmdAuthWizard = named(new QPushButton(QStringLiteral("Run the &Authentication Wizard..."), accounts), QStringLiteral("cmdAuthWizard"));
    cmdAuthWizard->setAutoDefault(false);
    auto *accountsLayout = new QVBoxLayout(accounts);
    accountsLayout->addWidget(cmdAuthWizard, 0, Qt::AlignLeft);
    accountsLayout->addStretch(1);
    m_pages->addWidget(accounts);

    auto *finish = named(new QWidget(m_pages), QStringLiteral("fraFinish"));
    lblSummary = wrappedLabel(finish, QStringLiteral("lblSummary"));
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *finishLayout = new QVBoxLayout(finish);
    finishLayout->addWidget(lblSummary);
    finishLayout->addStretch(1);
    m_pages->addWidget(finish);

    lblImportant = wrappedLabel(this, QStringLiteral("lblImportant"),
        QStringLiteral("<b>%1</b> %2").arg(SetupWizardModel::ImportantTitle, SetupWizardModel::ImportantText.toHtmlEscaped()));

    cmdPrevious = named(new QPushButton(SetupWizardModel::PreviousCaption, this), QStringLiteral("cmdPrevious"));
    cmdNext = named(new QPushButton(SetupWizardModel::NextCaption, this), QStringLiteral("cmdNext"));
    cmdNext->setDefault(true);
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("cmdCancel"));
    // Each page's controls, then the buttons; the pages are made in the order they come.
    modKeyboard::TabOrder({m_pages, cmdPrevious, cmdNext, cmdCancel});
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdPrevious);
    buttons->addWidget(cmdNext);
    buttons->addWidget(cmdCancel);

    // The steps down the left, the current one in bold; a white band with
    // the page's heading and explanation over the page itself.
    auto *steps = named(new QFrame(this), QStringLiteral("fraSteps"));
    steps->setFrameShape(QFrame::StyledPanel);
    steps->setAutoFillBackground(true);
    QPalette stepColours = steps->palette();
    stepColours.setColor(QPalette::Window, stepColours.color(QPalette::Window).darker(112));
    steps->setPalette(stepColours);
    auto *stepsLayout = new QVBoxLayout(steps);
    stepsLayout->setContentsMargins(14, 14, 18, 14);
    stepsLayout->setSpacing(10);
    for (int page = 0; page < SetupWizardModel::PageCount; ++page) {
        QLabel *step = named(new QLabel(SetupWizardModel::PageTitle(page), steps), QStringLiteral("lblStep%1").arg(page));
        lblStep[static_cast<size_t>(page)] = step;
        stepsLayout->addWidget(step);
    }
    stepsLayout->addStretch(1);
    // Wide enough for the longest step in bold, so the pages never shift.
    QFont bold = steps->font();
    bold.setBold(true);
    int widest = 0;
    for (int page = 0; page < SetupWizardModel::PageCount; ++page)
        widest = std::max(widest, QFontMetrics(bold).horizontalAdvance(SetupWizardModel::PageTitle(page)));
    steps->setFixedWidth(widest + 40);

    auto *header = named(new QFrame(this), QStringLiteral("fraHeader"));
    header->setAutoFillBackground(true);
    QPalette headerColours = header->palette();
    headerColours.setColor(QPalette::Window, headerColours.color(QPalette::Base));
    header->setPalette(headerColours);
    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(14, 12, 14, 12);
    headerLayout->addWidget(lblTitle);
    headerLayout->addWidget(lblText);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(14, 8, 14, 0);
    body->addWidget(m_pages, 1);
    body->addWidget(lblImportant);
    auto *right = new QVBoxLayout;
    right->setSpacing(0);
    right->addWidget(header);
    right->addLayout(body, 1);
    auto *columns = new QHBoxLayout;
    columns->setSpacing(0);
    columns->addWidget(steps);
    columns->addLayout(right, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 10);
    layout->addLayout(columns, 1);
    buttons->setContentsMargins(14, 0, 14, 0);
    layout->addLayout(buttons);

    connect(m_actions, &QButtonGroup::idClicked, &m_model, &SetupWizardModel::chooseAction);
    connect(m_actions, &QButtonGroup::idClicked, this, &frmSetupWizard::ShowCurrentFrame);
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
    if (page == SetupWizardModel::FinishPage)
        lblSummary->setText(summaryTable(m_model.SummaryLines()));
    // The steps this kind of migration goes through; the others greyed.
    const QList<int> path = SetupWizardModel::PagePath(
        m_model.actionChoice() == SetupWizardModel::NoChoice ? ProfileMigrationAndDomainChange : m_model.actionChoice());
    for (int step = 0; step < SetupWizardModel::PageCount; ++step) {
        QLabel *label = lblStep[static_cast<size_t>(step)];
        QFont font = label->font();
        font.setBold(step == page);
        label->setFont(font);
        label->setEnabled(path.contains(step));
    }
    showChoice(m_actions, m_model.actionChoice());
    showChoice(m_migrations, m_model.migrationChoice());
    const bool importing = m_model.database() != nullptr;
    cmdImportADS->setEnabled(importing);
    cmdImportFile->setEnabled(importing);
    ShowComputerCount();
    cmdNext->setText(m_model.nextCaption());
    cmdPrevious->setEnabled(m_model.previousEnabled());
    // A new page starts at its first control that can be used; a refused
    // one gets the focus on its fault from the model afterwards.
    const QList<QWidget *> controls = m_pages->currentWidget()->findChildren<QWidget *>();
    const auto first = std::find_if(controls.cbegin(), controls.cend(), [](const QWidget *control) {
        return (qobject_cast<const QLineEdit *>(control) || qobject_cast<const QAbstractButton *>(control)) && control->isEnabled()
            && (control->focusPolicy() & Qt::TabFocus);
    });
    if (first != controls.cend())
        (*first)->setFocus();
}

void frmSetupWizard::ShowComputerCount()
{
    const ComputerDB *database = m_model.database();
    const int count = database ? database->GetComputerCount() : 0;
    lblComputerCount->setText(database ? QStringLiteral("Computers in the job: %1").arg(count) : QString());
}

void frmSetupWizard::cmdImportADS_Click()
{
    ComputerDB *database = m_model.database();
    if (!database)
        return;
    const QPointer<QWidget> focused = QApplication::focusWidget();
    frmImportADS dialog(this);
    dialog.LinkRequired(database, m_treeChanged);
    dialog.LinkBar(m_importBar.get());
    dialog.exec();
    ShowComputerCount();
    giveFocusBack(focused, cmdImportADS);
}

void frmSetupWizard::cmdImportFile_Click()
{
    ComputerDB *database = m_model.database();
    if (!database)
        return;
    const QPointer<QWidget> focused = QApplication::focusWidget();
    frmImportUsers::ShowModal(*database, this, NodeInfo {});
    // A large list is read with the tree unlinked; it is built again here.
    if (!database->IsLinked() && m_treeChanged)
        m_treeChanged();
    ShowComputerCount();
    giveFocusBack(focused, cmdImportFile);
}

void frmSetupWizard::giveFocusBack(QWidget *focused, QWidget *button)
{
    // The main window's tree is rebuilt behind the import, in front of its
    // progress window; when that closes, the main window is the active one
    // and the wizard's keyboard is gone.
    activateWindow();
    (focused && isAncestorOf(focused) ? focused : button)->setFocus(Qt::OtherFocusReason);
}

void frmSetupWizard::cmdAuthWizard_Click()
{
    if (const GlobalSettingsPtr working = m_model.workingCopy())
        frmAuthWizard::Open(working, this);
}

#include "shell/forms/frmWelcome.h"

#include "common/AppInfo.h"
#include "common/modErrorHandler.h"
#include "common/widgets/modKeyboard.h"
#include "shell/modHelp.h"
#include "shell/modStartup.h"

#include <QCheckBox>
#include <QCommandLinkButton>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QFrame *frameLine(QWidget *parent, const QString &name, bool horizontal)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::NoFrame);
    if (horizontal)
        line->setFixedHeight(2);
    else
        line->setFixedWidth(2);
    line->setAutoFillBackground(true);
    return line;
}

} // namespace

frmWelcome::frmWelcome(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("frmWelcome"));
    setWindowTitle(QStringLiteral("Welcome to Varno-Osk"));
    // A dialog box: a title and a close button, nothing to minimise or resize.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);

    // The form and its labels are white; the text keeps the desktop's colour.
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Button, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("imgLogo"));
    icon->setPixmap(QIcon(QStringLiteral(":/shell/varno-osk.svg")).pixmap(56, 56));
    icon->setAlignment(Qt::AlignTop);

    lblHeading = new QLabel(QStringLiteral("Welcome to the Varno-Osk Profile Migration System"), this);
    lblHeading->setObjectName(QStringLiteral("lblHeading"));
    QFont headingFont = lblHeading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.45);
    headingFont.setBold(true);
    lblHeading->setFont(headingFont);
    lblHeading->setWordWrap(true);

    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    auto *heading = new QVBoxLayout;
    heading->setSpacing(4);
    heading->addWidget(lblHeading);
    heading->addWidget(lblVersion);

    auto *top = new QHBoxLayout;
    top->setSpacing(14);
    top->addWidget(icon);
    top->addLayout(heading, 1);

    auto *question = new QLabel(QStringLiteral("What would you like to do?"), this);
    question->setObjectName(QStringLiteral("lblQuestion"));

    cmdEasyWizard = new QCommandLinkButton(QStringLiteral("Begin a new migration with the \"Easy Setup Wizard\""),
        QStringLiteral("Enter the domains, the accounts and the computers of a migration step by step."), this);
    cmdEasyWizard->setObjectName(QStringLiteral("cmdEasyWizard"));
    cmdDocumentation = new QCommandLinkButton(QStringLiteral("Review the \"Getting Started\" Guide"),
        QStringLiteral("Read how the console works before you set up your first migration."), this);
    cmdDocumentation->setObjectName(QStringLiteral("cmdDocumentation"));
    cmdLoad = new QCommandLinkButton(QStringLiteral("Load a previously saved settings file"),
        QStringLiteral("Carry on with the computers and settings you saved before."), this);
    cmdLoad->setObjectName(QStringLiteral("cmdLoad"));

    auto *actions = new QVBoxLayout;
    actions->setContentsMargins(12, 8, 12, 8);
    actions->setSpacing(2);
    actions->addWidget(question);
    actions->addSpacing(4);
    actions->addWidget(cmdEasyWizard);
    actions->addWidget(cmdDocumentation);
    actions->addWidget(cmdLoad);

    lineFrame[0] = frameLine(this, QStringLiteral("lineFrame1"), true);
    lineFrame[1] = frameLine(this, QStringLiteral("lineFrame2"), true);
    lineFrame[2] = frameLine(this, QStringLiteral("lineFrame3"), false);
    lineFrame[3] = frameLine(this, QStringLiteral("lineFrame4"), false);

    auto *framed = new QGridLayout;
    framed->setSpacing(0);
    framed->addWidget(lineFrame[0], 0, 0, 1, 3);
    framed->addWidget(lineFrame[2], 1, 0);
    framed->addLayout(actions, 1, 1);
    framed->addWidget(lineFrame[3], 1, 2);
    framed->addWidget(lineFrame[1], 2, 0, 1, 3);

    lblLegal = new QLabel(this);
    lblLegal->setObjectName(QStringLiteral("lblLegal"));
    lblLegal->setWordWrap(true);
    QPalette grey = lblLegal->palette();
    grey.setColor(QPalette::WindowText, QColor(96, 96, 96));
    lblLegal->setPalette(grey);

    chkDontShow = new QCheckBox(QStringLiteral("&Don't show this window again"), this);
    chkDontShow->setObjectName(QStringLiteral("chkDontShow"));
    chkDontShow->setChecked(false);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOK->setMinimumWidth(88);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(chkDontShow);
    bottom->addStretch(1);
    bottom->addWidget(cmdOK);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(12);
    layout->addLayout(top);
    layout->addLayout(framed);
    layout->addWidget(lblLegal);
    layout->addLayout(bottom);

    // The choices are flat; without a frame of their own the keyboard's
    // focus would not show on the white form.
    setStyleSheet(QStringLiteral("QCommandLinkButton { border: 2px solid transparent; border-radius: 4px; }"
                                 "QCommandLinkButton:hover { border-color: palette(midlight); }"
                                 "QCommandLinkButton:focus { border-color: palette(highlight); }"));

    modKeyboard::TabOrder({cmdEasyWizard, cmdDocumentation, cmdLoad, chkDontShow, cmdOK});
    for (QCommandLinkButton *choice : {cmdEasyWizard, cmdDocumentation, cmdLoad})
        choice->installEventFilter(this);

    connect(cmdEasyWizard, &QAbstractButton::clicked, this, &frmWelcome::cmdEasyWizard_Click);
    connect(cmdDocumentation, &QAbstractButton::clicked, this, &frmWelcome::cmdDocumentation_Click);
    connect(cmdLoad, &QAbstractButton::clicked, this, &frmWelcome::cmdLoad_Click);
    connect(cmdOK, &QAbstractButton::clicked, this, &QDialog::accept);

    Form_Load();
    setMinimumWidth(560);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmWelcome::Form_Load()
{
    modErrorHandler::Guard("frmWelcome.Form_Load", [&] {
        lblVersion->setText(
            QStringLiteral("Version: %1.%2.%3").arg(AppInfo::VersionMajor()).arg(AppInfo::VersionMinor()).arg(AppInfo::VersionRevision()));
        lblLegal->setText(AppInfo::LegalCopyright());
        // The frame lines take the colour of an active title bar.
        for (QFrame *line : lineFrame) {
            QPalette linePalette = line->palette();
            linePalette.setColor(QPalette::Window, palette().color(QPalette::Active, QPalette::Highlight));
            line->setPalette(linePalette);
        }
    });
}

void frmWelcome::setEasySetupWizardAvailable(bool available)
{
    cmdEasyWizard->setEnabled(available);
}

void frmWelcome::setLoadSettingsAvailable(bool available)
{
    cmdLoad->setEnabled(available);
}

void frmWelcome::cmdEasyWizard_Click()
{
    m_welcomeAction = ActionEasySetupWizard;
    accept();
}

void frmWelcome::cmdDocumentation_Click()
{
    // The guide opens beside the welcome screen, which stays open.
    modErrorHandler::Guard("frmWelcome.cmdDocumentation_Click", [&] { modHelp::ShowHelpPage(modHelp::GettingStartedPage); });
}

void frmWelcome::cmdLoad_Click()
{
    m_welcomeAction = ActionLoadSettings;
    accept();
}

bool frmWelcome::eventFilter(QObject *watched, QEvent *event)
{
    // The arrow keys move between the choices like a list, round at the
    // ends, over the greyed ones; Enter and Space take the one with focus.
    // The buttons would otherwise send Up out of the list, to OK.
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    const std::array<QCommandLinkButton *, 3> choices {cmdEasyWizard, cmdDocumentation, cmdLoad};
    const auto current = std::find(choices.begin(), choices.end(), watched);
    if ((key != Qt::Key_Down && key != Qt::Key_Up) || current == choices.end())
        return QDialog::eventFilter(watched, event);

    const int count = static_cast<int>(choices.size());
    int index = static_cast<int>(current - choices.begin());
    for (int step = 1; step < count; ++step) {
        index = (index + (key == Qt::Key_Down ? 1 : count - 1)) % count;
        if (choices.at(index)->isEnabled()) {
            choices.at(index)->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    return true;
}

void frmWelcome::done(int result)
{
    modErrorHandler::Guard("frmWelcome.Form_Unload", [&] { modStartup::SaveWelcomeScreen(chkDontShow->isChecked()); });
    QDialog::done(result);
}

#include "wizards/forms/frmAuthWizard.h"

#include "common/widgets/modKeyboard.h"
#include "wizards/forms/frmAuthManual.h"
#include "wizards/modAccountsOpening.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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

QLabel *wrappedLabel(QWidget *owner, const char *name, const QString &text = QString())
{
    auto *label = named(new QLabel(text, owner), QString::fromLatin1(name));
    label->setWordWrap(true);
    return label;
}

} // namespace

frmAuthWizard::frmAuthWizard(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("frmAuthWizard"));
    setWindowTitle(QStringLiteral("Authentication Wizard"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // Room for the finish page's summary of five accounts without clipping.
    setMinimumSize(560, 400);

    m_pages = named(new QStackedWidget(this), QStringLiteral("stkPages"));

    fraChoice = named(new QWidget(m_pages), QStringLiteral("fraChoice"));
    lblQuestion = wrappedLabel(fraChoice, "lblQuestion");
    m_options = new QButtonGroup(this);
    auto *choiceLayout = new QVBoxLayout(fraChoice);
    choiceLayout->addWidget(lblQuestion);
    for (int option = 0; option < static_cast<int>(optAnswer.size()); ++option) {
        QRadioButton *button = named(new QRadioButton(fraChoice), QStringLiteral("optAnswer%1").arg(option));
        optAnswer[static_cast<size_t>(option)] = button;
        m_options->addButton(button, option);
        choiceLayout->addWidget(button);
    }
    choiceLayout->addStretch(1);

    fraAccount = named(new QWidget(m_pages), QStringLiteral("fraAccount"));
    lblDescription = wrappedLabel(fraAccount, "lblDescription");
    lblCriteria = wrappedLabel(fraAccount, "lblCriteria");
    txtUsername = named(new QLineEdit(fraAccount), AuthWizardModel::UsernameControl);
    txtPassword = named(new QLineEdit(fraAccount), AuthWizardModel::PasswordControl);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtDomain = named(new QLineEdit(fraAccount), AuthWizardModel::DomainControl);
    chkLocalAccount = named(new QCheckBox(QStringLiteral("&Local account"), fraAccount), AuthWizardModel::LocalAccountControl);
    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("&Username:"), txtUsername);
    fields->addRow(QStringLiteral("Pass&word:"), txtPassword);
    fields->addRow(QStringLiteral("&Domain:"), txtDomain);
    fields->addRow(QString(), chkLocalAccount);
    auto *accountLayout = new QVBoxLayout(fraAccount);
    accountLayout->addWidget(lblDescription);
    accountLayout->addWidget(lblCriteria);
    accountLayout->addLayout(fields);
    accountLayout->addStretch(1);

    fraFinish = named(new QWidget(m_pages), QStringLiteral("fraFinish"));
    QLabel *title = wrappedLabel(fraFinish, "lblFinishTitle", AuthWizardModel::FinishTitle);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    lblSummary = wrappedLabel(fraFinish, "lblSummary");
    cmdOverride = named(new QPushButton(AuthWizardModel::OverrideCaption, fraFinish), QStringLiteral("cmdOverride"));
    cmdOverride->setToolTip(AuthWizardModel::OverrideTip);
    auto *finishLayout = new QVBoxLayout(fraFinish);
    finishLayout->addWidget(title);
    finishLayout->addWidget(wrappedLabel(fraFinish, "lblFinishText", AuthWizardModel::FinishText));
    finishLayout->addWidget(lblSummary);
    finishLayout->addStretch(1);
    finishLayout->addWidget(wrappedLabel(fraFinish, "lblOverride", AuthWizardModel::OverrideText));
    finishLayout->addWidget(cmdOverride, 0, Qt::AlignLeft);

    m_pages->addWidget(fraChoice);
    m_pages->addWidget(fraAccount);
    m_pages->addWidget(fraFinish);

    cmdPrevious = named(new QPushButton(AuthWizardModel::PreviousCaption, this), QStringLiteral("cmdPrevious"));
    cmdNext = named(new QPushButton(this), QStringLiteral("cmdNext"));
    cmdNext->setDefault(true);
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("cmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdPrevious);
    buttons->addWidget(cmdNext);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);

    modKeyboard::TabOrder({optAnswer[0], optAnswer[1], optAnswer[2], txtUsername, txtPassword, txtDomain, chkLocalAccount, cmdOverride,
        cmdPrevious, cmdNext, cmdCancel});

    connect(m_options, &QButtonGroup::idClicked, &m_model, &AuthWizardModel::selectOption);
    connect(txtUsername, &QLineEdit::textEdited, &m_model, &AuthWizardModel::setUsername);
    connect(txtPassword, &QLineEdit::textEdited, &m_model, &AuthWizardModel::setPassword);
    connect(txtDomain, &QLineEdit::textEdited, &m_model, &AuthWizardModel::setDomain);
    connect(chkLocalAccount, &QCheckBox::clicked, &m_model, &AuthWizardModel::setLocalAccount);
    connect(cmdNext, &QPushButton::clicked, &m_model, &AuthWizardModel::cmdNext_Click);
    connect(cmdPrevious, &QPushButton::clicked, &m_model, &AuthWizardModel::cmdPrevious_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmAuthWizard::reject);
    connect(cmdOverride, &QPushButton::clicked, this, &frmAuthWizard::cmdOverride_Click);
    connect(&m_model, &AuthWizardModel::pageChanged, this, &frmAuthWizard::ShowCurrentPage);
    connect(&m_model, &AuthWizardModel::closeRequested, this, &frmAuthWizard::closeWizard);
    connect(&m_model, &AuthWizardModel::focusRequested, this, [this](const QString &control) {
        if (auto *field = findChild<QWidget *>(control))
            field->setFocus();
    });

    cmdOverride->setEnabled(false);
    ShowCurrentPage();
}

bool frmAuthWizard::Run(const GlobalSettingsPtr &record, QWidget *owner, const OverrideHandler &override)
{
    if (!record)
        return false;
    return modAccountsOpening::RunEditor(*record, "frmMain.cmdAuthWizard_Click", [&] {
        frmAuthWizard wizard(owner);
        wizard.setOverrideHandler(override);
        wizard.LinkSettings(record);
        wizard.exec();
    });
}

bool frmAuthWizard::Open(const GlobalSettingsPtr &record, QWidget *owner)
{
    frmAuthWizard wizard(owner);
    // Override sets the accounts by hand on the wizard's working copy.
    wizard.setOverrideHandler([](const GlobalSettingsPtr &workingCopy, QWidget *dialogOwner) {
        frmAuthManual dialog(dialogOwner);
        dialog.LinkSettings(workingCopy);
        dialog.exec();
    });
    wizard.LinkSettings(record);
    return wizard.exec() == QDialog::Accepted;
}

void frmAuthWizard::LinkSettings(const GlobalSettingsPtr &record)
{
    m_model.LinkSettings(record);
    ShowCurrentPage();
}

void frmAuthWizard::setOverrideHandler(OverrideHandler handler)
{
    m_override = std::move(handler);
    cmdOverride->setEnabled(static_cast<bool>(m_override));
}

void frmAuthWizard::reject()
{
    // The model answers with closeRequested, which closes the window.
    if (!m_model.isClosed())
        m_model.cmdCancel_Click();
    else
        QDialog::reject();
}

void frmAuthWizard::closeWizard()
{
    done(m_model.isFinished() ? QDialog::Accepted : QDialog::Rejected);
}

void frmAuthWizard::cmdOverride_Click()
{
    if (!m_override || !m_model.workingCopy())
        return;
    m_override(m_model.workingCopy(), this);
    m_model.WorkingCopyEdited();
}

void frmAuthWizard::ShowCurrentPage()
{
    if (m_model.isChoicePage()) {
        ShowChoicePage();
        m_pages->setCurrentWidget(fraChoice);
    } else if (m_model.isAccountPage()) {
        ShowAccountPage();
        m_pages->setCurrentWidget(fraAccount);
    } else {
        lblSummary->setText(m_model.summaryLines().join(QLatin1Char('\n')));
        m_pages->setCurrentWidget(fraFinish);
    }
    cmdNext->setText(m_model.nextCaption());
    cmdPrevious->setEnabled(m_model.previousEnabled());
}

void frmAuthWizard::ShowChoicePage()
{
    lblQuestion->setText(m_model.questionText());
    const QStringList captions = m_model.optionCaptions();
    // An exclusive group keeps one button checked; a page without an answer
    // yet shows none.
    m_options->setExclusive(false);
    for (int option = 0; option < static_cast<int>(optAnswer.size()); ++option) {
        QRadioButton *button = optAnswer[static_cast<size_t>(option)];
        const QString caption = captions.value(option);
        button->setVisible(!caption.isEmpty());
        button->setText(caption);
        button->setToolTip(QString(caption).remove(QLatin1Char('&')));
        button->setEnabled(m_model.optionEnabled(option));
        button->setChecked(option == m_model.selectedOption());
    }
    m_options->setExclusive(true);
}

void frmAuthWizard::ShowAccountPage()
{
    lblDescription->setText(m_model.accountDescription());
    lblCriteria->setText(m_model.criteriaLines().join(QLatin1Char('\n')));
    const AuthWizardModel::AccountEntry &form = m_model.form();
    txtUsername->setText(form.Username);
    txtPassword->setText(form.Password);
    txtDomain->setText(form.Domain);
    txtDomain->setEnabled(m_model.domainEnabled());
    chkLocalAccount->setChecked(form.Local);
    chkLocalAccount->setEnabled(m_model.localAccountEnabled());
    // A new page starts at its first field; a refused one gets the focus
    // on its fault from the model afterwards.
    txtUsername->setFocus();
}

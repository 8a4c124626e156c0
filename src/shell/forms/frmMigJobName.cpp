#include "shell/forms/frmMigJobName.h"

#include "common/AppInfo.h"
#include "common/AppState.h"
#include "common/widgets/modKeyboard.h"
#include "shell/JobNameCheck.h"
#include "shell/forms/frmMain.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmMigJobName::frmMigJobName(frmMain &owner)
    : QDialog(&owner)
    , m_owner(owner)
{
    setObjectName(QStringLiteral("frmMigJobName"));
    setWindowTitle(AppInfo::Title());
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    auto *prompt = new QLabel(QStringLiteral("Enter a name for this migration job.\nThe name must be a valid Windows folder name."), this);
    prompt->setObjectName(QStringLiteral("lblPrompt"));
    layout->addWidget(prompt);
    m_txtJobName = new QLineEdit(AppState::Get().CurrentJobName, this);
    m_txtJobName->setObjectName(QStringLiteral("txtJobName"));
    m_txtJobName->selectAll();
    m_txtJobName->setAccessibleName(QStringLiteral("Migration job name"));
    prompt->setBuddy(m_txtJobName);
    layout->addWidget(m_txtJobName);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    layout->addWidget(buttons);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    modKeyboard::TabOrder({m_txtJobName, buttons->button(QDialogButtonBox::Ok), buttons->button(QDialogButtonBox::Cancel)});
    connect(buttons, &QDialogButtonBox::accepted, this, &frmMigJobName::cmdOK_Click);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void frmMigJobName::cmdOK_Click()
{
    const QString name = m_txtJobName->text();
    if (!JobNameCheck::Accept(name)) {
        m_txtJobName->setFocus();
        m_txtJobName->selectAll();
        return;
    }
    m_owner.PromptToSaveNewName(name);
    AppState::Get().CurrentJobName = name;
    m_owner.SetMainCaption();
    accept();
}

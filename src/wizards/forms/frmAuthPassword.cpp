#include "wizards/forms/frmAuthPassword.h"

#include "common/modErrorHandler.h"
#include "common/widgets/modKeyboard.h"
#include "settings/sections/ManualAccountsModel.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmAuthPassword::frmAuthPassword(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAuthPassword"));
    setWindowTitle(QStringLiteral("Account Password"));
    auto *layout = new QFormLayout(this);
    m_lblAccountName = new QLabel(this);
    m_lblAccountName->setObjectName(QStringLiteral("lblAccountName"));
    m_lblAccountName->setTextFormat(Qt::PlainText);
    layout->addRow(QStringLiteral("Account:"), m_lblAccountName);
    m_txtPassword = new QLineEdit(this);
    m_txtPassword->setObjectName(QStringLiteral("txtPassword"));
    m_txtPassword->setEchoMode(QLineEdit::Password);
    layout->addRow(QStringLiteral("&Password:"), m_txtPassword);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    modKeyboard::TabOrder({m_txtPassword, buttons->button(QDialogButtonBox::Ok), buttons->button(QDialogButtonBox::Cancel)});
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addRow(buttons);
}

void frmAuthPassword::setAccountName(const QString &name)
{
    m_lblAccountName->setText(name);
}

QString frmAuthPassword::AccountName() const
{
    return m_lblAccountName->text();
}

void frmAuthPassword::accept()
{
    const QString problem = ManualAccountsModel::PasswordProblem(m_txtPassword->text());
    if (!problem.isEmpty()) {
        m_txtPassword->setFocus(Qt::OtherFocusReason);
        modErrorHandler::ShowMessage(modErrorHandler::Information, problem);
        return;
    }
    m_password = m_txtPassword->text();
    QDialog::accept();
}

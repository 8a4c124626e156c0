#include "wizards/forms/frmAuthManual.h"

#include "common/widgets/modKeyboard.h"
#include "settings/sections/widgets/AccountEntryWidget.h"
#include "wizards/forms/frmAuthPassword.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmAuthManual::frmAuthManual(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAuthManual"));
    setWindowTitle(QStringLiteral("Authentication Manual Override"));
    auto *layout = new QVBoxLayout(this);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(2);
    for (int row = 0; row < AccountRowCount; ++row) {
        const AccountRow &account = AccountRows[static_cast<size_t>(row)];
        const QString caption = QString::fromLatin1(account.Caption);
        auto *name = new QLabel(caption, this);
        QFont bold = name->font();
        bold.setBold(true);
        name->setFont(bold);
        auto *description = new QLabel(QString::fromLatin1(account.Description), this);
        description->setForegroundRole(QPalette::PlaceholderText);
        auto *current = new QLabel(this);
        current->setObjectName(QStringLiteral("lblAccount%1").arg(row));
        current->setTextFormat(Qt::PlainText);
        m_accounts[static_cast<size_t>(row)] = current;

        // Five rows of the same two buttons: no Alt letter could pick one
        // row's, so they have none, and their names say whose they are.
        auto *set = new QPushButton(QStringLiteral("Set"), this);
        set->setObjectName(QStringLiteral("cmdSet%1").arg(row));
        set->setAccessibleName(QStringLiteral("Set ") + caption.chopped(1));
        set->setAutoDefault(false);
        set->setToolTip(QStringLiteral("Set ") + caption.chopped(1) + QStringLiteral(" username and password"));
        connect(set, &QPushButton::clicked, this, [this, row] { cmdSet_Click(row); });
        auto *password = new QPushButton(QStringLiteral("Password..."), this);
        password->setObjectName(QStringLiteral("cmdPassword%1").arg(row));
        password->setAccessibleName(QStringLiteral("New password of ") + caption.chopped(1));
        password->setAutoDefault(false);
        password->setToolTip(QStringLiteral("Give ") + caption.chopped(1) + QStringLiteral(" a new password"));
        connect(password, &QPushButton::clicked, this, [this, row] { cmdPassword_Click(row); });
        m_passwordButtons[static_cast<size_t>(row)] = password;
        // Along each row, then down to the next.
        modKeyboard::TabOrder({row > 0 ? m_passwordButtons[static_cast<size_t>(row - 1)] : nullptr, set, password});

        const int top = row * 3;
        grid->addWidget(name, top, 0);
        grid->addWidget(current, top, 1);
        grid->addWidget(set, top, 2, 2, 1);
        grid->addWidget(password, top, 3, 2, 1);
        grid->addWidget(description, top + 1, 0, 1, 2);
        grid->setRowMinimumHeight(top + 2, 8);
    }
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    auto *entryBox = new QGroupBox(this);
    auto *entryLayout = new QVBoxLayout(entryBox);
    entryLayout->addWidget(
        new QLabel(QStringLiteral("Enter new account information below and press the Set button beside the desired account:"), entryBox));
    AccountEntryWidget::Captions captions;
    captions.Username = QStringLiteral("Enter new username");
    captions.Password = QStringLiteral("Enter new password");
    captions.Domain = QStringLiteral("Enter new domain or check below for a local account");
    entryLayout->addWidget(new AccountEntryWidget(m_model.entry(), captions, entryBox));
    layout->addWidget(entryBox);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(&m_model, &ManualAccountsModel::accountsChanged, this, &frmAuthManual::LoadUsernames);
    LoadUsernames();
}

void frmAuthManual::LinkSettings(const GlobalSettingsPtr &record)
{
    m_model.LinkSettings(record);
}

void frmAuthManual::LoadUsernames()
{
    for (int row = 0; row < AccountRowCount; ++row) {
        m_accounts[static_cast<size_t>(row)]->setText(m_model.accountText(row));
        m_passwordButtons[static_cast<size_t>(row)]->setEnabled(m_model.hasAccount(row));
    }
}

void frmAuthManual::cmdSet_Click(int button)
{
    if (m_model.cmdSet_Click(button))
        return;
    if (auto *field = findChild<QLineEdit *>(m_model.failedControl())) {
        field->setFocus(Qt::OtherFocusReason);
        field->selectAll();
    }
}

void frmAuthManual::cmdPassword_Click(int row)
{
    frmAuthPassword prompt(this);
    prompt.setAccountName(m_model.accountText(row));
    if (prompt.exec() == QDialog::Accepted)
        m_model.SetPassword(row, prompt.Password());
}

void frmAuthManual::accept()
{
    m_model.Confirm();
    QDialog::accept();
}

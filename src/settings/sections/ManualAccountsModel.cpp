#include "settings/sections/ManualAccountsModel.h"

#include "common/modErrorHandler.h"
#include "common/modFormat.h"

namespace {

bool ValidRow(int row)
{
    return row >= 0 && row < AccountRowCount;
}

int SlotOf(int row)
{
    return AccountRows[static_cast<size_t>(row)].Slot;
}

} // namespace

ManualAccountsModel::ManualAccountsModel(QObject *parent)
    : QObject(parent)
{ }

void ManualAccountsModel::LinkSettings(const GlobalSettingsPtr &record)
{
    m_linked = record;
    m_working = record ? record->Clone() : nullptr;
    m_changed = false;
    Q_EMIT accountsChanged();
}

QString ManualAccountsModel::accountText(int row) const
{
    const QString name = m_working && ValidRow(row) ? m_working->GetFullUsername(SlotOf(row)) : QString();
    return name.isEmpty() ? NotSpecifiedAccount : name;
}

bool ManualAccountsModel::hasAccount(int row) const
{
    return m_working && ValidRow(row) && !m_working->account(SlotOf(row)).Username.isEmpty();
}

bool ManualAccountsModel::DoInputChecks(const AccountRecord &account)
{
    const auto fail = [&](AccountEntrySection::Control control, const QString &message) {
        m_failedControl = m_entry.controlName(control);
        modErrorHandler::ShowMessage(modErrorHandler::Information, message);
        return false;
    };
    const bool local = m_entry.local();
    if (account.Username.isEmpty())
        return fail(AccountEntrySection::Username, QStringLiteral("You must specify a username to be used."));
    if (account.Domain.isEmpty() && !local)
        return fail(AccountEntrySection::Domain,
            QStringLiteral("You must specify a domain name to be used or select 'Local Account' for local computer accounts."));
    if (!modFormat::IsValidName(account.Username))
        return fail(
            AccountEntrySection::Username, QStringLiteral("Invalid characters specified in account username or username is too long."));
    // A domain here is its short (NetBIOS) name, so the name check's length limit applies.
    if (!local && !modFormat::IsValidName(account.Domain, true))
        return fail(AccountEntrySection::Domain, QStringLiteral("Invalid characters specified in domain name or name is too long."));
    return true;
}

bool ManualAccountsModel::write(int slot, const AccountRecord &account)
{
    QString domain, username, password;
    if (!m_working->GetUserSettings(slot, domain, username, password))
        return false;
    if (username == account.Username && password == account.Password && domain == account.Domain)
        return false;
    m_working->SetUser(slot, account.Username, account.Password, account.Domain);
    m_changed = true;
    return true;
}

bool ManualAccountsModel::cmdSet_Click(int button)
{
    bool set = false;
    m_failedControl.clear();
    modErrorHandler::Guard("frmAuthManual.cmdSet_Click", [&] {
        if (!m_working || !ValidRow(button))
            return;
        const AccountRecord account = m_entry.entered();
        if (!DoInputChecks(account))
            return;
        write(SlotOf(button), account);
        set = true;
    });
    Q_EMIT accountsChanged();
    return set;
}

QString ManualAccountsModel::PasswordProblem(const QString &password)
{
    if (password.size() > MaxPasswordLength)
        return QStringLiteral("The password is too long.  Please enter a valid password.");
    return QString();
}

void ManualAccountsModel::SetPassword(int row, const QString &password)
{
    if (!hasAccount(row))
        return;
    AccountRecord account = m_working->account(SlotOf(row));
    account.Password = password;
    write(SlotOf(row), account);
    Q_EMIT accountsChanged();
}

void ManualAccountsModel::Confirm()
{
    modErrorHandler::Guard("frmAuthManual.cmdOK_Click", [&] {
        if (!m_changed || !m_linked)
            return;
        m_working->Valid = true;
        m_working->CopySettings(*m_linked);
    });
}

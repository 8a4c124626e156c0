#include "settings/sections/AccountEntrySection.h"

AccountEntrySection::AccountEntrySection(QObject *parent)
    : SettingsSection(
        {textControl("txtUsername"), textControl("txtPassword"), textControl("txtDomain"), checkControl("chkLocalAccount")}, parent)
{
    updateLocks();
}

void AccountEntrySection::setAccountType(AccountType type)
{
    Batch batch(*this);
    const bool wasLocal = local();
    m_type = type;
    if (type != AccountType::Either)
        setCheck(LocalAccount, type == AccountType::LocalOnly ? Checked : Unchecked);
    if (wasLocal && !local())
        setText(Domain, QString());
    updateLocks();
}

void AccountEntrySection::load(const AccountRecord &account)
{
    Batch batch(*this);
    setText(Username, account.Username);
    setText(Password, account.Password);
    const bool isLocal = account.Domain == LocalAccountDomain;
    if (m_type == AccountType::Either)
        setCheck(LocalAccount, isLocal ? Checked : Unchecked);
    setText(Domain, isLocal ? QString() : account.Domain);
    updateLocks();
}

AccountRecord AccountEntrySection::entered() const
{
    return AccountRecord {text(Username), text(Password), local() ? LocalAccountDomain : text(Domain)};
}

void AccountEntrySection::applyLocks()
{
    setLocked(Username, false);
    setLocked(Password, false);
    setLocked(LocalAccount, m_type != AccountType::Either);
    setLocked(Domain, local());
    if (local())
        setText(Domain, LocalAccountDomain);
}

void AccountEntrySection::clicked(int, bool ticked)
{
    // The domain field held "*LOCAL ACCOUNT*" only to show the tick.
    if (!ticked)
        setText(Domain, QString());
    updateLocks();
}

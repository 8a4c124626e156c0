#pragma once

#include "settings/GlobalSettings.h"
#include "settings/sections/SettingsSection.h"

// Where one account is typed: user name, password, and either a domain or
// the box for a local account of each computer. A ticked box disables the
// domain field, which shows "*LOCAL ACCOUNT*"; unticking it hands back an
// empty field.
class AccountEntrySection final : public SettingsSection
{
    Q_OBJECT

public:
    enum Control : int {
        Username,
        Password,
        Domain,
        LocalAccount,
    };

    // What the host accepts: either kind, a domain account only (the box is
    // cleared and locked) or a local account only (ticked and locked).
    enum class AccountType {
        Either,
        DomainOnly,
        LocalOnly,
    };

    explicit AccountEntrySection(QObject *parent = nullptr);

    void setAccountType(AccountType type);
    AccountType accountType() const { return m_type; }

    // Shows an account; a domain of "*LOCAL ACCOUNT*" ticks the box.
    void load(const AccountRecord &account);
    // The domain is "*LOCAL ACCOUNT*" while the box is ticked.
    AccountRecord entered() const;
    bool local() const { return isOn(LocalAccount); }

protected:
    void applyLocks() override;
    void clicked(int control, bool ticked) override;

private:
    AccountType m_type = AccountType::Either;
};

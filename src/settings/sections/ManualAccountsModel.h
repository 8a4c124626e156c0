#pragma once

#include "settings/GlobalSettings.h"
#include "settings/sections/AccountEntrySection.h"
#include "settings/sections/AccountRows.h"

#include <QObject>

// The rules of the manual account dialog: five rows (AccountRows), one
// entry area, and a working copy of the linked record that reaches the
// record only when the dialog is confirmed after a real change.
class ManualAccountsModel final : public QObject
{
    Q_OBJECT

public:
    // The password prompt takes up to this many characters.
    static constexpr int MaxPasswordLength = 127;

    explicit ManualAccountsModel(QObject *parent = nullptr);

    // Makes the working copy, shows its accounts, clears the change flag.
    void LinkSettings(const GlobalSettingsPtr &record);
    AccountEntrySection &entry() { return m_entry; }

    // What a row shows: DOMAIN\user, or "- Not specified -".
    QString accountText(int row) const;
    // The row's slot has a user name, so a password can be given to it.
    bool hasAccount(int row) const;
    bool Changed() const { return m_changed; }

    // Sets the row's slot from the entry area. False when a check failed:
    // the message was shown and failedControl() names the field.
    bool cmdSet_Click(int button);
    QString failedControl() const { return m_failedControl; }
    // The password prompt's message for `password`; empty when it is taken.
    static QString PasswordProblem(const QString &password);
    // Gives the row's account a new password.
    void SetPassword(int row, const QString &password);

    // OK: a changed working copy becomes the linked record's content, Valid.
    // Nothing changed, or Cancel (which does not call this): nothing is written.
    void Confirm();

Q_SIGNALS:
    // The rows' accounts may read differently.
    void accountsChanged();

private:
    bool DoInputChecks(const AccountRecord &account);
    // Writes the slot when anything differs; true when it did.
    bool write(int slot, const AccountRecord &account);

    AccountEntrySection m_entry;
    GlobalSettingsPtr m_linked;
    GlobalSettingsPtr m_working;
    bool m_changed = false;
    QString m_failedControl;
};

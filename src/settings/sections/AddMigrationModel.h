#pragma once

#include "settings/UserProfiles.h"

#include <QObject>
#include <QString>

#include <array>

// The rules of the add-migration dialog: which of the four fields can be
// typed into, the all-users rule, and adding the entry to a computer's list
// with the list's messages.
//
// A destination given by SID is not offered: the job handed to the engine
// carries no destination SID for a client, so such an entry would migrate a
// profile to nobody. Both sides by username, or source by SID, remain.
class AddMigrationModel final : public QObject
{
    Q_OBJECT

public:
    enum Field : int {
        SourceUsername,
        SourceSID,
        DestUsername,
        DestSID,
    };
    static constexpr int FieldCount = 4;

    static QString ControlName(Field field);
    // The option button that chooses the field.
    static QString OptionName(Field field);

    static inline const QString DestinationSIDWithdrawn
        = QStringLiteral("Not offered: a migration job never hands a destination SID to the client.");

    explicit AddMigrationModel(QObject *parent = nullptr);

    // The list the entry goes to.
    void LinkList(UserProfilesPtr list);

    bool sourceBySID() const { return m_sourceBySID; }
    void setSourceBySID(bool bySID);
    // The destination is always given by username (see above).
    static bool DestinationBySIDOffered() { return false; }

    QString text(Field field) const { return m_texts[static_cast<size_t>(field)]; }
    bool fieldEnabled(Field field) const { return m_enabled[static_cast<size_t>(field)]; }
    // Typing or pasting; a disabled field takes nothing.
    void TextChange(Field field, const QString &text);

    // True when the entry was added and the dialog may close. Otherwise
    // the message was shown and failedField() names the field to put the
    // focus on.
    bool cmdAddMigration_Click();
    Field failedField() const { return m_failedField; }

Q_SIGNALS:
    void stateChanged();

private:
    bool allUsersTyped() const;
    void LockUserSIDChoice();
    bool fail(Field field, const QString &message);

    UserProfilesPtr m_list;
    bool m_sourceBySID = false;
    std::array<QString, FieldCount> m_texts;
    std::array<bool, FieldCount> m_enabled {};
    // The destination holds "*ALL" because the source does, not because it was typed.
    bool m_destinationFilled = false;
    Field m_failedField = SourceUsername;
};

#include "settings/sections/AddMigrationModel.h"

#include "common/modErrorHandler.h"

namespace {

const QString CR = QStringLiteral("\r");

} // namespace

QString AddMigrationModel::ControlName(Field field)
{
    static const std::array<const char *, FieldCount> names = {"txtSourceUser", "txtSourceSID", "txtDestUser", "txtDestSID"};
    return QString::fromLatin1(names[static_cast<size_t>(field)]);
}

QString AddMigrationModel::OptionName(Field field)
{
    static const std::array<const char *, FieldCount> names = {"optSourceUser", "optSourceSID", "optDestUser", "optDestSID"};
    return QString::fromLatin1(names[static_cast<size_t>(field)]);
}

AddMigrationModel::AddMigrationModel(QObject *parent)
    : QObject(parent)
{
    LockUserSIDChoice();
}

void AddMigrationModel::LinkList(UserProfilesPtr list)
{
    m_list = std::move(list);
}

void AddMigrationModel::setSourceBySID(bool bySID)
{
    m_sourceBySID = bySID;
    LockUserSIDChoice();
    Q_EMIT stateChanged();
}

void AddMigrationModel::TextChange(Field field, const QString &text)
{
    if (!fieldEnabled(field))
        return;
    m_texts[static_cast<size_t>(field)] = text;
    if (field == DestUsername)
        m_destinationFilled = false;
    LockUserSIDChoice();
    Q_EMIT stateChanged();
}

bool AddMigrationModel::allUsersTyped() const
{
    return !m_sourceBySID && text(SourceUsername).compare(AllUsersName, Qt::CaseInsensitive) == 0;
}

void AddMigrationModel::LockUserSIDChoice()
{
    m_enabled.fill(false);
    m_enabled[m_sourceBySID ? SourceSID : SourceUsername] = true;
    m_enabled[DestUsername] = true;

    // All users go to matching names: the destination follows the source
    // however "*ALL" got there (typed, pasted, or the option changed back),
    // and lets go again once the source is something else.
    if (allUsersTyped()) {
        m_texts[DestUsername] = AllUsersName;
        m_enabled[DestUsername] = false;
        m_destinationFilled = true;
    } else if (m_destinationFilled) {
        m_texts[DestUsername].clear();
        m_destinationFilled = false;
    }
}

bool AddMigrationModel::fail(Field field, const QString &message)
{
    m_failedField = field;
    modErrorHandler::ShowMessage(modErrorHandler::Information, message);
    return false;
}

bool AddMigrationModel::cmdAddMigration_Click()
{
    bool added = false;
    modErrorHandler::Guard("frmAddMigration.cmdAddMigration_Click", [&] {
        if (!m_list)
            return;
        const QString source = text(m_sourceBySID ? SourceSID : SourceUsername);
        const QString destination = text(DestUsername);
        if (source.trimmed().isEmpty()) {
            fail(m_sourceBySID ? SourceSID : SourceUsername,
                m_sourceBySID ? QStringLiteral("You must specify the SID of the source user.")
                              : QStringLiteral("You must specify a source username, or *ALL for all profiles."));
            return;
        }
        if (destination.trimmed().isEmpty()) {
            fail(DestUsername, QStringLiteral("You must specify a destination username."));
            return;
        }

        if (!m_sourceBySID && allUsersTyped() && destination.compare(AllUsersName, Qt::CaseInsensitive) == 0) {
            if (m_list->AllowAdd(ListAllUsers) && m_list->AddAllUsers()) {
                added = true;
                return;
            }
            fail(SourceUsername,
                QStringLiteral("'All Users' profiles can be migrated only if there are no other ") + CR
                    + QStringLiteral("profiles in the migration list.  Please delete any other user ") + CR
                    + QStringLiteral("profiles in the migration list and try again."));
            return;
        }

        const int type = m_sourceBySID ? ListSIDToUser : ListUserToUser;
        if (!m_list->AllowAdd(type)) {
            fail(m_sourceBySID ? SourceSID : SourceUsername,
                QStringLiteral("You can not change the type of user specification on one system. ") + CR
                    + QStringLiteral("If you specify one migration as SID -> Username, you must specify ") + CR
                    + QStringLiteral("all other migrations as SID -> Username on that particular computer."));
            return;
        }
        added = m_sourceBySID ? m_list->AddSIDToUser(source, destination) : m_list->AddUserToUser(source, destination);
        if (!added)
            fail(DestUsername,
                QStringLiteral("The destination username you specified already exists as part of ") + CR
                    + QStringLiteral("another migration user set.  Before adding this user, you must remove ") + CR
                    + QStringLiteral("the other migration user set which contains the destination username ") + CR + QStringLiteral("'")
                    + destination + QStringLiteral("'."));
    });
    return added;
}

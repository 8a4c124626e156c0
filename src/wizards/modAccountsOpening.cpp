#include "wizards/modAccountsOpening.h"

#include "common/Presenter.h"
#include "common/modErrorHandler.h"
#include "common/modGeneral.h"
#include "database/ComputerDB.h"

namespace modAccountsOpening {

namespace {

const QString CR = QStringLiteral("\r");

} // namespace

QString InheritanceQuestion(const QString &objectType, const QString &sourceName, Purpose purpose)
{
    const bool computer = objectType == QStringLiteral("C");
    const QString node = computer ? QStringLiteral("computer") : QStringLiteral("group");
    const QString action = purpose == Purpose::AuthWizard ? QStringLiteral("Running the Authentication Wizard on this ")
                                                          : QStringLiteral("Changing the account passwords for this ");
    const QString consequence = computer
        ? QStringLiteral("computer will create new") + CR
            + QStringLiteral("settings for this computer which may disrupt your intended settings") + CR
            + QStringLiteral("inheritance path.")
        : QStringLiteral("group will create a new") + CR + QStringLiteral("settings root beginning at this item which may disrupt your")
            + CR + QStringLiteral("intended settings inheritance path.");
    return QStringLiteral("This ") + node + QStringLiteral(" is currently inheriting settings from '") + sourceName + QStringLiteral("'.")
        + CR + CR + action + consequence + CR + CR + QStringLiteral("Would you like to continue?");
}

QString NodeName(const ComputerDB &db, const QString &key)
{
    if (db.IsLinked() && db.LinkedTree()->contains(key))
        return db.LinkedTree()->text(key);
    const NodeInfo node = modGeneral::ParseNodeKey(key);
    if (!node.Valid)
        return QString();
    if (node.Type == NodeInfo::Computer)
        return db.GetComputerName(node.ID);
    if (node.ID >= 0)
        return db.GetFolderName(node.ID);
    return QStringLiteral("All Computers");
}

GlobalSettingsPtr RecordForAccounts(
    const ComputerDB &db, const QString &objectType, int id, Purpose purpose, const std::function<GlobalSettingsPtr()> &cloneAtThisLevel)
{
    if (GlobalSettingsPtr own = db.GetSettings(objectType, id))
        return own;
    if (objectType != QStringLiteral("F") && objectType != QStringLiteral("C"))
        return nullptr;
    QString sourceKey;
    if (!db.GetEffectiveSettings(objectType, id, sourceKey))
        return nullptr;
    Presenter::Message box;
    box.text = InheritanceQuestion(objectType, NodeName(db, sourceKey), purpose);
    box.caption = QStringLiteral("Confirm Changes");
    box.icon = Presenter::Icon::Exclamation;
    box.buttons = Presenter::Buttons::YesNo;
    box.helpPage = InheritanceHelpPage;
    if (Presenter::current().showMessage(box) != Presenter::Yes)
        return nullptr;
    return cloneAtThisLevel ? cloneAtThisLevel() : nullptr;
}

bool RunEditor(GlobalSettings &record, const char *procedureName, const std::function<void()> &runModal)
{
    record.Valid = false;
    modErrorHandler::Guard(procedureName, runModal);
    if (record.Valid)
        return true;
    record.Valid = true;
    return false;
}

} // namespace modAccountsOpening

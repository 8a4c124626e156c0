#pragma once

#include "common/TreeImage.h"
#include "common/modGeneral.h"
#include "settings/GlobalSettings.h"
#include "settings/UserProfiles.h"
#include "settings/sections/AccountRows.h"
#include "settings/sections/ContextSection.h"
#include "settings/sections/JoinSection.h"
#include "settings/sections/OptionsSection.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

class ComputerDB;

// The rules of the main window's object-settings panel, without a widget:
// what the panel shows for the selected node (own values in the normal
// colour, inherited ones grey and ticked boxes greyed), which fields lock,
// the coupled options, the unsaved-edits state and its prompt, the input
// checks, the save, inherit-from-parent, overwrite-children and the
// computer's user migration list.
//
// The fields live in four sections (source, destination, join, options)
// that the account dialogs and the wizards host as well; the model loads and
// stores them, runs the panel's own checks in the panel's order and keeps
// what is the panel's alone (header, accounts, user list, saving). Text,
// Check and Command name the panel's fields across the sections. The panel
// widget binds each section's controls by name and copies the rest of this
// state into its controls; stateChanged() says when to copy again. Procedure names in messages and error reports are
// the main window's ("frmMain.SaveObjectSettings"), because to the
// administrator and the error log this is the main window's panel.
class ObjectSettingsModel final : public QObject
{
    Q_OBJECT

public:
    enum class Text : int {
        SourceContext,
        SourceDC,
        SourceDCIP,
        DestContext,
        DestDC,
        DestDCIP,
        JoinDomainName,
        DomDCName,
        DomDCIP,
        JoinWorkgroupName,
        MinFreeSpace,
    };
    static constexpr int TextCount = 11;

    enum class Check : int {
        SourceUseLocal,
        DestUseLocal,
        JoinDomain,
        JoinWorkgroup,
        RebootAllow,
        RebootForce,
        CopyProfile,
        NoTempInternet,
        OverwriteProfile,
        MinFreeSpace,
    };
    static constexpr int CheckCount = 10;

    enum class Command : int {
        LookupSourceDC,
        LookupDestDC,
        LookupJoinDC,
        ObjSettingsSave,
        InheritFromParent,
        OverwriteChildren,
        AddUser,
        DeleteUser,
        AuthWizard,
        ChangePasswords,
    };
    static constexpr int CommandCount = 10;

    enum CheckValue : int {
        Unchecked = SettingsSection::Unchecked,
        Checked = SettingsSection::Checked,
        Grayed = SettingsSection::Grayed,
    };

    // The account commands that edit the loaded node's own accounts.
    enum class AccountCommand {
        AuthWizard,
        ChangePasswords,
    };

    // The panel's tabs, in their order.
    enum Tab : int {
        TabSourceDestination = 0,
        TabDomainJoin = 1,
        TabOptions = 2,
        TabAccounts = 3,
    };

    static constexpr int MaxMinFreeSpace = OptionsSection::MaxMinFreeSpace;
    static constexpr int RootIcon = TreeImage::DragFolder;
    static constexpr int GroupIcon = TreeImage::DragFolder;
    static constexpr int ComputerIcon = TreeImage::DragComputer;
    static constexpr int AccountLabelCount = AccountRowCount;

    // The control that shows a field or runs a command ("txtSourceDC").
    QString ControlName(Text field) const;
    QString ControlName(Check field) const;
    QString ControlName(Command command) const;
    // The five account labels in their order on the accounts tab:
    // "lblVarnoUser" ... "lblDestSIDUser", their captions ("Administrator A:")
    // and the account slot each one shows (1, 0, 2, 3, 4).
    static QString AccountLabelName(int index);
    static QString AccountCaption(int index);
    static int AccountSlot(int index);

    static inline const QString NotSpecified = NotSpecifiedAccount;

    explicit ObjectSettingsModel(QObject *parent = nullptr);
    ~ObjectSettingsModel() override;

    // The database the panel shows; it outlives the panel.
    void setDatabase(ComputerDB *database);
    ComputerDB *database() const { return m_db; }

    // Whether an add-migration dialog is there to open; without one the
    // add command stays disabled whatever the list holds.
    void setAddUserAvailable(bool available);

    // The sections, for the widgets that bind to them.
    ContextSection &sourceSection() { return m_source; }
    ContextSection &destinationSection() { return m_destination; }
    JoinSection &joinSection() { return m_join; }
    OptionsSection &optionsSection() { return m_options; }

    // ---- what the panel shows ----------------------------------------------
    QString text(Text field) const { return at(field).Section->text(at(field).Control); }
    bool textInherited(Text field) const { return at(field).Section->inherited(at(field).Control); }
    bool textLocked(Text field) const { return at(field).Section->locked(at(field).Control); }
    int check(Check field) const { return at(field).Section->check(at(field).Control); }
    bool checkLocked(Check field) const { return at(field).Section->locked(at(field).Control); }
    bool commandEnabled(Command command) const;

    QString title() const { return m_title; }
    // The tree image number of the header icon; 0 before anything was loaded.
    int headerIcon() const { return m_headerIcon; }
    QString subtitle() const { return m_subtitle; }
    // The tree text of the node whose record the loaded node inherits;
    // empty when the node has its own record. The accounts it shows are then
    // inherited as well.
    QString inheritedFrom() const { return m_inheritedFrom; }
    QString accountLabel(int index) const;
    QStringList userLines() const { return m_userLines; }
    bool userListEnabled() const { return m_userListEnabled; }

    // The loaded object: "G" with -1, "F" with a folder ID, "C" with a
    // computer ID; empty type before the first load.
    QString ObjectType() const { return m_objectType; }
    int ObjectID() const { return m_objectID; }
    // Its tree key: "F-1", "F" + ID or "C" + ID.
    QString ObjectKey() const;
    bool SettingsChanged() const { return m_settingsChanged; }

    // Where the last failed input check sent the administrator.
    struct CheckFailure
    {
        int Tab = -1;
        QString Control;
        QString Message;
    };
    const CheckFailure &lastCheckFailure() const { return m_lastFailure; }

    // ---- the panel's operations --------------------------------------------
    void LoadSelectedNode(const NodeInfo &node);
    void ClearSettingsDisplay();
    void RecurseDisplaySettings(const QString &objectType, int id, int level);
    void DisplaySettings(const GlobalSettingsPtr &record, bool inherited);
    void LoadAuthUsernames();
    void ObjectSettingsSetLockedFields();
    void LockProfileOptions();
    void LockRebootOptions();
    void SettingsChange(bool changed);
    // True when the command that asks may go on.
    bool PromptToSaveRecord();
    bool GeneralSettingsInputChecks();
    // True when the record was stored.
    bool SaveObjectSettings();

    // The loaded node's own record, else its effective one.
    GlobalSettingsPtr GetCurrentLoadedSettings() const;
    // Gives the loaded node its own copy of its effective record and returns it.
    GlobalSettingsPtr CloneAtThisLevel();
    void cmdInheritFromParent_Click();
    void cmdOverwriteChildren_Click();

    // Runs an account dialog on the loaded node's own record. A node that
    // inherits is asked about first and, on Yes, given its own copy. The
    // record is not Valid while the dialog is open; a dialog that confirms
    // sets Valid, and the panel shows the new accounts. Whichever way the
    // dialog ends (cancelled, closed, failed) the record is Valid afterwards.
    void EditAccounts(AccountCommand command, const std::function<void(const GlobalSettingsPtr &record)> &dialog);

    void LoadUserList(int computerID);
    void DisplayUserList();
    // `selectedLine` is the list line, -1 for none.
    void cmdDeleteUser_Click(int selectedLine);
    // The list the add dialog edits; nullptr unless a computer is loaded.
    UserProfilesPtr currentUserList() const { return m_userList; }
    // After the add dialog changed the current list: show it, store it back.
    void UserListEdited(const UserProfiles &before);

    // ---- user edits ----------------------------------------------------------
    // The change handler of a text box.
    void TextChange(Text field, const QString &text);
    // The click handler of a check box: unticked becomes ticked (1), ticked
    // or greyed becomes unticked.
    void CheckClick(Check field);
    void cmdLookup_Click(Command command);

Q_SIGNALS:
    // Anything the controls show may have changed.
    void stateChanged();
    // SettingsChange ran; the main window keeps its SettingsChanged in step.
    void settingsChangeChanged(bool changed);
    // A failed input check: select `tab`, focus the control (before the message shows).
    void focusRequested(int tab, const QString &controlName);
    void settingsSaved();
    // Own records were attached or removed, so the tree's settings images may differ.
    void treeIconsChanged();

private:
    // Where a field of the panel lives.
    struct Place
    {
        SettingsSection *Section = nullptr;
        int Control = 0;
    };

    // Collects stateChanged() to one emission per outermost operation.
    class Notify;
    friend class Notify;

    Place at(Text field) const { return m_textPlaces[static_cast<size_t>(field)]; }
    Place at(Check field) const { return m_checkPlaces[static_cast<size_t>(field)]; }
    Place at(Command command) const { return m_commandPlaces[static_cast<size_t>(command)]; }
    bool isOn(Check field) const { return check(field) != Unchecked; }
    std::array<SettingsSection *, 4> sections() { return {&m_source, &m_destination, &m_join, &m_options}; }
    void clearUserList();
    QString nodeText(const QString &key) const;
    bool fail(int tab, Text field, const QString &message);

    ComputerDB *m_db = nullptr;
    ContextSection m_source {ContextSection::Side::Source};
    ContextSection m_destination {ContextSection::Side::Destination};
    JoinSection m_join;
    OptionsSection m_options;
    std::array<Place, TextCount> m_textPlaces;
    std::array<Place, CheckCount> m_checkPlaces;
    std::array<Place, CommandCount> m_commandPlaces;
    std::array<QString, AccountLabelCount> m_accountLabels;

    QString m_objectType;
    int m_objectID = -1;
    NodeInfo m_node;
    bool m_settingsChanged = false;

    QString m_title;
    int m_headerIcon = 0;
    QString m_subtitle;
    QString m_inheritedFrom;

    UserProfilesPtr m_userList;
    QStringList m_userLines;
    bool m_userListEnabled = false;
    bool m_addUserAllowed = false;
    bool m_deleteUserAllowed = false;
    bool m_addUserAvailable = false;

    CheckFailure m_lastFailure;
    int m_notifyDepth = 0;
    bool m_notifyPending = false;
};

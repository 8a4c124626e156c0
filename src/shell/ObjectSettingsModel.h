#pragma once

#include "common/TreeImage.h"
#include "common/modGeneral.h"
#include "settings/GlobalSettings.h"
#include "settings/UserProfiles.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <initializer_list>

class ComputerDB;

// The rules of the main window's object-settings panel, without a widget:
// what the panel shows for the selected node (own values in the normal
// colour, inherited ones grey and ticked boxes greyed), which fields lock,
// the coupled options, the unsaved-edits state and its prompt, the input
// checks, the save, inherit-from-parent, overwrite-children and the
// computer's user migration list.
//
// The panel widget copies this state into its controls and hands every user
// edit back (TextChange, CheckClick, the command handlers); stateChanged()
// says when to copy again. Procedure names in messages and error reports are
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

    // Check box values: a ticked box is Checked for a value the node defines
    // itself and Grayed for one it inherits.
    enum CheckValue : int {
        Unchecked = 0,
        Checked = 1,
        Grayed = 2,
    };

    // The panel's tabs, in their order.
    enum Tab : int {
        TabSourceDestination = 0,
        TabDomainJoin = 1,
        TabOptions = 2,
        TabAccounts = 3,
    };

    static constexpr int MaxMinFreeSpace = 102400;
    static constexpr int RootIcon = TreeImage::DragFolder;
    static constexpr int GroupIcon = TreeImage::DragFolder;
    static constexpr int ComputerIcon = TreeImage::DragComputer;
    static constexpr int AccountLabelCount = 5;

    // The control that shows a field or runs a command ("txtSourceDC").
    static QString ControlName(Text field);
    static QString ControlName(Check field);
    static QString ControlName(Command command);
    // The five account labels in their order on the accounts tab:
    // "lblVarnoUser" ... "lblDestSIDUser", their captions ("Administrator A:")
    // and the account slot each one shows (1, 0, 2, 3, 4).
    static QString AccountLabelName(int index);
    static QString AccountCaption(int index);
    static int AccountSlot(int index);

    static inline const QString NotSpecified = QStringLiteral("- Not specified -");
    // Shown in the empty workgroup field as a prompt, never stored as its text:
    // a prompt saved as a name would only earn "Invalid characters found".
    static inline const QString WorkgroupPrompt = QStringLiteral("<Enter Workgroup Name Here>");

    explicit ObjectSettingsModel(QObject *parent = nullptr);
    ~ObjectSettingsModel() override;

    // The database the panel shows; it outlives the panel.
    void setDatabase(ComputerDB *database);
    ComputerDB *database() const { return m_db; }

    // Whether an add-migration dialog is there to open; without one the
    // add command stays disabled whatever the list holds.
    void setAddUserAvailable(bool available);

    // ---- what the panel shows ----------------------------------------------
    QString text(Text field) const { return m_texts[index(field)].Text; }
    bool textInherited(Text field) const { return m_texts[index(field)].Inherited; }
    bool textLocked(Text field) const { return m_texts[index(field)].Locked; }
    int check(Check field) const { return m_checks[index(field)].Value; }
    bool checkLocked(Check field) const { return m_checks[index(field)].Locked; }
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

    void LoadUserList(int computerID);
    void DisplayUserList();
    // `selectedLine` is the list line, -1 for none.
    void cmdDeleteUser_Click(int selectedLine);
    // The list the add dialog edits; nullptr unless a computer is loaded.
    UserProfilesPtr currentUserList() const { return m_userList; }
    // After the add dialog changed the current list: show it, store it back.
    void UserListEdited();

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
    struct TextState
    {
        QString Text;
        bool Inherited = false;
        bool Locked = false;
    };
    struct CheckState
    {
        int Value = Unchecked;
        bool Locked = false;
    };

    // Collects stateChanged() to one emission per outermost operation.
    class Notify;
    friend class Notify;

    static size_t index(Text field) { return static_cast<size_t>(field); }
    static size_t index(Check field) { return static_cast<size_t>(field); }

    TextState &textState(Text field) { return m_texts[index(field)]; }
    CheckState &checkState(Check field) { return m_checks[index(field)]; }
    void setText(Text field, const QString &text) { textState(field).Text = text; }
    void setCheck(Check field, int value) { checkState(field).Value = value; }
    bool isOn(Check field) const { return check(field) != Unchecked; }
    // Empties and locks the fields when `lock`, unlocks them otherwise.
    void lockTexts(std::initializer_list<Text> fields, bool lock, bool empty);
    void clearUserList();
    QString nodeText(const QString &key) const;
    bool fail(int tab, Text field, const QString &message);

    ComputerDB *m_db = nullptr;
    std::array<TextState, TextCount> m_texts;
    std::array<CheckState, CheckCount> m_checks;
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

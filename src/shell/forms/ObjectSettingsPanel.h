#pragma once

#include "shell/ObjectSettingsModel.h"

#include <QIcon>
#include <QWidget>

#include <array>
#include <functional>

class ComputerDB;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
struct ValidationReport;

// The object-settings panel of the main window: the header, the four tabs
// (source and destination, domain join, options, accounts), the computer's
// profiles list and the save, inherit and overwrite buttons. Every control
// carries its console name as objectName ("txtSourceDC", "cmdObjSettingsSave").
//
// The panel only copies ObjectSettingsModel's state into its controls and
// hands the administrator's edits back; the rules live in the model.
//
// The main window hosts it in `fmObjectSettings` and uses:
// - setDatabase once, after creating the database;
// - LoadSelectedNode after every selection, rename, add or delete;
// - PromptToSaveRecord before anything that leaves the loaded node (a new
//   selection, an import, the start of a run); false means: do not go on;
// - SettingsChange(false) and SelectTab(0) at start-up;
// - CloneAtThisLevel / GetCurrentLoadedSettings for the account wizards;
// - the signals, to keep its SettingsChanged in step and refresh the tree.
class ObjectSettingsPanel final : public QWidget
{
    Q_OBJECT

public:
    explicit ObjectSettingsPanel(QWidget *parent = nullptr);
    ~ObjectSettingsPanel() override;

    void setDatabase(ComputerDB *database);
    // The tree's images by number (9 folder, 6 computer) for the header icon.
    using IconProvider = std::function<QIcon(int imageNumber)>;
    void setIconProvider(IconProvider provider);
    // Opens the add-migration dialog on a computer's list, modally; the
    // console's own unless another is set. Without one "&Add" stays disabled.
    using AddMigrationDialog = std::function<void(QWidget *owner, const UserProfilesPtr &list)>;
    void setAddMigrationDialog(AddMigrationDialog dialog);
    const AddMigrationDialog &addMigrationDialog() const { return m_addMigrationDialog; }

    void LoadSelectedNode(const NodeInfo &node);
    bool PromptToSaveRecord();
    bool SaveObjectSettings();
    void SettingsChange(bool changed);
    bool SettingsChanged() const;
    void SelectTab(int index);
    int CurrentTab() const;
    // The page and field a validation fault names; a field that cannot take
    // the focus is passed over.
    void ShowValidationFault(const ValidationReport &report);
    GlobalSettingsPtr GetCurrentLoadedSettings() const;
    GlobalSettingsPtr CloneAtThisLevel();

    ObjectSettingsModel &model() { return m_model; }

Q_SIGNALS:
    void settingsChangeChanged(bool changed);
    void settingsSaved();
    // Own settings records were attached or removed: the tree's settings images may differ.
    void treeIconsChanged();

private:
    using Command = ObjectSettingsModel::Command;

    QWidget *createSourceDestinationTab();
    QWidget *createDomainJoinTab();
    QWidget *createOptionsTab();
    QWidget *createAccountsTab();
    QWidget *createProfilesBox();
    QPushButton *addButton(Command command, const QString &caption, QWidget *parent);

    void refresh();
    void focusField(int tab, const QString &controlName);
    void cmdAddUser_Click();
    void cmdChangePasswords_Click();
    void cmdAuthWizard_Click();
    void cmdDeleteUser_Click();
    QIcon headerIcon(int imageNumber) const;

    ObjectSettingsModel m_model;
    IconProvider m_iconProvider;
    AddMigrationDialog m_addMigrationDialog;

    QLabel *m_imgObjSetIcon = nullptr;
    QLabel *m_lblObjSetTitle = nullptr;
    QLabel *m_lblCommon = nullptr;
    QLabel *m_lblInheritedFrom = nullptr;
    QTabWidget *m_tabs = nullptr;
    QListWidget *m_lstMigrateUsers = nullptr;
    std::array<QPushButton *, ObjectSettingsModel::CommandCount> m_commands {};
    std::array<QLabel *, ObjectSettingsModel::AccountLabelCount> m_accountLabels {};
    int m_shownIcon = -1;
};

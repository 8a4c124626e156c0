#pragma once

#include "common/RunState.h"
#include "job/MigrationRun.h"

#include <QList>
#include <QMainWindow>
#include <QMap>

#include <array>
#include <memory>
#include <utility>

class ComputerDB;
class ComputerTreeView;
class FleetView;
class JobReportMenus;
class MainToolBar;
class ObjectSettingsPanel;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QTabWidget;
class QXEHandler;
class QXEInterface;
class PingTest;
class TreeFindBar;
class RunControlPane;
class SettingsFileController;
class TreeCommands;
class UndoHistory;
struct SettingsFileResult;
struct TreePopup;

// The console's main window: the computer tree on the left, the settings of
// the selected node (or, during a run, the progress log) on the right, and
// the menus.
//
// Where the other parts of the window go:
// - the left side of `splitMain` is `tabComputers`: its tab "Tree" is the
//   tree pane `fmComputers`, which holds `tvMain` and the buttons
//   `cmdCompNew` and `cmdFoldNew`, its tab "Fleet" the flat list `m_fleet`;
// - `fmObjectSettings` (right) holds the settings panel, `fmProgressLog`
//   (right, same place) the progress log; FrameVisibility shows one of them;
// - the toolbar `tbMain` (MainToolBar) shows some of the menu items again,
//   as the same QActions;
// - every menu item is a QAction member named as the item (`mnuSave`, ...),
//   created disabled where its feature is not there yet; the tree's pop-up
//   menu is `mnuTVRightClick`.
//
// The window only routes: the tree's gestures are TreeCommands, the panel's
// rules ObjectSettingsModel, the File menu's files SettingsFileController.
// What it adds is the order between them: the panel's unsaved edits are
// offered for saving before anything else is shown or loaded.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // Each time the window becomes active: the caption, and the first time
    // the welcome screen. Runs from the event loop, never inside the
    // activation itself, because the welcome screen is modal.
    void Form_Activate();
    // At the first start after a console went away from a run that goes
    // on: asks whether to follow it again, and does. True when it did.
    bool OfferReattach();
    // Remembers the run just started on a real engine until it completes.
    void rememberRun();

    void SetMainCaption();
    // A second console was started: the window shows itself, restored if
    // minimised, in front of the others.
    void BringToFront();
    // File > New Settings: an empty database and a fresh job name.
    void NewSettingsFile();
    void ReloadRecentlyUsed();
    // Asked by the job-name dialog before it applies a new name.
    void PromptToSaveNewName(const QString &newJobName);
    // Written by the welcome screen's choice; read once it has closed.
    void setWelcomeAction(quint8 action) { m_welcomeAction = action; }

    // Shows the settings panel while no run is going on, the progress log while one is.
    void FrameVisibility();
    // The panel holds edits not yet saved.
    void SettingsChange(bool changed);
    bool SettingsChanged() const;
    // Shows the selected node's settings in the panel. Edits of another node
    // that are not saved are offered for saving first; Cancel keeps them,
    // and the tree goes back to their node.
    void LoadSelectedNode();
    // After the setup wizard: the tree built again, in front of the progress window.
    void ReloadComputerDatabase();
    void mnuImportADS_Click();

    // ---- run control ----
    // Tools > Start Migration: the checks and questions, then the run.
    void StartMigration();
    // Done under the progress log: back to editing.
    void cmdDone_Click();
    // Tools > Tests, the ping test's start entry, and its stop entry while it runs.
    // The network test's start and stop command.
    void NetworkTest();
    void mnuPingStart_Click();
    // Edit > Migration Job Name.
    void mnuMigJobName_Click();
    // File > Roll Back Computers...
    void mnuRollBack_Click();
    // Tools > Waves...
    void mnuWaves_Click();
    // Edit > Set Wave... and the pop-up's: the selection's computers into a wave.
    void mnuSetWave_Click();
    RunControlPane *runControl() const { return m_runControl; }
    MigrationRun *run() const { return m_run.get(); }

    ComputerDB *database() const { return Database.get(); }
    ComputerTreeView *treeView() const { return tvMain; }
    FleetView *fleetView() const { return m_fleet; }
    TreeCommands &tree() const;
    ObjectSettingsPanel *objectSettings() const { return m_objectSettings; }
    SettingsFileController *settingsFiles() const { return m_settingsFiles.get(); }
    QXEInterface *engine() const { return wintQXE.get(); }
    // The last status the engine reported for each computer, by ID; what
    // Save Migration State writes. The run fills it; a loaded migration
    // state brings it back.
    QMap<int, QString> &LastClientStatus() { return m_run->LastStatuses(); }

    int TwipsPerPixelX() const { return m_twipsPerPixelX; }
    int TwipsPerPixelY() const { return m_twipsPerPixelY; }
    // The tree pane's width in twips, as kept in "PaneSize"; the tree's own
    // while the wider Fleet tab is showing.
    int PaneSize() const;

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenus();
    void createPanes();
    void createStatusBar();
    // The toolbar `tbMain`: menu entries the menus have made, with View > Toolbar.
    void createToolBar();
    // The settings file, its unsaved changes, the counts and a run's tally.
    void UpdateStatusBar();

    void Form_Load();
    void LoadImages();
    void InitMenu();
    void InitializeTreeView();
    void ClearTreeView();
    void DefaultTVSelect();
    void LoadWindowSettings();
    void SaveWindowSettings();
    void connectCommands();
    // A new engine wrapper around `engine`, or the one the registry value
    // Engine chooses.
    void CreateEngineWrapper(std::unique_ptr<QXEHandler> engine = {});
    // The menus, the buttons and the panes as RunState's table has them now.
    void RunStateChanged();
    void UpdateSaveRunReport();
    // Set Wave needs a wave to choose, besides the run state's leave.
    void UpdateSetWave();

    // The settings-file prompt before New Settings, Load and exit; true: go on.
    bool PromptToSaveSettingsFile();
    // An empty path asks for the file.
    void LoadSettingsFile(const QString &path);
    void SaveSettingsFileCopy(const QString &newJobName);
    void SettingsFileLoaded(const SettingsFileResult &result);
    // Edit > Undo (or Redo): the panel's edits are offered for saving first.
    void mnuUndo_Click(bool redo);
    // What Undo and Redo offer, and whether they may.
    void UpdateUndo();
    // The tree, the panel and the fleet after undo or redo changed the database.
    void ShowUndoneState();
    // The Easy Setup Wizard's hook.
    void StartEasySetupWizard();

    // A gesture that selects another node asks about the panel's edits first.
    bool PanelMayLeave();
    bool LoadedObjectExists() const;
    void tvMain_PopupMenu(const TreePopup &popup, const QPoint &globalPos);
    void ComputersTabChanged(int index);
    void cmdCompNew_Click();
    void cmdFoldNew_Click();
    void mnuRefresh_Click();
    void mnuRecent_Click(int index);
    void mnuHelpContent_Click();
    void mnuAbout_Click();

    // ---- menus ----
    QMenu *mnuFile = nullptr;
    QAction *mnuNewSettings = nullptr;
    QAction *mnuSave = nullptr;
    QAction *mnuSaveAs = nullptr;
    QAction *mnuSaveState = nullptr;
    QAction *mnuSaveRunReport = nullptr;
    QAction *mnuRollBack = nullptr;
    QAction *mnuLoad = nullptr;
    QMenu *mnuRecentlyUsed = nullptr;
    std::array<QAction *, 5> mnuRecent {};
    QMenu *mnuImport = nullptr;
    QAction *mnuImportADS = nullptr;
    QAction *mnuImportUsersFile = nullptr;
    QAction *mnuExit = nullptr;

    QMenu *mnuEdit = nullptr;
    QAction *mnuUndo = nullptr;
    QAction *mnuRedo = nullptr;
    QAction *mnuNewComputer = nullptr;
    QAction *mnuNewGroup = nullptr;
    QAction *mnuMigJobName = nullptr;
    QAction *mnuSetWave = nullptr;
    // Edits of every computer of the selection at once.
    QAction *mnuGiveOwnSettings = nullptr;
    QAction *mnuSetSettings = nullptr;
    QAction *mnuInheritSettings = nullptr;
    QAction *mnuAddAllUsers = nullptr;
    QAction *mnuAddUserMigration = nullptr;
    // In or out of the job, settings and users kept.
    QAction *mnuEnableComputers = nullptr;
    QAction *mnuDisableComputers = nullptr;

    QMenu *mnuView = nullptr;
    QAction *mnuHandlerLog = nullptr;
    QMenu *mnuTransferorLogs = nullptr;
    QAction *mnuClientLogsFolder = nullptr;
    QAction *mnuRefresh = nullptr;

    QMenu *mnuTools = nullptr;
    QAction *mnuSetupWizard = nullptr;
    QAction *mnuConfiguration = nullptr;
    QAction *mnuWaves = nullptr;
    QMenu *mnuTests = nullptr;
    QAction *mnuPingStart = nullptr;
    QAction *mnuPingStop = nullptr;
    QAction *mnuMoveTo = nullptr;
    QAction *mnuTVMoveTo = nullptr;
    QAction *mnuTVSetWave = nullptr;
    QAction *mnuFind = nullptr;
    QAction *mnuFindNext = nullptr;
    QAction *mnuFindPrevious = nullptr;
    QAction *mnuExpandAll = nullptr;
    QAction *mnuCollapseAll = nullptr;
    QAction *mnuNetworkTestStart = nullptr;
    QAction *mnuNetworkTestStop = nullptr;
    QAction *mnuStartMigration = nullptr;
    QAction *mnuCancelMigration = nullptr;
    QAction *mnuAbortMigration = nullptr;
    QAction *mnuCancelClient = nullptr;
    QAction *mnuAbortClient = nullptr;

    QMenu *mnuHelp = nullptr;
    QAction *mnuHelpContent = nullptr;
    QAction *mnuAbout = nullptr;

    QMenu *mnuTVRightClick = nullptr;
    QAction *mnuTVRename = nullptr;
    QAction *mnuTVDelete = nullptr;
    QAction *mnuOpenClientLog = nullptr;
    QAction *mnuPopCancelClient = nullptr;
    QAction *mnuPopAbortClient = nullptr;

    // ---- panes ----
    QSplitter *splitMain = nullptr;
    QTabWidget *tabComputers = nullptr;
    QFrame *fmComputers = nullptr;
    FleetView *m_fleet = nullptr;
    ComputerTreeView *tvMain = nullptr;
    QPushButton *cmdCompNew = nullptr;
    QPushButton *cmdFoldNew = nullptr;
    QFrame *fmObjectSettings = nullptr;
    ObjectSettingsPanel *m_objectSettings = nullptr;
    QFrame *fmProgressLog = nullptr;
    RunControlPane *m_runControl = nullptr;
    PingTest *m_pingTest = nullptr;
    TreeFindBar *m_findBar = nullptr;
    MainToolBar *tbMain = nullptr;
    JobReportMenus *m_jobReports = nullptr;
    QLabel *lblStatusFile = nullptr;
    QLabel *lblStatusCounts = nullptr;
    QLabel *lblStatusRun = nullptr;
    // The computers of the running ping test, in the order it pings them.
    QStringList m_pingKeys;

    // ---- state ----
    // The one computer database: made with the window, because the tree and
    // the panel hold it from their creation; cleared at load and by New
    // Settings, never replaced. Declared before everything that uses it.
    std::unique_ptr<ComputerDB> Database;
    // Edit > Undo and Redo over every change to the database.
    UndoHistory *m_history = nullptr;
    std::unique_ptr<SettingsFileController> m_settingsFiles;
    // The run control; it keeps every computer's last status.
    std::unique_ptr<MigrationRun> m_run;
    // The engine wrapper, whose events the window handles during a run.
    std::unique_ptr<QXEInterface> wintQXE;
    quint8 m_welcomeAction = 0;
    bool WelcomePending = false;
    bool m_shown = false;
    // The menu entries RunState enables and disables, each with its command.
    // The pop-up's rename, delete and move follow the node as well and are
    // set when the pop-up opens (TreePopup).
    QList<std::pair<QAction *, RunState::Command>> m_stateCommands;
    // The tree pane's width while the Fleet tab is showing; 0 otherwise.
    int m_treePaneWidth = 0;
    int m_twipsPerPixelX = 15;
    int m_twipsPerPixelY = 15;
};

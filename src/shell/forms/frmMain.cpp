#include "shell/forms/frmMain.h"

#include "common/AppState.h"
#include "common/ConsoleConfig.h"
#include "common/Presenter.h"
#include "common/RunState.h"
#include "undo/UndoHistory.h"
#include "common/TreeImage.h"
#include "common/modErrorHandler.h"
#include "common/modGeneral.h"
#include "common/modRehearsal.h"
#include "common/modRollback.h"
#include "common/widgets/modKeyboard.h"
#include "config/forms/frmConfiguration.h"
#include "database/ComputerDB.h"
#include "engine/ClientStatus.h"
#include "engine/NetworkTest.h"
#include "engine/QXEHandler.h"
#include "engine/QXEInterface.h"
#include "engine/modEngine.h"
#include "import/forms/frmImportADS.h"
#include "import/forms/frmImportUsers.h"
#include "job/ClientCheck.h"
#include "job/StartMigration.h"
#include "job/modRunReport.h"
#include "network/PingTest.h"
#include "shell/SettingsFileController.h"
#include "shell/TreeCommands.h"
#include "shell/forms/ComputerTreeView.h"
#include "shell/forms/FleetView.h"
#include "shell/forms/JobReportMenus.h"
#include "shell/forms/LogViewMenus.h"
#include "shell/forms/MainToolBar.h"
#include "shell/forms/ObjectSettingsPanel.h"
#include "shell/forms/RunControlPane.h"
#include "shell/forms/TreeFindBar.h"
#include "shell/forms/frmAbout.h"
#include "shell/forms/frmMigJobName.h"
#include "shell/forms/frmRollback.h"
#include "shell/forms/frmSetSettings.h"
#include "shell/forms/frmWaves.h"
#include "shell/forms/frmWelcome.h"
#include "shell/modHelp.h"
#include "shell/modRecentlyUsed.h"
#include "shell/modStartup.h"
#include "shell/modWindowSettings.h"
#include "validation/ValidationReport.h"
#include "wizards/forms/frmSetupWizard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

using namespace modWindowSettings;
using Command = RunState::Command;

namespace {

const QString CR = QStringLiteral("\r");

// The tree pane's width when none was saved (twips).
constexpr int DefaultPaneTwips = 4200;

QAction *addItem(QMenu *menu, const char *name, const QString &caption, bool enabled)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setEnabled(enabled);
    return action;
}

QMenu *addSubmenu(QMenu *parent, const char *name, const QString &caption)
{
    QMenu *menu = parent->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

QMenu *addMenu(QMenuBar *bar, const char *name, const QString &caption)
{
    QMenu *menu = bar->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

// A path as a menu caption: "&" would otherwise mark an accelerator.
QString menuCaption(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// The whole screen, and the part of it that panels and docks leave free.
std::pair<QSize, QRect> screenAreas()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {QSize(1024, 768), QRect(0, 0, 1024, 768)};
    return {screen->geometry().size(), screen->availableGeometry()};
}

} // namespace

frmMain::frmMain(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    Database = std::make_unique<ComputerDB>();
    m_history = new UndoHistory(*Database, this);
    m_run = std::make_unique<MigrationRun>(*Database);
    m_settingsFiles = std::make_unique<SettingsFileController>(*Database);
    m_settingsFiles->setOwner(this);
    createMenus();
    createPanes();
    createStatusBar();
    // A run that completed has nothing left to attach to.
    connect(m_run.get(), &MigrationRun::ProcessingComplete, this, [] { ConsoleConfig().Write(ConsoleConfig::LastRun, QString()); });
    connectCommands();
    createToolBar();
    Form_Load();
}

frmMain::~frmMain()
{
    // The tree and the history go with the window's children, after the
    // database: neither may reach it then.
    delete m_history;
    if (Database)
        Database->UnlinkTreeView();
}

TreeCommands &frmMain::tree() const
{
    return *tvMain->commands();
}

// ---- the form's design ------------------------------------------------------

void frmMain::createMenus()
{
    QMenuBar *bar = menuBar();

    // Items of features still to come are present, and greyed until then.
    mnuFile = addMenu(bar, "mnuFile", QStringLiteral("&File"));
    mnuNewSettings = addItem(mnuFile, "mnuNewSettings", QStringLiteral("&New Settings"), true);
    mnuFile->addSeparator();
    mnuNewSettings->setShortcut(QKeySequence::New);
    mnuSave = addItem(mnuFile, "mnuSave", QStringLiteral("&Save Settings"), true);
    mnuSave->setShortcut(QKeySequence::Save);
    mnuSaveAs = addItem(mnuFile, "mnuSaveAs", QStringLiteral("Save Settings &As..."), true);
    mnuSaveState = addItem(mnuFile, "mnuSaveState", QStringLiteral("Save &Migration State..."), true);
    mnuSaveRunReport = addItem(mnuFile, "mnuSaveRunReport", QStringLiteral("Save Run Re&port..."), false);
    mnuRollBack = addItem(mnuFile, "mnuRollBack", QStringLiteral("Roll &Back Computers..."), true);
    mnuFile->addSeparator();
    mnuLoad = addItem(mnuFile, "mnuLoad", QStringLiteral("&Load Settings"), true);
    mnuLoad->setShortcut(QKeySequence::Open);
    mnuRecentlyUsed = addSubmenu(mnuFile, "mnuRecentlyUsed", QStringLiteral("&Recent"));
    for (int i = 0; i < modRecentlyUsed::Count; ++i) {
        const QByteArray name = "mnuRecent" + QByteArray::number(i);
        mnuRecent[i] = addItem(mnuRecentlyUsed, name.constData(), modRecentlyUsed::NoneCaption, false);
        connect(mnuRecent[i], &QAction::triggered, this, [this, i] { mnuRecent_Click(i); });
    }
    mnuFile->addSeparator();
    mnuImport = addSubmenu(mnuFile, "mnuImport", QStringLiteral("&Import"));
    mnuImportADS = addItem(mnuImport, "mnuImportADS", QStringLiteral("&Computers from Active Directory..."), true);
    mnuImportUsersFile = addItem(mnuImport, "mnuImportUsersFile", QStringLiteral("From &File..."), true);
    mnuFile->addSeparator();
    mnuExit = addItem(mnuFile, "mnuExit", QStringLiteral("E&xit"), true);

    mnuEdit = addMenu(bar, "mnuEdit", QStringLiteral("&Edit"));
    mnuUndo = addItem(mnuEdit, "mnuUndo", QStringLiteral("&Undo"), false);
    mnuUndo->setShortcut(QKeySequence::Undo);
    mnuRedo = addItem(mnuEdit, "mnuRedo", QStringLiteral("&Redo"), false);
    mnuRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    mnuEdit->addSeparator();
    mnuNewComputer = addItem(mnuEdit, "mnuNewComputer", QStringLiteral("New &Computer"), true);
    mnuNewGroup = addItem(mnuEdit, "mnuNewGroup", QStringLiteral("New &Group"), true);
    mnuEdit->addSeparator();
    mnuMoveTo = addItem(mnuEdit, "mnuMoveTo", QStringLiteral("Mo&ve To..."), true);
    mnuSetWave = addItem(mnuEdit, "mnuSetWave", QStringLiteral("Set &Wave..."), false);
    mnuGiveOwnSettings = addItem(mnuEdit, "mnuGiveOwnSettings", QStringLiteral("Give &Own Settings"), true);
    mnuSetSettings = addItem(mnuEdit, "mnuSetSettings", QStringLiteral("Set Se&ttings..."), true);
    mnuInheritSettings = addItem(mnuEdit, "mnuInheritSettings", QStringLiteral("In&herit Settings"), true);
    mnuAddAllUsers = addItem(mnuEdit, "mnuAddAllUsers", QStringLiteral("Add A&ll Users"), true);
    mnuAddUserMigration = addItem(mnuEdit, "mnuAddUserMigration", QStringLiteral("Add User Migrat&ion..."), true);
    mnuEnableComputers = addItem(mnuEdit, "mnuEnableComputers", QStringLiteral("&Enable"), true);
    mnuDisableComputers = addItem(mnuEdit, "mnuDisableComputers", QStringLiteral("&Disable"), true);
    for (QAction *item : {mnuGiveOwnSettings, mnuSetSettings, mnuInheritSettings, mnuAddAllUsers, mnuAddUserMigration,
             mnuEnableComputers, mnuDisableComputers})
        item->setStatusTip(QStringLiteral("Every selected computer, and every computer of the selected groups, at once."));
    // Set Wave's tooltip says why it is greyed.
    mnuEdit->setToolTipsVisible(true);
    mnuEdit->addSeparator();
    mnuFind = addItem(mnuEdit, "mnuFind", QStringLiteral("&Find..."), true);
    mnuFind->setShortcut(QKeySequence::Find);
    mnuFindNext = addItem(mnuEdit, "mnuFindNext", QStringLiteral("Find &Next"), true);
    mnuFindNext->setShortcut(QKeySequence::FindNext);
    mnuFindPrevious = addItem(mnuEdit, "mnuFindPrevious", QStringLiteral("Find &Previous"), true);
    mnuFindPrevious->setShortcut(QKeySequence::FindPrevious);
    mnuEdit->addSeparator();
    mnuMigJobName = addItem(mnuEdit, "mnuMigJobName", QStringLiteral("&Migration Job Name..."), true);

    mnuView = addMenu(bar, "mnuView", QStringLiteral("&View"));
    mnuHandlerLog = addItem(mnuView, "mnuHandlerLog", QStringLiteral("&Handler Log"), true);
    mnuTransferorLogs = addSubmenu(mnuView, "mnuTransferorLogs", QStringLiteral("&Transferor Logs"));
    mnuClientLogsFolder = addItem(mnuView, "mnuClientLogsFolder", QStringLiteral("&Client Logs Folder"), true);
    mnuView->addSeparator();
    mnuExpandAll = addItem(mnuView, "mnuExpandAll", QStringLiteral("&Expand All"), true);
    mnuCollapseAll = addItem(mnuView, "mnuCollapseAll", QStringLiteral("Co&llapse All"), true);
    mnuView->addSeparator();
    mnuRefresh = addItem(mnuView, "mnuRefresh", QStringLiteral("&Refresh"), true);
    mnuRefresh->setShortcut(QKeySequence(Qt::Key_F5));

    mnuTools = addMenu(bar, "mnuTools", QStringLiteral("&Tools"));
    mnuSetupWizard = addItem(mnuTools, "mnuSetupWizard", QStringLiteral("&Easy Setup Wizard..."), true);
    mnuConfiguration = addItem(mnuTools, "mnuConfiguration", QStringLiteral("&Configuration..."), true);
    mnuWaves = addItem(mnuTools, "mnuWaves", QStringLiteral("&Waves..."), true);
    mnuTools->addSeparator();
    mnuTests = addSubmenu(mnuTools, "mnuTests", QStringLiteral("&Tests"));
    mnuPingStart = addItem(mnuTests, "mnuPingStart", QStringLiteral("Start &Ping Client Test"), true);
    mnuPingStop = addItem(mnuTests, "mnuPingStop", QStringLiteral("Stop &Ping Client Test"), true);
    mnuPingStop->setVisible(false);
    mnuTests->addSeparator();
    mnuNetworkTestStart = addItem(mnuTests, "mnuNetworkTestStart", QStringLiteral("Start &Network Test..."), true);
    mnuNetworkTestStop = addItem(mnuTests, "mnuNetworkTestStop", QStringLiteral("Stop &Network Test..."), true);
    mnuNetworkTestStop->setVisible(false);
    mnuTools->addSeparator();
    mnuStartMigration = addItem(mnuTools, "mnuStartMigration", QStringLiteral("&Start Migration..."), true);
    mnuCancelMigration = addItem(mnuTools, "mnuCancelMigration", QStringLiteral("Cancel Migration"), false);
    mnuAbortMigration = addItem(mnuTools, "mnuAbortMigration", QStringLiteral("Abort Migration..."), false);
    mnuTools->addSeparator();
    // "&Configuration..." has the C of the Tools menu; the pop-up's "&Cancel Client" keeps it.
    mnuCancelClient = addItem(mnuTools, "mnuCancelClient", QStringLiteral("Cancel C&lient"), false);
    mnuAbortClient = addItem(mnuTools, "mnuAbortClient", QStringLiteral("&Abort Client..."), false);

    mnuHelp = addMenu(bar, "mnuHelp", QStringLiteral("&Help"));
    mnuHelpContent = addItem(mnuHelp, "mnuHelpContent", QStringLiteral("&Contents..."), true);
    mnuHelpContent->setShortcut(QKeySequence(Qt::Key_F1));
    mnuHelp->addSeparator();
    mnuAbout = addItem(mnuHelp, "mnuAbout", QStringLiteral("&About..."), true);

    // The tree's pop-up menu: shown by the tree on a right click.
    mnuTVRightClick = new QMenu(this);
    mnuTVRightClick->setObjectName(QStringLiteral("mnuTVRightClick"));
    mnuTVRename = addItem(mnuTVRightClick, "mnuTVRename", QStringLiteral("&Rename"), false);
    mnuTVDelete = addItem(mnuTVRightClick, "mnuTVDelete", QStringLiteral("&Delete"), false);
    mnuTVMoveTo = addItem(mnuTVRightClick, "mnuTVMoveTo", QStringLiteral("&Move To..."), false);
    mnuTVSetWave = addItem(mnuTVRightClick, "mnuTVSetWave", QStringLiteral("Set &Wave..."), false);
    mnuTVRightClick->setToolTipsVisible(true);
    mnuTVRightClick->addSeparator();
    mnuTVRightClick->addAction(mnuExpandAll);
    mnuTVRightClick->addAction(mnuCollapseAll);
    mnuTVRightClick->addSeparator();
    mnuOpenClientLog = addItem(mnuTVRightClick, "mnuOpenClientLog", QStringLiteral("&Open Newest Client Log"), false);
    mnuTVRightClick->addSeparator();
    mnuPopCancelClient = addItem(mnuTVRightClick, "mnuPopCancelClient", QStringLiteral("&Cancel Client"), false);
    mnuPopAbortClient = addItem(mnuTVRightClick, "mnuPopAbortClient", QStringLiteral("&Abort Client"), false);

    m_stateCommands = {{mnuNewComputer, Command::NewComputer}, {mnuNewGroup, Command::NewGroup}, {mnuMoveTo, Command::Move},
        {mnuRefresh, Command::Refresh}, {mnuNewSettings, Command::NewSettings}, {mnuSave, Command::Save}, {mnuSaveAs, Command::SaveAs},
        {mnuLoad, Command::Load}, {mnuRecentlyUsed->menuAction(), Command::Load}, {mnuImport->menuAction(), Command::Import},
        {mnuImportADS, Command::Import}, {mnuImportUsersFile, Command::Import}, {mnuSetupWizard, Command::SetupWizard},
        {mnuConfiguration, Command::Configuration}, {mnuWaves, Command::EditWaves},
        {mnuGiveOwnSettings, Command::EditSettings}, {mnuSetSettings, Command::EditSettings}, {mnuInheritSettings, Command::EditSettings},
        {mnuAddAllUsers, Command::EditSettings}, {mnuAddUserMigration, Command::EditSettings},
        {mnuEnableComputers, Command::EditSettings}, {mnuDisableComputers, Command::EditSettings}, {mnuStartMigration, Command::StartMigration},
        // A rollback is a run: it may start when a migration may.
        {mnuRollBack, Command::StartMigration},
        {mnuTests->menuAction(), Command::TestsMenu}, {mnuPingStart, Command::PingStart}, {mnuPingStop, Command::PingStop},
        {mnuNetworkTestStart, Command::NetworkTestStart}, {mnuNetworkTestStop, Command::NetworkTestStop},
        {mnuCancelMigration, Command::CancelMigration}, {mnuAbortMigration, Command::AbortMigration},
        {mnuCancelClient, Command::CancelClient}, {mnuPopCancelClient, Command::CancelClient}, {mnuAbortClient, Command::AbortClient},
        {mnuPopAbortClient, Command::AbortClient}};

    connect(mnuNewSettings, &QAction::triggered, this, &frmMain::NewSettingsFile);
    connect(mnuFind, &QAction::triggered, this, [this] { m_findBar->open(); });
    connect(mnuFindNext, &QAction::triggered, this, [this] { m_findBar->findNext(); });
    connect(mnuFindPrevious, &QAction::triggered, this, [this] { m_findBar->findPrevious(); });
    connect(mnuExpandAll, &QAction::triggered, this, [this] { tvMain->expandAll(); });
    connect(mnuCollapseAll, &QAction::triggered, this, [this] {
        tvMain->collapseAll();
        // The top level stays in sight.
        tvMain->setExpanded(modGeneral::RootKey, true);
    });
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);
    connect(mnuHelpContent, &QAction::triggered, this, &frmMain::mnuHelpContent_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
    connect(mnuSetupWizard, &QAction::triggered, this, &frmMain::StartEasySetupWizard);
    connect(mnuConfiguration, &QAction::triggered, this, [this] {
        if (RunState::instance().isEnabled(Command::Configuration))
            modErrorHandler::Guard("frmMain.mnuConfiguration_Click", [&] { frmConfiguration(this).exec(); });
    });
}

void frmMain::connectCommands()
{
    SettingsFileController *files = m_settingsFiles.get();
    connect(mnuSave, &QAction::triggered, files, &SettingsFileController::mnuSave_Click);
    connect(mnuSaveAs, &QAction::triggered, files, &SettingsFileController::mnuSaveAs_Click);
    connect(mnuSaveState, &QAction::triggered, this, [this] {
        // A state saved from a rehearsal would later read as computers that finished.
        if (m_run->Rehearsal()) {
            modErrorHandler::ShowMessage(modErrorHandler::Information,
                QStringLiteral("The last run was a rehearsal: no computer was migrated, so there is no migration state to save."));
            return;
        }
        if (m_run->RunKind() == MigrationRun::Kind::Rollback) {
            modErrorHandler::ShowMessage(modErrorHandler::Information,
                QStringLiteral("The last run was a rollback: its statuses say which migrations were reversed, so there is no "
                               "migration state to save."));
            return;
        }
        m_settingsFiles->mnuSaveState_Click(m_run->LastStatuses());
    });
    connect(mnuSaveRunReport, &QAction::triggered, this, [this] { modRunReport::Save(*Database, *m_run, this); });
    connect(mnuFile, &QMenu::aboutToShow, this, &frmMain::UpdateSaveRunReport);
    connect(mnuLoad, &QAction::triggered, this, [this] { LoadSettingsFile(QString()); });
    connect(mnuImportADS, &QAction::triggered, this, &frmMain::mnuImportADS_Click);
    connect(files, &SettingsFileController::recentlyUsedChanged, this, &frmMain::ReloadRecentlyUsed);
    connect(files, &SettingsFileController::loaded, this, &frmMain::SettingsFileLoaded);
    // Saved, the file is the state without changes; loaded, there is nothing to undo.
    connect(files, &SettingsFileController::currentFileChanged, this, [this] {
        if (!AppState::Get().DatabaseChanged)
            m_history->setSaved();
    });
    connect(files, &SettingsFileController::loaded, m_history, &UndoHistory::clear);
    const auto bulk = [this](QAction *item, TreeCommands::BulkEdit edit) {
        connect(item, &QAction::triggered, this, [this, edit] {
            if (PanelMayLeave())
                tree().EditSelectedComputers(edit);
        });
    };
    bulk(mnuGiveOwnSettings, TreeCommands::BulkEdit::GiveOwnSettings);
    bulk(mnuInheritSettings, TreeCommands::BulkEdit::InheritSettings);
    bulk(mnuAddAllUsers, TreeCommands::BulkEdit::AddAllUsers);
    bulk(mnuEnableComputers, TreeCommands::BulkEdit::Enable);
    bulk(mnuDisableComputers, TreeCommands::BulkEdit::Disable);
    connect(mnuSetSettings, &QAction::triggered, this, [this] {
        if (!PanelMayLeave())
            return;
        tree().SetSettingsOfSelection([this](const GlobalSettings &start, int count) -> GlobalSettingsPtr {
            frmSetSettings dialog(start, count, this);
            return dialog.exec() == QDialog::Accepted ? dialog.result() : GlobalSettingsPtr();
        });
    });
    connect(mnuAddUserMigration, &QAction::triggered, this, [this] {
        const ObjectSettingsPanel::AddMigrationDialog &dialog = m_objectSettings->addMigrationDialog();
        if (dialog && PanelMayLeave())
            tree().AddUserMigrationsToSelection([&](const UserProfilesPtr &list) { dialog(this, list); });
    });
    connect(mnuUndo, &QAction::triggered, this, [this] { mnuUndo_Click(false); });
    connect(mnuRedo, &QAction::triggered, this, [this] { mnuUndo_Click(true); });
    connect(m_history, &UndoHistory::changed, this, &frmMain::UpdateUndo);
    connect(m_history, &UndoHistory::changed, this, &frmMain::SetMainCaption);
    connect(m_history, &UndoHistory::databaseReverted, this, &frmMain::ShowUndoneState);

    SettingsFileController::PanelHooks hooks;
    hooks.HasEdits = [this] { return m_objectSettings->SettingsChanged(); };
    hooks.SaveEdits = [this] { return m_objectSettings->SaveObjectSettings(); };
    hooks.DiscardEdits = [this] { m_objectSettings->SettingsChange(false); };
    hooks.PromptToSaveRecord = [this] { return m_objectSettings->PromptToSaveRecord(); };
    files->setPanelHooks(std::move(hooks));

    new LogViewMenus({mnuView, mnuHandlerLog, mnuTransferorLogs, mnuClientLogsFolder, mnuOpenClientLog, tvMain}, this);
    m_jobReports = new JobReportMenus({mnuFile, mnuSaveRunReport, mnuTools, mnuStartMigration, this}, *Database, *m_run, *m_settingsFiles);

    connect(cmdCompNew, &QPushButton::clicked, this, &frmMain::cmdCompNew_Click);
    connect(cmdFoldNew, &QPushButton::clicked, this, &frmMain::cmdFoldNew_Click);
    connect(mnuNewComputer, &QAction::triggered, this, &frmMain::cmdCompNew_Click);
    connect(mnuNewGroup, &QAction::triggered, this, &frmMain::cmdFoldNew_Click);
    connect(mnuRefresh, &QAction::triggered, this, &frmMain::mnuRefresh_Click);
    connect(mnuImportUsersFile, &QAction::triggered, this, [this] {
        const bool listChanged = frmImportUsers::ShowModal(*Database, this, tree().GetSelectedID());
        if (!Database->IsLinked())
            ReloadComputerDatabase();
        else if (listChanged)
            LoadSelectedNode();
    });
    connect(mnuTVRename, &QAction::triggered, this, [this] { tree().mnuTVRename_Click(); });
    connect(mnuTVDelete, &QAction::triggered, this, [this] { tree().DeleteSelectedNode(); });
    for (QAction *item : {mnuMoveTo, mnuTVMoveTo})
        connect(item, &QAction::triggered, this, [this] {
            if (PanelMayLeave())
                tree().MoveSelectedNodes();
        });
    connect(tvMain, &ComputerTreeView::popupMenuRequested, this, &frmMain::tvMain_PopupMenu);

    connect(m_objectSettings, &ObjectSettingsPanel::treeIconsChanged, tvMain->viewport(), qOverload<>(&QWidget::update));

    // Run control.
    connect(mnuStartMigration, &QAction::triggered, this, &frmMain::StartMigration);
    connect(mnuRollBack, &QAction::triggered, this, &frmMain::mnuRollBack_Click);
    connect(mnuMigJobName, &QAction::triggered, this, &frmMain::mnuMigJobName_Click);
    connect(mnuWaves, &QAction::triggered, this, &frmMain::mnuWaves_Click);
    for (QAction *item : {mnuSetWave, mnuTVSetWave})
        connect(item, &QAction::triggered, this, &frmMain::mnuSetWave_Click);
    // Loads, New Settings and the wizard change the waves too; the menus look when they open.
    connect(mnuEdit, &QMenu::aboutToShow, this, &frmMain::UpdateSetWave);
    connect(mnuCancelMigration, &QAction::triggered, m_runControl, &RunControlPane::CancelMigration);
    connect(mnuAbortMigration, &QAction::triggered, m_runControl, &RunControlPane::AbortMigration);
    // The client commands act on every selected computer; groups pass.
    for (QAction *item : {mnuCancelClient, mnuPopCancelClient})
        connect(item, &QAction::triggered, this, [this] { m_runControl->CancelClients(tvMain->selectedKeys()); });
    for (QAction *item : {mnuAbortClient, mnuPopAbortClient})
        connect(item, &QAction::triggered, this, [this] { m_runControl->AbortClients(tvMain->selectedKeys()); });
    connect(m_runControl, &RunControlPane::doneClicked, this, &frmMain::cmdDone_Click);
    for (QAction *item : {mnuPingStart, mnuPingStop})
        connect(item, &QAction::triggered, this, &frmMain::mnuPingStart_Click);
    for (QAction *item : {mnuNetworkTestStart, mnuNetworkTestStop})
        connect(item, &QAction::triggered, this, &frmMain::NetworkTest);
    connect(m_runControl, &RunControlPane::testStopRequested, this, [this] {
        if (RunState::instance().isEnabled(Command::PingStop))
            mnuPingStart_Click();
        else if (RunState::instance().isEnabled(Command::NetworkTestStop))
            NetworkTest();
    });
    connect(m_pingTest, &PingTest::Line, m_runControl, &RunControlPane::appendLine);
    connect(m_pingTest, &PingTest::LineContinued, m_runControl, &RunControlPane::continueLine);
    connect(m_pingTest, &PingTest::Pinged, this, [this](int index, qint32 result) {
        const QString &key = m_pingKeys.at(index);
        if (tvMain->contains(key))
            tvMain->setIcon(key, result >= 0 ? TreeImage::StatusSuccess : TreeImage::StatusErrors);
    });
    connect(&RunState::instance(), &RunState::changed, this, &frmMain::RunStateChanged);
}

void frmMain::createStatusBar()
{
    lblStatusFile = new QLabel(this);
    lblStatusFile->setObjectName(QStringLiteral("lblStatusFile"));
    lblStatusCounts = new QLabel(this);
    lblStatusCounts->setObjectName(QStringLiteral("lblStatusCounts"));
    lblStatusRun = new QLabel(this);
    lblStatusRun->setObjectName(QStringLiteral("lblStatusRun"));
    statusBar()->addWidget(lblStatusFile, 1);
    statusBar()->addPermanentWidget(lblStatusRun);
    statusBar()->addPermanentWidget(lblStatusCounts);
    // The file, its changes, the counts and a run's tally change in many
    // places; a look four times a second costs nothing and misses none.
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &frmMain::UpdateStatusBar);
    timer->start(250);
    UpdateStatusBar();
}

void frmMain::createToolBar()
{
    tbMain = new MainToolBar({mnuNewGroup, mnuNewComputer, mnuSave, m_jobReports->mnuReadinessReport, mnuStartMigration, mnuCancelMigration,
                                 mnuAbortMigration, mnuFind},
        this);
    addToolBar(Qt::TopToolBarArea, tbMain);
    mnuView->addSeparator();
    mnuView->addAction(tbMain->viewAction());
}

void frmMain::UpdateStatusBar()
{
    const AppState::State &state = AppState::Get();
    const RunState &run = RunState::instance();
    const QString file = state.CurrentSettingsFile.isEmpty() ? QStringLiteral("New settings (not saved yet)")
                                                             : QDir::toNativeSeparators(state.CurrentSettingsFile);
    lblStatusFile->setText(file + (state.DatabaseChanged ? QStringLiteral("  \u2022 unsaved changes") : QString()));
    const int groups = Database->GetFolderCount();
    const int computers = Database->GetComputerCount();
    lblStatusCounts->setText(QStringLiteral("%1 %2, %3 %4")
                                 .arg(groups)
                                 .arg(groups == 1 ? QStringLiteral("group") : QStringLiteral("groups"))
                                 .arg(computers)
                                 .arg(computers == 1 ? QStringLiteral("computer") : QStringLiteral("computers")));
    const bool migration = run.running() && run.mode() == RunState::Mode::Migration;
    lblStatusRun->setVisible(migration);
    if (migration)
        lblStatusRun->setText(
            m_run->WaveText().isEmpty() ? m_runControl->Summary() : m_run->WaveText() + QStringLiteral(" \u2022 ") + m_runControl->Summary());
}

void frmMain::createPanes()
{
    splitMain = new QSplitter(Qt::Horizontal, this);
    splitMain->setObjectName(QStringLiteral("splitMain"));
    splitMain->setChildrenCollapsible(false);
    splitMain->setHandleWidth(6);

    // Left: the computers, as the tree or as the flat fleet list. The two
    // share one place because they answer one question (which computers)
    // for the panel on the right, which follows the selection of either; a
    // dock or a second window would only ask the administrator to arrange
    // what the splitter already sizes.
    tabComputers = new QTabWidget(splitMain);
    tabComputers->setObjectName(QStringLiteral("tabComputers"));
    tabComputers->setAccessibleName(QStringLiteral("Computers as tree or list"));
    tabComputers->setDocumentMode(true);
    fmComputers = new QFrame(tabComputers);
    fmComputers->setObjectName(QStringLiteral("fmComputers"));
    auto *computers = new QVBoxLayout(fmComputers);
    computers->setContentsMargins(6, 6, 0, 6);
    computers->setSpacing(6);

    tvMain = new ComputerTreeView(fmComputers);
    tvMain->attachDatabase(*Database).SetLoadSelectedNode([this] { LoadSelectedNode(); });
    m_findBar = new TreeFindBar(*tvMain, fmComputers);
    computers->addWidget(m_findBar);
    computers->addWidget(tvMain, 1);

    cmdCompNew = new QPushButton(QStringLiteral("New &Computer"), fmComputers);
    cmdCompNew->setObjectName(QStringLiteral("cmdCompNew"));
    cmdCompNew->setAutoDefault(false);
    cmdFoldNew = new QPushButton(QStringLiteral("New &Group"), fmComputers);
    cmdFoldNew->setObjectName(QStringLiteral("cmdFoldNew"));
    cmdFoldNew->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(cmdCompNew, 1);
    buttons->addWidget(cmdFoldNew, 1);
    computers->addLayout(buttons);
    // The find box sits over the tree, though it is made after it.
    modKeyboard::TabOrder({m_findBar, tvMain, cmdCompNew, cmdFoldNew});

    // Right: the settings panel and the progress log take the same place in turn.
    auto *right = new QWidget(splitMain);
    right->setObjectName(QStringLiteral("fmRightPane"));
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 6, 6, 6);
    rightLayout->setSpacing(0);

    fmObjectSettings = new QFrame(right);
    fmObjectSettings->setObjectName(QStringLiteral("fmObjectSettings"));
    fmObjectSettings->setFrameShape(QFrame::StyledPanel);
    auto *settings = new QVBoxLayout(fmObjectSettings);
    settings->setContentsMargins(0, 0, 0, 0);
    // The window may be as small as its minimum size guard; the panel then
    // scrolls instead of being cut off.
    auto *settingsScroll = new QScrollArea(fmObjectSettings);
    settingsScroll->setObjectName(QStringLiteral("scrObjectSettings"));
    settingsScroll->setFrameShape(QFrame::NoFrame);
    settingsScroll->setWidgetResizable(true);
    // Tab walks the panel's controls, and the area scrolls to each; the area
    // itself is no stop of its own.
    settingsScroll->setFocusPolicy(Qt::NoFocus);
    m_objectSettings = new ObjectSettingsPanel(settingsScroll);
    m_objectSettings->setDatabase(Database.get());
    m_objectSettings->setIconProvider([this](int imageNumber) { return tvMain->icons().icon(imageNumber); });
    settingsScroll->setWidget(m_objectSettings);
    settings->addWidget(settingsScroll, 1);
    rightLayout->addWidget(fmObjectSettings, 1);

    fmProgressLog = new QFrame(right);
    fmProgressLog->setObjectName(QStringLiteral("fmProgressLog"));
    fmProgressLog->setFrameShape(QFrame::StyledPanel);
    auto *progress = new QVBoxLayout(fmProgressLog);
    progress->setContentsMargins(0, 0, 0, 0);
    m_runControl = new RunControlPane(*m_run, *tvMain, fmProgressLog);
    progress->addWidget(m_runControl);
    m_pingTest = new PingTest(this);
    fmProgressLog->hide();
    rightLayout->addWidget(fmProgressLog, 1);

    m_fleet = new FleetView(*Database, tabComputers);
    m_fleet->setObjectName(QStringLiteral("fmFleet"));
    connect(m_fleet, &FleetView::computersSelected, this, [this](const QList<int> &ids) {
        QStringList keys;
        keys.reserve(ids.size());
        for (const int id : ids)
            keys.append(modGeneral::ComputerKey(id));
        tvMain->goToNodes(keys);
    });
    // The list follows a run as the tree's images do, and reads the history
    // the run has written once it is over.
    connect(m_run.get(), &MigrationRun::StatusChanged, m_fleet, &FleetView::setStatus);
    connect(m_run.get(), &MigrationRun::ProcessingComplete, m_fleet, &FleetView::refresh, Qt::QueuedConnection);
    connect(m_run.get(), &MigrationRun::Stopped, m_fleet, &FleetView::refresh, Qt::QueuedConnection);
    tabComputers->addTab(fmComputers, QStringLiteral("Tree"));
    tabComputers->addTab(m_fleet, QStringLiteral("Fleet"));
    connect(tabComputers, &QTabWidget::currentChanged, this, &frmMain::ComputersTabChanged);

    splitMain->addWidget(tabComputers);
    splitMain->addWidget(right);
    // A wider window widens the panel; the tree keeps the width it was given.
    splitMain->setStretchFactor(0, 0);
    splitMain->setStretchFactor(1, 1);
    setCentralWidget(splitMain);
}

// ---- load -------------------------------------------------------------------

void frmMain::Form_Load()
{
    modErrorHandler::Guard("frmMain.Form_Load", [&] {
        // The registry keeps placement in twips; the screen's resolution says how many make a pixel.
        const QScreen *screen = QGuiApplication::primaryScreen();
        m_twipsPerPixelX = TwipsPerPixel(screen ? screen->logicalDotsPerInchX() : 96.0);
        m_twipsPerPixelY = TwipsPerPixel(screen ? screen->logicalDotsPerInchY() : 96.0);
        setMinimumSize(TwipsToPixels(MinWidthTwips, m_twipsPerPixelX), TwipsToPixels(MinHeightTwips, m_twipsPerPixelY));
        fmComputers->setMinimumWidth(TwipsToPixels(2400, m_twipsPerPixelX));

        LoadImages();
        InitMenu();
        InitializeTreeView();
        FrameVisibility();
        LoadWindowSettings();

        AppState::Get().CurrentJobName = modGeneral::GetNextMigJobName(AppState::Get().CurrentJobName);

        Database->Clear();
        Database->LinkTreeView(tvMain, TreeImage::Computer, TreeImage::Folder, nullptr);

        m_objectSettings->SelectTab(0);
        SettingsChange(false);
        AppState::Get().DatabaseChanged = false;

        CreateEngineWrapper();
        RunStateChanged();

        WelcomePending = true;
        SetMainCaption();
    });
}

void frmMain::LoadImages()
{
    setWindowIcon(QIcon(QStringLiteral(":/shell/varno-osk.svg")));
}

void frmMain::InitMenu()
{
    ReloadRecentlyUsed();
}

void frmMain::InitializeTreeView()
{
    // The tree sets its indentation (300 twips) and 10-point text itself.
    tree().InitializeTreeView();
}

void frmMain::ClearTreeView()
{
    tree().ClearTreeView();
}

void frmMain::DefaultTVSelect()
{
    tree().DefaultTVSelect();
}

void frmMain::LoadWindowSettings()
{
    modErrorHandler::Guard("frmMain.LoadWindowSettings", [&] {
        const auto [screen, available] = screenAreas();
        const QRect availableTwips(PixelsToTwips(available.x(), m_twipsPerPixelX), PixelsToTwips(available.y(), m_twipsPerPixelY),
            PixelsToTwips(available.width(), m_twipsPerPixelX), PixelsToTwips(available.height(), m_twipsPerPixelY));
        const Placement placement = modWindowSettings::LoadWindowSettings(ReadWindowSettings(AppState::Get().AppKeyPath),
            PixelsToTwips(screen.width(), m_twipsPerPixelX), PixelsToTwips(screen.height(), m_twipsPerPixelY), availableTwips);

        const int width = TwipsToPixels(placement.Width, m_twipsPerPixelX);
        const int height = TwipsToPixels(placement.Height, m_twipsPerPixelY);
        resize(width, height);
        if (placement.Top || placement.Left) {
            const int left = placement.Left ? TwipsToPixels(*placement.Left, m_twipsPerPixelX) : x();
            const int top = placement.Top ? TwipsToPixels(*placement.Top, m_twipsPerPixelY) : y();
            move(left, top);
        }

        // A pane never saved, or saved wider than the window, gets the usual width.
        int pane = TwipsToPixels(placement.PaneSize > 0 ? placement.PaneSize : DefaultPaneTwips, m_twipsPerPixelX);
        if (pane > width - 240)
            pane = TwipsToPixels(DefaultPaneTwips, m_twipsPerPixelX);
        splitMain->setSizes({pane, qMax(1, width - pane)});

        tbMain->setVisible(placement.Toolbar);
        if (placement.Maximized)
            setWindowState(windowState() | Qt::WindowMaximized);
    });
}

// ---- activation ---------------------------------------------------------------

bool frmMain::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        QTimer::singleShot(0, this, &frmMain::Form_Activate);
    return QMainWindow::event(event);
}

void frmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // A desktop without a window manager never activates the window; the
    // first show stands in for the first activation there.
    if (!m_shown) {
        m_shown = true;
        QTimer::singleShot(0, this, &frmMain::Form_Activate);
    }
}

void frmMain::Form_Activate()
{
    modErrorHandler::Guard("frmMain.Form_Activate", [&] {
        SetMainCaption();
        if (!WelcomePending)
            return;
        WelcomePending = false;
        if (OfferReattach() || !modStartup::WelcomeScreenWanted())
            return;

        frmWelcome welcome(this);
        // A choice leads only where the console already goes.
        welcome.setEasySetupWizardAvailable(mnuSetupWizard->isEnabled());
        welcome.setLoadSettingsAvailable(mnuLoad->isEnabled());
        welcome.exec();
        setWelcomeAction(welcome.WelcomeAction());

        if (m_welcomeAction == frmWelcome::ActionEasySetupWizard)
            StartEasySetupWizard();
        else if (m_welcomeAction == frmWelcome::ActionLoadSettings)
            LoadSettingsFile(QString());
    });
}

void frmMain::SetMainCaption()
{
    const QString caption = modStartup::MainCaption(AppState::Get().CurrentJobName);
    // From the start of a rehearsal or a rollback to its Done: its results
    // fill the tree and the log, and must not pass for a migration's.
    const bool shown = m_run && RunState::instance().mode() == RunState::Mode::Migration && RunState::instance().running();
    setWindowTitle(shown ? m_run->Label(caption) : caption);
}

void frmMain::BringToFront()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

// ---- File menu ----------------------------------------------------------------

void frmMain::NewSettingsFile()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    modErrorHandler::Guard("frmMain.NewSettingsFile", [&] {
        if (!PromptToSaveSettingsFile())
            return;
        AppState::State &state = AppState::Get();
        state.CurrentSettingsFile.clear();
        Database->Clear();
        m_run->LastStatuses().clear();
        ClearTreeView();
        Database->LinkTreeView(tvMain, TreeImage::Computer, TreeImage::Folder, nullptr);
        m_fleet->refresh();
        state.CurrentJobName = modGeneral::GetNextMigJobName(state.CurrentJobName);
        m_history->clear();
        SetMainCaption();
    });
    QApplication::restoreOverrideCursor();
}

void frmMain::ReloadRecentlyUsed()
{
    modErrorHandler::Guard("frmMain.ReloadRecentlyUsed", [&] {
        const QList<modRecentlyUsed::MenuItem> items
            = modRecentlyUsed::MenuItems(modRecentlyUsed::ReadRecentlyUsed(AppState::Get().AppKeyPath));
        for (int i = 0; i < modRecentlyUsed::Count; ++i) {
            mnuRecent[i]->setText(menuCaption(items.at(i).Caption));
            mnuRecent[i]->setVisible(items.at(i).Visible);
            mnuRecent[i]->setEnabled(items.at(i).Enabled);
        }
    });
}

void frmMain::mnuRecent_Click(int index)
{
    m_settingsFiles->LoadRecentlyUsed(index);
}

void frmMain::PromptToSaveNewName(const QString &newJobName)
{
    modErrorHandler::Guard("frmMain.PromptToSaveNewName", [&] {
        const AppState::State &state = AppState::Get();
        if (newJobName == state.CurrentJobName || state.CurrentSettingsFile.isEmpty()
            || !state.CurrentSettingsFile.startsWith(modGeneral::GetLogPath()))
            return;

        Presenter::Message box;
        box.owner = this;
        box.caption = QStringLiteral("Migration Name Change");
        box.icon = Presenter::Icon::Question;
        box.buttons = Presenter::Buttons::YesNo;
        box.text = QStringLiteral("A settings file created under a different migration name is currently") + CR
            + QStringLiteral("loaded.  Would you like to save a copy of this settings file in the") + CR
            + QStringLiteral("new results folder, using the new migration job name? (RECOMMENDED)");
        if (Presenter::current().showMessage(box) == Presenter::Yes)
            SaveSettingsFileCopy(newJobName);
    });
}

bool frmMain::PromptToSaveSettingsFile()
{
    return m_settingsFiles->PromptToSaveSettingsFile();
}

void frmMain::LoadSettingsFile(const QString &path)
{
    m_settingsFiles->LoadSettingsFile(path);
}

void frmMain::SaveSettingsFileCopy(const QString &newJobName)
{
    m_settingsFiles->SaveSettingsFileCopy(newJobName);
}

void frmMain::SettingsFileLoaded(const SettingsFileResult &result)
{
    modErrorHandler::Guard("frmMain.LoadSettingsFile", [&] {
        m_run->LastStatuses() = result.LastStatus.value_or(QMap<int, QString>());
        // Loading unlinked the tree; linking it again builds it, in front of
        // the progress window for a large file, and selects the root. A
        // built tree shows plain images; the own settings are marked after.
        tvMain->ReloadComputerDatabase();
        Database->SetColorsForEdit();
        // A saved migration state shows each computer as its run left it.
        for (auto it = m_run->LastStatuses().cbegin(); it != m_run->LastStatuses().cend(); ++it) {
            const QString key = QStringLiteral("C") + QString::number(it.key());
            const ClientStatus::Entry shown = ClientStatus::Lookup(it.value());
            tvMain->setIcon(key, shown.Image);
            tvMain->setStatusText(key, shown.Text);
        }
        m_fleet->refresh();
        SetMainCaption();
    });
}

void frmMain::StartEasySetupWizard()
{
    if (!RunState::instance().isEnabled(Command::SetupWizard) || !PanelMayLeave())
        return;
    modErrorHandler::Guard("frmMain.StartEasySetupWizard", [&] {
        GlobalSettingsPtr record = GlobalSettings::create();
        record->SetDefaults();
        record->Valid = false;
        frmSetupWizard wizard(this);
        wizard.LinkData(record, Database.get(), [this] {
            if (!Database->IsLinked())
                ReloadComputerDatabase();
            Database->SetColorsForEdit();
        });
        wizard.exec();
        // Only the root has settings of its own after Finish; and a user
        // list imported on the way may be the selected computer's, even
        // after Cancel.
        if (SetupWizardModel::ApplyResult(*Database, record))
            Database->SetColorsForEdit();
        LoadSelectedNode();
    });
}

// ---- Help menu ----------------------------------------------------------------

void frmMain::mnuHelpContent_Click()
{
    modErrorHandler::Guard("frmMain.mnuHelpContent_Click", [&] { modHelp::ShowHelpPage(modHelp::ContentsPage); });
}

void frmMain::mnuAbout_Click()
{
    modErrorHandler::Guard("frmMain.mnuAbout_Click", [&] {
        frmAbout about(this);
        about.exec();
    });
}

// ---- running state and panel --------------------------------------------------

void frmMain::CreateEngineWrapper(std::unique_ptr<QXEHandler> engine)
{
    wintQXE.reset();
    // A new wrapper switches the run state off: the console is free to exit
    // without a warning.
    wintQXE = engine ? std::make_unique<QXEInterface>(std::move(engine)) : std::make_unique<QXEInterface>();
    connect(wintQXE.get(), &QXEInterface::TestReceived, m_runControl, [this] {
        m_runControl->SetCaption(QStringLiteral("Network test successful: press Done to end it."));
        m_runControl->ShowOutcome(TreeImage::StatusSuccess);
    });
    m_run->Attach(*wintQXE);
}

void frmMain::FrameVisibility()
{
    const bool editing = RunState::instance().isEnabled(Command::EditSettings);
    fmProgressLog->setVisible(!editing);
    fmProgressLog->setEnabled(!editing);
    fmObjectSettings->setVisible(editing);
    fmObjectSettings->setEnabled(editing);
}

void frmMain::RunStateChanged()
{
    const RunState &state = RunState::instance();
    for (const auto &[item, command] : std::as_const(m_stateCommands))
        item->setEnabled(state.isEnabled(command));
    cmdCompNew->setEnabled(state.isEnabled(Command::NewComputer));
    cmdFoldNew->setEnabled(state.isEnabled(Command::NewGroup));
    // Each test's start and stop entries take turns.
    mnuPingStop->setVisible(state.isEnabled(Command::PingStop));
    mnuPingStart->setVisible(!mnuPingStop->isVisible());
    mnuNetworkTestStop->setVisible(state.isEnabled(Command::NetworkTestStop));
    mnuNetworkTestStart->setVisible(!mnuNetworkTestStop->isVisible());
    UpdateSaveRunReport();
    UpdateSetWave();
    m_history->setLocked(!state.isEnabled(Command::Undo));
    UpdateUndo();
    SetMainCaption();
    FrameVisibility();
    if (!state.running())
        Database->SetColorsForEdit();
}

void frmMain::UpdateUndo()
{
    const auto offer = [](QAction *item, const QString &caption, const QString &step, bool may) {
        item->setEnabled(may);
        item->setText(step.isEmpty() ? caption : caption + QStringLiteral(" ") + menuCaption(step));
    };
    offer(mnuUndo, QStringLiteral("&Undo"), m_history->undoText(), m_history->canUndo());
    offer(mnuRedo, QStringLiteral("&Redo"), m_history->redoText(), m_history->canRedo());
}

void frmMain::mnuUndo_Click(bool redo)
{
    if (!RunState::instance().isEnabled(Command::Undo) || !(redo ? m_history->canRedo() : m_history->canUndo()))
        return;
    modErrorHandler::Guard(redo ? "frmMain.mnuRedo_Click" : "frmMain.mnuUndo_Click", [&] {
        const int index = m_history->stack().index();
        if (!PanelMayLeave())
            return;
        // Saved when offered, the panel's edits are now the newest step: the
        // menu names it, and nothing else is taken back unasked.
        if (m_history->stack().index() != index)
            return;
        if (redo)
            m_history->redo();
        else
            m_history->undo();
    });
}

void frmMain::ShowUndoneState()
{
    modErrorHandler::Guard("frmMain.ShowUndoneState", [&] {
        if (!tvMain->contains(tvMain->selectedKey()))
            tree().DefaultTVSelect();
        m_objectSettings->LoadSelectedNode(tree().GetSelectedID());
        m_fleet->refresh();
        UpdateSetWave();
        tvMain->viewport()->update();
        SetMainCaption();
    });
}

void frmMain::UpdateSetWave()
{
    const bool editing = RunState::instance().isEnabled(Command::EditWaves);
    const bool waves = !Database->Waves().isEmpty();
    const QString tip = !editing ? QStringLiteral("Waves change only while no run or test goes on.")
        : waves                  ? QStringLiteral("Put the selected computers, and those of the selected groups, in a wave.")
                                 : QStringLiteral("There are no waves yet: add one in Tools > Waves...");
    for (QAction *item : {mnuSetWave, mnuTVSetWave}) {
        item->setEnabled(editing && waves);
        item->setToolTip(tip);
        item->setStatusTip(tip);
    }
}

void frmMain::UpdateSaveRunReport()
{
    // A report while a run goes on would tell half the story.
    mnuSaveRunReport->setEnabled(RunState::instance().isEnabled(Command::SaveRunReport) && (m_run->Complete() || m_run->ClientCount() > 0));
}

// ---- run control ---------------------------------------------------------------

void frmMain::StartMigration()
{
    modErrorHandler::Guard("frmMain.StartMigration", [&] {
        StartMigration::Hooks hooks;
        hooks.Owner = this;
        hooks.PromptToSaveRecord = [this] { return m_objectSettings->PromptToSaveRecord(); };
        hooks.OpenJobNameDialog = [this] { mnuMigJobName_Click(); };
        hooks.ListenerAddress = [this] { return wintQXE->ListenerAddress(); };
        hooks.ShowValidationFault = [this](const ValidationReport &report) {
            tvMain->selectNode(report.NodeToShow);
            m_objectSettings->LoadSelectedNode(tree().GetSelectedID());
            m_objectSettings->ShowValidationFault(report);
        };
        if (!::StartMigration(*Database, hooks).Check())
            return;
        // The engine follows the registry value Engine, which the start may
        // just have chosen; a real run gets a fresh one, with the ssh
        // configuration as it stands now.
        if (!modRehearsal::EngineRehearses() || !wintQXE->Engine().Rehearses())
            CreateEngineWrapper();
        m_runControl->Start(*wintQXE);
        rememberRun();
    });
}

void frmMain::rememberRun()
{
    if (wintQXE->Engine().Rehearses() || !RunState::instance().running())
        return;
    const ConsoleConfig config;
    config.Write(ConsoleConfig::LastRun, m_run->ResultsFolder());
    config.Write(ConsoleConfig::LastRunSettings, AppState::Get().CurrentSettingsFile);
}

bool frmMain::OfferReattach()
{
    const ConsoleConfig config;
    const QString results = config.Text(ConsoleConfig::LastRun);
    if (results.isEmpty() || !RunState::instance().isEnabled(Command::StartMigration))
        return false;
    const MigrationRun::Leftover leftover = MigrationRun::LeftoverOf(results);
    // Only the ssh engine takes over what a dead one left: a rehearsal must not pass for it.
    if (leftover == MigrationRun::Leftover::None
        || (leftover == MigrationRun::Leftover::EngineGone && modRehearsal::Chosen() != modRehearsal::Choice::Ssh))
        return false;
    const bool going = leftover == MigrationRun::Leftover::Going;
    const QString run = QFileInfo(QDir::cleanPath(results)).fileName();
    Presenter::Message box;
    box.owner = this;
    box.caption = QStringLiteral("Run Still Going");
    box.icon = Presenter::Icon::Question;
    box.buttons = Presenter::Buttons::YesNo;
    if (going) {
        box.buttonCaptions = {QStringLiteral("Attach to the Run"), QStringLiteral("Not Now")};
        box.text = QStringLiteral("The run \"%1\" went on after the console that started it closed or stopped, and its engine "
                                  "is still at work.")
                       .arg(run)
            + CR + CR + QStringLiteral("Attach to it again, to follow every computer from where it stands to the end?");
    } else {
        box.caption = QStringLiteral("Run Cut Short");
        box.buttonCaptions = {QStringLiteral("Deliver the Rest"), QStringLiteral("Not Now")};
        box.text = QStringLiteral("The engine of the run \"%1\" ended before the run did (it was killed, or this machine "
                                  "restarted).")
                       .arg(run)
            + CR + CR
            + QStringLiteral("Deliver the computers it never delivered, into the same results folder?  Those that ended keep "
                             "their outcome; those it was at work on are asked first how they stand.");
    }
    if (Presenter::current().showMessage(box) != Presenter::Yes)
        return false;
    const QString settings = config.Text(ConsoleConfig::LastRunSettings);
    if (!settings.isEmpty() && QFileInfo::exists(settings) && !m_settingsFiles->LoadSettingsFile(settings))
        return false;
    // Only an engine program of its own outlives a console.
    CreateEngineWrapper(going ? modEngine::CreateAttachHandler() : modEngine::CreateHandler(false));
    QString problem;
    const bool started
        = going ? m_runControl->Reattach(*wintQXE, results, problem) : m_runControl->StartUndelivered(*wintQXE, results, problem);
    if (!started) {
        Presenter::Message failed;
        failed.owner = this;
        failed.caption = box.caption;
        failed.icon = Presenter::Icon::Exclamation;
        failed.text = problem;
        Presenter::current().showMessage(failed);
        return false;
    }
    if (!going)
        rememberRun();
    return true;
}

void frmMain::mnuRollBack_Click()
{
    modErrorHandler::Guard("frmMain.mnuRollBack_Click", [&] {
        if (!RunState::instance().isEnabled(Command::StartMigration))
            return;
        frmRollback dialog(*Database, modGeneral::GetLogPath(), this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        const RollbackJob &job = dialog.job();
        const QString jobName = modRollback::JobName(QFileInfo(QDir::cleanPath(job.MigrationResults)).fileName());
        CreateEngineWrapper(modEngine::CreateRollbackHandler(job.Forget));
        m_runControl->StartRollback(*wintQXE, job, jobName, modGeneral::GetLogPath(jobName));
        rememberRun();
    });
}

void frmMain::mnuWaves_Click()
{
    modErrorHandler::Guard("frmMain.mnuWaves_Click", [&] {
        if (!RunState::instance().isEnabled(Command::EditWaves))
            return;
        frmWaves(*Database, this).exec();
        UpdateSetWave();
        UpdateStatusBar();
    });
}

void frmMain::mnuSetWave_Click()
{
    if (tree().SetWaveOfSelectedNodes() > 0)
        UpdateStatusBar();
}

void frmMain::cmdDone_Click()
{
    // Done over a network test ends it through its own command.
    if (RunState::instance().isEnabled(Command::NetworkTestStop))
        NetworkTest();
    else if (RunState::instance().isEnabled(Command::Done))
        RunState::instance().backToEditing();
}

void frmMain::NetworkTest()
{
    modErrorHandler::Guard("frmMain.NetworkTest", [&] {
        ::NetworkTest::Hooks hooks;
        hooks.Owner = this;
        hooks.ClearLog = [this] { m_runControl->log()->clear(); };
        hooks.SetCaption = [this](const QString &caption) { m_runControl->SetCaption(caption); };
        hooks.AppendLine = [this](const QString &line) { m_runControl->appendLine(line); };
        ::NetworkTest(*wintQXE, hooks).Toggle();
    });
}

void frmMain::mnuPingStart_Click()
{
    modErrorHandler::Guard("frmMain.mnuPingStart_Click", [&] {
        RunState &state = RunState::instance();
        if (state.isEnabled(Command::PingStop)) {
            m_pingTest->Cancel();
            return;
        }
        if (!state.isEnabled(Command::PingStart))
            return;
        m_runControl->StartTest(QStringLiteral("Ping test in progress..."));
        state.startPingTest();
        // Taken up front: the tree's editing commands are locked while the test runs.
        m_pingKeys = tvMain->computerKeysInOrder();
        QStringList names;
        names.reserve(m_pingKeys.size());
        for (const QString &key : std::as_const(m_pingKeys))
            names.append(tvMain->text(key));
        m_pingTest->setInFlight(ConsoleConfig().Number(ConsoleConfig::PingsInFlight));
        const int visited = m_pingTest->Run(names);
        if (visited > 0) {
            state.pingTestEnded();
            // A caption still saying "in progress" would leave the
            // administrator waiting for more; a green tick over computers
            // that never answered would send them on to a run that fails.
            const bool canceled = m_pingTest->CancelRequested();
            const int failed = m_pingTest->Failed();
            m_runControl->SetCaption(canceled ? QStringLiteral("Ping test canceled: press Done to return to editing.")
                                              : QStringLiteral("Ping test complete: press Done to return to editing."));
            m_runControl->ShowOutcome(canceled ? TreeImage::StatusCanceled
                    : failed == 0              ? TreeImage::StatusSuccess
                    : failed == visited        ? TreeImage::StatusErrors
                                               : TreeImage::StatusWarnings);
            return;
        }
        state.backToEditing();
        modErrorHandler::ShowMessage(modErrorHandler::Information, QStringLiteral("No clients to ping."));
    });
}

void frmMain::mnuMigJobName_Click()
{
    modErrorHandler::Guard("frmMain.mnuMigJobName_Click", [&] {
        frmMigJobName dialog(*this);
        dialog.exec();
    });
}

void frmMain::SettingsChange(bool changed)
{
    m_objectSettings->SettingsChange(changed);
}

bool frmMain::SettingsChanged() const
{
    return m_objectSettings->SettingsChanged();
}

// ---- tree and panel -----------------------------------------------------------

bool frmMain::LoadedObjectExists() const
{
    const ObjectSettingsModel &model = m_objectSettings->model();
    if (model.ObjectType() == QLatin1String("G"))
        return true;
    if (model.ObjectType() == QLatin1String("F")) {
        const FolderRecord *folder = Database->Folders(model.ObjectID());
        return folder && folder->Active;
    }
    if (model.ObjectType() == QLatin1String("C")) {
        const ComputerRecord *computer = Database->Computers(model.ObjectID());
        return computer && computer->Active;
    }
    return false;
}

bool frmMain::PanelMayLeave()
{
    return m_objectSettings->PromptToSaveRecord();
}

void frmMain::LoadSelectedNode()
{
    modErrorHandler::Guard("frmMain.LoadSelectedNode", [&] {
        const QString selected = tvMain->selectedKey();
        const QString loaded = m_objectSettings->model().ObjectKey();
        if (m_objectSettings->SettingsChanged() && LoadedObjectExists()) {
            // A rename or a second click on the node being edited: reloading
            // would throw the edits away.
            if (selected == loaded)
                return;
            if (!m_objectSettings->PromptToSaveRecord()) {
                tvMain->selectNode(loaded);
                return;
            }
        }
        m_objectSettings->LoadSelectedNode(tree().GetSelectedID());
    });
}

void frmMain::ReloadComputerDatabase()
{
    tvMain->ReloadComputerDatabase();
    m_fleet->refresh();
}

void frmMain::mnuImportADS_Click()
{
    if (!RunState::instance().isEnabled(Command::Import) || !PanelMayLeave())
        return;
    auto *dialog = new frmImportADS(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->LinkRequired(Database.get(), [this] {
        ReloadComputerDatabase();
        Database->SetColorsForEdit();
    });
    dialog->open();
}

void frmMain::tvMain_PopupMenu(const TreePopup &popup, const QPoint &globalPos)
{
    // Cancel in the panel's save prompt kept the selection where it was;
    // the menu would act on that node, not on the one clicked.
    if (tvMain->selectedKey() != popup.Key)
        return;
    mnuTVRename->setEnabled(popup.RenameEnabled);
    mnuTVDelete->setEnabled(popup.DeleteEnabled);
    mnuTVMoveTo->setEnabled(popup.MoveEnabled);
    UpdateSetWave();
    // The client items follow the run state.
    mnuOpenClientLog->setEnabled(popup.ComputerNode);
    mnuTVRightClick->popup(globalPos);
}

void frmMain::cmdCompNew_Click()
{
    // The new computer is selected at once; the edits of the one shown go first.
    if (PanelMayLeave())
        tree().AddNewComputer();
}

void frmMain::cmdFoldNew_Click()
{
    if (PanelMayLeave())
        tree().AddNewFolder();
}

void frmMain::mnuRefresh_Click()
{
    if (!RunState::instance().isEnabled(Command::Refresh) || !PanelMayLeave())
        return;
    tree().mnuRefresh_Click();
    // The rebuilt tree shows plain images; the own settings are marked again.
    Database->SetColorsForEdit();
}

int frmMain::PaneSize() const
{
    if (m_treePaneWidth > 0)
        return PixelsToTwips(m_treePaneWidth, m_twipsPerPixelX);
    const QList<int> sizes = splitMain->sizes();
    return sizes.isEmpty() ? 0 : PixelsToTwips(sizes.constFirst(), m_twipsPerPixelX);
}

void frmMain::ComputersTabChanged(int index)
{
    // The list's seven columns need more room than the tree: the Fleet tab
    // takes at least half the window and gives the tree its width back
    // when the Tree tab returns. The width kept is always the tree's.
    const QList<int> sizes = splitMain->sizes();
    if (sizes.size() != 2)
        return;
    const int total = sizes.at(0) + sizes.at(1);
    if (tabComputers->widget(index) == m_fleet) {
        if (m_treePaneWidth == 0)
            m_treePaneWidth = sizes.at(0);
        if (sizes.at(0) < total / 2)
            splitMain->setSizes({total / 2, total - total / 2});
    } else if (m_treePaneWidth > 0) {
        splitMain->setSizes({m_treePaneWidth, qMax(1, total - m_treePaneWidth)});
        m_treePaneWidth = 0;
    }
}

// ---- exit ---------------------------------------------------------------------

void frmMain::closeEvent(QCloseEvent *event)
{
    // The ping test's loop runs inside this window's own handler, which
    // must not find the window gone when it comes back from the events it
    // lets run: the close becomes the test's stop request.
    if (m_pingTest->Looping()) {
        m_pingTest->Cancel();
        event->ignore();
        return;
    }
    if (RunState::instance().state() == RunState::State::ClientCheck) {
        // The check's loop runs inside the readiness report's command, as the
        // ping test's does: the window closes once the clients are stopped.
        Presenter::Message box;
        box.owner = this;
        box.caption = QStringLiteral("Warning");
        box.icon = Presenter::Icon::Exclamation;
        box.buttons = Presenter::Buttons::YesNo;
        box.buttonCaptions = {QStringLiteral("Abort the Clients and Exit"), QStringLiteral("Do Not Exit")};
        box.defaultButton = 1;
        box.text = QStringLiteral("The clients are being checked.  Exiting now aborts the check on every") + CR
            + QStringLiteral("computer still at it; nothing on the computers has been changed.");
        if (Presenter::current().showMessage(box) == Presenter::Yes) {
            ClientCheck::StopRunning();
            connect(
                &RunState::instance(), &RunState::changed, this,
                [this](RunState::State state) {
                    if (state == RunState::State::Editing)
                        QTimer::singleShot(0, this, &QWidget::close);
                },
                Qt::SingleShotConnection);
        }
        event->ignore();
        return;
    }
    bool leaveRunning = false;
    if (!RunState::instance().migrationIdle()) {
        Presenter::Message box;
        box.owner = this;
        box.caption = QStringLiteral("Warning");
        box.icon = Presenter::Icon::Critical;
        // An engine of its own process goes on without the console, which
        // offers to follow it again at its next start; the simulated engine
        // lives in the console and ends with it.
        const bool canLeave = !wintQXE->Engine().Rehearses();
        if (canLeave) {
            box.buttons = Presenter::Buttons::YesNoCancel;
            box.buttonCaptions = {QStringLiteral("Leave the Run Going"), QStringLiteral("Abort and Exit"), QStringLiteral("Do Not Exit")};
            box.defaultButton = 2;
            box.text = QStringLiteral("A migration is in progress.") + CR + CR
                + QStringLiteral("Leave the Run Going: the console exits and the engine carries on; the next start of the console "
                                 "offers to follow the run again.")
                + CR + QStringLiteral("Abort and Exit: every computer still at work is aborted; that may leave it half migrated.")
                + CR + QStringLiteral("Do Not Exit: the console stays.");
        } else {
            box.buttons = Presenter::Buttons::YesNo;
            box.defaultButton = 1;
            box.text = QStringLiteral("A migration is currently in progress.  Exiting the program now") + CR
                + QStringLiteral("may leave target computers in an unusable state.  It is HIGHLY") + CR
                + QStringLiteral("recommended that you do not exit at this time.") + CR + CR
                + QStringLiteral("Are you sure you wish to proceed?");
        }
        const Presenter::Answer answer = Presenter::current().showMessage(box);
        if ((canLeave && answer == Presenter::Cancel) || (!canLeave && answer != Presenter::Yes)) {
            event->ignore();
            return;
        }
        leaveRunning = canLeave && answer == Presenter::Yes;
        if (canLeave && answer == Presenter::No)
            wintQXE->AbortAll();
    }

    if (!PromptToSaveSettingsFile()) {
        event->ignore();
        return;
    }

    // From here on the console is leaving: whatever fails, the rest still runs.
    try {
        SaveWindowSettings();
    } catch (...) { }
    if (leaveRunning) {
        try {
            wintQXE->Leave();
        } catch (...) { }
    }
    // The wrapper in use is released before the window goes; a fresh one
    // stands in until the window itself is destroyed.
    try {
        CreateEngineWrapper();
    } catch (...) { }

    event->accept();
}

void frmMain::SaveWindowSettings()
{
    WindowState state;
    state.PaneSize = PaneSize();
    state.Maximized = isMaximized();
    // Hidden by the View entry, not with a minimised window.
    state.Toolbar = !tbMain->isHidden();
    // A maximised window is saved with the place it returns to, so that the
    // next start opens maximised over a sensible normal window.
    QRect normal(pos(), size());
    if (isMaximized() || isMinimized() || isFullScreen()) {
        const QPoint frameOffset = geometry().topLeft() - frameGeometry().topLeft();
        normal = QRect(normalGeometry().topLeft() - frameOffset, normalGeometry().size());
    }
    state.Top = PixelsToTwips(normal.top(), m_twipsPerPixelY);
    state.Left = PixelsToTwips(normal.left(), m_twipsPerPixelX);
    state.Height = PixelsToTwips(normal.height(), m_twipsPerPixelY);
    state.Width = PixelsToTwips(normal.width(), m_twipsPerPixelX);
    modWindowSettings::SaveWindowSettings(AppState::Get().AppKeyPath, state);
}

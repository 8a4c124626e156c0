#include "shell/forms/RunControlPane.h"

#include "common/Presenter.h"
#include "common/RunState.h"
#include "common/TreeImage.h"
#include "common/modErrorHandler.h"
#include "common/modRehearsal.h"
#include "common/modRollback.h"
#include "database/ComputerDB.h"
#include "engine/QXEHandler.h"
#include "engine/QXEInterface.h"
#include "shell/ProgressLogModel.h"
#include "shell/forms/ComputerTreeView.h"

#include <QAction>
#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

const QString CR = QStringLiteral("\r");

// Two turns of the progress icon a second: visibly alive, never busy.
constexpr int AnimationIntervalMs = 500;
constexpr int IconSize = 24;

struct CountTile
{
    const char *name;
    const char *caption;
    int image;
};

// In the order of ClientStatus::Category.
constexpr CountTile kTiles[ClientStatus::CategoryCount] = {
    {"lblNotStarted", "Not started", TreeImage::StatusNotProcessed},
    {"lblInProgress", "In progress", TreeImage::StatusExecuting},
    {"lblSucceeded", "Succeeded", TreeImage::StatusSuccess},
    {"lblWarnings", "With warnings", TreeImage::StatusWarnings},
    {"lblErrors", "With errors", TreeImage::StatusErrors},
    {"lblCanceled", "Canceled", TreeImage::StatusCanceled},
    {"lblAborted", "Aborted", TreeImage::StatusAborted},
};

QString tileText(int count, const char *caption)
{
    return QStringLiteral("<span style=\"font-size:15pt; font-weight:600\">%1</span><br>%2").arg(count).arg(QString::fromLatin1(caption));
}

using Command = RunState::Command;

} // namespace

RunControlPane::RunControlPane(MigrationRun &run, ComputerTreeView &tree, QWidget *parent)
    : QFrame(parent)
    , m_run(run)
    , m_tree(tree)
    , m_treeStatus(tree)
{
    setObjectName(QStringLiteral("RunControlPane"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);

    auto *heading = new QHBoxLayout;
    imgProgress = new QLabel(this);
    imgProgress->setObjectName(QStringLiteral("imgProgress"));
    imgProgress->setFixedSize(IconSize, IconSize);
    lblProgressCaption = new QLabel(this);
    lblProgressCaption->setObjectName(QStringLiteral("lblProgressCaption"));
    QFont captionFont = lblProgressCaption->font();
    captionFont.setBold(true);
    captionFont.setPointSizeF(captionFont.pointSizeF() * 1.2);
    lblProgressCaption->setFont(captionFont);
    heading->addWidget(imgProgress);
    heading->addWidget(lblProgressCaption, 1);
    layout->addLayout(heading);

    // The tiles take as many rows as the pane's width needs: seven in a row
    // would ask more width than the window spares beside the tree, and the
    // splitter would take it from the tree.
    fraCounts = new QWidget(this);
    fraCounts->setObjectName(QStringLiteral("fraCounts"));
    fraCounts->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_countsGrid = new QGridLayout(fraCounts);
    m_countsGrid->setContentsMargins(0, 0, 0, 0);
    m_countsGrid->setHorizontalSpacing(12);
    for (int i = 0; i < ClientStatus::CategoryCount; ++i) {
        m_tiles[i] = new QWidget(fraCounts);
        auto *tile = new QHBoxLayout(m_tiles[i]);
        tile->setContentsMargins(0, 0, 0, 0);
        auto *icon = new QLabel(m_tiles[i]);
        icon->setPixmap(tree.icons().icon(kTiles[i].image).pixmap(IconSize, IconSize));
        lblCounts[i] = new QLabel(tileText(0, kTiles[i].caption), m_tiles[i]);
        lblCounts[i]->setObjectName(QString::fromLatin1(kTiles[i].name));
        lblCounts[i]->setTextFormat(Qt::RichText);
        tile->addWidget(icon);
        tile->addWidget(lblCounts[i], 1);
    }
    layoutTiles(ClientStatus::CategoryCount);
    layout->addWidget(fraCounts);

    m_log = new ProgressLogModel(this);
    lstProgressLog = new QListView(this);
    lstProgressLog->setObjectName(QStringLiteral("lstProgressLog"));
    lstProgressLog->setAccessibleName(QStringLiteral("Progress log"));
    // One height for every line: the view then places a line without measuring it.
    lstProgressLog->setUniformItemSizes(true);
    lstProgressLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstProgressLog->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstProgressLog->setModel(m_log);
    auto *copy = new QAction(QStringLiteral("&Copy"), lstProgressLog);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    lstProgressLog->addAction(copy);
    lstProgressLog->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(copy, &QAction::triggered, this, &RunControlPane::copyLines);
    // The newest lines stay in sight unless the administrator scrolled up to read.
    connect(m_log, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar *bar = lstProgressLog->verticalScrollBar();
        m_followEnd = bar->value() == bar->maximum();
    });
    connect(m_log, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_followEnd)
            lstProgressLog->scrollToBottom();
    });
    layout->addWidget(lstProgressLog, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const auto button = [this, buttons](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->setEnabled(false);
        buttons->addWidget(b);
        return b;
    };
    cmdAbort = button("cmdAbort", QStringLiteral("&Abort"));
    cmdCancel = button("cmdCancel", QStringLiteral("&Cancel"));
    cmdDone = button("cmdDone", QStringLiteral("&Done"));
    layout->addLayout(buttons);

    tmrAnimation = new QTimer(this);
    tmrAnimation->setObjectName(QStringLiteral("tmrAnimation"));
    tmrAnimation->setInterval(AnimationIntervalMs);

    connect(cmdAbort, &QPushButton::clicked, this, &RunControlPane::cmdAbort_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &RunControlPane::cmdCancel_Click);
    connect(cmdDone, &QPushButton::clicked, this, &RunControlPane::doneClicked);
    connect(tmrAnimation, &QTimer::timeout, this, &RunControlPane::tmrAnimation_Timer);

    connect(&m_run, &MigrationRun::Line, this, &RunControlPane::runLine);
    connect(&m_run, &MigrationRun::StatusChanged, this, &RunControlPane::statusChanged);
    connect(&m_run, &MigrationRun::Message, this, &RunControlPane::message);
    connect(&m_run, &MigrationRun::ProcessingComplete, this, &RunControlPane::processingComplete);
    connect(&RunState::instance(), &RunState::changed, this, &RunControlPane::runStateChanged);
    runStateChanged();
}

void RunControlPane::appendLine(const QString &line)
{
    m_log->appendLine(line);
}

void RunControlPane::continueLine(const QString &text)
{
    m_log->continueLine(text);
}

void RunControlPane::runLine(const QString &line)
{
    const int client = std::exchange(m_statusClient, -1);
    if (client >= 0)
        m_log->appendStatus(client, line);
    else
        m_log->appendLine(line);
}

void RunControlPane::copyLines()
{
    QModelIndexList rows = lstProgressLog->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (const QModelIndex &row : std::as_const(rows))
        lines.append(row.data().toString());
    QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

QString RunControlPane::Summary() const
{
    const MigrationRun::Tally &tally = m_run.Clients();
    QStringList parts;
    for (int i = 0; i < ClientStatus::CategoryCount; ++i) {
        if (const int count = tally.Count(static_cast<ClientStatus::Category>(i)))
            parts.append(QStringLiteral("%1 %2").arg(QString::fromLatin1(kTiles[i].caption)).arg(count));
    }
    return parts.join(QStringLiteral(", "));
}

void RunControlPane::SetCaption(const QString &caption)
{
    lblProgressCaption->setText(caption);
}

void RunControlPane::StartTest(const QString &caption)
{
    lblProgressCaption->setText(caption);
    m_log->clear();
    m_treeStatus.SetColorsForRun();
    m_animationFrame = false;
    tmrAnimation_Timer();
}

void RunControlPane::prepare(const QString &caption)
{
    m_treeStatus.SetColorsForRun();
    m_log->clear();
    m_shownCounts.fill(-1);
    m_animationFrame = false;
    tmrAnimation_Timer();
    lblProgressCaption->setText(caption);
}

void RunControlPane::Start(QXEInterface &engine)
{
    const QString caption = QStringLiteral("Migration in progress...");
    prepare(engine.Engine().Rehearses() ? modRehearsal::Label(caption) : caption);
    // Run switches the run state on before anything else, and with it the
    // buttons and the animation.
    m_run.Start(engine);
    // Only now does the run know how many clients it has.
    showCounts();
}

bool RunControlPane::Reattach(QXEInterface &engine, const QString &resultsFolder, QString &problem)
{
    prepare(QStringLiteral("Migration in progress..."));
    const bool attached = m_run.Reattach(engine, resultsFolder, problem);
    showCounts();
    return attached;
}

bool RunControlPane::StartUndelivered(QXEInterface &engine, const QString &resultsFolder, QString &problem)
{
    prepare(QStringLiteral("Migration in progress..."));
    const bool started = m_run.StartUndelivered(engine, resultsFolder, problem);
    showCounts();
    return started;
}

void RunControlPane::StartRollback(QXEInterface &engine, const RollbackJob &job, const QString &jobName, const QString &resultsFolder)
{
    prepare(modRollback::Label(QStringLiteral("Rollback in progress...")));
    m_run.StartRollback(engine, job, jobName, resultsFolder);
    showCounts();
}

void RunControlPane::runStateChanged()
{
    const RunState &state = RunState::instance();
    cmdAbort->setEnabled(state.isEnabled(Command::AbortMigration));
    cmdCancel->setEnabled(state.isEnabled(Command::Cancel));
    cmdDone->setEnabled(state.isEnabled(Command::Done));
    // A test has no migration tally to show.
    fraCounts->setVisible(state.mode() == RunState::Mode::Migration);
    // The icon turns while something is under way, not while Done waits.
    const bool underWay = state.running() && !state.isEnabled(Command::Done);
    if (!underWay)
        tmrAnimation->stop();
    else if (!tmrAnimation->isActive())
        tmrAnimation->start();
    if (state.running())
        showCounts();
}

void RunControlPane::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    const int spacing = m_countsGrid->horizontalSpacing();
    const int width = contentsRect().width() - layout()->contentsMargins().left() - layout()->contentsMargins().right();
    // The most columns whose widest tiles fit side by side.
    int columns = ClientStatus::CategoryCount;
    for (; columns > 1; --columns) {
        int needed = -spacing;
        for (int column = 0; column < columns; ++column) {
            int widest = 0;
            for (int i = column; i < ClientStatus::CategoryCount; i += columns)
                widest = qMax(widest, m_tiles[i]->sizeHint().width());
            needed += widest + spacing;
        }
        if (needed <= width)
            break;
    }
    layoutTiles(columns);
}

void RunControlPane::layoutTiles(int columns)
{
    if (columns == m_tileColumns)
        return;
    for (QWidget *tile : m_tiles)
        m_countsGrid->removeWidget(tile);
    for (int column = 0; column <= ClientStatus::CategoryCount; ++column)
        m_countsGrid->setColumnStretch(column, column == columns ? 1 : 0);
    for (int i = 0; i < ClientStatus::CategoryCount; ++i)
        m_countsGrid->addWidget(m_tiles[i], i / columns, i % columns);
    m_tileColumns = columns;
}

void RunControlPane::ShowOutcome(int image)
{
    tmrAnimation->stop();
    imgProgress->setPixmap(m_tree.icons().icon(image).pixmap(IconSize, IconSize));
}

void RunControlPane::tmrAnimation_Timer()
{
    m_animationFrame = !m_animationFrame;
    const int image = m_animationFrame ? TreeImage::StatusLoading : TreeImage::StatusUnloading;
    imgProgress->setPixmap(m_tree.icons().icon(image).pixmap(IconSize, IconSize));
}

// ---- the engine's events --------------------------------------------------------

void RunControlPane::statusChanged(int computerId, const QString &code)
{
    m_treeStatus.SetNodeStatus(QStringLiteral("C") + QString::number(computerId), code);
    showCounts();
    // The run writes the progress line, with the computer's name, right
    // after this: the log writes a client's unchanged status once.
    m_statusClient = computerId;
}

void RunControlPane::showCounts()
{
    const MigrationRun::Tally &tally = m_run.Clients();
    // Only the tiles that changed: a status event moves one client between two.
    for (int i = 0; i < ClientStatus::CategoryCount; ++i) {
        const int count = tally.Count(static_cast<ClientStatus::Category>(i));
        if (count == m_shownCounts[i])
            continue;
        m_shownCounts[i] = count;
        lblCounts[i]->setText(tileText(count, kTiles[i].caption));
    }
}

void RunControlPane::message(int level, const QString &text)
{
    if (level == QXEInterface::LevelError)
        modErrorHandler::ShowMessage(modErrorHandler::Error, text);
    else if (level == QXEInterface::LevelWarning)
        modErrorHandler::ShowMessage(modErrorHandler::Warning, text);
    else
        modErrorHandler::ShowMessage(modErrorHandler::Information, text);
}

void RunControlPane::processingComplete()
{
    // The run has added "Processing complete." to the log and the run state
    // waits for Done. A caption still saying "in progress" over a finished
    // run would send the administrator looking for what is left; the icon
    // is the worst way a client ended, as a group's would be.
    const QString caption = m_run.RunKind() == MigrationRun::Kind::Rollback
        ? QStringLiteral("Rollback complete: press Done to return to editing.")
        : QStringLiteral("Migration complete: press Done to return to editing.");
    lblProgressCaption->setText(m_run.Label(caption));
    showCounts();
    const MigrationRun::Tally &tally = m_run.Clients();
    int outcome = TreeImage::StatusSuccess;
    for (const ClientStatus::Category category : ClientStatus::WorstFirst) {
        if (tally.Count(category) > 0 && category != ClientStatus::Category::InProgress && category != ClientStatus::Category::NotStarted) {
            outcome = ClientStatus::GroupImage(category);
            break;
        }
    }
    ShowOutcome(outcome);
    modErrorHandler::ShowMessage(modErrorHandler::Information,
        QStringLiteral("Processing is complete.  A summary of the %1 can be seen in ")
                .arg(m_run.RunKind() == MigrationRun::Kind::Rollback ? QStringLiteral("rollback") : QStringLiteral("migration"))
            + CR
            + QStringLiteral("the progress log and status tree panes of the console.  Press the") + CR
            + QStringLiteral("'Done' button to return the console to normal operation.") + CR + CR
            + QStringLiteral("For detailed information please review the log files under the View menu."));
}

// ---- commands -------------------------------------------------------------------

void RunControlPane::CancelMigration()
{
    Presenter::Message box;
    box.owner = window();
    box.caption = QStringLiteral("Cancel Migration");
    box.icon = Presenter::Icon::Information;
    box.buttons = Presenter::Buttons::YesNo;
    box.text = QStringLiteral("Canceling the migration will prevent all unprocessed computers") + CR
        + QStringLiteral("from being migrated.  All computers which have already begun") + CR
        + QStringLiteral("migration will complete normally.") + CR + CR + QStringLiteral("Are you sure you wish to cancel the migration?");
    if (Presenter::current().showMessage(box) == Presenter::Yes)
        m_run.CancelAll();
}

void RunControlPane::AbortMigration()
{
    Presenter::Message box;
    box.owner = window();
    box.caption = QStringLiteral("Abort Migration");
    box.icon = Presenter::Icon::Exclamation;
    box.buttons = Presenter::Buttons::YesNo;
    box.defaultButton = 1;
    box.text = QStringLiteral("WARNING! Aborting the migration will prevent all unprocessed") + CR
        + QStringLiteral("computers from being migrated.  All computers which have already") + CR
        + QStringLiteral("begun migration will be aborted and may be left in an inaccessible") + CR + QStringLiteral("or damaged state.")
        + CR + CR + QStringLiteral("Are you sure you wish to abort the migration?");
    if (Presenter::current().showMessage(box) == Presenter::Yes)
        m_run.AbortAll();
}

void RunControlPane::CancelClients(const QStringList &nodeKeys)
{
    const MigrationRun::ClientChoice choice = m_run.ChooseClients(nodeKeys);
    if (const QString why = MigrationRun::WhyNot(choice, QStringLiteral("cancel")); !why.isEmpty())
        modErrorHandler::ShowMessage(modErrorHandler::Information, why);
    for (const QString &key : choice.Keys)
        m_run.CancelClient(key);
}

void RunControlPane::AbortClients(const QStringList &nodeKeys)
{
    const MigrationRun::ClientChoice choice = m_run.ChooseClients(nodeKeys);
    if (const QString why = MigrationRun::WhyNot(choice, QStringLiteral("abort")); !why.isEmpty())
        modErrorHandler::ShowMessage(modErrorHandler::Information, why);
    if (choice.Keys.isEmpty())
        return;
    // Asked first, although the whole-run abort is the only one the console
    // always asked about: a client stopped half way may be left unusable
    // just the same, and the command is one slip of the pop-up menu away.
    Presenter::Message box;
    box.owner = window();
    box.caption = QStringLiteral("Abort Client");
    box.icon = Presenter::Icon::Exclamation;
    box.buttons = Presenter::Buttons::YesNo;
    box.defaultButton = 1;
    const bool one = choice.Keys.size() == 1;
    const QString which = one ? QLatin1Char('\'') + m_tree.text(choice.Keys.first()) + QLatin1Char('\'')
                              : QStringLiteral("the %1 selected computers").arg(choice.Keys.size());
    box.text = QStringLiteral("WARNING! Aborting the migration of %1 stops it where it is.").arg(which) + CR
        + (one ? QStringLiteral("The computer may be left in an inaccessible or damaged state.")
               : QStringLiteral("The computers may be left in an inaccessible or damaged state."))
        + CR + CR + (one ? QStringLiteral("Are you sure you wish to abort it?") : QStringLiteral("Are you sure you wish to abort them?"));
    if (Presenter::current().showMessage(box) != Presenter::Yes)
        return;
    for (const QString &key : choice.Keys)
        m_run.AbortClient(key);
}

void RunControlPane::cmdAbort_Click()
{
    AbortMigration();
}

void RunControlPane::cmdCancel_Click()
{
    const RunState &state = RunState::instance();
    if (!state.isEnabled(Command::Cancel))
        return;
    if (state.isEnabled(Command::CancelMigration))
        CancelMigration();
    else
        Q_EMIT testStopRequested();
}

#include "shell/forms/RunControlPane.h"

#include "common/AppState.h"
#include "common/Presenter.h"
#include "common/TreeImage.h"
#include "common/modErrorHandler.h"
#include "database/ComputerDB.h"
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

void enable(QAction *action, bool enabled)
{
    if (action)
        action->setEnabled(enabled);
}

} // namespace

RunControlPane::RunControlPane(MigrationRun &run, ComputerTreeView &tree, Commands commands, QWidget *parent)
    : QFrame(parent)
    , m_run(run)
    , m_tree(tree)
    , m_commands(commands)
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

    fraCounts = new QWidget(this);
    fraCounts->setObjectName(QStringLiteral("fraCounts"));
    auto *counts = new QGridLayout(fraCounts);
    counts->setContentsMargins(0, 0, 0, 0);
    counts->setHorizontalSpacing(12);
    for (int i = 0; i < ClientStatus::CategoryCount; ++i) {
        auto *icon = new QLabel(this);
        icon->setPixmap(tree.icons().icon(kTiles[i].image).pixmap(IconSize, IconSize));
        lblCounts[i] = new QLabel(tileText(0, kTiles[i].caption), this);
        lblCounts[i]->setObjectName(QString::fromLatin1(kTiles[i].name));
        lblCounts[i]->setTextFormat(Qt::RichText);
        counts->addWidget(icon, 0, 2 * i, Qt::AlignRight | Qt::AlignVCenter);
        counts->addWidget(lblCounts[i], 0, 2 * i + 1, Qt::AlignLeft | Qt::AlignVCenter);
    }
    counts->setColumnStretch(2 * ClientStatus::CategoryCount, 1);
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
    connect(&m_run, &MigrationRun::LastClient, this, &RunControlPane::lastClient);
    connect(&m_run, &MigrationRun::Message, this, &RunControlPane::message);
    connect(&m_run, &MigrationRun::ProcessingComplete, this, &RunControlPane::processingComplete);
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

void RunControlPane::Start(QXEInterface &engine)
{
    m_treeStatus.SetColorsForRun();
    m_log->clear();
    m_shownCounts.fill(-1);
    cmdAbort->setEnabled(true);
    m_animationFrame = false;
    tmrAnimation_Timer();
    tmrAnimation->start();
    lblProgressCaption->setText(QStringLiteral("Migration in progress..."));
    // Run switches the running state on before anything else.
    m_run.Start(engine);
    // Only now does the run know how many clients it has.
    showCounts();
}

void RunControlPane::Running(bool running)
{
    if (running) {
        tmrAnimation->start();
    } else {
        tmrAnimation->stop();
    }
    const bool migration = AppState::Get().Mode == AppState::RunMigration;
    // A test has no migration tally to show.
    fraCounts->setVisible(migration);
    // A ping or network test has nothing to abort; its Abort button would
    // only ask the migration's abort question.
    cmdAbort->setEnabled(running && migration);
    cmdCancel->setEnabled(running);
    cmdDone->setEnabled(false);
    enable(m_commands.CancelMigration, running && migration);
    enable(m_commands.AbortMigration, running && migration);
    for (QAction *client : {m_commands.CancelClient, m_commands.AbortClient, m_commands.PopCancelClient, m_commands.PopAbortClient})
        enable(client, running);
    if (running)
        showCounts();
}

void RunControlPane::EnableDone()
{
    cmdDone->setEnabled(true);
    cmdCancel->setEnabled(false);
    tmrAnimation->stop();
    imgProgress->setPixmap(m_tree.icons().icon(TreeImage::StatusSuccess).pixmap(IconSize, IconSize));
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

void RunControlPane::lastClient()
{
    // Nothing is left to cancel.
    enable(m_commands.CancelMigration, false);
    enable(m_commands.CancelClient, false);
    enable(m_commands.PopCancelClient, false);
    cmdCancel->setEnabled(false);
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
    enable(m_commands.AbortMigration, false);
    enable(m_commands.AbortClient, false);
    enable(m_commands.PopAbortClient, false);
    cmdAbort->setEnabled(false);
    EnableDone();
    // The run has added "Processing complete." to the log and set the edit
    // flag; the commands stay locked until Done. A caption still saying "in
    // progress" over a finished run would send the administrator looking for
    // what is left.
    lblProgressCaption->setText(QStringLiteral("Migration complete: press Done to return to editing."));
    showCounts();
    modErrorHandler::ShowMessage(modErrorHandler::Information,
        QStringLiteral("Processing is complete.  A summary of the migration can be seen in ") + CR
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
    if (Presenter::current().showMessage(box) != Presenter::Yes)
        return;
    cmdAbort->setEnabled(false);
    m_run.AbortAll();
}

void RunControlPane::CancelClient(const QString &nodeKey)
{
    if (nodeKey.startsWith(QLatin1Char('C')))
        m_run.CancelClient(nodeKey);
}

void RunControlPane::AbortClient(const QString &nodeKey)
{
    if (nodeKey.startsWith(QLatin1Char('C')))
        m_run.AbortClient(nodeKey);
}

void RunControlPane::cmdAbort_Click()
{
    cmdCancel->setEnabled(false);
    AbortMigration();
}

void RunControlPane::cmdCancel_Click()
{
    if (!AppState::Get().MigrationRunning)
        return;
    cmdCancel->setEnabled(false);
    if (AppState::Get().Mode == AppState::RunMigration)
        CancelMigration();
    else
        Q_EMIT testStopRequested();
}

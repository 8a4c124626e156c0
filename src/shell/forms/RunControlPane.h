#pragma once

#include "job/MigrationRun.h"
#include "job/RunTreeStatus.h"
#include "shell/ProgressLogModel.h"

#include <QFrame>

#include <array>
#include <functional>

class ComputerTreeView;
class QAction;
class QLabel;
class QListView;
class QPushButton;
class QXEInterface;
class QTimer;

// The progress log pane that takes the settings panel's place during a run
// (the main window's `fmProgressLog` hosts it): the caption with its
// animated icon, the live counts, the log itself and the Abort, Cancel and
// Done buttons. It handles the run's events and the run commands; the main
// window switches the rest of itself with Running and ends the run on Done.
//
// The log is a list over ProgressLogModel, which hands it its lines in
// batches and keeps a bounded number, and a status event finds its node
// through the tree's key index, so the pane keeps pace with a run of any
// size.
class RunControlPane : public QFrame
{
    Q_OBJECT

public:
    // The window's run entries the pane switches as the run goes on.
    struct Commands
    {
        QAction *CancelMigration = nullptr;
        QAction *AbortMigration = nullptr;
        QAction *CancelClient = nullptr;
        QAction *AbortClient = nullptr;
        QAction *PopCancelClient = nullptr;
        QAction *PopAbortClient = nullptr;
    };

    RunControlPane(MigrationRun &run, ComputerTreeView &tree, Commands commands, QWidget *parent = nullptr);

    // The start command's last step, once its checks passed: the tree and
    // the pane prepared, then the job handed to the engine.
    void Start(QXEInterface &engine);
    // A test's start: the tree prepared, the log emptied, the caption set.
    // The caller switches the running state on.
    void StartTest(const QString &caption);
    void SetCaption(const QString &caption);
    // The run's counts in one line ("Succeeded 10, With errors 2"), for the status bar.
    QString Summary() const;
    // The pane's part of the running state.
    void Running(bool running);
    // The run is over for the engine: Done ends it for the console.
    void EnableDone();

    // The whole-run commands, each with its confirmation.
    void CancelMigration();
    void AbortMigration();
    // The client commands on a tree node; anything but a computer is ignored.
    void CancelClient(const QString &nodeKey);
    void AbortClient(const QString &nodeKey);

    ProgressLogModel *log() const { return m_log; }
    RunTreeStatus &treeStatus() { return m_treeStatus; }

    // A line of the progress log.
    void appendLine(const QString &line);
    // More text at the end of the last line.
    void continueLine(const QString &text);

Q_SIGNALS:
    void doneClicked();
    // The Cancel button during a network or ping test: the test stops
    // through its own command.
    void testStopRequested();

private:
    void statusChanged(int computerId, const QString &code);
    void runLine(const QString &line);
    void copyLines();
    void lastClient();
    void message(int level, const QString &text);
    void processingComplete();
    void showCounts();
    void cmdAbort_Click();
    void cmdCancel_Click();
    void tmrAnimation_Timer();

    MigrationRun &m_run;
    ComputerTreeView &m_tree;
    Commands m_commands;
    RunTreeStatus m_treeStatus;

    QLabel *imgProgress = nullptr;
    QLabel *lblProgressCaption = nullptr;
    QWidget *fraCounts = nullptr;
    std::array<QLabel *, ClientStatus::CategoryCount> lblCounts {};
    std::array<int, ClientStatus::CategoryCount> m_shownCounts {};
    ProgressLogModel *m_log = nullptr;
    QListView *lstProgressLog = nullptr;
    // The client whose status line the run writes next; -1 for other lines.
    int m_statusClient = -1;
    bool m_followEnd = true;
    QPushButton *cmdAbort = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdDone = nullptr;
    QTimer *tmrAnimation = nullptr;
    bool m_animationFrame = false;
};

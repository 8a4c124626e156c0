#pragma once

#include "job/MigrationRun.h"
#include "job/RunTreeStatus.h"
#include "shell/ProgressLogModel.h"

#include <QFrame>

#include <array>
#include <functional>

class ComputerTreeView;
class QAction;
class QGridLayout;
class QLabel;
class QListView;
class QPushButton;
class QXEInterface;
struct RollbackJob;
class QTimer;

// The progress log pane that takes the settings panel's place during a run
// (the main window's `fmProgressLog` hosts it): the caption with its
// animated icon, the live counts, the log itself and the Abort, Cancel and
// Done buttons. It handles the run's events and the run commands; its
// buttons follow RunState, and the main window ends the run on Done.
//
// The log is a list over ProgressLogModel, which hands it its lines in
// batches and keeps a bounded number, and a status event finds its node
// through the tree's key index, so the pane keeps pace with a run of any
// size.
class RunControlPane : public QFrame
{
    Q_OBJECT

public:
    RunControlPane(MigrationRun &run, ComputerTreeView &tree, QWidget *parent = nullptr);

    // The start command's last step, once its checks passed: the tree and
    // the pane prepared, then the job handed to the engine.
    void Start(QXEInterface &engine);
    // The same for the rollback of `job`'s computers.
    void StartRollback(QXEInterface &engine, const RollbackJob &job, const QString &jobName, const QString &resultsFolder);
    // A test's start: the tree prepared, the log emptied, the caption set.
    // The caller switches the run state on.
    void StartTest(const QString &caption);
    // Follows a run an earlier console left going; false with the reason.
    bool Reattach(QXEInterface &engine, const QString &resultsFolder, QString &problem);
    // Delivers what a run whose engine died never delivered; false with the reason.
    bool StartUndelivered(QXEInterface &engine, const QString &resultsFolder, QString &problem);
    void SetCaption(const QString &caption);
    // The run's counts in one line ("Succeeded 10, With errors 2"), for the status bar.
    QString Summary() const;
    // The run or the test is over and waits for Done: the icon stops
    // turning and shows how it ended (a tree image).
    void ShowOutcome(int image);

    // The whole-run commands, each with its confirmation.
    void CancelMigration();
    void AbortMigration();
    // The client commands on the selected tree nodes: each computer that
    // has not finished; what they leave alone is said.
    void CancelClients(const QStringList &nodeKeys);
    void AbortClients(const QStringList &nodeKeys);

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

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void prepare(const QString &caption);
    void layoutTiles(int columns);
    void statusChanged(int computerId, const QString &code);
    void runLine(const QString &line);
    void copyLines();
    void runStateChanged();
    void message(int level, const QString &text);
    void processingComplete();
    void showCounts();
    void cmdAbort_Click();
    void cmdCancel_Click();
    void tmrAnimation_Timer();

    MigrationRun &m_run;
    ComputerTreeView &m_tree;
    RunTreeStatus m_treeStatus;

    QLabel *imgProgress = nullptr;
    QLabel *lblProgressCaption = nullptr;
    QWidget *fraCounts = nullptr;
    QGridLayout *m_countsGrid = nullptr;
    std::array<QWidget *, ClientStatus::CategoryCount> m_tiles {};
    int m_tileColumns = 0;
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

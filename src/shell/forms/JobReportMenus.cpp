#include "shell/forms/JobReportMenus.h"

#include "common/AppState.h"
#include "common/ProgressBarLink.h"
#include "common/RunState.h"
#include "common/modErrorHandler.h"
#include "common/modRehearsal.h"
#include "common/widgets/frmProgress.h"
#include "database/ComputerDB.h"
#include "job/ClientCheck.h"
#include "job/MigrationRun.h"
#include "job/modRetry.h"
#include "shell/SettingsFileController.h"
#include "validation/ReadinessReport.h"
#include "validation/modReadinessReport.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QWidget>

namespace {

QAction *insertItem(QMenu *menu, QAction *before, const char *name, const QString &caption)
{
    auto *action = new QAction(caption, menu);
    action->setObjectName(QString::fromLatin1(name));
    menu->insertAction(before, action);
    return action;
}

} // namespace

JobReportMenus::JobReportMenus(const Items &items, ComputerDB &database, MigrationRun &run, SettingsFileController &files)
    : QObject(items.Owner)
    , m_items(items)
    , m_database(database)
    , m_run(run)
    , m_files(files)
{
    const QList<QAction *> fileItems = items.File->actions();
    QAction *afterNewJob = fileItems.value(fileItems.indexOf(items.AfterNewJob) + 1);
    mnuNewJobFromUnfinished
        = insertItem(items.File, afterNewJob, "mnuNewJobFromUnfinished", QStringLiteral("New Job from &Unfinished Computers..."));
    mnuReadinessReport = insertItem(items.Tools, items.BeforeReadiness, "mnuReadinessReport", QStringLiteral("&Readiness Report..."));
    connect(mnuReadinessReport, &QAction::triggered, this, [this] {
        frmProgress progress(m_items.Owner);
        ProgressBarLink link;
        link.LinkForm(&progress);
        modReadinessReport::Show(m_database, m_items.Owner, &link, [this](ReadinessReport &report, ProgressBarLink *bar, QString &problem) {
            bar->Start(
                0, int(report.Computers.size()), QStringLiteral("Readiness Report"), QStringLiteral("Checking on the clients..."), 0, true);
            ClientCheck check(m_database);
            const bool ran = check.Run(
                report,
                [bar](int done, int) {
                    bar->SetValue(done);
                    return !bar->CancelVal();
                },
                problem);
            bar->Finish();
            if (ClientCheck::StopRequested()) {
                // The console is closing: no report to offer.
                problem.clear();
                return false;
            }
            return ran;
        });
    });
    connect(mnuNewJobFromUnfinished, &QAction::triggered, this, &JobReportMenus::mnuNewJobFromUnfinished_Click);
    connect(items.File, &QMenu::aboutToShow, this, &JobReportMenus::updateItems);
    connect(items.Tools, &QMenu::aboutToShow, this, &JobReportMenus::updateItems);
    // The report is on the toolbar as well, which shows no menu first.
    connect(&RunState::instance(), &RunState::changed, this, &JobReportMenus::updateItems);
    updateItems();
}

void JobReportMenus::updateItems()
{
    const RunState &state = RunState::instance();
    mnuReadinessReport->setEnabled(state.isEnabled(RunState::Command::ReadinessReport));
    // Without a status nothing is known to have finished: the new job
    // would be the old one.
    mnuNewJobFromUnfinished->setEnabled(state.isEnabled(RunState::Command::NewJobFromUnfinished) && !m_run.LastStatuses().isEmpty());
}

void JobReportMenus::mnuNewJobFromUnfinished_Click()
{
    modErrorHandler::Guard("frmMain.mnuNewJobFromUnfinished_Click", [&] {
        if (m_run.RunKind() == MigrationRun::Kind::Rollback) {
            modErrorHandler::ShowMessage(modErrorHandler::Information,
                QStringLiteral("The last run was a rollback: its statuses say which migrations were reversed, not which computers "
                               "finished.  Load the migration's state, or use vo retry with the migration's results folder."));
            return;
        }
        // A rehearsal finished nothing, whatever its statuses say.
        const QMap<int, QString> statuses = m_run.Rehearsal() ? QMap<int, QString>() : m_run.LastStatuses();
        const modRetry::Split split = modRetry::UnfinishedJob(m_database, [&statuses](int id) { return statuses.value(id); });
        const int total = split.Kept + split.Finished;
        if (split.Kept == 0) {
            modErrorHandler::ShowMessage(modErrorHandler::Information,
                QStringLiteral("Every one of the %1 computers finished its migration: there is nothing to do again.").arg(total));
            return;
        }
        const QString jobName = modRetry::NextJobName(AppState::Get().CurrentJobName);
        QString path;
        if (!m_files.SaveNewJob(*split.Database, jobName, &path))
            return;
        modErrorHandler::ShowMessage(modErrorHandler::Information,
            (m_run.Rehearsal() ? modRehearsal::NothingMigrated() + QStringLiteral("\r\r") : QString())
                + QStringLiteral("The new job \"%1\" keeps the %2 of %3 computers that did not finish;\r"
                                 "%4 finished and were left out.  Its settings file is\r\"%5\".\r\r"
                                 "The settings open now are unchanged.  Load the new file to run it.")
                      .arg(jobName)
                      .arg(split.Kept)
                      .arg(total)
                      .arg(split.Finished)
                      .arg(QDir::toNativeSeparators(path)));
    });
}

#include "job/modRunReport.h"

#include "common/AppState.h"
#include "common/Clock.h"
#include "common/Presenter.h"
#include "common/modErrorHandler.h"
#include "common/modGeneral.h"
#include "job/MigrationRun.h"
#include "job/RunReport.h"

#include <QDir>
#include <QFileInfo>

namespace modRunReport {

void Save(const ComputerDB &database, const MigrationRun &run, QObject *owner)
{
    Presenter::FileRequest request;
    request.caption = QStringLiteral("Save Run Report");
    request.filter = QStringLiteral("Run reports (*.html);;All files (*)");
    request.folder = QDir::homePath();
    request.fileName = AppState::Get().CurrentJobName + QStringLiteral(" report.html");
    request.defaultSuffix = QStringLiteral("html");
    request.owner = owner;
    const std::optional<QString> chosen = Presenter::current().askSaveFileName(request);
    if (!chosen || chosen->isEmpty())
        return;

    const QFileInfo html(*chosen);
    const QString csv = html.dir().filePath(html.completeBaseName() + QStringLiteral(".csv"));
    RunReport report = RunReport::Build(database, run.ClientIds(), run.LastStatuses(), run.ResultsFolder());
    report.JobName = run.JobName();
    report.Rehearsal = run.Rehearsal();
    report.Rollback = run.RunKind() == MigrationRun::Kind::Rollback;
    report.Time = Clock::instance().currentDateTime();
    QString problem;
    if (!report.Write(csv, html.filePath(), &problem))
        modErrorHandler::ShowMessage(modErrorHandler::Error, problem);
}

} // namespace modRunReport

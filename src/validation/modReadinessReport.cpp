#include "validation/modReadinessReport.h"

#include "common/AppState.h"
#include "common/Clock.h"
#include "common/ConsoleConfig.h"
#include "common/Presenter.h"
#include "common/ProgressBarLink.h"
#include "common/modErrorHandler.h"
#include "common/modRehearsal.h"
#include "common/modShell.h"
#include "network/modNetwork.h"
#include "validation/ReadinessReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace modReadinessReport {

namespace {

const QString Caption = QStringLiteral("Readiness Report");
const QString CR = QStringLiteral("\r");
// The message shows this many faults; the saved report has them all.
constexpr int FaultsShown = 10;

QString faultLines(const ReadinessReport &report)
{
    QString lines;
    int shown = 0;
    for (const ReadinessReport::Computer &computer : report.Computers) {
        for (const ReadinessReport::Fault &fault : computer.Faults) {
            if (shown++ == FaultsShown)
                return lines + QStringLiteral("...") + CR;
            lines += QStringLiteral("%1: %2 %3: %4")
                         .arg(computer.Name, fault.Warning ? QStringLiteral("warning") : QStringLiteral("error"))
                         .arg(fault.Code)
                         .arg(fault.Text)
                + CR;
        }
    }
    return lines;
}

void save(const ReadinessReport &report, QObject *owner)
{
    Presenter::FileRequest request;
    request.caption = QStringLiteral("Save Readiness Report");
    request.filter = QStringLiteral("Readiness reports (*.html);;All files (*)");
    request.folder = QDir::homePath();
    request.fileName = report.JobName + QStringLiteral(" readiness.html");
    request.defaultSuffix = QStringLiteral("html");
    request.owner = owner;
    const std::optional<QString> chosen = Presenter::current().askSaveFileName(request);
    if (!chosen || chosen->isEmpty())
        return;
    const QFileInfo html(*chosen);
    const QString csv = html.dir().filePath(html.completeBaseName() + QStringLiteral(".csv"));
    QString problem;
    if (!report.Write(csv, html.filePath(), &problem)) {
        modErrorHandler::ShowMessage(modErrorHandler::Error, problem);
        return;
    }
    const QString failure = modShell::OpenAssociated(html.filePath());
    if (!failure.isEmpty()) {
        modErrorHandler::ShowMessage(modErrorHandler::Warning,
            QStringLiteral("The readiness report was saved in \"%1\", but it could not be opened: %2")
                .arg(QDir::toNativeSeparators(html.filePath()), failure));
    }
}

} // namespace

void Show(const ComputerDB &database, QObject *owner, ProgressBarLink *progress, const ClientCheckStep &checkClients)
{
    modErrorHandler::Guard("frmMain.mnuReadinessReport_Click", [&] {
        const ConsoleConfig config;
        QString address = config.Text(ConsoleConfig::ListenerIP);
        if (address.isEmpty())
            address = modNetwork::GetListenerIP(config);
        const int port = config.Number(ConsoleConfig::ListenerPort);
        const int inFlight = config.Number(ConsoleConfig::PingsInFlight);

        Presenter::Message question;
        question.owner = owner;
        question.caption = Caption;
        question.icon = Presenter::Icon::Question;
        question.buttons = Presenter::Buttons::YesNoCancel;
        question.text = QStringLiteral("The readiness report lists every fault of every computer, where Start") + CR
            + QStringLiteral("Migration stops at the first one.") + CR + CR
            + QStringLiteral("Ping every computer (%1 at once) and check that the listener port %2").arg(inFlight).arg(port) + CR
            + QStringLiteral("can be opened on %1 as well?").arg(address.isEmpty() ? QStringLiteral("(no address)") : address);
        const Presenter::Answer network = Presenter::current().showMessage(question);
        if (network == Presenter::Cancel)
            return;

        bool clients = false;
        if (checkClients) {
            Presenter::Message ask;
            ask.owner = owner;
            ask.caption = Caption;
            ask.icon = Presenter::Icon::Question;
            ask.buttons = Presenter::Buttons::YesNoCancel;
            ask.buttonCaptions = {QStringLiteral("Check on the clients"), QStringLiteral("No"), QStringLiteral("Cancel")};
            ask.text = QStringLiteral("Check on the clients as well?") + CR + CR
                + QStringLiteral("The engine reaches every computer over ssh, and the client service checks, on the computer") + CR
                + QStringLiteral("itself, its accounts, profiles, disk space and domain membership. Nothing is changed.");
            const Presenter::Answer answer = Presenter::current().showMessage(ask);
            if (answer == Presenter::Cancel)
                return;
            clients = answer == Presenter::Yes;
        }

        ReadinessReport report = ReadinessReport::Build(database, clients || !modRehearsal::EngineRehearses() ? address : QString());
        report.JobName = AppState::Get().CurrentJobName;
        report.Time = Clock::instance().currentDateTime();
        if (network == Presenter::Yes) {
            report.CheckListener(address, port);
            if (progress)
                progress->Start(0, static_cast<int>(report.Computers.size()), Caption, QStringLiteral("Pinging the computers..."), 0, true);
            // The window stays alive while the pings are under way; at ten
            // thousand computers that is minutes, so they may be cancelled.
            report.Ping(inFlight, [progress](int done) {
                if (!progress) {
                    QCoreApplication::processEvents();
                    return true;
                }
                progress->SetValue(done);
                return !progress->CancelVal();
            });
            if (progress)
                progress->Finish();
        }

        if (clients) {
            QString problem;
            if (!checkClients(report, progress, problem)) {
                if (problem.isEmpty())
                    return;
                modErrorHandler::ShowMessage(
                    modErrorHandler::Error, QStringLiteral("The check on the clients could not run:") + CR + problem);
            }
        }

        Presenter::Message summary;
        summary.owner = owner;
        summary.caption = Caption;
        summary.icon = report.Counts()[static_cast<size_t>(ReadinessReport::Standing::Errors)] > 0 ? Presenter::Icon::Exclamation
                                                                                                   : Presenter::Icon::Information;
        summary.buttons = Presenter::Buttons::YesNo;
        summary.buttonCaptions = {QStringLiteral("Save Report..."), QStringLiteral("Close")};
        summary.text = report.Summary().trimmed().replace(QLatin1Char('\n'), CR) + CR + CR + faultLines(report) + CR
            + QStringLiteral("Save the whole report as an HTML page, with a CSV file beside it?");
        if (Presenter::current().showMessage(summary) == Presenter::Yes)
            save(report, owner);
    });
}

} // namespace modReadinessReport

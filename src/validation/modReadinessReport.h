#pragma once

#include <QString>

#include <functional>

class ComputerDB;
class ProgressBarLink;
class QObject;
class ReadinessReport;

// Tools > Readiness Report: what the main window does with the command,
// apart from the window.
namespace modReadinessReport {

// Asks whether to ping the computers and try the listener port as well,
// builds the report, shows its summary and offers to save it: the HTML
// page where the administrator chooses, the CSV beside it under the same
// name, and the page opened once written. The pings report to `progress`,
// which offers Cancel: the report then shows the computers pinged so far.
//
// With `checkClients` it also offers the check on the clients, which it
// calls with the report and `progress` once the pings are done; false from
// it, with the reason, is shown and the report goes on without it; false
// without a reason ends the command there (the console is closing).
using ClientCheckStep = std::function<bool(ReadinessReport &report, ProgressBarLink *progress, QString &problem)>;
void Show(const ComputerDB &database, QObject *owner, ProgressBarLink *progress = nullptr, const ClientCheckStep &checkClients = {});

} // namespace modReadinessReport

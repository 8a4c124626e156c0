#pragma once

class ComputerDB;
class ProgressBarLink;
class QObject;

// Tools > Readiness Report: what the main window does with the command,
// apart from the window.
namespace modReadinessReport {

// Asks whether to ping the computers and try the listener port as well,
// builds the report, shows its summary and offers to save it: the HTML
// page where the administrator chooses, the CSV beside it under the same
// name, and the page opened once written. The pings report to `progress`,
// which offers Cancel: the report then shows the computers pinged so far.
void Show(const ComputerDB &database, QObject *owner, ProgressBarLink *progress = nullptr);

} // namespace modReadinessReport

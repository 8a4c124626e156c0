#pragma once

class ComputerDB;
class QObject;

// Tools > Readiness Report: what the main window does with the command,
// apart from the window.
namespace modReadinessReport {

// Asks whether to ping the computers and try the listener port as well,
// builds the report, shows its summary and offers to save it: the HTML
// page where the administrator chooses, the CSV beside it under the same
// name, and the page opened once written.
void Show(const ComputerDB &database, QObject *owner);

} // namespace modReadinessReport

#pragma once

class ComputerDB;
class MigrationRun;
class QObject;

// File > Save Run Report: what the main window does with the command,
// apart from the window.
namespace modRunReport {

// Asks where the HTML summary of `run` goes and writes it there, with the
// CSV beside it under the same name ("June.html" and "June.csv"). The
// report covers the current job's results folder.
void Save(const ComputerDB &database, const MigrationRun &run, QObject *owner);

} // namespace modRunReport

#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <utility>

class ComputerDB;

// What the console's reports share, so that the run report and the
// readiness report read alike: CSV fields a spreadsheet takes as text, an
// HTML page that stands alone (its style inside, no other file), its bars,
// the group path of a computer, and the safe write of the files.
namespace modReportFormat {

// A CSV field: quoted when it must be, and marked as text when a
// spreadsheet would take it for a formula.
QByteArray CsvField(const QString &text);
// The byte order mark and the header row, CR LF at the end.
QByteArray CsvHeader(const QStringList &columns);
QByteArray CsvRow(const QStringList &fields);

QString Html(const QString &text);
// The page up to and including <body>; the style covers tables, bars and
// the classes "error" and "warning" for severities in text.
QString PageStart(const QString &title);
QString PageEnd();
// One row of a bar chart table (<table class="chart">): the caption, the
// count, and a bar of the count's share of `total` in `colour`.
QString BarRow(const QString &caption, int count, int total, const char *colour);

// Group names from the top down, separated by "\" as in a directory path;
// empty for -1, directly under "All Computers". `known` keeps the paths
// already found, so that a report of many thousand computers walks each
// group once.
QString GroupPath(const ComputerDB &database, int folderId, QHash<int, QString> &known);

// Writes each file whole or not at all; on failure `problem` names the file
// and the reason, `what` saying what the file is ("The run report").
bool WriteFiles(const QList<std::pair<QString, QByteArray>> &files, const QString &what, QString *problem);

} // namespace modReportFormat

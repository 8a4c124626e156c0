#include "validation/modReportFormat.h"

#include "database/ComputerDB.h"

#include <QDir>
#include <QSaveFile>
#include <QStringList>

namespace modReportFormat {

QByteArray CsvField(const QString &text)
{
    QByteArray field = text.toUtf8();
    // A spreadsheet takes a cell that starts with one of these for a
    // formula; a group called "@SUM(A1:A9)" or "-1+1" must arrive as the
    // text it is. The apostrophe is the spreadsheets' own mark for that.
    if (!field.isEmpty() && QByteArrayView("=+-@\t\r").contains(field.front()))
        field.prepend('\'');
    if (field.contains(',') || field.contains('"') || field.contains('\r') || field.contains('\n')) {
        field.replace('"', "\"\"");
        field = '"' + field + '"';
    }
    return field;
}

QByteArray CsvRow(const QStringList &fields)
{
    QByteArray row;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            row += ',';
        row += CsvField(fields.at(i));
    }
    return row + "\r\n";
}

QByteArray CsvHeader(const QStringList &columns)
{
    // The byte order mark lets spreadsheet programs on Windows, where the
    // reports usually end up, read the names as UTF-8.
    return QByteArray("\xEF\xBB\xBF") + CsvRow(columns);
}

QString Html(const QString &text)
{
    return text.toHtmlEscaped();
}

QString PageStart(const QString &title)
{
    return QStringLiteral("<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n<title>") + Html(title)
        + QStringLiteral("</title>\r\n<style>\r\n"
                         "body{font-family:sans-serif;margin:2em;color:#212121}\r\n"
                         "table{border-collapse:collapse}\r\n"
                         "th,td{text-align:left;padding:.2em .8em;border-bottom:1px solid #ddd;vertical-align:top}\r\n"
                         "td.n{text-align:right}\r\n"
                         ".bar{height:1em}\r\n"
                         ".chart td{border:none}\r\n"
                         // The warning bars' amber is too light for text.
                         ".error{color:#c62828}\r\n"
                         ".warning{color:#9a6700}\r\n"
                         "</style>\r\n</head>\r\n<body>\r\n");
}

QString PageEnd()
{
    return QStringLiteral("</body>\r\n</html>\r\n");
}

QString BarRow(const QString &caption, int count, int total, const char *colour)
{
    const double width = total > 0 ? 100.0 * count / total : 0.0;
    return QStringLiteral("<tr><td>%1</td><td class=\"n\">%2</td><td style=\"width:30em\"><div class=\"bar\" "
                          "style=\"width:%3%;background:%4\"></div></td></tr>\r\n")
        .arg(Html(caption))
        .arg(count)
        .arg(QString::number(width, 'f', 1), QLatin1String(colour));
}

QString GroupPath(const ComputerDB &database, int folderId, QHash<int, QString> &known)
{
    if (folderId < 0)
        return QString();
    const auto found = known.constFind(folderId);
    if (found != known.constEnd())
        return *found;
    // Up to the first group whose path is known, then down again: no
    // recursion, however deep the groups are nested.
    QList<int> chain;
    QString path;
    for (int id = folderId; id >= 0;) {
        if (const auto parent = known.constFind(id); parent != known.constEnd()) {
            path = *parent;
            break;
        }
        chain.append(id);
        const FolderRecord *folder = database.Folders(id);
        id = folder ? folder->ParentID : -1;
        // A damaged parent chain that comes round again ends here.
        if (chain.size() > database.FolderCount())
            break;
    }
    for (qsizetype i = chain.size() - 1; i >= 0; --i) {
        const FolderRecord *folder = database.Folders(chain.at(i));
        if (folder)
            path = path.isEmpty() ? folder->Name : path + QLatin1Char('\\') + folder->Name;
        known.insert(chain.at(i), path);
    }
    return path;
}

bool WriteFiles(const QList<std::pair<QString, QByteArray>> &files, const QString &what, QString *problem)
{
    for (const auto &[path, content] : files) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
            if (problem)
                *problem
                    = QStringLiteral("%1 \"%2\" could not be written: %3").arg(what, QDir::toNativeSeparators(path), file.errorString());
            return false;
        }
    }
    return true;
}

} // namespace modReportFormat

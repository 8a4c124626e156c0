#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

class ComputerDB;
class JobFile;

// What the commands that change some computers of a settings file share:
// naming them with "--group PATH" and "--computer NAME", and saving the
// file back as it was loaded.
namespace modComputerChoice {

// The folder a path like "Sales\London" names below "All Computers"; -1 for
// the root itself ("" or "All Computers"), -2 when there is none.
int FolderOfPath(const ComputerDB &database, const QString &path);

// The IDs of the named computers and of every computer below the named
// groups. False with the problem for a name or group that is not there.
bool Choose(const ComputerDB &database, const QStringList &groups, const QStringList &computers, QSet<int> &chosen,
    QString &problem);

// Saves `database` over the file it came from, with the file's job name,
// last statuses and passphrase. False with the file layer's message.
bool SaveBack(const JobFile &file, const ComputerDB &database, QString &problem);

QString ComputersText(qsizetype count);

} // namespace modComputerChoice

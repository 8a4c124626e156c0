#pragma once

#include "settingsfile/SettingsFileResult.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class ComputerDB;

// What the job commands (validate, export, run) share: a command line of
// one settings file, "--passphrase-file F" and the command's own options,
// and the loading of the file.
class JobFile
{
public:
    // `flags` are options without a value ("--json"); `valueOptions` take
    // one, as "--out DIR" or "--out=DIR". False with the problem in
    // `problem` for an unknown option, a missing value, an option given
    // twice, no file or two files, or a passphrase file that cannot be read.
    // `repeatable` options take a value and may be given again
    // ("--computer A --computer B"); values() has them all.
    bool parse(const QStringList &arguments, const QStringList &flags, const QStringList &valueOptions, QString &problem,
        const QStringList &repeatable = {});

    bool has(const QString &option) const { return m_given.contains(option); }
    QString value(const QString &option) const { return m_values.value(option); }
    QStringList values(const QString &option) const { return m_values.values(option); }

    // Loads the file into `database`. False with the file layer's message.
    bool load(ComputerDB &database, QString &problem);

    QString path() const { return m_path; }
    // The passphrase read with --passphrase-file, for other files of the job.
    QString passphrase() const { return m_passphrase; }
    const SettingsFileResult &result() const { return m_result; }

    // The passphrase is the first line of the file, without its line end.
    // False with the problem in `problem`.
    static bool ReadPassphrase(const QString &path, QString &passphrase, QString &problem);
    // The same for any secret kept in a file: `what` names it in the problem
    // ("password" gives "The password file ... cannot be read: ...").
    static bool ReadFirstLine(const QString &path, const char *what, QString &line, QString &problem);
    // Far more than any passphrase or password; a larger file is not one.
    static constexpr qint64 MaxPassphraseFileBytes = 64 * 1024;

private:
    QString m_path;
    QString m_passphrase;
    QSet<QString> m_given;
    QMultiHash<QString, QString> m_values;
    SettingsFileResult m_result;
};

#include "cli/JobFile.h"

#include "cli/modCommandLine.h"
#include "common/modFileRead.h"
#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"

#include <QDir>

namespace {
const QString kPassphraseFile = QStringLiteral("--passphrase-file");
}

bool JobFile::parse(
    const QStringList &arguments, const QStringList &flags, const QStringList &valueOptions, QString &problem, const QStringList &repeatable)
{
    const QStringList withValue = QStringList(valueOptions) << kPassphraseFile << repeatable;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!argument.startsWith(QLatin1String("--"))) {
            if (!m_path.isEmpty()) {
                problem = QStringLiteral("Invalid syntax. Only one settings file can be given.");
                return false;
            }
            m_path = argument;
            continue;
        }
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        if (m_given.contains(name) && !repeatable.contains(name)) {
            problem = QStringLiteral("Invalid syntax. %1 is given twice.").arg(name);
            return false;
        }
        if (flags.contains(name) && equals < 0) {
            m_given.insert(name);
        } else if (withValue.contains(name)) {
            if (equals >= 0) {
                m_values.insert(name, argument.mid(equals + 1));
            } else if (i + 1 < arguments.size()) {
                m_values.insert(name, arguments.at(++i));
            } else {
                problem = QStringLiteral("Invalid syntax. %1 needs a value.").arg(name);
                return false;
            }
            m_given.insert(name);
        } else {
            problem = QStringLiteral("Invalid syntax. Unknown option \"%1\".").arg(argument);
            return false;
        }
    }
    if (m_path.isEmpty()) {
        problem = QStringLiteral("Invalid syntax. A settings file is needed.");
        return false;
    }
    return !has(kPassphraseFile) || ReadPassphrase(value(kPassphraseFile), m_passphrase, problem);
}

bool JobFile::ReadPassphrase(const QString &path, QString &passphrase, QString &problem)
{
    return ReadFirstLine(path, "passphrase", passphrase, problem);
}

bool JobFile::ReadFirstLine(const QString &path, const char *what, QString &line, QString &problem)
{
    QString reason;
    std::optional<QByteArray> bytes = modFileRead::ReadAll(path, MaxPassphraseFileBytes, reason);
    if (!bytes) {
        problem = QStringLiteral("The %1 file \"%2\" cannot be read: %3.").arg(QLatin1String(what), QDir::toNativeSeparators(path), reason);
        return false;
    }
    const qsizetype end = bytes->indexOf('\n');
    QByteArray first = end < 0 ? *bytes : bytes->left(end);
    if (first.endsWith('\r'))
        first.chop(1);
    line = QString::fromUtf8(first);
    first.fill('\0');
    bytes->fill('\0');
    return true;
}

bool JobFile::load(ComputerDB &database, QString &problem)
{
    SettingsFile file;
    m_result = file.Load(m_path, m_passphrase, database);
    if (!m_result.ok()) {
        problem = m_result.Message;
        // The file layer's words are the window's; here the passphrase
        // comes from a file, and the administrator needs to know which option.
        if (m_result.status == SettingsFileResult::PassphraseRequired || m_result.status == SettingsFileResult::WrongPassphrase)
            problem += QStringLiteral(" vo reads the passphrase from the first line of the file given with %1 F.").arg(kPassphraseFile);
        return false;
    }
    return true;
}

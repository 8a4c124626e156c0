#include "cli/DescrambleCommand.h"

#include "cli/modCommandLine.h"
#include "engine/ClientConfig.h"
#include "engine/modScramble.h"

#include "common/modFileRead.h"

#include <QTextStream>

DescrambleCommand::DescrambleCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString DescrambleCommand::usage()
{
    return QStringLiteral("Usage: vo descramble [--show-passwords] FILE\n"
                          "\n"
                          "Prints the plain text of a scrambled client configuration file\n"
                          "(varnoosk.cfg), read back the way the client reads it. The account\n"
                          "passwords are shown as <password> unless --show-passwords is given.\n");
}

int DescrambleCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        return 0;
    }
    QStringList rest = arguments;
    const bool showPasswords = rest.removeAll(QStringLiteral("--show-passwords")) > 0;
    if (rest.size() != 1 || rest.first().startsWith(QLatin1String("--"))) {
        m_err << usage();
        return 1;
    }

    const QString &path = rest.first();
    QString problem;
    const std::optional<QByteArray> bytes = modFileRead::ReadAll(path, ClientConfig::MaxFileBytes, problem);
    if (!bytes) {
        m_err << "vo descramble: cannot read \"" << path << "\": " << problem << '\n';
        return 1;
    }

    QString text;
    if (!modScramble::Descramble(*bytes, text, &problem)) {
        m_err << "vo descramble: \"" << path << "\": " << problem << '\n';
        return 1;
    }
    // The file's lines end in CR LF; the terminal's in LF.
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!showPasswords) {
        // The text goes to terminals and logs that are not the place for
        // passwords; an empty one is shown, since a missing password is
        // what this command is often used to find.
        for (QString &line : lines) {
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            if (equals >= 0 && equals + 1 < line.size() && ClientConfig::IsPasswordKey(line.left(equals + 1)))
                line = line.left(equals + 1) + QStringLiteral("<password>");
        }
    }
    m_out << lines.join(QLatin1Char('\n'));
    return 0;
}

#include "cli/DescrambleCommand.h"

#include "engine/modScramble.h"

#include <QFile>
#include <QTextStream>

namespace {
// A configuration file is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
} // namespace

DescrambleCommand::DescrambleCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString DescrambleCommand::usage()
{
    return QStringLiteral("Usage: vo descramble FILE\n"
                          "\n"
                          "Prints the plain text of a scrambled client configuration file\n"
                          "(varnoosk.cfg), read back the way the client reads it.\n");
}

int DescrambleCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1
        && (arguments.first() == QLatin1String("-h") || arguments.first() == QLatin1String("--help")
            || arguments.first() == QLatin1String("/?"))) {
        m_out << usage();
        return 0;
    }
    if (arguments.size() != 1) {
        m_err << usage();
        return 1;
    }

    const QString &path = arguments.first();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_err << "vo descramble: cannot read \"" << path << "\": " << file.errorString() << '\n';
        return 1;
    }
    if (file.size() > kMaxFileBytes) {
        m_err << "vo descramble: \"" << path << "\" is too large to be a configuration file.\n";
        return 1;
    }

    QString text;
    QString problem;
    if (!modScramble::Descramble(file.readAll(), text, &problem)) {
        m_err << "vo descramble: \"" << path << "\": " << problem << '\n';
        return 1;
    }
    // The file's lines end in CR LF; the terminal's in LF.
    m_out << text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return 0;
}

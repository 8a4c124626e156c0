#include "cli/TreeCommand.h"

#include "cli/JobFile.h"
#include "cli/modCommandLine.h"
#include "common/modGeneral.h"
#include "database/ComputerDB.h"
#include "database/MemoryTreeDisplay.h"
#include "settingsfile/SettingsFile.h"

#include <QDir>
#include <QTextStream>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Past this depth the indent stays where it is and the line starts with
// the depth in brackets: a chain of 60,000 groups would otherwise print
// gigabytes of blanks, the square of its depth.
constexpr int MaxIndentDepth = 32;

} // namespace

TreeCommand::TreeCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString TreeCommand::usage()
{
    return QStringLiteral("Usage: vo tree FILE [--passphrase-file F]\n"
                          "\n"
                          "Prints the computer tree of a Varno-Osk settings file as the console shows\n"
                          "it: \"All Computers\" first, then under each parent its groups before its\n"
                          "computers, each in name order, two spaces of indent per level. A \"*\"\n"
                          "follows every node that has its own settings, and \"(disabled)\" every\n"
                          "computer left out of the job (vo disable). Below level 32 the indent\n"
                          "stays and each line starts with its level in brackets, \"[33] \".\n"
                          "\n"
                          "  --passphrase-file F   read the passphrase of a file saved with one from the\n"
                          "                        first line of F\n"
                          "\n"
                          "Exit status: 0 success, 1 failure (a file that cannot be loaded is named\n"
                          "with its problem).\n");
}

int TreeCommand::failure(const QString &text)
{
    return modCommandLine::Fail(m_err, text);
}

int TreeCommand::run(const QStringList &arguments)
{
    if (!arguments.isEmpty() && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        m_out.flush();
        return 0;
    }

    QString path;
    QString passphraseFile;
    bool passphraseGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--passphrase-file")) {
            if (passphraseGiven)
                return failure(QStringLiteral("Invalid syntax. --passphrase-file is given twice."));
            if (i + 1 >= arguments.size())
                return failure(QStringLiteral("Invalid syntax. --passphrase-file needs a file name."));
            passphraseFile = arguments.at(++i);
            passphraseGiven = true;
        } else if (argument.startsWith(QLatin1String("--passphrase-file="))) {
            if (passphraseGiven)
                return failure(QStringLiteral("Invalid syntax. --passphrase-file is given twice."));
            passphraseFile = argument.mid(int(qstrlen("--passphrase-file=")));
            passphraseGiven = true;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return failure(QStringLiteral("Invalid syntax. Unknown option \"%1\".").arg(argument));
        } else if (path.isEmpty()) {
            path = argument;
        } else {
            return failure(QStringLiteral("Invalid syntax. Only one settings file can be given."));
        }
    }
    if (path.isEmpty()) {
        m_err << usage();
        m_err.flush();
        return 1;
    }

    QString passphrase;
    if (QString problem; passphraseGiven && !JobFile::ReadPassphrase(passphraseFile, passphrase, problem))
        return failure(problem);

    ComputerDB database;
    SettingsFile file;
    const SettingsFileResult result = file.Load(path, passphrase, database);
    if (!result.ok())
        return failure(result.Message);

    MemoryTreeDisplay tree;
    tree.resetWithRoot();
    database.LinkTreeView(&tree, ComputerDB::DefaultComputerIcon, ComputerDB::DefaultFolderIcon, nullptr);

    // Depth first without recursion: groups can nest deeper than a stack likes.
    std::vector<std::pair<QString, int>> pending {{modGeneral::RootKey, 0}};
    const QString indent(2 * MaxIndentDepth, QLatin1Char(' '));
    while (!pending.empty()) {
        const auto [key, depth] = pending.back();
        pending.pop_back();
        // The root always has its own settings: the global record.
        const bool own = key == modGeneral::RootKey || database.HasCustomSettings(key);
        m_out << indent.left(2 * std::min(depth, MaxIndentDepth));
        if (depth > MaxIndentDepth)
            m_out << '[' << depth << "] ";
        m_out << tree.text(key) << (own ? " *" : "") << (tree.nodeDisabled(key) ? " (disabled)" : "") << '\n';
        const QStringList children = tree.childKeys(key);
        for (auto child = children.crbegin(); child != children.crend(); ++child)
            pending.emplace_back(*child, depth + 1);
    }
    m_out.flush();
    database.UnlinkTreeView();
    return 0;
}

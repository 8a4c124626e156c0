#include "cli/PingCommand.h"

#include "cli/JobFile.h"
#include "cli/modCommandLine.h"
#include "common/ConsoleConfig.h"
#include "common/modFormat.h"
#include "database/ComputerDB.h"
#include "database/MemoryTreeDisplay.h"
#include "network/ParallelPing.h"
#include "network/PingTest.h"

#include <QTextStream>

namespace {

const QString kParallel = QStringLiteral("--parallel");

QString parallelHelp()
{
    return QStringLiteral("  --parallel N          ping up to N computers at once (1 to %1; the lines\n"
                          "                        still come in order); the default is the\n"
                          "                        configuration's PingsInFlight\n")
        .arg(ParallelPing::MaxInFlight);
}

const char kExitStatus[] = "Exit status: 0 every computer answered, 2 one did not, 1 a usage error%1.\n";

} // namespace

PingCommand::PingCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString PingCommand::pingUsage()
{
    return QStringLiteral("Usage: vo ping HOST... [--parallel N]\n"
                          "\n"
                          "Resolves and pings each host once, as the console's ping test does, and\n"
                          "prints the lines the console writes into its progress log.\n"
                          "\n")
        + parallelHelp() + QLatin1Char('\n') + QString::fromLatin1(kExitStatus).arg(QString());
}

QString PingCommand::pingTestUsage()
{
    return QStringLiteral("Usage: vo ping-test FILE [--parallel N] [--passphrase-file F]\n"
                          "\n"
                          "The console's ping test (Tools > Tests > Start Ping Client Test) over every\n"
                          "computer of a Varno-Osk settings file, in the order of the tree: each is\n"
                          "resolved and pinged once, with a two-second timeout, and the lines the\n"
                          "console writes into its progress log are printed.\n"
                          "\n")
        + parallelHelp()
        + QStringLiteral("  --passphrase-file F   read the passphrase of a file saved with one from the\n"
                         "                        first line of F\n\n")
        + QString::fromLatin1(kExitStatus).arg(QStringLiteral(" or a file that cannot be loaded"));
}

int PingCommand::usageError(const QString &problem, const QString &usage)
{
    m_err << "ERROR: " << problem << "\n\n" << usage;
    m_err.flush();
    return Failed;
}

int PingCommand::inFlight(const QString &text)
{
    if (text.isEmpty())
        return ConsoleConfig().Number(ConsoleConfig::PingsInFlight);
    if (!modFormat::IsNumeric(text) || text.size() > 3)
        return 0;
    const int number = text.toInt();
    return number >= 1 && number <= ParallelPing::MaxInFlight ? number : 0;
}

int PingCommand::ping(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << pingUsage();
        m_out.flush();
        return AllAnswered;
    }
    QStringList hosts;
    QString parallel;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == kParallel && i + 1 < arguments.size())
            parallel = arguments.at(++i);
        else if (argument.startsWith(kParallel + QLatin1Char('=')))
            parallel = argument.mid(kParallel.size() + 1);
        else if (argument.startsWith(QLatin1Char('-')))
            return usageError(QStringLiteral("Unknown option \"%1\".").arg(argument), pingUsage());
        else
            hosts.append(argument);
    }
    if (hosts.isEmpty())
        return usageError(QStringLiteral("No host to ping."), pingUsage());
    const int count = inFlight(parallel);
    if (count == 0)
        return usageError(QStringLiteral("--parallel takes a number from 1 to %1.").arg(ParallelPing::MaxInFlight), pingUsage());
    return run(hosts, count);
}

int PingCommand::pingTest(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << pingTestUsage();
        m_out.flush();
        return AllAnswered;
    }
    JobFile file;
    QString problem;
    if (!file.parse(arguments, {}, {kParallel}, problem))
        return usageError(problem, pingTestUsage());
    const int count = inFlight(file.value(kParallel));
    if (count == 0)
        return usageError(QStringLiteral("--parallel takes a number from 1 to %1.").arg(ParallelPing::MaxInFlight), pingTestUsage());
    ComputerDB database;
    if (!file.load(database, problem)) {
        m_err << "ERROR: " << problem << '\n';
        m_err.flush();
        return Failed;
    }
    MemoryTreeDisplay tree;
    tree.resetWithRoot();
    database.LinkTreeView(&tree, ComputerDB::DefaultComputerIcon, ComputerDB::DefaultFolderIcon, nullptr);
    QStringList names;
    for (const QString &key : tree.computerKeysInOrder())
        names.append(tree.text(key));
    if (names.isEmpty()) {
        m_out << "No clients to ping.\n";
        m_out.flush();
        return AllAnswered;
    }
    return run(names, count);
}

int PingCommand::run(const QStringList &names, int inFlight)
{
    PingTest test;
    test.setInFlight(inFlight);
    bool firstLine = true;
    bool allAnswered = true;
    QObject::connect(&test, &PingTest::Line, [&](const QString &text) {
        if (!firstLine)
            m_out << '\n';
        firstLine = false;
        m_out << text;
        m_out.flush();
    });
    QObject::connect(&test, &PingTest::LineContinued, [&](const QString &text) {
        m_out << text;
        m_out.flush();
    });
    QObject::connect(&test, &PingTest::Pinged, [&](int, qint32 result) { allAnswered = allAnswered && result >= 0; });
    test.Run(names);
    m_out << '\n';
    m_out.flush();
    return allAnswered ? AllAnswered : SomeSilent;
}

#include "cli/WaveCommand.h"

#include "cli/JobFile.h"
#include "cli/modCommandLine.h"
#include "cli/modComputerChoice.h"
#include "database/ComputerDB.h"
#include "database/WaveText.h"

#include <QDir>
#include <QSet>
#include <QTextStream>

namespace {

const QString kNotBefore = QStringLiteral("--not-before");
const QString kConcurrency = QStringLiteral("--concurrency");
const QString kThreshold = QStringLiteral("--failure-percent");
const QString kRename = QStringLiteral("--rename");
const QString kBefore = QStringLiteral("--before");
const QString kGroup = QStringLiteral("--group");
const QString kComputer = QStringLiteral("--computer");
const QString kNone = QStringLiteral("none");

// "2026-12-09 21:00" is this machine's local time; "...+01:00" or "...Z" says its own.
bool parseTime(const QString &text, QDateTime &utc)
{
    QString iso = text.trimmed();
    if (iso.size() > 10 && iso.at(10) == QLatin1Char(' '))
        iso[10] = QLatin1Char('T');
    const QDateTime parsed = QDateTime::fromString(iso, Qt::ISODate);
    if (!parsed.isValid())
        return false;
    utc = parsed.toUTC();
    return true;
}

bool parseNumber(const QString &text, int low, int high, int &number)
{
    bool ok = false;
    number = text.toInt(&ok);
    return ok && number >= low && number <= high;
}

} // namespace

WaveCommand::WaveCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString WaveCommand::usage()
{
    return QStringLiteral(
        "Usage: vo wave list FILE\n"
        "       vo wave add FILE NAME [--not-before TIME] [--concurrency N]\n"
        "                             [--failure-percent P] [--before WAVE]\n"
        "       vo wave set FILE NAME [--not-before TIME|none] [--concurrency N]\n"
        "                             [--failure-percent P|none] [--rename NEW]\n"
        "       vo wave remove FILE NAME\n"
        "       vo wave assign FILE NAME [--group PATH]... [--computer NAME]...\n"
        "       vo wave unassign FILE [--group PATH]... [--computer NAME]...\n"
        "(each also takes --passphrase-file F for a file saved with a passphrase)\n"
        "\n"
        "The waves of a settings file. Start Migration and vo run start the computers\n"
        "wave after wave, in the order of the list; the computers in no wave come last.\n"
        "A wave starts when every computer of the wave before it has ended, is waiting\n"
        "to be tried again, or waits for its report, and not before its start time.\n"
        "\n"
        "  --not-before TIME      the wave starts no earlier: \"2026-12-09 21:00\" is this\n"
        "                         machine's local time, \"2026-12-09T21:00+01:00\" or\n"
        "                         \"...Z\" give their own offset; it is kept in UTC\n"
        "  --concurrency N        at most N of its computers in progress at a time,\n"
        "                         1 to 50 (never more than MaxTransferors); 0: no cap\n"
        "  --failure-percent P    when more than P % of the wave's computers have failed\n"
        "                         (checked after each outcome), the wave and the waves\n"
        "                         after it are cancelled: their computers not yet started\n"
        "                         are not started, none is aborted\n"
        "  --before WAVE          add the wave in front of WAVE rather than at the end\n"
        "  --rename NEW           a new name; its computers stay in it\n"
        "  --group PATH           every computer below the group (\"Sales\\London\"), now\n"
        "  --computer NAME        one computer by name\n"
        "\n"
        "A computer is in one wave at most; assign moves it from the one it was in.\n"
        "vo run --wave NAME runs one wave alone.\n"
        "\n"
        "Exit status: 0 done, 1 a usage error, a name that is not there, or a file that\n"
        "cannot be read or saved (nothing is saved then).\n");
}

int WaveCommand::failure(const QString &text)
{
    return modCommandLine::Fail(m_err, text);
}

void WaveCommand::list(const ComputerDB &database)
{
    const WaveList &waves = database.Waves();
    const QHash<QString, int> members = WaveText::Members(database);
    const int inNone = members.value(QString());
    if (waves.isEmpty())
        m_out << "No waves: every computer starts as soon as a transferor is free.\n";
    for (int i = 0; i < waves.size(); ++i) {
        const WaveRecord &wave = waves.at(i);
        const int count = members.value(wave.Name.toLower());
        m_out << i + 1 << ". " << wave.Name << ": " << count << (count == 1 ? " computer" : " computers");
        m_out << (wave.NotBefore.isValid() ? QStringLiteral(", not before ") + WaveText::LocalTime(wave.NotBefore)
                                           : QStringLiteral(", at its turn"));
        if (wave.Concurrency > 0)
            m_out << ", " << wave.Concurrency << " at a time";
        if (wave.FailurePercent >= 0)
            m_out << ", stopped when more than " << wave.FailurePercent << " % fail";
        m_out << '\n';
    }
    if (!waves.isEmpty())
        m_out << "In no wave (last): " << inNone << (inNone == 1 ? " computer" : " computers") << '\n';
    m_out.flush();
}

int WaveCommand::run(const QStringList &arguments)
{
    const QString command = arguments.value(0).toLower();
    if (arguments.size() == 1 && modCommandLine::IsHelp(command)) {
        m_out << usage();
        m_out.flush();
        return 0;
    }
    const QStringList known = {QStringLiteral("list"), QStringLiteral("add"), QStringLiteral("set"), QStringLiteral("remove"),
        QStringLiteral("assign"), QStringLiteral("unassign")};
    if (!known.contains(command)) {
        m_err << "ERROR: Invalid syntax.\n\n" << usage();
        m_err.flush();
        return 1;
    }
    // The file comes first and a wave's name after it; JobFile takes the
    // file, the name is the first of the rest that is no option's.
    QStringList rest = arguments.mid(1);
    QString name;
    const bool named = command != QLatin1String("list") && command != QLatin1String("unassign");
    if (named) {
        if (rest.size() < 2 || rest.at(1).startsWith(QLatin1String("--")))
            return failure(QStringLiteral("Invalid syntax. vo wave %1 takes the settings file and a wave name.").arg(command));
        name = rest.takeAt(1);
    }
    JobFile file;
    QString problem;
    const QStringList values = {kNotBefore, kConcurrency, kThreshold, kRename, kBefore};
    if (!file.parse(rest, {}, values, problem, {kGroup, kComputer})) {
        m_err << "ERROR: " << problem << "\n\n" << usage();
        m_err.flush();
        return 1;
    }
    ComputerDB database;
    if (!file.load(database, problem))
        return failure(problem);
    if (command == QLatin1String("list")) {
        list(database);
        return 0;
    }

    const int index = name.isEmpty() ? -1 : database.Waves().indexOf(name);
    const bool adding = command == QLatin1String("add");
    if (!name.isEmpty() && !adding && index < 0)
        return failure(QStringLiteral("There is no wave named \"%1\" in \"%2\".").arg(name, QDir::toNativeSeparators(file.path())));
    QString done;
    if (adding || command == QLatin1String("set")) {
        WaveRecord wave = adding ? WaveRecord {} : database.Waves().at(index);
        if (adding)
            wave.Name = name;
        if (file.has(kRename))
            wave.Name = file.value(kRename);
        if (file.has(kNotBefore)) {
            if (file.value(kNotBefore).compare(kNone, Qt::CaseInsensitive) == 0)
                wave.NotBefore = {};
            else if (!parseTime(file.value(kNotBefore), wave.NotBefore))
                return failure(QStringLiteral("\"%1\" is not a time: give it as 2026-12-09 21:00 (local) or 2026-12-09T21:00+01:00.")
                                   .arg(file.value(kNotBefore)));
        }
        if (file.has(kConcurrency) && !parseNumber(file.value(kConcurrency), 0, WaveList::MaxConcurrency, wave.Concurrency))
            return failure(QStringLiteral("--concurrency is 0 (no cap) or 1 to %1.").arg(WaveList::MaxConcurrency));
        if (file.has(kThreshold)) {
            if (file.value(kThreshold).compare(kNone, Qt::CaseInsensitive) == 0)
                wave.FailurePercent = -1;
            else if (!parseNumber(file.value(kThreshold), 0, 100, wave.FailurePercent))
                return failure(QStringLiteral("--failure-percent is a share from 0 to 100, or none."));
        }
        int position = -1;
        if (file.has(kBefore)) {
            position = database.Waves().indexOf(file.value(kBefore));
            if (!adding || position < 0)
                return failure(adding ? QStringLiteral("There is no wave named \"%1\" to add it before.").arg(file.value(kBefore))
                                      : QStringLiteral("--before is for vo wave add."));
        }
        if (const QString why = database.Waves().problemWith(wave, adding ? -1 : index); !why.isEmpty())
            return failure(why);
        if (!(adding ? database.AddWave(wave, position) : database.ReplaceWave(index, wave)))
            return failure(QStringLiteral("The wave \"%1\" cannot be kept.").arg(wave.Name));
        done = QStringLiteral("Wave \"%1\" %2.").arg(wave.Name, adding ? QStringLiteral("added") : QStringLiteral("changed"));
    } else if (command == QLatin1String("remove")) {
        done = QStringLiteral("Wave \"%1\" removed; its computers are in no wave now.").arg(database.Waves().at(index).Name);
        database.RemoveWave(index);
    } else {
        const QStringList groups = file.values(kGroup);
        const QStringList computers = file.values(kComputer);
        if (groups.isEmpty() && computers.isEmpty())
            return failure(QStringLiteral("Invalid syntax. Name the computers with --group PATH or --computer NAME."));
        QSet<int> chosen;
        if (!modComputerChoice::Choose(database, groups, computers, chosen, problem))
            return failure(problem);
        const QString wave = index < 0 ? QString() : database.Waves().at(index).Name;
        for (const int id : std::as_const(chosen))
            database.SetComputerWave(id, wave);
        done = QStringLiteral("%1 %2.")
                   .arg(modComputerChoice::ComputersText(chosen.size()))
                   .arg(wave.isEmpty() ? QStringLiteral("put in no wave") : QStringLiteral("given to wave \"%1\"").arg(wave));
    }

    if (!modComputerChoice::SaveBack(file, database, problem))
        return failure(problem);
    m_out << done << " Saved in \"" << QDir::toNativeSeparators(file.path()) << "\".\n";
    m_out.flush();
    return 0;
}

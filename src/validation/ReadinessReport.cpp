#include "validation/ReadinessReport.h"

#include "common/modGeneral.h"
#include "database/ComputerDB.h"
#include "engine/ClientStatus.h"
#include "engine/NetworkTestListener.h"
#include "network/ParallelPing.h"
#include "network/PingResult.h"
#include "network/PingTest.h"
#include "protocol/modFindings.h"
#include "validation/JobValidator.h"
#include "validation/ValidationReport.h"
#include "validation/modReportFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTextStream>
#include <QUrl>

#include <algorithm>

namespace {

const QString RootName = QStringLiteral("All Computers");

// A node as the administrator finds it in the tree.
QString nodeName(const ComputerDB &database, const QString &key, QHash<int, QString> &groups)
{
    if (key == modGeneral::RootKey)
        return RootName;
    const NodeInfo node = modGeneral::ParseNodeKey(key);
    if (!node.Valid)
        return key;
    if (node.Type == NodeInfo::Computer)
        return database.GetComputerName(node.ID);
    return modReportFormat::GroupPath(database, node.ID, groups);
}

// The check's text for a report: one line, and no question, since nothing
// is being started.
QString reportText(const QString &specificText)
{
    QString text = specificText;
    const QString question = QStringLiteral("\r") + ValidationReport::IgnoreQuestion;
    if (text.endsWith(question))
        text.chop(question.size());
    return text.replace(QLatin1Char('\r'), QLatin1Char(' ')).simplified();
}

const char *standingColour(ReadinessReport::Standing standing)
{
    switch (standing) {
    case ReadinessReport::Standing::Ready:
        return "#2e7d32";
    case ReadinessReport::Standing::Warnings:
        return "#f9a825";
    default:
        return "#c62828";
    }
}

QString severity(const ReadinessReport::Fault &fault)
{
    return fault.Warning ? QStringLiteral("warning") : QStringLiteral("error");
}

QString escaped(const QString &text)
{
    return modReportFormat::Html(text);
}

QStringList escaped(const QStringList &texts)
{
    QStringList cells;
    cells.reserve(texts.size());
    for (const QString &text : texts)
        cells.append(escaped(text));
    return cells;
}

// A group path wraps only between its groups: "Head Office\Finance" broken
// at the blank reads as two groups.
QString pathCell(const QString &path)
{
    return escaped(path).replace(QLatin1Char(' '), QLatin1String("&nbsp;")).replace(QLatin1Char('\\'), QLatin1String("\\<wbr>"));
}

// Coloured, so that the errors stand out in a long table.
QString severityCell(const ReadinessReport::Fault &fault)
{
    return QStringLiteral("<span class=\"%1\">%1</span>").arg(severity(fault));
}

// One row of a table, its cells already HTML. Built in one place, since a
// long chain of stream insertions takes the compiler minutes.
QString tableRow(const QStringList &cells, const char *before = "", const char *tag = "td")
{
    QString row = QLatin1String(before) + QStringLiteral("<tr>");
    const QString open = QStringLiteral("<%1>").arg(QLatin1String(tag));
    const QString close = QStringLiteral("</%1>").arg(QLatin1String(tag));
    for (const QString &cell : cells)
        row += open + cell + close;
    return row + QStringLiteral("</tr>\r\n");
}

QString plural(int count, const char *one, const char *many)
{
    return QString::number(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
}

QString disabledLine(int disabled)
{
    return plural(disabled, "disabled computer is", "disabled computers are") + QStringLiteral(" left out of the job and not checked.");
}

} // namespace

ReadinessReport::Standing ReadinessReport::Computer::standing() const
{
    if (Faults.isEmpty())
        return Standing::Ready;
    const bool errors = std::any_of(Faults.cbegin(), Faults.cend(), [](const Fault &fault) { return !fault.Warning; });
    return errors ? Standing::Errors : Standing::Warnings;
}

ReadinessReport ReadinessReport::Build(const ComputerDB &database, const QString &listenerAddress)
{
    ReadinessReport report;
    const JobValidator validator(database, listenerAddress);
    QHash<int, QString> groups;
    // Each group's and computer's name is looked up once however many
    // computers share its settings.
    QHash<QString, QString> names;
    const auto name = [&](const QString &key) -> QString {
        auto found = names.constFind(key);
        if (found == names.constEnd())
            found = names.insert(key, nodeName(database, key, groups));
        return *found;
    };
    const int count = database.ComputerCount();
    for (int id = 0; id < count; ++id) {
        const ComputerRecord *record = database.Computers(id);
        if (!record || !record->Active)
            continue;
        if (!record->Enabled) {
            ++report.Disabled;
            continue;
        }
        Computer computer;
        computer.ID = id;
        computer.Name = record->Name;
        computer.GroupPath = modReportFormat::GroupPath(database, record->FolderID, groups);
        const QList<ValidationResult> faults = validator.Faults(id);
        computer.Faults.reserve(faults.size());
        for (const ValidationResult &result : faults) {
            const ValidationReport shown = ValidationReport::Build(result, record->Name, QString());
            Fault fault;
            fault.Code = result.Code;
            fault.Warning = shown.Warning;
            fault.Text = reportText(shown.SpecificText);
            fault.Node = shown.NodeToShow == result.ComputerKey ? record->Name : name(shown.NodeToShow);
            fault.SettingsSource = result.SettingsSourceKey == result.ComputerKey ? record->Name : name(result.SettingsSourceKey);
            computer.Faults.append(fault);
        }
        report.Computers.append(computer);
    }
    return report;
}

void ReadinessReport::Ping(int inFlight, const std::function<bool(int)> &progress)
{
    QStringList names;
    names.reserve(Computers.size());
    for (const Computer &computer : std::as_const(Computers))
        names.append(computer.Name);
    ParallelPing pings(names, qBound(1, inFlight, ParallelPing::MaxInFlight), PingTest::TimeoutMs);
    for (qsizetype done = 0; done < Computers.size();) {
        const std::optional<ParallelPing::Outcome> outcome = pings.takeNext(100);
        if (outcome) {
            Computers[done].Ping = outcome->result;
            Computers[done].Address = outcome->address;
            ++done;
        }
        if (progress && !progress(static_cast<int>(done))) {
            pings.cancel();
            return;
        }
    }
}

void ReadinessReport::CheckListener(const QString &address, int port)
{
    ListenerCheck check;
    check.Address = address;
    check.Port = port;
    if (port < 1 || port > 65535) {
        check.Problem = QStringLiteral("%1 is not a port number.").arg(port);
    } else {
        NetworkTestListener listener;
        if (listener.Start(address, static_cast<quint16>(port)) != 0)
            check.Problem = listener.ErrorString();
        listener.Stop();
    }
    Listener = check;
}

ReadinessReport::Computer *ReadinessReport::computerWithId(int id)
{
    if (m_byId.size() != Computers.size()) {
        m_byId.clear();
        for (qsizetype i = 0; i < Computers.size(); ++i)
            m_byId.insert(Computers.at(i).ID, i);
    }
    const auto found = m_byId.constFind(id);
    return found == m_byId.constEnd() ? nullptr : &Computers[*found];
}

void ReadinessReport::AddFinding(int computerId, int code, const QString &particulars)
{
    Computer *computer = computerWithId(computerId);
    const modFindings::Finding *finding = modFindings::Find(code);
    if (!computer || !finding || finding->severity == modFindings::Severity::Information)
        return;
    Fault fault;
    fault.Code = code;
    fault.Warning = finding->severity == modFindings::Severity::Warning;
    fault.Text = QString::fromUtf8(finding->text.data(), qsizetype(finding->text.size()));
    fault.Particulars = particulars.simplified();
    if (!fault.Particulars.isEmpty())
        fault.Text += QStringLiteral(" (") + fault.Particulars + QLatin1Char(')');
    fault.Node = computer->Name;
    fault.SettingsSource = computer->Name;
    computer->Faults.append(fault);
}

void ReadinessReport::SetCheckStatus(int computerId, const QString &status)
{
    if (Computer *computer = computerWithId(computerId))
        computer->CheckStatus = status;
}

bool ReadinessReport::ClientsChecked() const
{
    return !CheckFolder.isEmpty();
}

std::array<int, ReadinessReport::StandingCount> ReadinessReport::Counts() const
{
    std::array<int, StandingCount> counts {};
    for (const Computer &computer : Computers)
        ++counts[static_cast<size_t>(computer.standing())];
    return counts;
}

QMap<int, int> ReadinessReport::CodeCounts() const
{
    QMap<int, int> counts;
    for (const Computer &computer : Computers) {
        for (const Fault &fault : computer.Faults)
            ++counts[fault.Code];
    }
    return counts;
}

int ReadinessReport::FaultCount(bool warnings) const
{
    int count = 0;
    for (const Computer &computer : Computers)
        count += static_cast<int>(std::count_if(
            computer.Faults.cbegin(), computer.Faults.cend(), [warnings](const Fault &fault) { return fault.Warning == warnings; }));
    return count;
}

bool ReadinessReport::Pinged() const
{
    return std::any_of(Computers.cbegin(), Computers.cend(), [](const Computer &computer) { return computer.Ping.has_value(); });
}

int ReadinessReport::Unanswered() const
{
    return static_cast<int>(std::count_if(Computers.cbegin(), Computers.cend(),
        [](const Computer &computer) { return computer.Ping.has_value() && !Answered(*computer.Ping); }));
}

QString ReadinessReport::StandingCaption(Standing standing)
{
    switch (standing) {
    case Standing::Ready:
        return QStringLiteral("Ready");
    case Standing::Warnings:
        return QStringLiteral("Warnings only");
    default:
        return QStringLiteral("With errors");
    }
}

bool ReadinessReport::Answered(qint32 result)
{
    return result >= 0 && result < PingTest::TimeoutMs;
}

QString ReadinessReport::PingText(qint32 result)
{
    return Answered(result) ? QStringLiteral("%1 ms").arg(result) : PingResult::Text(result);
}

QString ReadinessReport::Summary() const
{
    const auto counts = Counts();
    QString text = QStringLiteral("Readiness of %1: %2\n")
                       .arg(JobName.isEmpty() ? QStringLiteral("the job") : QLatin1Char('"') + JobName + QLatin1Char('"'),
                           plural(static_cast<int>(Computers.size()), "computer", "computers"));
    for (int standing = 0; standing < StandingCount; ++standing)
        text += QStringLiteral("  %1: %2\n")
                    .arg(StandingCaption(static_cast<Standing>(standing)))
                    .arg(counts[static_cast<size_t>(standing)]);
    text += QStringLiteral("Faults: %1, %2\n")
                .arg(plural(FaultCount(false), "error", "errors"), plural(FaultCount(true), "warning", "warnings"));
    if (Disabled > 0)
        text += disabledLine(Disabled) + QLatin1Char('\n');
    if (Listener) {
        text += QStringLiteral("Listener %1 port %2: ").arg(Listener->Address).arg(Listener->Port)
            + (Listener->Problem.isEmpty() ? QStringLiteral("can be opened") : QStringLiteral("cannot be opened: ") + Listener->Problem)
            + QLatin1Char('\n');
    }
    if (ClientsChecked()) {
        const auto checked = std::count_if(Computers.cbegin(), Computers.cend(), [](const Computer &c) {
            return c.CheckStatus && (*c.CheckStatus == QLatin1String("XS") || *c.CheckStatus == QLatin1String("XW"));
        });
        text += QStringLiteral("Check on the clients: %1 checked, %2 not (logs in %3)\n")
                    .arg(checked)
                    .arg(Computers.size() - checked)
                    .arg(QDir::toNativeSeparators(CheckFolder));
    }
    if (Pinged()) {
        const int unanswered = Unanswered();
        const auto pinged = std::count_if(Computers.cbegin(), Computers.cend(), [](const Computer &c) { return c.Ping.has_value(); });
        text += QStringLiteral("Ping: %1 answered, %2 did not").arg(static_cast<int>(pinged) - unanswered).arg(unanswered);
        // Pings cancelled part of the way.
        if (pinged < Computers.size())
            text += QStringLiteral(", %1 not pinged (cancelled)").arg(Computers.size() - pinged);
        text += QLatin1Char('\n');
    }
    return text;
}

QByteArray ReadinessReport::Csv() const
{
    using modReportFormat::CsvRow;
    QByteArray csv = modReportFormat::CsvHeader({QStringLiteral("Computer"), QStringLiteral("Group Path"), QStringLiteral("Severity"),
        QStringLiteral("Code"), QStringLiteral("Text"), QStringLiteral("Node"), QStringLiteral("Settings From"), QStringLiteral("Ping"),
        QStringLiteral("Client Check")});
    for (const Computer &computer : Computers) {
        const QString ping = computer.Ping ? PingText(*computer.Ping) : QString();
        const QString check = computer.CheckStatus ? ClientStatus::Text(*computer.CheckStatus) : QString();
        if (computer.Faults.isEmpty())
            csv += CsvRow({computer.Name, computer.GroupPath, QStringLiteral("ready"), QString(), QString(), QString(), QString(), ping, check});
        for (const Fault &fault : computer.Faults) {
            csv += CsvRow({computer.Name, computer.GroupPath, severity(fault), QString::number(fault.Code), fault.Text, fault.Node,
                fault.SettingsSource, ping, check});
        }
    }
    return csv;
}

QByteArray ReadinessReport::Html(const QString &csvLink, int firstComputers) const
{
    const int total = static_cast<int>(Computers.size());
    const auto counts = Counts();
    QString page;
    QTextStream out(&page);
    out << modReportFormat::PageStart(QStringLiteral("Readiness report: ") + JobName);
    out << "<h1>Readiness report: " << escaped(JobName) << "</h1>\r\n";
    out << "<p>Written " << escaped(Time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))) << ". Every fault the check before a run finds, "
        << "on every computer; Start Migration stops at the first one.";
    // Every row of a large job would make a page that a browser takes the
    // better part of a minute to open: the page shows each code's first
    // computers, the CSV file all of them.
    const QString csv = csvLink.isEmpty()
        ? QStringLiteral("the CSV file")
        : QStringLiteral("<a href=\"%1\">%2</a>").arg(escaped(QString::fromLatin1(QUrl::toPercentEncoding(csvLink, "/"))), escaped(csvLink));
    out << " Each code lists its first " << firstComputers << " computers; " << csv << " has every fault.</p>\r\n";
    if (Disabled > 0)
        out << "<p>" << escaped(disabledLine(Disabled)) << "</p>\r\n";
    if (ClientsChecked()) {
        out << "<p>Each client was also checked on its own computer: the codes from 1000 on are what the clients found, or why a "
            << "computer could not be reached. Their logs are in " << escaped(QDir::toNativeSeparators(CheckFolder)) << ".</p>\r\n";
    }
    out << "<h2>" << escaped(plural(total, "computer", "computers")) << "</h2>\r\n<table class=\"chart\">\r\n";
    for (int standing = 0; standing < StandingCount; ++standing) {
        const auto which = static_cast<Standing>(standing);
        out << modReportFormat::BarRow(StandingCaption(which), counts[static_cast<size_t>(standing)], total, standingColour(which));
    }
    if (Pinged()) {
        const int unanswered = Unanswered();
        out << modReportFormat::BarRow(QStringLiteral("Did not answer the ping"), unanswered, total, "#6d4c41");
    }
    out << "</table>\r\n";
    if (Listener) {
        out << "<p>Listener " << escaped(Listener->Address) << " port " << Listener->Port << ": "
            << (Listener->Problem.isEmpty() ? QStringLiteral("can be opened.")
                                            : escaped(QStringLiteral("cannot be opened: ") + Listener->Problem))
            << "</p>\r\n";
    }

    const QMap<int, int> codes = CodeCounts();
    const bool pinged = Pinged();
    const auto more = [&](int count, int shown) {
        if (count > shown)
            out << "<p>" << (count - shown) << " more in " << csv << ".</p>\r\n";
    };
    out << "<h2>Faults by code</h2>\r\n";
    if (codes.isEmpty()) {
        out << "<p>None.</p>\r\n";
    } else {
        // The text of a code is the same on every computer but for the
        // character of the unreadable-text codes; the first one stands for all.
        QHash<int, QString> texts;
        QHash<int, QList<std::pair<const Computer *, const Fault *>>> first;
        for (const Computer &computer : Computers) {
            for (const Fault &fault : computer.Faults) {
                // A finding's text carries its computer's particulars; its code's general words stand for all.
                const modFindings::Finding *finding = fault.Code >= 1000 ? modFindings::Find(fault.Code) : nullptr;
                texts.insert(fault.Code,
                    texts.value(fault.Code,
                        finding ? QString::fromUtf8(finding->text.data(), qsizetype(finding->text.size())) : fault.Text));
                auto &shown = first[fault.Code];
                if (shown.size() < firstComputers)
                    shown.append({&computer, &fault});
            }
        }
        out << "<table class=\"chart\">\r\n";
        for (auto it = codes.cbegin(); it != codes.cend(); ++it) {
            const Fault &fault = *first.value(it.key()).constFirst().second;
            // The bar's colour is not the only sign of its severity: the word is in its caption.
            out << modReportFormat::BarRow(QStringLiteral("%1 %2: %3").arg(QString::number(it.key()), severity(fault), texts.value(it.key())),
                it.value(), total, fault.Warning ? standingColour(Standing::Warnings) : standingColour(Standing::Errors));
        }
        out << "</table>\r\n";

        // Without pings the column would stay empty on every row.
        QStringList header {QStringLiteral("Computer"), QStringLiteral("Group"), QStringLiteral("Node"), QStringLiteral("Settings from")};
        if (pinged)
            header.append(QStringLiteral("Ping"));
        for (auto it = codes.cbegin(); it != codes.cend(); ++it) {
            const QList<std::pair<const Computer *, const Fault *>> &shown = first.value(it.key());
            out << "<h3 id=\"code" << it.key() << "\">" << it.key() << " " << severityCell(*shown.constFirst().second) << ": "
                << escaped(texts.value(it.key())) << " (" << escaped(plural(it.value(), "computer", "computers")) << ")</h3>\r\n";
            // The clients' own words, or ssh's reason: what tells one computer's fault from another's.
            const bool detailed = std::any_of(shown.cbegin(), shown.cend(), [](const auto &row) { return !row.second->Particulars.isEmpty(); });
            out << tableRow(escaped(detailed ? header + QStringList {QStringLiteral("Details")} : header), "<table>\r\n", "th");
            for (const auto &[computer, fault] : shown) {
                QStringList cells {escaped(computer->Name), pathCell(computer->GroupPath), pathCell(fault->Node), pathCell(fault->SettingsSource)};
                if (pinged)
                    cells.append(escaped(computer->Ping ? PingText(*computer->Ping) : QString()));
                if (detailed)
                    cells.append(escaped(fault->Particulars));
                out << tableRow(cells);
            }
            out << "</table>\r\n";
            more(it.value(), static_cast<int>(shown.size()));
        }
    }
    if (pinged && Unanswered() > 0) {
        out << "<h2>Computers that did not answer the ping (" << Unanswered() << ")</h2>\r\n";
        out << tableRow(escaped({QStringLiteral("Computer"), QStringLiteral("Group"), QStringLiteral("Address"), QStringLiteral("Ping")}),
            "<table>\r\n", "th");
        int shown = 0;
        for (const Computer &computer : Computers) {
            if (shown < firstComputers && computer.Ping && !Answered(*computer.Ping)) {
                out << tableRow(
                    {escaped(computer.Name), pathCell(computer.GroupPath), escaped(computer.Address), escaped(PingText(*computer.Ping))});
                ++shown;
            }
        }
        out << "</table>\r\n";
        more(Unanswered(), shown);
    }
    out << modReportFormat::PageEnd();
    out.flush();
    return page.toUtf8();
}

bool ReadinessReport::Write(const QString &csvPath, const QString &htmlPath, QString *problem) const
{
    QList<std::pair<QString, QByteArray>> files;
    if (!csvPath.isEmpty())
        files.append({csvPath, Csv()});
    if (!htmlPath.isEmpty())
        files.append({htmlPath, Html(csvPath.isEmpty() ? QString() : QFileInfo(htmlPath).dir().relativeFilePath(csvPath))});
    return modReportFormat::WriteFiles(files, QStringLiteral("The readiness report"), problem);
}

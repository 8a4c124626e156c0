#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class ComputerDB;

// Tools > Readiness Report and `vo check`: every fault of every computer
// that a run would take, where Start Migration stops at the first one, and
// on request whether each computer answers a ping and whether the listener
// port can be opened. Written as a CSV file with every fault and an HTML
// page that stands alone, with the counts as bars and each code's first
// computers, small enough to open at once whatever the size of the job.
class ReadinessReport
{
public:
    enum class Standing : int {
        Ready,
        Warnings, // warnings only: a run may go on after them
        Errors,
    };
    static constexpr int StandingCount = 3;

    struct Fault
    {
        int Code = 0;
        bool Warning = false;
        // The check's text on one line, without the question Start
        // Migration asks with a warning.
        QString Text;
        // What a client said of its own finding, or why it could not be
        // reached; also at the end of Text.
        QString Particulars;
        // The node Start Migration would select for it: the computer for
        // its name and its user list, else where its settings come from.
        QString Node;
        // The node whose settings the computer uses, as the administrator
        // sees it: "All Computers", a group path ("Head Office\Finance"),
        // or the computer's own name.
        QString SettingsSource;
    };

    struct Computer
    {
        int ID = -1;
        QString Name;
        // As in the run report: group names from the top, separated by "\".
        QString GroupPath;
        QList<Fault> Faults;
        // The round trip in milliseconds or a PingResult; unset unless pinged.
        std::optional<qint32> Ping;
        QString Address;
        // How the check on the clients ended for it ("XS", "XE", ...); unset
        // unless the clients were checked. Its findings that need the
        // administrator's eye are among the faults, with codes from 1000 on.
        std::optional<QString> CheckStatus;

        Standing standing() const;
    };

    struct ListenerCheck
    {
        QString Address;
        int Port = 0;
        // Empty when the port could be opened on the address.
        QString Problem;
    };

    // Every enabled computer in ID order, each with every fault the check
    // before a run finds on it.
    static ReadinessReport Build(const ComputerDB &database, const QString &listenerAddress = QString());

    // Resolves and pings every computer, `inFlight` at once. `progress` is
    // called after each computer with the number done; false from it stops
    // the pings, and the computers left keep no ping result.
    void Ping(int inFlight, const std::function<bool(int done)> &progress = {});
    // Opens the listener port on the address as the engine's listener does,
    // and closes it at once: nothing is sent or accepted.
    void CheckListener(const QString &address, int port);
    // One finding of the check on the clients, for the computer with that
    // ID: errors and warnings join its faults; information only counts.
    void AddFinding(int computerId, int code, const QString &particulars);
    void SetCheckStatus(int computerId, const QString &status);
    // Where the check on the clients wrote its logs; empty when none ran.
    QString CheckFolder;

    QString JobName;
    QDateTime Time;
    QList<Computer> Computers;
    // Computers left out of the job because they are disabled.
    int Disabled = 0;
    std::optional<ListenerCheck> Listener;

    // Computers per standing, indexed by Standing.
    std::array<int, StandingCount> Counts() const;
    // How many computers have each code.
    QMap<int, int> CodeCounts() const;
    int FaultCount(bool warnings) const;
    bool Pinged() const;
    bool ClientsChecked() const;
    // Computers whose ping had no answer (a name that did not resolve counts).
    int Unanswered() const;

    static QString StandingCaption(Standing standing);
    // A reply in time; one as slow as the ping test's whole timeout counts
    // as none, as in the ping test.
    static bool Answered(qint32 result);
    // A ping result as the report shows it: "3 ms" or the ping test's text.
    static QString PingText(qint32 result);

    // The counts, the listener and the ping in a few lines, LF between them.
    QString Summary() const;
    QByteArray Csv() const;
    // Each fault code lists its first computers; the page links to the CSV
    // file at `csvLink` (relative to the page) for all of them.
    static constexpr int FirstComputersShown = 20;
    QByteArray Html(const QString &csvLink = QString(), int firstComputers = FirstComputersShown) const;
    bool Write(const QString &csvPath, const QString &htmlPath, QString *problem) const;

private:
    Computer *computerWithId(int id);
    // Computers by ID, made at the first finding.
    QHash<int, qsizetype> m_byId;
};

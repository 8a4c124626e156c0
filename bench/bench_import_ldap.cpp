// Importing computers from a directory at the size administrators have:
// 100,000 computers in 200 units, read from a slapd of the benchmark's own
// over loopback, added with their groups into a database with a linked
// tree. Compared with ldapsearch reading the same entries with the same
// page size; the target is at most 1.5 times its time.
//
// Each side runs five times, taking turns, and the best time counts.

#include "../tests/import/SlapdServer.h"

#include "database/ComputerDB.h"
#include "database/ComputerRecord.h"
#include "database/MemoryTreeDisplay.h"
#include "import/ADComputerImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

constexpr int kTopUnits = 10;
constexpr int kSubUnits = 19; // 10 + 10 * 19 = 200 units
constexpr int kComputers = 100000;
constexpr int kRounds = 5;

QByteArray directory()
{
    QList<QStringList> units;
    for (int top = 0; top < kTopUnits; ++top) {
        const QString site = QStringLiteral("Site%1").arg(top, 2, 10, QLatin1Char('0'));
        units.append({site});
        for (int sub = 0; sub < kSubUnits; ++sub)
            units.append({site, QStringLiteral("Floor%1").arg(sub, 2, 10, QLatin1Char('0'))});
    }
    QByteArray ldif;
    QStringList made;
    for (const QStringList &path : units)
        ldif += SlapdServer::unitEntries(path, made);
    for (int n = 0; n < kComputers; ++n)
        ldif += SlapdServer::computerEntry(QStringLiteral("WS%1").arg(n, 6, 10, QLatin1Char('0')), units.at(n % units.size()));
    return ldif;
}

DirectoryClient::Server benchServer(const SlapdServer &slapd)
{
    DirectoryClient::Server server;
    server.Name = QStringLiteral("127.0.0.1");
    server.Port = slapd.port();
    server.User = QStringLiteral("uid=%1,ou=People,%2").arg(QLatin1String(SlapdServer::User), QLatin1String(SlapdServer::Suffix));
    server.Password = QLatin1String(SlapdServer::Password);
    return server;
}

// The read alone, into records, without the database.
double readSeconds(const SlapdServer &slapd)
{
    QElapsedTimer timer;
    timer.start();
    std::vector<ComputerRecord> records;
    if (ADComputerImport().ImportADSComputers(benchServer(slapd), false, nullptr, records) != ADComputerImport::Success)
        return -1;
    return double(timer.nsecsElapsed()) / 1e9;
}

double importSeconds(const SlapdServer &slapd, int &added)
{
    const DirectoryClient::Server server = benchServer(slapd);
    QElapsedTimer timer;
    timer.start();
    ComputerDB database;
    MemoryTreeDisplay tree;
    tree.resetWithRoot();
    database.LinkTreeView(&tree, ComputerDB::DefaultComputerIcon, ComputerDB::DefaultFolderIcon, nullptr);
    ADComputerImport import;
    if (import.AddADComputers(server, database, nullptr, false, false) != ADComputerImport::Success)
        return -1;
    added = int(tree.computerKeysInOrder().size());
    return double(timer.nsecsElapsed()) / 1e9;
}

double ldapsearchSeconds(const SlapdServer &slapd, const QString &passwordFile)
{
    QProcess search;
    search.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    search.start(QStringLiteral("ldapsearch"),
        {QStringLiteral("-x"), QStringLiteral("-LLL"), QStringLiteral("-H"), QStringLiteral("ldap://127.0.0.1:%1").arg(slapd.port()),
            QStringLiteral("-D"),
            QStringLiteral("uid=%1,ou=People,%2").arg(QLatin1String(SlapdServer::User), QLatin1String(SlapdServer::Suffix)),
            QStringLiteral("-y"), passwordFile, QStringLiteral("-b"), QLatin1String(SlapdServer::Suffix), QStringLiteral("-E"),
            QStringLiteral("pr=1000/noprompt"), QStringLiteral("(objectClass=computer)"), QStringLiteral("name"),
            QStringLiteral("dNSHostName")});
    if (!search.waitForFinished(600000) || search.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    SlapdServer slapd;
    QElapsedTimer setup;
    setup.start();
    if (!slapd.start(directory())) {
        out << "bench_import_ldap: " << slapd.error() << '\n';
        return 1;
    }
    out << "slapd with " << kComputers << " computers in " << kTopUnits * (kSubUnits + 1) << " units ready in " << setup.elapsed() / 1000.0
        << " s\n";
    const QString passwordFile = slapd.folder() + QStringLiteral("/password");
    QFile password(passwordFile);
    if (!password.open(QIODevice::WriteOnly) || password.write(SlapdServer::Password) < 0)
        return 1;
    password.close();

    double bestImport = std::numeric_limits<double>::max();
    double bestSearch = std::numeric_limits<double>::max();
    for (int round = 0; round < kRounds; ++round) {
        int added = 0;
        const double search = ldapsearchSeconds(slapd, passwordFile);
        const double read = readSeconds(slapd);
        const double import = importSeconds(slapd, added);
        if (search < 0 || import < 0 || added != kComputers) {
            out << "bench_import_ldap: a read failed (" << added << " computers in the tree)\n";
            return 1;
        }
        out << "round " << round + 1 << ": ldapsearch -E pr=1000 " << search << " s, read alone " << read
            << " s, import with groups and tree " << import << " s\n";
        out.flush();
        bestSearch = std::min(bestSearch, search);
        bestImport = std::min(bestImport, import);
    }
    out << "best: ldapsearch " << bestSearch << " s, import " << bestImport << " s, ratio " << bestImport / bestSearch
        << " (target at most 1.5)\n";
    return 0;
}

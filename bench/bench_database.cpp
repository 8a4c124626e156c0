// The computer database at the size administrators keep: 100,000 computers
// in 2,000 groups with 10 user migrations each.
//
// Prints the time of each step and two ratios:
// - adding one by one to a linked tree against adding unlinked and building
//   the tree once (the target is at most 2);
// - saving plus loading the settings file (passwords included, key
//   derivation excluded) against sqlite3 importing a CSV of the same
//   1,000,000 user migrations (the target is below 1).
//
// Every step runs five times and the best time counts: on a shared
// machine one run can land in a slow second. The file steps and the import
// take turns. Each load
// runs in a process of its own, as the import does, so that it pays for
// its memory as a console that has just started would.

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "database/MemoryTreeDisplay.h"
#include "settingsfile/PasswordSealer.h"
#include "settingsfile/SettingsFile.h"
#include "settings/GlobalSettings.h"
#include "settings/UserProfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <limits>
#include <memory>
#include <random>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTopGroups = 40;
constexpr int kSubGroups = 49; // 40 + 40 * 49 = 2,000 groups
constexpr int kComputers = 100000;
constexpr int kUsersPerComputer = 10;
constexpr int kRounds = 5;

struct Plan
{
    std::vector<QString> groupPaths;       // "Site07\Floor12"
    std::vector<QString> computerNames;    // in the order they are added
    std::vector<int> computerGroup;        // index into groupPaths
};

Plan makePlan()
{
    Plan plan;
    for (int top = 0; top < kTopGroups; ++top) {
        const QString site = QStringLiteral("Site%1").arg(top, 2, 10, QLatin1Char('0'));
        plan.groupPaths.push_back(site);
        for (int sub = 0; sub < kSubGroups; ++sub)
            plan.groupPaths.push_back(site + QStringLiteral("\\Floor%1").arg(sub, 2, 10, QLatin1Char('0')));
    }
    QRandomGenerator random(20261206);
    for (int i = 0; i < kComputers; ++i) {
        plan.computerNames.push_back(QStringLiteral("WS%1").arg(i, 6, 10, QLatin1Char('0')));
        plan.computerGroup.push_back(static_cast<int>(random.bounded(static_cast<quint32>(plan.groupPaths.size()))));
    }
    // Imports arrive in no particular order.
    std::shuffle(plan.computerNames.begin(), plan.computerNames.end(), std::mt19937(7));
    return plan;
}

void fill(ComputerDB &db, const Plan &plan)
{
    std::vector<int> folderIds;
    folderIds.reserve(plan.groupPaths.size());
    for (const QString &path : plan.groupPaths)
        folderIds.push_back(db.AddPath(path));
    for (int i = 0; i < kComputers; ++i) {
        const int id = db.AddComputer(plan.computerNames[static_cast<size_t>(i)], QString(),
                                      folderIds[static_cast<size_t>(plan.computerGroup[static_cast<size_t>(i)])], -1);
        const UserProfilesPtr list = db.GetComputerUserList(id);
        for (int u = 0; u < kUsersPerComputer; ++u)
            list->AddUserToUser(QStringLiteral("user%1").arg(u), QStringLiteral("new.user%1").arg(u));
    }
    // Accounts with passwords at the root and in every tenth group.
    auto withAccounts = [](const GlobalSettingsPtr &record) {
        for (int slot = 0; slot < UserTypeCount; ++slot)
            record->SetUser(slot, QStringLiteral("svc%1").arg(slot), QStringLiteral("Pa55-word-%1").arg(slot), QStringLiteral("CORP"));
    };
    withAccounts(db.GetSettings(QStringLiteral("G"), -1));
    for (size_t g = 0; g < folderIds.size(); g += 10) {
        QString source;
        GlobalSettingsPtr own = db.GetEffectiveSettings(QStringLiteral("F"), folderIds[g], source)->Clone();
        withAccounts(own);
        db.AddSettings(own, folderIds[g], QStringLiteral("F"));
    }
}

double seconds(QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// "--load FILE PASSPHRASE": loads the file into a new database and prints
// the seconds it took.
int loadOnly(const QString &path, const QString &passphrase)
{
    ComputerDB loaded;
    loaded.Clear();
    SettingsFile reader;
    QElapsedTimer timer;
    timer.start();
    const SettingsFileResult read = reader.Load(path, passphrase, loaded);
    const double load = seconds(timer);
    if (!read.ok() || loaded.GetComputerCount() != kComputers) {
        std::fprintf(stderr, "%s\n", qPrintable(read.Message));
        return 1;
    }
    std::printf("%.6f\n", load);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArrayView(argv[1]) == "--load")
        return loadOnly(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    std::printf("100,000 computers in 2,000 groups, %d user migrations each\n\n", kUsersPerComputer);
    const Plan plan = makePlan();
    QElapsedTimer timer;

    // The same 1,000,000 user migrations as CSV, for the sqlite3 shell to import.
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("migrations.csv"));
    {
        QFile out(csv);
        if (!out.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(csv));
            return 1;
        }
        QTextStream stream(&out);
        stream << "computer,source,destination\n";
        for (const QString &name : plan.computerNames) {
            for (int u = 0; u < kUsersPerComputer; ++u)
                stream << name << ",user" << u << ",new.user" << u << '\n';
        }
    }
    // Unlinked adds, then one tree build; then the same adds, one by one,
    // into a linked tree. The database of the last turn stays for the rest.
    std::unique_ptr<ComputerDB> unlinked;
    double addUnlinked = std::numeric_limits<double>::max();
    double build = std::numeric_limits<double>::max();
    double addLinked = std::numeric_limits<double>::max();
    for (int round = 0; round < kRounds; ++round) {
        auto database = std::make_unique<ComputerDB>();
        database->Clear();
        timer.start();
        fill(*database, plan);
        addUnlinked = std::min(addUnlinked, seconds(timer));

        MemoryTreeDisplay builtTree;
        builtTree.resetWithRoot();
        timer.start();
        database->LinkTreeView(&builtTree, 24, 3, nullptr);
        build = std::min(build, seconds(timer));

        ComputerDB linked;
        linked.Clear();
        MemoryTreeDisplay liveTree;
        liveTree.resetWithRoot();
        linked.LinkTreeView(&liveTree, 24, 3, nullptr);
        timer.start();
        fill(linked, plan);
        addLinked = std::min(addLinked, seconds(timer));
        if (round == 0) {
            // A built tree carries plain icons until the window asks for the
            // edit colours; compare both trees with them.
            database->SetColorsForEdit();
            linked.SetColorsForEdit();
            if (liveTree.outline() != builtTree.outline()) {
                std::fprintf(stderr, "the tree built once and the tree grown node by node differ\n");
                return 1;
            }
        }
        linked.UnlinkTreeView();
        database->UnlinkTreeView();
        unlinked = std::move(database);
    }

    timer.start();
    int found = 0;
    for (const QString &name : plan.computerNames)
        found += unlinked->FindComputer(name.toLower()) >= 0 ? 1 : 0;
    const double find = seconds(timer);
    if (found != kComputers) {
        std::fprintf(stderr, "FindComputer missed %d names\n", kComputers - found);
        return 1;
    }

    std::printf("add unlinked (best of %d)         %8.3f s\n", kRounds, addUnlinked);
    std::printf("build tree (best of %d)           %8.3f s\n", kRounds, build);
    std::printf("add into linked tree (best of %d) %8.3f s\n", kRounds, addLinked);
    std::printf("find by name                     %8.3f s  (%.2f us per name)\n", find, find * 1e6 / kComputers);
    std::printf("ratio linked / (unlinked + build)  %.2f   (target <= 2)\n\n", addLinked / (addUnlinked + build));

    // Settings file: save and load with sealed passwords. Key derivation runs
    // once in each; its time is measured alone and taken out.
    const QString path = dir.filePath(QStringLiteral("bench.vos"));
    const QString passphrase = QStringLiteral("bench passphrase");
    const PasswordSealer::Cost cost = PasswordSealer::Cost::Minimum();

    PasswordSealer sealer;
    timer.start();
    sealer.Derive(passphrase, PasswordSealer::NewParameters(cost));
    const double derive = seconds(timer);

    SettingsFile file;
    SettingsFile::SaveOptions options;
    options.JobName = QStringLiteral("Bench");
    options.Passphrase = passphrase;
    options.Cost = cost;
    double save = std::numeric_limits<double>::max();
    double load = std::numeric_limits<double>::max();
    double import = std::numeric_limits<double>::max();
    for (int round = 0; round < kRounds; ++round) {
        // The clock starts once sqlite3 runs: starting a process from this
        // large one takes time that sqlite3 should not be charged with.
        QProcess sqlite;
        sqlite.setProgram(QStringLiteral("sqlite3"));
        sqlite.setArguments({dir.filePath(QStringLiteral("import%1.db").arg(round))});
        sqlite.start();
        sqlite.waitForStarted(-1);
        timer.start();
        sqlite.write(QStringLiteral(".mode csv\n.import '%1' migrations\n").arg(csv).toUtf8());
        sqlite.closeWriteChannel();
        sqlite.waitForFinished(-1);
        import = std::min(import, seconds(timer));
        if (sqlite.exitStatus() != QProcess::NormalExit || sqlite.exitCode() != 0) {
            std::fprintf(stderr, "sqlite3 failed: %s\n", sqlite.readAllStandardError().constData());
            return 1;
        }

        timer.start();
        SettingsFileResult saved = file.Save(*unlinked, path, options);
        save = std::min(save, seconds(timer));
        if (!saved.ok()) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(saved.Message));
            return 1;
        }

        QProcess loader;
        loader.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--load"), path, passphrase});
        loader.waitForFinished(-1);
        bool ok = false;
        const double took = QString::fromLatin1(loader.readAllStandardOutput()).trimmed().toDouble(&ok);
        if (loader.exitStatus() != QProcess::NormalExit || loader.exitCode() != 0 || !ok) {
            std::fprintf(stderr, "load failed: %s\n", loader.readAllStandardError().constData());
            return 1;
        }
        load = std::min(load, took);
    }
    const double fileTime = save + load - 2 * derive;

    std::printf("settings file size               %8.1f MB\n", static_cast<double>(QFile(path).size()) / 1e6);
    std::printf("key derivation (alone)           %8.3f s\n", derive);
    std::printf("save (best of %d)                 %8.3f s\n", kRounds, save);
    std::printf("load (best of %d)                 %8.3f s\n", kRounds, load);
    std::printf("sqlite3 .import CSV (best of %d)  %8.3f s\n", kRounds, import);
    std::printf("ratio (save + load - 2 x derivation) / sqlite3 import  %.2f   (target < 1)\n", fileTime / import);
    return 0;
}

// The computer tree of a big job in the console's own tree view, offscreen.
//
// 1. Building the tree of 100,000 computers in 2,000 groups (the database
//    links the view, which adds every node in its place with its image)
//    against inserting the same names, as the same hierarchy, into a plain
//    QTreeWidget. Target: at most 1.5 times the plain widget.
// 2. The memory of a loaded job of 100,000 computers and 1,000,000 user
//    migrations with its tree built: the peak resident set of this process
//    (VmHWM) before and after, beside the size of the settings file.

#include "common/TreeImage.h"
#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"
#include "shell/TreeCommands.h"
#include "shell/forms/ComputerTreeView.h"

#include "BenchJob.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr int kComputers = 100000;
constexpr int kTurns = 3;

// Peak resident set in MiB, from /proc/self/status.
double peakMiB()
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmHWM:") {
            double kib = 0;
            status >> kib;
            return kib / 1024.0;
        }
    }
    return 0;
}

double treeViewSeconds(ComputerDB &db)
{
    ComputerTreeView tree;
    tree.attachDatabase(db).InitializeTreeView();
    QElapsedTimer timer;
    timer.start();
    db.LinkTreeView(&tree, TreeImage::Computer, TreeImage::Folder, nullptr);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    db.UnlinkTreeView();
    return seconds;
}

// The same hierarchy into a plain widget: groups first, then each computer
// under its group's item, found through a hash as the view does by key.
double plainWidgetSeconds(const ComputerDB &db)
{
    QTreeWidget plain;
    QElapsedTimer timer;
    timer.start();
    auto *root = new QTreeWidgetItem(&plain, QStringList {QStringLiteral("All Computers")});
    QHash<int, QTreeWidgetItem *> folders {{-1, root}};
    for (int id = 0; id < db.FolderCount(); ++id) {
        int parent = -1;
        QString type;
        db.GetObjectParent(QStringLiteral("F"), id, parent, type);
        folders.insert(id, nullptr);
    }
    // Parents before children: a folder's parent has a lower ID in this job.
    for (int id = 0; id < db.FolderCount(); ++id) {
        int parent = -1;
        QString type;
        db.GetObjectParent(QStringLiteral("F"), id, parent, type);
        folders[id] = new QTreeWidgetItem(folders.value(parent, root), QStringList {db.GetFolderName(id)});
    }
    for (int id = 0; id < db.ComputerCount(); ++id) {
        int parent = -1;
        QString type;
        db.GetObjectParent(QStringLiteral("C"), id, parent, type);
        new QTreeWidgetItem(folders.value(parent, root), QStringList {db.GetComputerName(id)});
    }
    plain.sortItems(0, Qt::AscendingOrder);
    return double(timer.nsecsElapsed()) / 1e9;
}

int loadOnly(const QString &path);

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--load")
        return loadOnly(QString::fromLocal8Bit(argv[2]));

    ComputerDB db;
    BenchJob::fill(db, kComputers);
    double view = 1e9;
    double plain = 1e9;
    for (int turn = 0; turn < kTurns; ++turn) {
        view = std::min(view, treeViewSeconds(db));
        plain = std::min(plain, plainWidgetSeconds(db));
    }
    std::printf("tree of %d computers: tree view %.3f s, plain QTreeWidget %.3f s, ratio %.2f (target 1.5)\n", kComputers, view, plain,
        view / plain);

    // Ten user migrations a computer: the two of the job and eight more.
    for (int id = 0; id < db.ComputerCount(); ++id) {
        const UserProfilesPtr list = db.GetComputerUserList(id);
        for (int u = 0; u < 8; ++u)
            list->AddUserToUser(QStringLiteral("extra%1.%2").arg(u).arg(id % 101), QStringLiteral("new.extra%1.%2").arg(u).arg(id % 101));
    }
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("big.vos.json"));
    if (!SettingsFile().Save(db, path, {}).ok()) {
        std::printf("the settings file could not be saved\n");
        return 1;
    }
    // A fresh process, so that its peak is the loaded job's alone.
    std::fflush(stdout);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--load"), path});
    child.waitForFinished(-1);
    return child.exitCode();
}

namespace {

int loadOnly(const QString &path)
{
    const double before = peakMiB();
    ComputerDB loaded;
    if (!SettingsFile().Load(path, QString(), loaded).ok()) {
        std::printf("the settings file could not be loaded\n");
        return 1;
    }
    ComputerTreeView tree;
    tree.attachDatabase(loaded).InitializeTreeView();
    loaded.LinkTreeView(&tree, TreeImage::Computer, TreeImage::Folder, nullptr);
    std::printf("loaded job of %d computers with 10 user migrations each, tree built: peak resident set %.0f MiB "
                "(%.0f MiB before loading); settings file %.1f MiB\n",
        loaded.GetComputerCount(), peakMiB(), before, double(QFileInfo(path).size()) / (1024.0 * 1024.0));
    return 0;
}

} // namespace

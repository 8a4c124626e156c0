// Re-owning a profile of 1,000,000 files in place against
// `chown -R --from=OLD:OLD NEW:NEW` on the same tree, on disk (under
// /var/tmp) and on a tmpfs mounted for the run. Target: at most 1.2x.
// Needs root; each run alternates the two, the tree going back and forth.
#include "client/ClientJournal.h"
#include "client/modProfileStep.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uid_t kOld = 61001, kNew = 61002;
constexpr int kFolders = 100, kSubfolders = 10;
// Files per folder; a smaller tree for a quick look: bench_reown 100.
int kFiles = 1000;
constexpr int kRounds = 2;

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool makeTree(const std::string &home)
{
    if (::mkdir(home.c_str(), 0755) != 0 || ::chown(home.c_str(), kOld, kOld) != 0)
        return false;
    for (int a = 0; a < kFolders; ++a) {
        const std::string folder = home + "/d" + std::to_string(a);
        ::mkdir(folder.c_str(), 0755);
        ::chown(folder.c_str(), kOld, kOld);
        for (int b = 0; b < kSubfolders; ++b) {
            const std::string sub = folder + "/s" + std::to_string(b);
            ::mkdir(sub.c_str(), 0755);
            ::chown(sub.c_str(), kOld, kOld);
            const int dir = ::open(sub.c_str(), O_RDONLY | O_DIRECTORY);
            for (int c = 0; c < kFiles; ++c) {
                const std::string name = "file" + std::to_string(c) + ".txt";
                const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                if (fd < 0 || ::fchown(fd, kOld, kOld) != 0)
                    return false;
                ::close(fd);
            }
            ::close(dir);
        }
    }
    return true;
}

bool shell(const std::string &command)
{
    return std::system(command.c_str()) == 0;
}

void bench(const char *where, const std::string &base)
{
    const std::string home = base + "/home", work = base + "/work";
    std::printf("%s: making %d files in %s ...\n", where, kFolders * kSubfolders * kFiles, home.c_str());
    std::fflush(stdout);
    if (!makeTree(home) || ::mkdir(work.c_str(), 0700) != 0) {
        std::printf("%s: cannot make the tree\n", where);
        return;
    }
    shell("sync");
    double ours = 1e9, theirs = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        ClientJournal journal(work);
        std::vector<std::string> warnings;
        std::string problem;
        auto start = std::chrono::steady_clock::now();
        if (!journal.load(problem) || !modProfileStep::Move(journal, home, {kOld, kNew, true, kOld, kOld + 1}, warnings, problem)) {
            std::printf("%s: %s\n", where, problem.c_str());
            return;
        }
        ours = std::min(ours, seconds(start));
        ::unlink(journal.path().c_str());
        // The same work back: every file from the new owner to the old.
        start = std::chrono::steady_clock::now();
        shell("chown -R --from=" + std::to_string(kNew) + ":" + std::to_string(kOld + 1) + " " + std::to_string(kOld) + ":"
            + std::to_string(kOld) + " " + home);
        theirs = std::min(theirs, seconds(start));
    }
    std::printf("%s: re-own %.2f s, chown -R --from %.2f s, ratio %.2fx (target <= 1.2x)\n", where, ours, theirs, ours / theirs);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1)
        kFiles = std::max(1, std::atoi(argv[1]));
    if (::geteuid() != 0) {
        std::printf("bench_reown: needs root (chown); skipped\n");
        return 0;
    }
    char disk[] = "/var/tmp/bench-reown-XXXXXX";
    if (::mkdtemp(disk) != nullptr) {
        bench("disk", disk);
        shell(std::string("rm -rf ") + disk);
    }
    char memory[] = "/var/tmp/bench-reown-tmpfs-XXXXXX";
    if (::mkdtemp(memory) != nullptr && ::mount("none", memory, "tmpfs", 0, "size=4g,nr_inodes=2m,mode=0700") == 0) {
        bench("tmpfs", memory);
        ::umount2(memory, MNT_DETACH);
    } else {
        std::printf("tmpfs: cannot mount one; skipped\n");
    }
    ::rmdir(memory);
    return 0;
}

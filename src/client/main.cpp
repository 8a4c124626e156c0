#include "client/ClientRun.h"
#include "client/LocalComputer.h"
#include "client/modClientFiles.h"
#include "client/modClientMode.h"
#include "protocol/modRunFile.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// varno-osk-client --version | --help
// varno-osk-client DROP-FOLDER
// varno-osk-client --resume WORKING-FOLDER   (the unit after a reboot)
int main(int argc, char **argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("Usage: varno-osk-client DROP-FOLDER | --resume WORKING-FOLDER | --version\n"
                    "\n"
                    "The Varno-Osk client service. The migration engine starts it on a client\n"
                    "over ssh, as root, with the folder it dropped the run's files in; it checks\n"
                    "the computer or migrates it, reports to the console's TLS listener, and\n"
                    "removes its files when it ends. It is not meant to be started by hand.\n"
                    "\n"
                    "Options:\n"
                    "  DROP-FOLDER              the run's files: its run file, configuration\n"
                    "                           and token\n"
                    "  --resume WORKING-FOLDER  go on with a run after a reboot (the systemd\n"
                    "                           unit varno-osk-client-resume.service does it)\n"
                    "  -h, --help               this text\n"
                    "  --version                the version of Varno-Osk\n"
                    "\n"
                    "Files:\n"
                    "  /var/lib/varno-osk/      the working folders of runs as root\n"
                    "  ~/.local/state/varno-osk/  those of runs as another login\n");
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", VO_VERSION_STRING);
        return 0;
    }
    const bool resume = argc == 3 && std::strcmp(argv[1], "--resume") == 0;
    if (resume) {
        --argc;
        ++argv;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: varno-osk-client DROP-FOLDER | --resume WORKING-FOLDER | --version\n");
        return 1;
    }
    // A console that drops the connection must not kill the service mid-write.
    std::signal(SIGPIPE, SIG_IGN);
    ::umask(077);
    std::string problem;
    const std::string testRoots = modClientMode::TestRoots(problem);
    std::string root;
    if (problem.empty() && !testRoots.empty()) {
        // In a test the computer is the one the run file names.
        std::string text;
        modRunFile::RunFile file;
        if (modClientFiles::ReadBounded(modClientFiles::Join(argv[1], std::string(modRunFile::FileName)), modRunFile::MaxFileBytes, text,
                problem)
            && modRunFile::Parse(text, file, problem))
            root = modClientMode::TestRoot(testRoots, file.computer, problem);
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "varno-osk-client: refused: %s\n", problem.c_str());
        return ClientRun::BadFiles;
    }
    char self[4096] = "";
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string program = length > 0 ? std::string(self, static_cast<std::size_t>(length)) : std::string(argv[0]);
    LocalComputer computer(root);
    ClientRun run(computer, computer, root, argv[1], program, resume);
    return run.exec();
}

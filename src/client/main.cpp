#include "client/ClientRun.h"
#include "client/LocalComputer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// varno-osk-client --version
// varno-osk-client DROP-FOLDER
int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", VO_VERSION_STRING);
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: varno-osk-client DROP-FOLDER | --version\n");
        return 1;
    }
    // A console that drops the connection must not kill the service mid-write.
    std::signal(SIGPIPE, SIG_IGN);
    ::umask(077);
    const char *root = std::getenv("VARNO_OSK_CLIENT_ROOT");
    char self[4096] = "";
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string program = length > 0 ? std::string(self, static_cast<std::size_t>(length)) : std::string(argv[0]);
    LocalComputer computer(root ? root : "");
    ClientRun run(computer, root ? root : "", argv[1], program);
    return run.exec();
}

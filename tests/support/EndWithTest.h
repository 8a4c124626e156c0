#pragma once

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>

// A server a test starts ends with the test, also when the test is killed
// (a CTest timeout) before its clean-up can run.
inline void endWithTest(QProcess &server)
{
    server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

#pragma once

#include <string>

// Whether this client service works on its computer or in a test. Test mode
// exists only when the file at VO_CLIENT_CONF (fixed when the service is
// built; the packages never ship it) names a folder of client roots with a
// line "TestRoots=FOLDER"; the service then takes FOLDER/<computer> as its
// computer's root. The file and every folder above it must belong to root
// and be writable by nobody else, and no link may lead to it, so that
// nothing a login without root's rights can set, its environment included,
// moves the service off its computer.
namespace modClientMode {

// The folder of client roots; empty on a real computer. A file that is
// there but not safe gives `problem`, and the service must not run.
std::string TestRoots(std::string &problem);

// The root of `computer` below `testRoots`; empty, with `problem`, when the
// name could lead out of the folder.
std::string TestRoot(const std::string &testRoots, const std::string &computer, std::string &problem);

} // namespace modClientMode

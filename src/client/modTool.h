#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The computer's own programs, run by the client service: with a clean
// environment (PATH only), no shell, and a time limit.
namespace modTool {

// Runs `program` and gives its standard output, cut at 64 KiB; nullopt when
// it could not run, failed, or `stillWanted` said no while it ran (asked
// a few times a second) or it took longer than `seconds`. `input` (a password, say) goes through a pipe,
// never the command line. The descriptors in `passed` stay open in the
// program, so that it can be given a folder as /proc/self/fd/N.
std::optional<std::string> Run(const std::string &program, const std::vector<std::string> &arguments,
    const std::function<bool()> &stillWanted, const std::string &input = {}, const std::vector<int> &passed = {}, int seconds = 30);

} // namespace modTool

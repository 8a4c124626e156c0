#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The status file a client service keeps in its working folder as it works:
// its last status and every finding so far, a line each ("STATUS=PS",
// "FINDING=1010 particulars", the particulars escaped as in a frame). The
// transferor collects it; an engine that takes up a run whose engine died
// reads it for what the client did while nobody heard it.
namespace modStatusFile {

using Findings = std::vector<std::pair<int, std::string>>; // code, particulars

struct Contents
{
    std::string status;
    Findings findings;
};

std::string Compose(const std::string &status, const Findings &findings);
// What `text` says; lines it does not know, and findings whose code is no
// number or whose particulars do not unescape, are passed over.
Contents Parse(std::string_view text);

} // namespace modStatusFile

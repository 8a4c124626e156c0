#include "client/ClientJournal.h"

#include "client/modClientFiles.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace {

// A journal names at most a few lists of a profile's files.
constexpr std::size_t kMaxJournalBytes = 256u * 1024 * 1024;
const char kHeader[] = "varno-osk-journal 1";
const char *const kPhases[] {"begun", "done", "undone"};
const char *const kKinds[] {"resolved", "realm-leave", "realm-join", "workgroup", "rename", "copy", "profile-reown"};

template<std::size_t N>
int indexOf(const char *const (&names)[N], std::string_view name)
{
    const auto found = std::find(std::begin(names), std::end(names), name);
    return found == std::end(names) ? -1 : static_cast<int>(found - std::begin(names));
}

// Paths may hold any byte but '/' and NUL; fields are split at spaces.
std::string escape(std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == '%' || byte >= 0x7f) {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

bool unescape(std::string_view text, std::string &out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= text.size())
            return false;
        const auto [end, error] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (error != std::errc() || end != text.data() + i + 3)
            return false;
        out += static_cast<char>(value);
        i += 2;
    }
    return true;
}

template<typename T>
bool number(std::string_view text, T &value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The line's first word and the rest.
std::pair<std::string_view, std::string_view> cut(std::string_view line)
{
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos)
        return {line, {}};
    return {line.substr(0, space), line.substr(space + 1)};
}

} // namespace

ClientJournal::ClientJournal(std::string folder)
    : m_folder(std::move(folder))
{
}

std::string ClientJournal::path() const
{
    return modClientFiles::Join(m_folder, "journal");
}

bool ClientJournal::load(std::string &problem)
{
    m_steps.clear();
    m_run.clear();
    m_complete = false;
    std::string text;
    if (::access(path().c_str(), F_OK) != 0 && errno == ENOENT)
        return true;
    return modClientFiles::ReadBounded(path(), kMaxJournalBytes, text, problem) && parse(text, problem);
}

bool ClientJournal::parse(const std::string &text, std::string &problem)
{
    std::string_view rest(text);
    std::size_t lineNumber = 0;
    Step *step = nullptr;
    bool ended = true;
    while (!rest.empty()) {
        const std::size_t newline = rest.find('\n');
        if (newline == std::string_view::npos) {
            problem = path() + " ends in the middle of a line.";
            return false;
        }
        const std::string_view line = rest.substr(0, newline);
        rest.remove_prefix(newline + 1);
        ++lineNumber;
        const auto [word, value] = cut(line);
        const auto [first, second] = cut(value);
        bool ok = true;
        if (lineNumber == 1) {
            ok = line == kHeader;
        } else if (word == "run" && m_steps.empty() && m_run.empty()) {
            ok = unescape(value, m_run);
        } else if (line == "complete" && ended) {
            m_complete = true;
        } else if (word == "step") {
            const int kind = indexOf(kKinds, first);
            const int phase = indexOf(kPhases, second);
            ok = ended && kind >= 0 && phase >= 0;
            m_steps.emplace_back();
            step = &m_steps.back();
            ended = false;
            if (ok) {
                step->kind = static_cast<Kind>(kind);
                step->phase = static_cast<Phase>(phase);
            }
        } else if (step == nullptr || ended) {
            ok = false;
        } else if (word == "uid") {
            ok = number(first, step->mapping.sourceUid) && number(second, step->mapping.destinationUid);
        } else if (word == "gid") {
            step->mapping.mapsGroup = true;
            ok = number(first, step->mapping.sourceGid) && number(second, step->mapping.destinationGid);
        } else if (word == "tree") {
            ok = unescape(value, step->tree) && !step->tree.empty();
        } else if (word == "from") {
            ok = unescape(value, step->from);
        } else if (word == "to") {
            ok = unescape(value, step->to);
        } else if (word == "domain") {
            ok = unescape(value, step->domain);
        } else if (word == "kept") {
            step->kept.emplace_back();
            ok = number(first, step->kept.back().parts) && unescape(second, step->kept.back().path);
        } else if (word == "end") {
            ended = true;
        } else {
            ok = false;
        }
        if (!ok) {
            problem = path() + ", line " + std::to_string(lineNumber) + ": not a journal line this program wrote.";
            m_steps.clear();
            return false;
        }
    }
    if (lineNumber == 0 || !ended) {
        problem = path() + " is cut short.";
        m_steps.clear();
        return false;
    }
    return true;
}

bool ClientJournal::save(std::string &problem)
{
    std::string text = std::string(kHeader) + "\n";
    if (!m_run.empty())
        text += "run " + escape(m_run) + "\n";
    for (const Step &step : m_steps) {
        text += std::string("step ") + kKinds[static_cast<int>(step.kind)] + " " + kPhases[static_cast<int>(step.phase)];
        text += "\nuid " + std::to_string(step.mapping.sourceUid) + " " + std::to_string(step.mapping.destinationUid) + "\n";
        if (step.mapping.mapsGroup)
            text += "gid " + std::to_string(step.mapping.sourceGid) + " " + std::to_string(step.mapping.destinationGid) + "\n";
        if (!step.tree.empty())
            text += "tree " + escape(step.tree) + "\n";
        if (!step.from.empty())
            text += "from " + escape(step.from) + "\n";
        if (!step.to.empty())
            text += "to " + escape(step.to) + "\n";
        if (!step.domain.empty())
            text += "domain " + escape(step.domain) + "\n";
        for (const ProfileReowner::Kept &kept : step.kept)
            text += "kept " + std::to_string(kept.parts) + " " + escape(kept.path) + "\n";
        text += "end\n";
    }
    if (m_complete)
        text += "complete\n";
    if (!modClientFiles::Replace(path(), text, problem))
        return false;
    // The new name must survive a reboot too, not only the file's data.
    const int folder = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const bool synced = folder >= 0 && ::fsync(folder) == 0;
    if (folder >= 0)
        ::close(folder);
    if (!synced)
        problem = "Cannot sync the folder " + m_folder + ": " + std::strerror(errno);
    return synced;
}

bool ClientJournal::forget(std::string &problem)
{
    m_steps.clear();
    m_run.clear();
    m_complete = false;
    if (::unlink(path().c_str()) != 0 && errno != ENOENT) {
        problem = "Cannot remove " + path() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

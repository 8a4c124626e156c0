#include "protocol/modRunFile.h"

#include "protocol/modProtocol.h"

#include <charconv>

namespace modRunFile {

namespace {

bool isHex(std::string_view text, std::size_t length)
{
    if (text.size() != length)
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

bool toSeconds(std::string_view text, int &value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0;
}

// A file name of the working folder: never a path, so the engine's settings
// cannot make the client write elsewhere.
bool isPlainName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos
        && name.find('\0') == std::string_view::npos;
}

std::string safeName(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        out += plain ? c : '_';
    }
    if (out.empty() || out[0] == '.')
        out.insert(out.begin(), '_');
    return out;
}

} // namespace

std::string Compose(const RunFile &file)
{
    const std::pair<std::string_view, std::string> entries[] {
        {"PROTOCOL", std::to_string(file.protocol)},
        {"MODE", file.mode},
        {"TOKEN", file.token},
        {"FINGERPRINT", file.fingerprint},
        {"REPORTINGPERIOD", std::to_string(file.reportingPeriod)},
        {"KEEPALIVEINCREMENT", std::to_string(file.keepAliveIncrement)},
        {"CLIENTLOG", file.clientLog},
        {"CLIENTSTATUS", file.clientStatus},
        {"RUN", file.run},
        {"COMPUTER", file.computer},
    };
    std::string text;
    for (const auto &[key, value] : entries) {
        text += key;
        text += '=';
        text += value;
        text += "\r\n";
    }
    return text;
}

bool ParseLines(std::string_view text, std::map<std::string, std::string, std::less<>> &values, std::string &problem)
{
    values.clear();
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0) {
            problem = "Line " + std::to_string(lineNumber) + " is not of the form KEY=value.";
            return false;
        }
        if (!values.emplace(std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))).second) {
            problem = "The key " + std::string(line.substr(0, equals)) + " is given twice.";
            return false;
        }
    }
    return true;
}

bool Parse(std::string_view text, RunFile &file, std::string &problem)
{
    std::map<std::string, std::string, std::less<>> values;
    if (!ParseLines(text, values, problem))
        return false;
    auto value = [&](std::string_view key) -> const std::string * {
        const auto found = values.find(key);
        if (found == values.end()) {
            problem = "The run file has no " + std::string(key) + ".";
            return nullptr;
        }
        return &found->second;
    };
    auto bad = [&](std::string_view key) {
        problem = "The run file's " + std::string(key) + " is not valid.";
        return false;
    };

    RunFile parsed;
    const std::string *entry = value("PROTOCOL");
    if (!entry)
        return false;
    if (!toSeconds(*entry, parsed.protocol))
        return bad("PROTOCOL");
    if (!(entry = value("MODE")))
        return false;
    if (*entry != ModeCheck && *entry != ModeMigrate && *entry != ModeRollback && *entry != ModeForget)
        return bad("MODE");
    parsed.mode = *entry;
    if (!(entry = value("TOKEN")))
        return false;
    if (!isHex(*entry, 2 * modProtocol::TokenBytes))
        return bad("TOKEN");
    parsed.token = *entry;
    if (!(entry = value("FINGERPRINT")))
        return false;
    if (!isHex(*entry, 64))
        return bad("FINGERPRINT");
    parsed.fingerprint = *entry;
    if (!(entry = value("REPORTINGPERIOD")))
        return false;
    if (!toSeconds(*entry, parsed.reportingPeriod))
        return bad("REPORTINGPERIOD");
    if (!(entry = value("KEEPALIVEINCREMENT")))
        return false;
    if (!toSeconds(*entry, parsed.keepAliveIncrement))
        return bad("KEEPALIVEINCREMENT");
    if (!(entry = value("CLIENTLOG")))
        return false;
    if (!isPlainName(*entry))
        return bad("CLIENTLOG");
    parsed.clientLog = *entry;
    if (!(entry = value("CLIENTSTATUS")))
        return false;
    if (!isPlainName(*entry) || *entry == parsed.clientLog)
        return bad("CLIENTSTATUS");
    parsed.clientStatus = *entry;
    if (!(entry = value("RUN")))
        return false;
    parsed.run = *entry;
    if (!(entry = value("COMPUTER")))
        return false;
    parsed.computer = *entry;
    file = std::move(parsed);
    return true;
}

std::string WorkingFolder(std::string_view root, bool asRoot, std::string_view home, std::string_view run, std::string_view computer)
{
    std::string folder(asRoot ? root : home);
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    folder += asRoot ? "/var/lib/varno-osk/" : "/.local/state/varno-osk/";
    folder += safeName(std::string(run) + "-" + std::string(computer));
    return folder;
}

} // namespace modRunFile

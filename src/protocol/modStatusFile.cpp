#include "protocol/modStatusFile.h"

#include "protocol/modProtocol.h"

#include <charconv>

namespace modStatusFile {

namespace {

constexpr std::string_view kStatus = "STATUS=";
constexpr std::string_view kFinding = "FINDING=";

} // namespace

std::string Compose(const std::string &status, const Findings &findings)
{
    std::string text = std::string(kStatus) + status + "\r\n";
    for (const auto &[code, particulars] : findings)
        text += std::string(kFinding) + std::to_string(code) + " " + modProtocol::Escape(particulars) + "\r\n";
    return text;
}

Contents Parse(std::string_view text)
{
    Contents contents;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.substr(0, kStatus.size()) == kStatus) {
            contents.status = std::string(line.substr(kStatus.size()));
        } else if (line.substr(0, kFinding.size()) == kFinding) {
            line.remove_prefix(kFinding.size());
            int code = 0;
            const auto [at, error] = std::from_chars(line.data(), line.data() + line.size(), code);
            std::string particulars;
            if (error != std::errc() || (at != line.data() + line.size() && *at != ' ')
                || !modProtocol::Unescape(at == line.data() + line.size() ? std::string_view() : std::string_view(at + 1, line.data() + line.size() - at - 1), particulars))
                continue;
            contents.findings.emplace_back(code, std::move(particulars));
        }
    }
    return contents;
}

} // namespace modStatusFile

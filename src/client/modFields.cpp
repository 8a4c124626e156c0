#include "client/modFields.h"

#include <charconv>

namespace modFields {

std::vector<std::string_view> Split(std::string_view line, char separator)
{
    std::vector<std::string_view> parts;
    for (std::size_t at = 0;;) {
        const std::size_t next = line.find(separator, at);
        parts.push_back(line.substr(at, next == std::string_view::npos ? std::string_view::npos : next - at));
        if (next == std::string_view::npos)
            return parts;
        at = next + 1;
    }
}

bool ToUnsigned(std::string_view text, unsigned &value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

} // namespace modFields

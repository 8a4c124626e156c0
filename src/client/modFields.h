#pragma once

#include <string_view>
#include <vector>

// The fields of the system's text files (passwd, group, /proc's status).
namespace modFields {

// `line` cut at every `separator`; empty fields kept.
std::vector<std::string_view> Split(std::string_view line, char separator);

// A whole decimal number and nothing else.
bool ToUnsigned(std::string_view text, unsigned &value);

} // namespace modFields

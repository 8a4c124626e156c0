#pragma once

#include <functional>
#include <string>
#include <string_view>

// The reversible scheme of the client configuration file on bytes, so that
// the console (through modScramble, which turns its texts into ANSI codes)
// and the client service, which has no Qt, share one definition.
//
// Layout: n random prefix bytes (n from 0 to 119, codes 35 to 249, never 127
// and never "S"), then "S", then one byte per input byte: ((c + i + k) mod
// 200) + 35, where i is the 1-based position and k a running key that starts
// at n + 1 and grows by n + 1 per byte, wrapping from 256 on by 255.
namespace modScrambleCore {

// Uniform draws in [0, 1).
using RandomDraw = std::function<double()>;

// Longest prefix the scrambler writes.
inline constexpr int MaxPrefixLength = 119;

std::string Scramble(std::string_view codes, const RandomDraw &random);

// Gives back the codes 0 to 199 that the body carries. False, with the reason
// in `problem`, for bytes that no scrambling produces.
bool Descramble(std::string_view data, std::string &codes, std::string *problem = nullptr);

} // namespace modScrambleCore

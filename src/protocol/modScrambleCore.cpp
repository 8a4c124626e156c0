#include "protocol/modScrambleCore.h"

#include <algorithm>

namespace modScrambleCore {

namespace {

constexpr char kMarker = 'S';
constexpr int kBodyBase = 35;
constexpr int kBodyModulus = 200;
constexpr int kPrefixCodes = 215; // 35 to 249

int draw(const RandomDraw &random, int range)
{
    const int value = static_cast<int>(random() * range);
    // A source that returns 1.0 (or drifts past it) must not leave the range.
    return std::clamp(value, 0, range - 1);
}

int nextKey(int k, int step)
{
    k += step;
    if (k >= 256)
        k -= 255;
    return k;
}

} // namespace

std::string Scramble(std::string_view codes, const RandomDraw &random)
{
    const int n = draw(random, MaxPrefixLength + 1);

    std::string out;
    out.reserve(static_cast<std::size_t>(n) + 1 + codes.size());
    while (out.size() < static_cast<std::size_t>(n)) {
        const int code = draw(random, kPrefixCodes) + kBodyBase;
        if (code == 127 || code == kMarker)
            continue;
        out += static_cast<char>(code);
    }
    out += kMarker;

    const int step = n + 1;
    int k = step;
    for (std::size_t index = 0; index < codes.size(); ++index) {
        const int c = static_cast<unsigned char>(codes[index]);
        const int i = static_cast<int>(index % kBodyModulus) + 1;
        out += static_cast<char>(((c + i + k) % kBodyModulus) + kBodyBase);
        k = nextKey(k, step);
    }
    return out;
}

bool Descramble(std::string_view data, std::string &codes, std::string *problem)
{
    auto fail = [&](std::string reason) {
        if (problem)
            *problem = std::move(reason);
        codes.clear();
        return false;
    };

    const std::size_t n = data.find(kMarker);
    if (n == std::string_view::npos)
        return fail("The file has no end-of-prefix marker \"S\"; it is not a scrambled configuration file.");
    if (n > static_cast<std::size_t>(MaxPrefixLength))
        return fail("The prefix is " + std::to_string(n) + " characters long; a scrambled configuration file has at most "
            + std::to_string(MaxPrefixLength) + ".");

    const int step = static_cast<int>(n) + 1;
    int k = step;
    std::string plain;
    plain.reserve(data.size() - n - 1);
    for (std::size_t pos = n + 1; pos < data.size(); ++pos) {
        const int b = static_cast<unsigned char>(data[pos]);
        if (b < kBodyBase || b >= kBodyBase + kBodyModulus)
            return fail(
                "Byte " + std::to_string(b) + " at offset " + std::to_string(pos) + " cannot come from scrambling (only 35 to 234 can).");
        const int i = static_cast<int>((pos - n - 1) % kBodyModulus) + 1;
        int c = (b - kBodyBase - i - k) % kBodyModulus;
        if (c < 0)
            c += kBodyModulus;
        plain += static_cast<char>(c);
        k = nextKey(k, step);
    }
    codes = std::move(plain);
    if (problem)
        problem->clear();
    return true;
}

} // namespace modScrambleCore

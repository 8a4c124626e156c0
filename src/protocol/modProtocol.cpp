#include "protocol/modProtocol.h"

#include <array>

namespace modProtocol {

namespace {

struct KindInfo
{
    Kind kind;
    std::string_view name;
    std::size_t fields;
};

constexpr std::array<KindInfo, 9> kKinds {{
    {Kind::Hello, "HELLO", 3},
    {Kind::Status, "STATUS", 1},
    {Kind::Finding, "FINDING", 2},
    {Kind::KeepAlive, "KEEPALIVE", 1},
    {Kind::Bye, "BYE", 0},
    {Kind::Welcome, "WELCOME", 2},
    {Kind::Cancel, "CANCEL", 0},
    {Kind::Abort, "ABORT", 0},
    {Kind::Ended, "ENDED", 0},
}};

const KindInfo &info(Kind kind)
{
    for (const KindInfo &entry : kKinds) {
        if (entry.kind == kind)
            return entry;
    }
    return kKinds.back();
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr char kHex[] = "0123456789abcdef";

} // namespace

std::string_view KindName(Kind kind)
{
    return info(kind).name;
}

bool KindFromName(std::string_view name, Kind &kind)
{
    for (const KindInfo &entry : kKinds) {
        if (entry.name == name) {
            kind = entry.kind;
            return true;
        }
    }
    return false;
}

std::size_t FieldCount(Kind kind)
{
    return info(kind).fields;
}

std::string Escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

bool Unescape(std::string_view text, std::string &out)
{
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

std::string Encode(const Frame &frame)
{
    std::string body(KindName(frame.kind));
    for (const std::string &field : frame.fields) {
        body += '\t';
        body += Escape(field);
    }
    const auto size = static_cast<std::uint32_t>(body.size());
    std::string out;
    out.reserve(4 + body.size());
    out += static_cast<char>((size >> 24) & 0xFF);
    out += static_cast<char>((size >> 16) & 0xFF);
    out += static_cast<char>((size >> 8) & 0xFF);
    out += static_cast<char>(size & 0xFF);
    out += body;
    return out;
}

void FrameReader::append(const char *data, std::size_t size)
{
    // Drop what was given back already before the buffer grows.
    if (m_start > 0 && m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    } else if (m_start > MaxFrameBytes) {
        m_buffer.erase(0, m_start);
        m_start = 0;
    }
    m_buffer.append(data, size);
}

FrameReader::Result FrameReader::next(Frame &frame)
{
    if (pending() < 4)
        return Result::NeedMore;
    const auto *head = reinterpret_cast<const unsigned char *>(m_buffer.data() + m_start);
    const std::uint32_t size = (std::uint32_t(head[0]) << 24) | (std::uint32_t(head[1]) << 16) | (std::uint32_t(head[2]) << 8) | head[3];
    if (size > MaxFrameBytes)
        return Result::TooLarge;
    if (pending() < 4 + std::size_t(size))
        return Result::NeedMore;
    const std::string_view body(m_buffer.data() + m_start + 4, size);
    m_start += 4 + size;

    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t tab = body.find('\t', from);
        parts.push_back(body.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from));
        if (tab == std::string_view::npos)
            break;
        from = tab + 1;
    }
    Kind kind;
    if (!KindFromName(parts.front(), kind) || parts.size() - 1 != FieldCount(kind))
        return Result::Malformed;
    frame.kind = kind;
    frame.fields.assign(parts.size() - 1, std::string());
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (!Unescape(parts[i], frame.fields[i - 1]))
            return Result::Malformed;
    }
    return Result::Ready;
}

const std::vector<std::string_view> &StatusCodes()
{
    static const std::vector<std::string_view> codes {
        "ID", "NP", "L", "CL", "U", "PS", "PW", "PE", "XS", "XW", "XE", "XC", "XA", "AP", "A"};
    return codes;
}

bool IsStatusCode(std::string_view code)
{
    for (const std::string_view known : StatusCodes()) {
        if (known == code)
            return true;
    }
    // Loading, aborting and unloading carry a step number: "L3", "A0".
    return code.size() == 2 && (code[0] == 'L' || code[0] == 'A' || code[0] == 'U') && code[1] >= '0' && code[1] <= '9';
}

bool SameBytes(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

std::string ToHex(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    }
    return out;
}

bool FromHex(std::string_view hex, std::string &bytes)
{
    bytes.clear();
    if (hex.size() % 2 != 0)
        return false;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexValue(hex[i]);
        const int low = hexValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

} // namespace modProtocol

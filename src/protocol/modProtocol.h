#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the client service and the engine's listener say to each other over
// TLS. Plain C++ with nothing beyond the standard library: the client service
// is built without Qt, and both sides read this one definition.
//
// A frame is a 4-byte big-endian length, then that many bytes: the frame's
// name, and its fields each after a TAB. A field is escaped (see Escape), so
// it never holds a TAB, a line break or a control character.
//
// The conversation: the client sends Hello first; the engine answers Welcome
// or drops the connection. Then the client reports Status changes, Finding
// lines and KeepAlive requests, and ends with Bye; the engine may send
// Cancel, Abort, or Ended (the run is over, stop now).
namespace modProtocol {

inline constexpr int Version = 1;
// Larger frames are refused before their body is read.
inline constexpr std::size_t MaxFrameBytes = 64 * 1024;
// Texts from a client are cut to this many bytes before they reach the tree,
// a log or a terminal.
inline constexpr std::size_t MaxTextBytes = 1024;
// A connection that has not said a valid Hello this long after it opened is dropped.
inline constexpr int HelloSeconds = 5;
// Random bytes of a client's token; it travels as lower-case hex.
inline constexpr std::size_t TokenBytes = 32;

enum class Kind {
    // client to engine
    Hello, // version, computer name, token
    Status, // status code
    Finding, // finding code, text
    KeepAlive, // seconds more the next step may take
    Bye,
    // engine to client
    Welcome, // version, mode ("check" or "migrate")
    Cancel,
    Abort,
    Ended,
};

std::string_view KindName(Kind kind);
// False for a name no frame has.
bool KindFromName(std::string_view name, Kind &kind);

struct Frame
{
    Kind kind = Kind::Bye;
    std::vector<std::string> fields;
};

// How many fields a frame of `kind` carries.
std::size_t FieldCount(Kind kind);

// "%" and every byte below 0x20 or 0x7F become "%XX"; everything else stays.
std::string Escape(std::string_view text);
// False for a "%" not followed by two hex digits.
bool Unescape(std::string_view text, std::string &out);

// The whole frame, length first.
std::string Encode(const Frame &frame);

// Takes bytes as they arrive and gives back whole frames.
class FrameReader
{
public:
    enum class Result {
        NeedMore, // no whole frame yet
        Ready, // `frame` holds the next frame
        TooLarge, // a frame longer than MaxFrameBytes announced itself
        Malformed, // unknown name, wrong field count or bad escape
    };

    void append(const char *data, std::size_t size);
    Result next(Frame &frame);
    // Bytes held and not yet given back as frames.
    std::size_t pending() const { return m_buffer.size() - m_start; }

private:
    std::string m_buffer;
    std::size_t m_start = 0;
};

// The status codes a client may report, as the engine reports them to the
// console; the step families ("L0" to "L9", "A", "U") count as theirs.
bool IsStatusCode(std::string_view code);
const std::vector<std::string_view> &StatusCodes();

// Constant-time comparison of two byte strings of equal length; false when
// the lengths differ.
bool SameBytes(std::string_view a, std::string_view b);

// Lower-case hex of bytes, and back (false for odd length or a non-hex digit).
std::string ToHex(std::string_view bytes);
bool FromHex(std::string_view hex, std::string &bytes);

} // namespace modProtocol

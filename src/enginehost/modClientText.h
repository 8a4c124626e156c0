#pragma once

#include <QString>

#include <string_view>

// Texts a client sends (a finding's particulars: an account, a folder) are
// the client's word, and a client may be anyone who got hold of a token.
// Before such a text reaches the tree, a log or a terminal it is cut to
// modProtocol::MaxTextBytes and every character that could steer a terminal
// or reorder what the administrator reads (controls, bidirectional marks and
// overrides) is written as a visible escape (\x1b, \u202e). A backslash
// stays as it is: accounts are written DOMAIN\user, and a doubled one would
// mislead; the escapes keep terminals and logs safe, they are not read back.
namespace modClientText {

QString Clean(std::string_view bytes);

} // namespace modClientText

#pragma once

#include <QString>

class ConsoleConfig;

// Local addresses, the dotted text of IPv4 addresses, name resolution and
// the ping of one host.
namespace modNetwork {

// The four bytes of an address in network order, in memory order, each in
// decimal, joined with ".".
QString DottedText(quint32 networkOrder);

// The address in network order, or -1 unless the text is exactly four parts
// of one to three digits, each from 0 to 255.
qint64 DottedToAddress(const QString &text);

// The rule DottedToAddress applies: stricter than modFormat's address check,
// which reads " 10" or "1e1" as numbers. Text that is handed to the engine
// and the clients as it is typed must be what their own parsers take.
bool IsDottedAddress(const QString &text);

// 127.0.0.0/8, as dotted text.
bool IsLoopbackAddress(const QString &text);

// Whether a computer of the tree, by its name, is this machine: "localhost",
// this machine's host name (with or without its domain), or one of its
// addresses. Nothing is resolved: a job of 100,000 computers is looked at
// in a moment.
bool IsThisMachine(const QString &computerName);

// The first IPv4 address of the name as dotted text, or empty text.
QString ResolveHost(const QString &name);

// The domain controller lookup of the settings pages: the controller's
// address, or empty text after telling the administrator why there is none
// (no name, a name with characters no host name has, a name that does not
// resolve).
QString LookupDC(const QString &dcName);

// One echo to the target, a dotted address or a host name, waiting at
// most timeoutMs: the round trip in milliseconds or a PingResult value;
// a name that does not resolve is PingResult::CannotResolve.
qint32 Ping(const QString &target, int timeoutMs);

// The listener address in use: the stored "ListenerIP" while it is one of
// this machine's addresses, a loopback one included when the administrator
// chose it; otherwise the first that is not loopback, and the stored
// value is emptied so that it no longer names an address the machine lost.
// With no address at all the answer is empty and nothing is written: the
// stored choice may come back with the network.
QString GetListenerIP(const ConsoleConfig &config);
QString GetListenerIP();

} // namespace modNetwork

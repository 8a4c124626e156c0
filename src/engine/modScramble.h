#pragma once

#include "protocol/modScrambleCore.h"

#include <QByteArray>
#include <QString>

#include <functional>

// The reversible scheme that keeps a client's configuration file from being
// read at a glance. The file travels as bytes in the ANSI code page
// (Windows-1252), one byte per character, prefix and body alike; a QString
// cannot carry it, because five of the body's codes (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) have no character in that code page.
//
// The scheme itself is modScrambleCore's, on those bytes.
//
// The body works modulo 200, so a character with a code of 200 or more comes
// back as code - 200 ("È" (200) reads back as NUL, "é" (233) as "!"), and a
// character outside the code page is scrambled as "?". Validation refuses such
// texts before they get here; the scheme itself cannot carry them.
namespace modScramble {

// Uniform draws in [0, 1).
using RandomSource = modScrambleCore::RandomDraw;

// Draws from a generator seeded from the clock.
RandomSource ClockSeededSource();

QByteArray Scramble(const QString &text, const RandomSource &random);
QByteArray Scramble(const QString &text);

// The client's side: the first "S" ends the prefix, its position is n.
// Gives back the codes 0 to 199 that the body can carry. False, with the
// reason in `problem`, for bytes that no scrambling produces: no "S" at all,
// a prefix longer than 119 characters, a body byte outside 35 to 234.
bool Descramble(const QByteArray &data, QString &text, QString *problem = nullptr);

// Longest prefix the scrambler writes.
constexpr int MaxPrefixLength = modScrambleCore::MaxPrefixLength;

} // namespace modScramble

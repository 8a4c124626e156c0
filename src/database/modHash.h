#pragma once

#include <QString>

// The hash of the computer name index.
namespace modHash {

// Hash of a name that the caller has already brought to one letter case.
// Always 0 or more; the value is that of the console's 32-bit arithmetic.
qint64 HashName(const QString &s);

} // namespace modHash

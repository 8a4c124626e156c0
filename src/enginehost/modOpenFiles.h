#pragma once

// Each client of a run holds a connection to the listener while it works,
// and a fleet has thousands: the default soft limit of 1024 open files would
// refuse them long before the machine runs short.
namespace modOpenFiles {

// Raises this process's soft limit to its hard limit; the limit in force afterwards.
long RaiseLimit();

} // namespace modOpenFiles

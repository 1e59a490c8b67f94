#pragma once

namespace kestro {

// True when the system reports major version 10 or later (RtlGetVersion, which
// does not depend on the program's compatibility manifest).
bool IsWin10OrLater();

} // namespace kestro

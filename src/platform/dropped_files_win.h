#pragma once
// Files dragged from Explorer and dropped on a window.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace kestro {

// The folder the drop stands for: the first dropped item when it is a folder, the folder of a
// dropped file; empty for anything else. The drop is finished (its memory freed) either way.
std::string DroppedFolder(HDROP drop);

} // namespace kestro

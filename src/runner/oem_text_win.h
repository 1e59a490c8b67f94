#pragma once
// The tool's 8-bit output read as a console program writes it.
#include <string>
#include <string_view>

namespace kestro {

// One line of the tool's 8-bit output as UTF-8: kept as it is when it is valid UTF-8, otherwise
// read in the OEM code page, which is what a console program writes.
std::string DecodeToolNarrowText(std::string_view bytes);

} // namespace kestro

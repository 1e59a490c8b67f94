#pragma once
// Conversions at the Win32 boundary: the program keeps UTF-8 inside and calls
// the wide (W) functions with converted text.
#include <string>
#include <string_view>

namespace kestro {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

} // namespace kestro

#pragma once
// Numbers as text for the user: counts grouped as the user's locale writes them, and a clock.
#include <cstdint>
#include <string>
#include <string_view>

namespace kestro {

// value with its digits grouped from the right by grouping, the locale's LOCALE_SGROUPING form:
// group sizes separated by ";", the first the rightmost; a final 0 repeats the size before it
// ("3;0" gives 1,234,567; "3;2;0" the Indian 12,34,567), without it the digits left over form one
// group ("3" gives 1234,567). "0" or "" groups nothing. separator goes between the groups.
std::string GroupDigits(std::uint64_t value, std::string_view grouping, std::string_view separator);

// Whole seconds as h:mm:ss; the hours simply grow past 24 ("100:00:00").
std::string ClockText(std::uint64_t seconds);

} // namespace kestro

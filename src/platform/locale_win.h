#pragma once
// How the user's locale writes numbers.
#include <cstdint>
#include <string>

namespace kestro {

// The user's decimal separator; "." when the locale has none.
std::string LocaleDecimalSeparator();

// A count as the user writes numbers ("1,204", "1.204", "1 204"): grouped by the locale's
// thousands separator and grouping.
std::string LocaleGroupedNumber(std::uint64_t value);

} // namespace kestro

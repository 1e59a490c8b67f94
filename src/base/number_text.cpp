#include "base/number_text.h"

#include <vector>

namespace kestro {

namespace {

struct Grouping {
    std::vector<std::size_t> sizes; // from the right; never 0
    bool repeatLast = false;
};

// A size of 0 ends the list: last, it repeats the size before it; anywhere else the digits left
// over form one group.
Grouping ParseGrouping(std::string_view text) {
    Grouping grouping;
    std::size_t size = 0;
    bool digits = false;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            size = size * 10 + static_cast<std::size_t>(text[i] - '0');
            digits = true;
            continue;
        }
        if (i < text.size() && text[i] != ';') {
            continue; // anything but digits and separators is no part of a size
        }
        if (digits && size == 0) {
            grouping.repeatLast = i == text.size() && !grouping.sizes.empty();
            break;
        }
        if (digits) {
            grouping.sizes.push_back(size);
        }
        size = 0;
        digits = false;
    }
    return grouping;
}

} // namespace

std::string GroupDigits(std::uint64_t value, std::string_view grouping, std::string_view separator) {
    const std::string digits = std::to_string(value);
    const Grouping groups = ParseGrouping(grouping);
    std::vector<std::string_view> parts; // from the right
    std::string_view rest = digits;
    for (std::size_t k = 0; !rest.empty(); ++k) {
        std::size_t size = rest.size();
        if (k < groups.sizes.size()) {
            size = groups.sizes[k];
        } else if (groups.repeatLast) {
            size = groups.sizes.back();
        }
        size = size < rest.size() ? size : rest.size();
        parts.push_back(rest.substr(rest.size() - size));
        rest.remove_suffix(size);
    }
    std::string text;
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        if (!text.empty()) {
            text += separator;
        }
        text += *part;
    }
    return text;
}

std::string ClockText(std::uint64_t seconds) {
    const auto two = [](std::uint64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return std::to_string(seconds / 3600) + ":" + two(seconds / 60 % 60) + ":" + two(seconds % 60);
}

} // namespace kestro

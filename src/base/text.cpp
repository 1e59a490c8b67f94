#include "base/text.h"

namespace kestro {

std::string_view TextAfterView(std::string_view s, std::string_view marker) {
    if (marker.empty()) {
        return {};
    }
    const auto at = s.find(marker);
    if (at == std::string_view::npos) {
        return {};
    }
    return s.substr(at + marker.size());
}

std::string_view TextBeforeView(std::string_view s, std::string_view marker) {
    if (marker.empty()) {
        return {};
    }
    const auto at = s.find(marker);
    if (at == std::string_view::npos) {
        return {};
    }
    return s.substr(0, at);
}

std::string_view TextBetweenView(std::string_view s, std::string_view first, std::string_view second) {
    return TextBeforeView(TextAfterView(s, first), second);
}

std::string TextAfter(std::string_view s, std::string_view marker) {
    return std::string(TextAfterView(s, marker));
}

std::string TextBefore(std::string_view s, std::string_view marker) {
    return std::string(TextBeforeView(s, marker));
}

std::string TextBetween(std::string_view s, std::string_view first, std::string_view second) {
    return std::string(TextBetweenView(s, first, second));
}

std::string TextAfterLast(std::string_view s, std::string_view marker, bool keepMarker) {
    if (marker.empty()) {
        return {};
    }
    // Step one character past the start of each occurrence, so overlapping
    // occurrences count: the last one found may start inside the previous one.
    auto last = std::string_view::npos;
    for (auto at = s.find(marker); at != std::string_view::npos; at = s.find(marker, at + 1)) {
        last = at;
    }
    if (last == std::string_view::npos) {
        return {};
    }
    std::string result;
    if (keepMarker) {
        result.assign(marker);
    }
    result.append(s.substr(last + marker.size()));
    return result;
}

std::string QuoteIfSpaced(std::string_view s) {
    if (s.find(' ') == std::string_view::npos) {
        return std::string(s);
    }
    std::string quoted;
    quoted.reserve(s.size() + 2);
    quoted.push_back('"');
    quoted.append(s);
    quoted.push_back('"');
    return quoted;
}

std::string_view TrimView(std::string_view s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && static_cast<unsigned char>(s[begin]) <= 32) {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(s[end - 1]) <= 32) {
        --end;
    }
    return s.substr(begin, end - begin);
}

void AsciiLowerInto(std::string_view s, std::string& out) {
    out.resize(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        out[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
}

std::string AsciiLower(std::string_view s) {
    std::string out;
    AsciiLowerInto(s, out);
    return out;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

namespace {

// The White_Space characters beyond ASCII, in UTF-8: U+0085 next line, U+00A0 no-break space,
// U+1680 Ogham space mark, U+2000 to U+200A (en quad to hair space), U+2028 line and U+2029
// paragraph separator, U+202F narrow no-break space, U+205F medium mathematical space, U+3000
// ideographic space.
constexpr std::string_view kWideSpaces[] = {
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82", "\xE2\x80\x83",
    "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89", "\xE2\x80\x8A",
    "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80",
};

} // namespace

std::size_t LeadingSpaceLength(std::string_view s) {
    if (s.empty()) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(s[0]);
    if ((lead >= 0x09 && lead <= 0x0D) || lead == 0x20) {
        return 1;
    }
    if (lead < 0xC2) {
        return 0;
    }
    for (const std::string_view space : kWideSpaces) {
        if (s.starts_with(space)) {
            return space.size();
        }
    }
    return 0;
}

std::string_view WithoutLeadingSpace(std::string_view s) {
    for (std::size_t n = LeadingSpaceLength(s); n > 0; n = LeadingSpaceLength(s)) {
        s.remove_prefix(n);
    }
    return s;
}

bool IsAllSpace(std::string_view s) {
    return WithoutLeadingSpace(s).empty();
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto index = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (index < args.size()) {
                out += *(args.begin() + index);
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

namespace {

// s without the Unicode white space at its end.
std::string_view WithoutTrailingSpace(std::string_view s) {
    for (bool cut = true; cut && !s.empty();) {
        cut = false;
        for (std::size_t length = 1; length <= 3 && length <= s.size(); ++length) {
            if (LeadingSpaceLength(s.substr(s.size() - length)) == length) {
                s.remove_suffix(length);
                cut = true;
                break;
            }
        }
    }
    return s;
}

std::string WithoutAccessKeys(std::string_view caption) {
    std::string text;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) {
            ++i; // the marker goes; "&&" leaves one "&"
        }
        text.push_back(caption[i]);
    }
    return text;
}

} // namespace

std::string NameOfCaption(std::string_view caption) {
    const std::string text = WithoutAccessKeys(caption);
    std::string_view name = WithoutTrailingSpace(WithoutLeadingSpace(text));
    for (const std::string_view colon : {std::string_view(":"), std::string_view("\xEF\xBC\x9A")}) {
        if (name.ends_with(colon)) {
            name.remove_suffix(colon.size());
            break;
        }
    }
    return std::string(WithoutTrailingSpace(name));
}

} // namespace kestro

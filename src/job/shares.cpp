#include "job/shares.h"

#include <algorithm>
#include <cstdint>

#include "base/text.h"

namespace kestro {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameTextAscii(s.substr(0, prefix.size()), prefix);
}

// "\\?\" (backslashes only, as the system reads it) or "\\.\" (either separator).
std::size_t LongOrDevicePrefix(std::string_view path) {
    if (path.size() >= 4 && path.substr(0, 4) == "\\\\?\\") {
        return 4;
    }
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] == '.' && IsSeparator(path[3])) {
        return 4;
    }
    return 0;
}

std::string_view WithoutTrailingDots(std::string_view s) {
    while (!s.empty() && s.back() == '.') {
        s.remove_suffix(1);
    }
    return s;
}

bool IsHexDigit(char c) {
    return HexDigitValue(c) >= 0;
}

// One part of an address as inet_aton reads it: decimal, octal with a leading 0, or
// hexadecimal after 0x. Nothing when the text is not a number or the value exceeds limit.
std::optional<std::uint64_t> AddressPart(std::string_view part, std::uint64_t limit) {
    if (part.empty()) {
        return std::nullopt;
    }
    unsigned base = 10;
    if (part.size() > 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
        base = 16;
        part.remove_prefix(2);
    } else if (part.size() > 1 && part[0] == '0') {
        base = 8;
        part.remove_prefix(1);
    }
    std::uint64_t value = 0;
    for (const char c : part) {
        const int digit = HexDigitValue(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base) {
            return std::nullopt;
        }
        value = value * base + static_cast<unsigned>(digit);
        if (value > limit) {
            return std::nullopt;
        }
    }
    return value;
}

bool SameAddress(const std::optional<std::vector<unsigned char>>& a,
                 const std::optional<std::vector<unsigned char>>& b) {
    return a && b && *a == *b;
}

} // namespace

std::optional<ShareAddress> ParseShareAddress(std::string_view path) {
    std::string_view body;
    bool backslashesOnly = false;
    const std::size_t prefix = LongOrDevicePrefix(path);
    if (prefix > 0) {
        // Only the UNC form of a long or device path names a share.
        const std::string_view after = path.substr(prefix);
        if (!StartsWithNoCase(after, "UNC") || after.size() < 4 || !IsSeparator(after[3])) {
            return std::nullopt;
        }
        backslashesOnly = path[2] == '?';
        if (backslashesOnly && after[3] != '\\') {
            return std::nullopt;
        }
        body = after.substr(4);
    } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        body = path.substr(2);
    } else {
        return std::nullopt;
    }
    const auto separator = [&](char c) { return backslashesOnly ? c == '\\' : IsSeparator(c); };
    const auto cut = [&](std::string_view& s) {
        std::size_t end = 0;
        while (end < s.size() && !separator(s[end])) {
            ++end;
        }
        const std::string_view part = s.substr(0, end);
        s.remove_prefix(end < s.size() ? end + 1 : end);
        return part;
    };
    std::string_view server = cut(body);
    const std::string_view share = cut(body);
    if (server.empty() || share.empty()) {
        return std::nullopt;
    }
    // WebDAV: \\server@SSL@443\share.
    if (const auto at = server.find('@'); at != std::string_view::npos) {
        server = server.substr(0, at);
    }
    if (server.empty()) {
        return std::nullopt;
    }
    while (!body.empty() && separator(body.front())) {
        body.remove_prefix(1);
    }
    return ShareAddress{std::string(server), std::string(share), std::string(body)};
}

std::string WithoutLocalPrefix(std::string_view path) {
    const std::size_t prefix = LongOrDevicePrefix(path);
    if (prefix > 0 && path.size() >= prefix + 2 && IsLetter(path[prefix]) && path[prefix + 1] == ':') {
        return std::string(path.substr(prefix));
    }
    return std::string(path);
}

std::optional<std::vector<unsigned char>> ParseIpv4(std::string_view text) {
    // As inet_aton reads it, which the system's name resolution follows: "127.1" is 127.0.0.1.
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const auto dot = text.find('.', start);
        parts.push_back(text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos) {
            break;
        }
        start = dot + 1;
    }
    if (parts.size() > 4) {
        return std::nullopt;
    }
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const auto value = AddressPart(parts[i], 255);
        if (!value) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<unsigned char>(*value));
    }
    const std::size_t lastBytes = 4 - bytes.size();
    const auto last = AddressPart(parts.back(), (std::uint64_t{1} << (8 * lastBytes)) - 1);
    if (!last) {
        return std::nullopt;
    }
    for (std::size_t i = lastBytes; i-- > 0;) {
        bytes.push_back(static_cast<unsigned char>((*last >> (8 * i)) & 0xFF));
    }
    return bytes;
}

namespace {

// The address as written between brackets, in the form a UNC path can carry
// (0--1.ipv6-literal.net: "-" for ":" and "s" for "%"), or as it is; without its zone.
std::string Ipv6Text(std::string_view text) {
    std::string written(text);
    if (written.size() >= 2 && written.front() == '[' && written.back() == ']') {
        written = written.substr(1, written.size() - 2);
    } else {
        constexpr std::string_view kLiteral = ".ipv6-literal.net";
        const std::string_view w = WithoutTrailingDots(written);
        if (w.size() > kLiteral.size() && SameTextAscii(w.substr(w.size() - kLiteral.size()), kLiteral)) {
            written = std::string(w.substr(0, w.size() - kLiteral.size()));
            for (char& c : written) {
                c = c == '-' ? ':' : (c == 's' || c == 'S') ? '%' : c;
            }
        }
    }
    if (const auto zone = written.find('%'); zone != std::string::npos) {
        written.resize(zone);
    }
    return written;
}

// The groups before and after "::" (at most one).
struct Ipv6Groups {
    std::vector<std::uint16_t> head;
    std::vector<std::uint16_t> tail;
    bool compressed = false;
};

bool AppendHexGroup(std::string_view group, std::vector<std::uint16_t>& groups) {
    if (group.empty() || group.size() > 4 || !std::all_of(group.begin(), group.end(), IsHexDigit)) {
        return false;
    }
    std::uint16_t value = 0;
    for (const char c : group) {
        value = static_cast<std::uint16_t>(value << 4 | HexDigitValue(c));
    }
    groups.push_back(value);
    return true;
}

// A dotted IPv4 address may end the text; it stands for the last two groups.
bool AppendEmbeddedIpv4(std::string_view group, bool last, std::vector<std::uint16_t>& groups) {
    if (!last || group.find_first_not_of("0123456789.") != std::string_view::npos ||
        std::count(group.begin(), group.end(), '.') != 3) {
        return false;
    }
    const auto embedded = ParseIpv4(group);
    if (!embedded) {
        return false;
    }
    groups.push_back(static_cast<std::uint16_t>((*embedded)[0] << 8 | (*embedded)[1]));
    groups.push_back(static_cast<std::uint16_t>((*embedded)[2] << 8 | (*embedded)[3]));
    return true;
}

// After a group's colon: a second colon is the one "::"; nothing at all is a trailing colon.
bool SkipCompression(std::string_view& rest, bool& compressed) {
    if (!rest.starts_with(":")) {
        return !rest.empty();
    }
    if (compressed) {
        return false;
    }
    compressed = true;
    rest.remove_prefix(1);
    return true;
}

std::optional<Ipv6Groups> ReadIpv6Groups(std::string_view rest) {
    Ipv6Groups g;
    if (rest.starts_with("::")) {
        g.compressed = true;
        rest.remove_prefix(2);
    }
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const std::string_view group = rest.substr(0, colon);
        auto& groups = g.compressed ? g.tail : g.head;
        if (group.find('.') != std::string_view::npos) {
            return AppendEmbeddedIpv4(group, colon == std::string_view::npos, groups) ? std::optional(g) : std::nullopt;
        }
        if (!AppendHexGroup(group, groups)) {
            return std::nullopt;
        }
        if (colon == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(colon + 1);
        if (!SkipCompression(rest, g.compressed)) {
            return std::nullopt;
        }
    }
    return g;
}

std::vector<unsigned char> Ipv6Bytes(const Ipv6Groups& g) {
    std::vector<std::uint16_t> groups = g.head;
    groups.resize(8 - g.tail.size(), 0);
    groups.insert(groups.end(), g.tail.begin(), g.tail.end());
    std::vector<unsigned char> bytes;
    for (const std::uint16_t group : groups) {
        bytes.push_back(static_cast<unsigned char>(group >> 8));
        bytes.push_back(static_cast<unsigned char>(group & 0xFF));
    }
    return bytes;
}

} // namespace

std::optional<std::vector<unsigned char>> ParseIpv6(std::string_view text) {
    const std::string written = Ipv6Text(text);
    if (written.find(':') == std::string::npos) {
        return std::nullopt;
    }
    const std::optional<Ipv6Groups> groups = ReadIpv6Groups(written);
    if (!groups) {
        return std::nullopt;
    }
    const std::size_t count = groups->head.size() + groups->tail.size();
    if (groups->compressed ? count > 7 : count != 8) {
        return std::nullopt;
    }
    return Ipv6Bytes(*groups);
}

bool IsThisComputer(std::string_view server, const std::vector<std::string>& names) {
    const std::string_view name = WithoutTrailingDots(server);
    if (name.empty()) {
        return false;
    }
    if (SameTextAscii(name, "localhost")) {
        return true;
    }
    if (const auto v4 = ParseIpv4(name)) {
        if ((*v4)[0] == 127) {
            return true;
        }
        for (const std::string& own : names) {
            if (SameAddress(v4, ParseIpv4(WithoutTrailingDots(own)))) {
                return true;
            }
        }
        return false;
    }
    if (const auto v6 = ParseIpv6(name)) {
        const std::vector<unsigned char> loopback = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        const std::vector<unsigned char> mapped = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
        if (*v6 == loopback || (std::equal(mapped.begin(), mapped.end(), v6->begin()) && (*v6)[12] == 127)) {
            return true;
        }
        for (const std::string& own : names) {
            if (SameAddress(v6, ParseIpv6(own))) {
                return true;
            }
        }
        return false;
    }
    for (const std::string& own : names) {
        if (SameTextAscii(name, WithoutTrailingDots(own))) {
            return true;
        }
    }
    return false;
}

std::string AdministrativeShareRoot(std::string_view share) {
    if (share.size() == 2 && IsLetter(share[0]) && share[1] == '$') {
        return std::string(1, Upper(share[0])) + ":\\";
    }
    return {};
}

std::string JoinBelow(std::string_view folder, std::string_view rest) {
    std::vector<std::string_view> segments;
    while (!rest.empty()) {
        std::size_t end = 0;
        while (end < rest.size() && !IsSeparator(rest[end])) {
            ++end;
        }
        const std::string_view segment = rest.substr(0, end);
        rest.remove_prefix(end < rest.size() ? end + 1 : end);
        if (segment.empty() || segment == ".") {
            continue;
        }
        if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
            continue;
        }
        segments.push_back(segment);
    }
    std::string joined(folder);
    for (const std::string_view segment : segments) {
        if (joined.empty() || !IsSeparator(joined.back())) {
            joined.push_back('\\');
        }
        joined.append(segment);
    }
    return joined;
}

} // namespace kestro

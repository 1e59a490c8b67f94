#include "base/settings_values.h"

#include <limits>

#include "base/text.h"

namespace kestro {

namespace {

// Hexadecimal values are 32-bit patterns, as the toolkit that wrote earlier
// files read them: "$FFFFFFFF" is -1. A value that needs more than 32 bits is
// unreadable rather than cut to its low bits, so it gives the default instead
// of an arbitrary index.
std::optional<std::int32_t> ParseHex(std::string_view digits) {
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Decimal values outside the signed 32-bit range are unreadable, for the same reason.
std::optional<std::int32_t> ParseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > kLimit) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

std::optional<std::int32_t> ParseProfileInteger(std::string_view value) {
    // The profile functions strip the blanks around a value; a caller that
    // hands over text from elsewhere gets the same treatment.
    value = TrimView(value);
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        return ParseHex(value.substr(2));
    }
    if (!value.empty() && value[0] == '$') {
        return ParseHex(value.substr(1));
    }
    return ParseDecimal(value);
}

std::int32_t ProfileInteger(std::string_view value, std::int32_t defaultValue) {
    return ParseProfileInteger(value).value_or(defaultValue);
}

bool ProfileBool(std::string_view value, bool defaultValue) {
    return ProfileInteger(value, defaultValue ? 1 : 0) != 0;
}

std::string ProfileBoolText(bool value) {
    return value ? "1" : "0";
}

std::string ProfileIntegerText(std::int32_t value) {
    return std::to_string(value);
}

SettingsFileKind ClassifySettingsFile(std::string_view bytes) {
    if (bytes.size() > kMaxSettingsFileSize) {
        return SettingsFileKind::Invalid;
    }
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        const std::string_view units = bytes.substr(2);
        if (units.size() % 2 != 0) {
            return SettingsFileKind::Invalid;
        }
        for (std::size_t i = 0; i < units.size(); i += 2) {
            if (units[i] == '\0' && units[i + 1] == '\0') {
                return SettingsFileKind::Invalid;
            }
        }
        return SettingsFileKind::Utf16Le;
    }
    // Text has no zero bytes; anything else (UTF-16 without its mark included)
    // would be read as garbage.
    if (bytes.find('\0') != std::string_view::npos) {
        return SettingsFileKind::Invalid;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return SettingsFileKind::Utf8Bom;
    }
    return SettingsFileKind::Ansi;
}

} // namespace kestro

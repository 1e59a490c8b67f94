// The settings value reader and the settings file classifier on arbitrary text.
//
// Promises checked:
//  - a stored value reads as an independent reading of the rules gives it (decimal with an
//    optional sign within 32 bits; "0x"/"0X" followed by at least one digit, or "$", then up to
//    32 bits of hexadecimal; blanks and control characters around the value ignored);
//  - every value the program writes reads back as itself, and the defaults apply exactly when
//    the value is unreadable;
//  - the classification of a file's bytes agrees with what it promises about each kind.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "base/settings_values.h"

namespace {

using namespace kestro;
using fuzz::Check;

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) {
        s.remove_prefix(1);
    }
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) {
        s.remove_suffix(1);
    }
    return s;
}

// The same rules read with the standard library's number parsing.
std::optional<std::int32_t> Reference(std::string_view value) {
    value = Trimmed(value);
    std::string_view hex;
    bool isHex = false;
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        hex = value.substr(2);
        isHex = true;
    } else if (!value.empty() && value[0] == '$') {
        hex = value.substr(1);
        isHex = true;
    }
    if (isHex) {
        std::uint64_t pattern = 0;
        const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), pattern, 16);
        if (hex.empty() || ec != std::errc() || end != hex.data() + hex.size() ||
            pattern > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(pattern));
    }
    if (value.starts_with('+')) {
        value.remove_prefix(1);
        if (value.starts_with('-')) {
            return std::nullopt;
        }
    }
    std::int64_t number = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number, 10);
    if (value.empty() || ec != std::errc() || end != value.data() + value.size() ||
        number < std::numeric_limits<std::int32_t>::min() || number > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(number);
}

void CheckValue(std::string_view value) {
    const std::optional<std::int32_t> parsed = ParseProfileInteger(value);
    Check(parsed == Reference(value), "the value reads other than the rules say");
    Check(ProfileInteger(value, 12345) == parsed.value_or(12345), "the default does not stand for an unreadable value");
    Check(ProfileBool(value, true) == (parsed.value_or(1) != 0), "a flag reads other than its integer");
    Check(ProfileBool(value, false) == (parsed.value_or(0) != 0), "a flag reads other than its integer");
    if (parsed) {
        Check(ParseProfileInteger(ProfileIntegerText(*parsed)) == parsed, "a written integer does not read back");
        Check(ProfileBool(ProfileBoolText(*parsed != 0), false) == (*parsed != 0), "a written flag does not read back");
    }
}

void CheckFile(std::string_view bytes) {
    const SettingsFileKind kind = ClassifySettingsFile(bytes);
    const bool utf16Mark = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    const bool hasNul = bytes.find('\0') != std::string_view::npos;
    if (bytes.size() > kMaxSettingsFileSize) {
        Check(kind == SettingsFileKind::Invalid, "an oversized file is read");
        return;
    }
    switch (kind) {
    case SettingsFileKind::Utf16Le: {
        Check(utf16Mark && bytes.size() % 2 == 0, "UTF-16 without its mark or with half a code unit");
        for (std::size_t i = 2; i < bytes.size(); i += 2) {
            Check(bytes[i] != '\0' || bytes[i + 1] != '\0', "UTF-16 text with a NUL character");
        }
        break;
    }
    case SettingsFileKind::Utf8Bom:
        Check(!utf16Mark && !hasNul && bytes.starts_with("\xEF\xBB\xBF"), "UTF-8 without its mark, or binary");
        break;
    case SettingsFileKind::Ansi:
        Check(!utf16Mark && !hasNul && !bytes.starts_with("\xEF\xBB\xBF"), "8-bit text with a mark, or binary");
        break;
    case SettingsFileKind::Invalid:
        // Refused only for a reason: binary content, or UTF-16 that is not whole text.
        Check(utf16Mark || hasNul, "text refused");
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckValue(text);
    CheckFile(text);
    return 0;
}

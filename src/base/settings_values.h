#pragma once
// The values of the settings file as text: how a stored text turns back into a
// remembered number or flag, what is written for them, and which files the
// profile functions may be let loose on.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestro {

// Characters of the buffer a text value is read through, the terminating zero
// included: a longer stored value comes back cut to one character less.
constexpr std::size_t kProfileTextBuffer = 2048;

// The integer a stored value stands for, or nothing when it is unreadable.
// Decimal with an optional sign; hexadecimal when the value has more than two
// characters and starts with "0x" or "0X", or starts with "$".
std::optional<std::int32_t> ParseProfileInteger(std::string_view value);
// The integer of a stored value; defaultValue when it is missing or unreadable.
std::int32_t ProfileInteger(std::string_view value, std::int32_t defaultValue);
// A flag is stored as an integer and is true when that integer is not 0.
bool ProfileBool(std::string_view value, bool defaultValue);

std::string ProfileBoolText(bool value);
std::string ProfileIntegerText(std::int32_t value);

// Five keys of at most 2047 characters fit many times over; anything larger
// is not a settings file of ours, and the profile functions would load all of it.
constexpr std::uint64_t kMaxSettingsFileSize = std::uint64_t{1024} * 1024;

enum class SettingsFileKind {
    Ansi,    // 8-bit text in the system code page, as earlier versions wrote it
    Utf8Bom, // 8-bit text that declares UTF-8 with a byte-order mark
    Utf16Le, // UTF-16LE with a byte-order mark: what the profile functions keep Unicode in
    Invalid, // too large, or binary: not to be read, and replaced when written
};

// What the whole content of a settings file is.
SettingsFileKind ClassifySettingsFile(std::string_view bytes);

} // namespace kestro

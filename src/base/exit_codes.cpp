#include "base/exit_codes.h"

#include "base/text.h"

namespace kestro {

bool IsCrashExitCode(std::uint32_t exitCode) {
    return exitCode >= 0xC0000000u;
}

std::string HexExitCode(std::uint32_t exitCode) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex(8, '0');
    for (int i = 7; i >= 0; --i) {
        hex[static_cast<std::size_t>(i)] = kDigits[exitCode & 0xF];
        exitCode >>= 4;
    }
    return hex;
}

std::string WithExitCode(std::string_view text, std::uint32_t exitCode) {
    return FormatText(text, {HexExitCode(exitCode)});
}

} // namespace kestro

#pragma once
// The tool's exit codes as the program tells them: which mean a crash, and how one is written.
#include <cstdint>
#include <string>
#include <string_view>

namespace kestro {

// Exit codes from 0xC0000000 up are NTSTATUS errors (0xC0000005, an access violation): the tool
// did not end by its own choice. What its other codes mean is the tool's business.
bool IsCrashExitCode(std::uint32_t exitCode);

// The code as eight upper-case hexadecimal digits ("C0000005").
std::string HexExitCode(std::uint32_t exitCode);

// text with its marker %1 replaced by HexExitCode(exitCode).
std::string WithExitCode(std::string_view text, std::uint32_t exitCode);

} // namespace kestro

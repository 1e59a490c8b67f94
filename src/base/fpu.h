#pragma once
// The x87 floating-point control word, which the main window sets to 0x133F
// (all exceptions masked, extended precision, round to nearest) for its lifetime.
#include <cstdint>

namespace kestro {

constexpr std::uint16_t kMainWindowControlWord = 0x133F;

// Both are no-ops (returning 0) on processors without an x87 unit.
std::uint16_t GetFpuControlWord() noexcept;
void SetFpuControlWord(std::uint16_t word) noexcept;

} // namespace kestro

#include "base/fpu.h"

namespace kestro {

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__i386__) || defined(__x86_64__))
std::uint16_t GetFpuControlWord() noexcept {
    std::uint16_t word = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    return word;
}

void SetFpuControlWord(std::uint16_t word) noexcept { __asm__ __volatile__("fldcw %0" : : "m"(word)); }
#elif defined(_MSC_VER) && defined(_M_IX86)
std::uint16_t GetFpuControlWord() noexcept {
    std::uint16_t word = 0;
    __asm fnstcw word;
    return word;
}

void SetFpuControlWord(std::uint16_t word) noexcept { __asm fldcw word; }
#else
std::uint16_t GetFpuControlWord() noexcept { return 0; }
void SetFpuControlWord(std::uint16_t) noexcept {}
#endif

} // namespace kestro

#include "platform/drive_list.h"

#include "base/text.h"

namespace kestro {

namespace {

constexpr unsigned kGigabyteShift = 30;
constexpr std::uint64_t kGigabyteMask = (std::uint64_t{1} << kGigabyteShift) - 1;
constexpr std::uint64_t kHalfGigabyte = std::uint64_t{1} << (kGigabyteShift - 1);

// bytes * 100 / 2^30 rounded to the nearest whole number, ties to even. bytes * 100 can
// need 71 bits, so the whole gigabytes and the remainder are scaled apart; neither part
// overflows (2^34 * 100 and 2^30 * 100 both fit easily), and nothing here depends on the
// floating-point unit's precision or rounding mode.
std::uint64_t HundredthsOfGigabyte(std::uint64_t bytes) {
    const std::uint64_t whole = (bytes >> kGigabyteShift) * 100;
    const std::uint64_t scaledRest = (bytes & kGigabyteMask) * 100;
    std::uint64_t hundredths = whole + (scaledRest >> kGigabyteShift);
    const std::uint64_t fraction = scaledRest & kGigabyteMask;
    if (fraction > kHalfGigabyte || (fraction == kHalfGigabyte && (hundredths & 1) != 0)) {
        ++hundredths;
    }
    return hundredths;
}

} // namespace

std::string SizeText(std::uint64_t bytes, std::string_view decimalSeparator) {
    const std::uint64_t hundredths = HundredthsOfGigabyte(bytes);
    std::string text = std::to_string(hundredths / 100);
    const auto cents = static_cast<unsigned>(hundredths % 100);
    if (cents != 0) {
        text.append(decimalSeparator);
        text.push_back(static_cast<char>('0' + cents / 10));
        if (cents % 10 != 0) {
            text.push_back(static_cast<char>('0' + cents % 10));
        }
    }
    return text;
}

bool IsListableSize(std::uint64_t totalBytes) {
    return HundredthsOfGigabyte(totalBytes) / 100 <= 1000000;
}

bool IsListedDrive(std::string_view fileSystemName, std::uint64_t totalBytes) {
    return !fileSystemName.empty() && IsListableSize(totalBytes);
}

std::string LetterPartOfRoot(std::string_view root) {
    std::string letterPart = TextBefore(root, ":\\");
    if (letterPart.empty()) {
        letterPart.assign(root);
    }
    return letterPart;
}

std::string SourceEntryCaption(std::string_view label, std::string_view letterPart) {
    std::string entry;
    entry.reserve(label.size() + letterPart.size() + 4);
    entry.append(label).append(" (").append(letterPart).append(":)");
    return entry;
}

} // namespace kestro

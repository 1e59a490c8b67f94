// The parser of the custom file types typed into the main window, on arbitrary text.
//
// Promises checked:
//  - every pattern starts with "*" and goes on with text taken from the input as it was typed
//    (nothing is invented);
//  - no pattern is "*" alone or followed by white space only, which would match every file on
//    the drive;
//  - there is at most one pattern per comma-separated piece;
//  - the pattern list of a choice is its ticked categories' tables, then these patterns.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "base/text.h"
#include "job/categories.h"

namespace {

using namespace kestro;
using fuzz::Check;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::uint8_t ticks = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::vector<std::string> patterns = CustomPatterns(text);
    const auto pieces = static_cast<std::size_t>(std::count(text.begin(), text.end(), ',')) + 1;
    Check(patterns.size() <= pieces, "more patterns than comma-separated pieces");
    for (const std::string& pattern : patterns) {
        Check(pattern.starts_with("*"), "a pattern without its leading *");
        Check(!IsAllSpace(std::string_view(pattern).substr(1)), "a pattern that matches every file");
        Check(text.find(std::string_view(pattern).substr(1)) != std::string_view::npos,
              "a pattern with text that was not typed");
    }

    CategoryChoice choice;
    for (int i = 0; i < kCategoryCount; ++i) {
        choice.ticked[i] = (ticks >> i) & 1;
    }
    choice.custom = (ticks >> 6) & 1;
    choice.customText = std::string(text);
    std::vector<std::string> expected;
    for (int i = 0; i < kCategoryCount; ++i) {
        if (choice.ticked[i]) {
            const auto& table = CategoryPatterns(static_cast<Category>(i));
            expected.insert(expected.end(), table.begin(), table.end());
        }
    }
    if (choice.custom) {
        expected.insert(expected.end(), patterns.begin(), patterns.end());
    }
    Check(BuildPatternList(choice) == expected, "the pattern list is not the tables followed by the custom types");
    return 0;
}

// The program in every language it speaks, on screens of 96 DPI: every text fits its control (a
// second program, languages_dpi144_tests, does the same at 144 DPI). Screenshots of the main
// window and the Scanning dialog in each language go to <build>/screenshots.
#include <gtest/gtest.h>

#include "support/language_check.h"

using namespace kestro;

namespace {

class LanguageTest : public ::testing::TestWithParam<LanguageInfo> {};

TEST_P(LanguageTest, EveryTextFitsItsControlAt96Dpi) {
    const std::filesystem::path shots = std::filesystem::path(KESTRO_BUILD_DIR) / "screenshots";
    testing_win::ExpectEveryTextFits(GetParam(), 96, &shots);
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage, LanguageTest, ::testing::ValuesIn(Languages().begin(), Languages().end()),
                         [](const auto& param) { return testing_win::TestNameOf(param.param); });

} // namespace

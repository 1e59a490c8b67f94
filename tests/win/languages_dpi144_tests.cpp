// The program in every language it speaks, on screens of 144 DPI (this program runs in a prefix set
// to 144): every text fits its control at the scaled sizes.
#include <gtest/gtest.h>

#include "support/language_check.h"

using namespace kestro;

namespace {

class LanguageTest : public ::testing::TestWithParam<LanguageInfo> {};

TEST_P(LanguageTest, EveryTextFitsItsControlAt144Dpi) {
    testing_win::ExpectEveryTextFits(GetParam(), 144, nullptr);
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage, LanguageTest, ::testing::ValuesIn(Languages().begin(), Languages().end()),
                         [](const auto& param) { return testing_win::TestNameOf(param.param); });

} // namespace

// The program in every language it speaks, on screens of 144 DPI (this program runs in a prefix set
// to 144): every text fits its control at the scaled sizes.
#include <windows.h>

#include <gtest/gtest.h>

#include "global/application_win.h"
#include "global/texts.h"
#include "support/language_check.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) {
        all += "\n  " + line;
    }
    return all;
}

class LanguageTest : public ::testing::TestWithParam<LanguageInfo> {};

TEST_P(LanguageTest, EveryTextFitsItsControlAt144Dpi) {
    const LanguageCheck check = CheckLanguage(GetParam().language, nullptr);
    EXPECT_EQ(check.dpi, 144);
    EXPECT_TRUE(check.misfits.empty()) << GetParam().code << Joined(check.misfits);
    // The windows were really made in the language.
    ASSERT_EQ(check.captions.size(), 2u);
    EXPECT_EQ(check.captions[0], TextIn(GetParam().language, IDS_START));
    EXPECT_EQ(check.captions[1], TextIn(GetParam().language, IDS_TITLE));
    EXPECT_EQ(TextLanguage(), Language::English);
    EXPECT_EQ(LoadText(IDS_START), "Start...");
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage, LanguageTest, ::testing::ValuesIn(Languages().begin(), Languages().end()),
                         [](const auto& param) {
                             std::string name = param.param.code;
                             std::erase(name, '-');
                             return name;
                         });

} // namespace

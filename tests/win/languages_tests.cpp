// The program in every language it speaks, on screens of 96 DPI: every text fits its control
// (a second program, languages_dpi144_tests, does the same at 144 DPI).
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

TEST_P(LanguageTest, EveryTextFitsItsControlAt96Dpi) {
    const std::filesystem::path shots = std::filesystem::path(KESTRO_BUILD_DIR) / "screenshots";
    const LanguageCheck check = CheckLanguage(GetParam().language, &shots);
    EXPECT_EQ(check.dpi, 96);
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

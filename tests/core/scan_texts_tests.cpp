#include "dialogs/scan_texts.h"

#include <gtest/gtest.h>

#include "base/texts.h"

using namespace kestro;

namespace {

class ScanTexts : public ::testing::Test {
protected:
    void TearDown() override { SetTextLanguage(Language::English); }
};

// The English boxes stay byte for byte what they always were, the trailing blank of a run that
// found nothing included.
TEST_F(ScanTexts, CompletedTellsModeFilesAndFolder) {
    EXPECT_EQ(CompletedText(RecoveryMode::Quick, 0, ""), "Quick scan completed. ");
    EXPECT_EQ(CompletedText(RecoveryMode::Quick, 0, "E:\\out\\Recovery_1"), "Quick scan completed. ");
    EXPECT_EQ(CompletedText(RecoveryMode::Deep, 42, ""), "Deep scan completed. 42 files were found.\r\n");
    EXPECT_EQ(CompletedText(RecoveryMode::Deep, 42, "E:\\out\\Recovery_1"),
              "Deep scan completed. 42 files were found.\r\nThe recovered files have been saved in E:\\out\\Recovery_1");
    // A translation puts the count where its language wants it.
    SetTextLanguage(Language::Russian);
    EXPECT_EQ(CompletedText(RecoveryMode::Quick, 3, ""),
              "\xD0\x91\xD1\x8B\xD1\x81\xD1\x82\xD1\x80\xD0\xBE\xD0\xB5 \xD1\x81\xD0\xBA\xD0\xB0\xD0\xBD\xD0\xB8\xD1\x80"
              "\xD0\xBE\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xB8\xD0\xB5 \xD0\xB7\xD0\xB0\xD0\xB2\xD0\xB5\xD1\x80\xD1\x88\xD0\xB5"
              "\xD0\xBD\xD0\xBE. \xD0\x9D\xD0\xB0\xD0\xB9\xD0\xB4\xD0\xB5\xD0\xBD\xD0\xBE \xD1\x84\xD0\xB0\xD0\xB9\xD0"
              "\xBB\xD0\xBE\xD0\xB2: 3.\r\n");
}

TEST_F(ScanTexts, NothingFoundSuggestsTheDeepScanAfterAQuickOne) {
    EXPECT_EQ(NothingFoundText(RecoveryMode::Quick),
              "No recoverable files were found with this mode. Please change the Deep Scan to try.");
    EXPECT_EQ(NothingFoundText(RecoveryMode::Deep), "No recoverable files were found with this mode.");
}

TEST_F(ScanTexts, ElapsedLineLeavesOutWhatIsNotKnown) {
    EXPECT_EQ(ElapsedLineText("0:00:12", "", "", ""), "Elapsed 0:00:12");
    EXPECT_EQ(ElapsedLineText("0:01:00", "about 5 min left", "", ""), "Elapsed 0:01:00   about 5 min left");
    EXPECT_EQ(ElapsedLineText("1:00:00", "", "1,234", "5,000"), "Elapsed 1:00:00   1,234 of 5,000 files");
    EXPECT_EQ(ElapsedLineText("1:00:00", "about 1 h left", "0", "12"),
              "Elapsed 1:00:00   about 1 h left   0 of 12 files");
}

} // namespace

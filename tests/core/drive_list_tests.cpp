#include "platform/drive_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using namespace kestro;

namespace {

constexpr std::uint64_t kGB = std::uint64_t{1} << 30;
constexpr std::uint64_t kEighthGB = kGB / 8; // 12.5 hundredths: every odd multiple is a tie

// The largest byte count whose size rounds to 1000000.99 GB and so is still listed:
// floor(100000099.5 * 2^30 / 100). No byte count lands exactly on the tie.
constexpr std::uint64_t kLargestListed = 1073742892373114;

} // namespace

TEST(SizeText, RoundsToHundredthsAndWritesTheShortestForm) {
    struct Case {
        std::uint64_t bytes;
        const char* separator;
        const char* text;
    };
    const Case cases[] = {
        {0, ".", "0"},
        {1, ".", "0"},
        {kGB, ".", "1"},
        {kGB - 1, ".", "1"},
        {kGB + kGB / 2, ".", "1.5"},
        {53687091, ".", "0.05"}, // 4.99999 hundredths: a leading zero after the separator
        {500107862016, ".", "465.76"},
        {500107862016, ",", "465,76"},
        {kEighthGB, ".", "0.12"},
        {3 * kEighthGB, ".", "0.38"},
        {5 * kEighthGB, ".", "0.62"},
        {kGB + kEighthGB, ".", "1.12"},
        {kEighthGB - 1, ".", "0.12"},
        {kEighthGB + 1, ".", "0.13"},
        {std::uint64_t{1} << 63, ".", "8589934592"},
        {std::numeric_limits<std::uint64_t>::max(), ".", "17179869184"},
        {kLargestListed, ".", "1000000.99"},
        {kLargestListed + 1, ".", "1000001"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SizeText(c.bytes, c.separator), c.text) << c.bytes;
    }
}

TEST(ListingRule, TakesTheWholeNumberOfTheRoundedSize) {
    EXPECT_TRUE(IsListableSize(0)) << "a failed space query gives 0, whatever the separator";
    EXPECT_TRUE(IsListableSize(1000000 * kGB));
    EXPECT_TRUE(IsListableSize(kLargestListed));
    EXPECT_FALSE(IsListableSize(kLargestListed + 1)) << "1000000.995 GB rounds up to 1000001";
    EXPECT_FALSE(IsListableSize(1000001 * kGB));
    EXPECT_FALSE(IsListableSize(std::numeric_limits<std::uint64_t>::max()));

    EXPECT_TRUE(IsListedDrive("NTFS", 500107862016));
    EXPECT_FALSE(IsListedDrive("", 500107862016)) << "no medium or an unreadable volume";
    EXPECT_FALSE(IsListedDrive("NTFS", kLargestListed + 1));
}

TEST(SourceEntries, AreTheLabelAndTheDriveWhateverTheLabelHolds) {
    struct Case {
        const char* root;
        const char* label;
        const char* entry;
    };
    const Case cases[] = {
        {"C:\\", "System", "System (C:)"},
        {"D:\\", "", " (D:)"},
        {"E:\\", "Data (old)", "Data (old) (E:)"},
        {"F:\\", "(G:)", "(G:) (F:)"},
        {"G", "Backup", "Backup (G:)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SourceEntryCaption(c.label, LetterPartOfRoot(c.root)), c.entry);
    }
}

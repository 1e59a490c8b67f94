#include "base/exit_codes.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "base/texts.h"

using namespace kestro;

TEST(ExitCodes, OnlyNtStatusErrorCodesCountAsACrash) {
    const struct {
        std::uint32_t code;
        bool crash;
    } cases[] = {
        {0, false},          {1, false},          {5, false},         {0x7FFFFFFF, false},
        {0x80000003, false}, {0xBFFFFFFF, false}, {0xC0000000, true}, {0xC0000005, true},
        {0xC0000409, true},  {0xC000013A, true},  {0xFFFFFFFF, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsCrashExitCode(c.code), c.crash) << std::hex << c.code;
    }
}

TEST(ExitCodes, TheMessageNamesTheCodeInEightUpperCaseHexDigits) {
    EXPECT_EQ(WithExitCode(Text(IDS_TOOL_STOPPED), 0xC0000005),
              "The recovery tool stopped unexpectedly (exit code 0xC0000005).");
    EXPECT_EQ(WithExitCode(Text(IDS_TOOL_STOPPED), 0xC000013A),
              "The recovery tool stopped unexpectedly (exit code 0xC000013A).");
    EXPECT_EQ(HexExitCode(0xFFFFFFFF), "FFFFFFFF");
    EXPECT_EQ(HexExitCode(0xC00000FD), "C00000FD");
    EXPECT_EQ(HexExitCode(0), "00000000");
    EXPECT_EQ(WithExitCode("%1%1", 0xABCDEF01), "ABCDEF01ABCDEF01");
    EXPECT_EQ(WithExitCode("no code %2", 1), "no code %2");
}

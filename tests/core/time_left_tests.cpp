#include "dialogs/time_left.h"

#include <gtest/gtest.h>

#include <optional>

using namespace kestro;

namespace {

constexpr std::uint64_t kSecond = 1000;

// A pass that moves the bar by `step` every second from `from`, starting at t = 0.
TimeLeftEstimator SteadyPass(std::int32_t from, std::int32_t step, std::uint64_t seconds) {
    TimeLeftEstimator estimate;
    estimate.StartPass(0, from);
    for (std::uint64_t t = 1; t <= seconds; ++t) {
        estimate.Observe(t * kSecond, from + static_cast<std::int32_t>(t) * step);
    }
    return estimate;
}

} // namespace

TEST(TimeLeft, AppearsOnlyAfterTenSecondsAndTwoPercentOfThePass) {
    // 0.5 % a second: after 9 s the bar has moved 4.5 %, but the pass is too young.
    EXPECT_EQ(SteadyPass(0, 5, 9).SecondsLeft(9 * kSecond), std::nullopt);
    // 0.1 % a second: after 15 s the bar has moved only 1.5 %.
    EXPECT_EQ(SteadyPass(0, 1, 15).SecondsLeft(15 * kSecond), std::nullopt);
    // 0.5 % a second for 20 s: 90 % left takes 180 s.
    EXPECT_EQ(SteadyPass(0, 5, 20).SecondsLeft(20 * kSecond), 180u);
    // The move counts from where the pass began, not from zero.
    EXPECT_EQ(SteadyPass(500, 1, 15).SecondsLeft(15 * kSecond), std::nullopt);
    EXPECT_EQ(TimeLeftEstimator{}.SecondsLeft(60 * kSecond), std::nullopt);
}

TEST(TimeLeft, CountsDownBetweenEventsAndVanishesWhenTheBarStalls) {
    TimeLeftEstimator estimate = SteadyPass(0, 5, 20);
    EXPECT_EQ(estimate.SecondsLeft(30 * kSecond), 170u);
    EXPECT_EQ(estimate.SecondsLeft(79 * kSecond), 121u);
    EXPECT_EQ(estimate.SecondsLeft(80 * kSecond), std::nullopt); // 60 s without a move
    estimate.Observe(81 * kSecond, 105);
    EXPECT_TRUE(estimate.SecondsLeft(81 * kSecond).has_value());
}

TEST(TimeLeft, ASmoothedRateDoesNotFollowEveryBurst) {
    TimeLeftEstimator estimate = SteadyPass(0, 5, 30); // 0.5 % a second, 170 s left
    ASSERT_EQ(estimate.SecondsLeft(30 * kSecond), 170u);
    // A burst: 10 % in the next 2 s would, taken alone, promise the rest in 17 s.
    estimate.Observe(32 * kSecond, 250);
    const auto afterBurst = estimate.SecondsLeft(32 * kSecond);
    ASSERT_TRUE(afterBurst.has_value());
    EXPECT_GT(*afterBurst, 75u);
    EXPECT_LT(*afterBurst, 150u); // but it does react: at the old rate the rest takes 150 s
    // A rate that really changes is followed within a minute or two.
    for (std::uint64_t t = 33; t <= 150; ++t) {
        estimate.Observe(t * kSecond, 250 + static_cast<std::int32_t>(t - 32) * 2); // 0.2 % a second
    }
    const auto settled = estimate.SecondsLeft(150 * kSecond);
    ASSERT_TRUE(settled.has_value());
    const std::int32_t left = 1000 - (250 + 118 * 2);
    EXPECT_NEAR(static_cast<double>(*settled), left / 2.0, left / 2.0 * 0.1);
}

TEST(TimeLeft, ANewPassOrABarThatGoesBackStartsAgain) {
    TimeLeftEstimator estimate = SteadyPass(0, 5, 200); // the bar is full
    ASSERT_EQ(estimate.SecondsLeft(200 * kSecond), 0u);
    estimate.StartPass(201 * kSecond, 0); // "Recovering files" began
    EXPECT_EQ(estimate.SecondsLeft(205 * kSecond), std::nullopt);
    for (std::uint64_t t = 202; t <= 215; ++t) {
        estimate.Observe(t * kSecond, static_cast<std::int32_t>(t - 201) * 10); // 1 % a second
    }
    EXPECT_EQ(estimate.SecondsLeft(215 * kSecond), 86u);

    estimate.Observe(216 * kSecond, 30); // the bar went back
    EXPECT_EQ(estimate.SecondsLeft(216 * kSecond), std::nullopt);
    for (std::uint64_t t = 217; t <= 226; ++t) {
        estimate.Observe(t * kSecond, 30 + static_cast<std::int32_t>(t - 216) * 10);
    }
    EXPECT_EQ(estimate.SecondsLeft(226 * kSecond), 87u);
}

TEST(TimeLeft, IsWrittenInWholeMinutesBelowAnHourThenInHoursAndMinutes) {
    struct Case {
        std::uint64_t seconds;
        const char* text;
    };
    const Case cases[] = {
        {0, "less than a minute left"},
        {59, "less than a minute left"},
        {60, "about 1 min left"},
        {89, "about 1 min left"},
        {90, "about 2 min left"},
        {12 * 60 + 10, "about 12 min left"},
        {59 * 60 + 29, "about 59 min left"},
        {59 * 60 + 30, "about 1 h left"},
        {80 * 60, "about 1 h 20 min left"},
        {125 * 60 + 40, "about 2 h 6 min left"},
        {30 * 3600, "about 30 h left"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeLeftText(c.seconds), c.text) << c.seconds;
    }
}

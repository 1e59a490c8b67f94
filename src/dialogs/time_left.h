#pragma once
// The estimate of the time left in the current pass of a run, shown in the Scanning dialog.
// Positions are the bar's, in tenths of a percent (0 to 1000); times are milliseconds of
// any steady clock.
#include <cstdint>
#include <optional>
#include <string>

namespace kestro {

class TimeLeftEstimator {
public:
    // No estimate before the pass has run this long and moved the bar this far, nor once the
    // bar has stood still this long.
    static constexpr std::uint64_t kWarmUpMs = 10'000;
    static constexpr std::int32_t kWarmUpMove = 20;
    static constexpr std::uint64_t kStallMs = 60'000;

    // A pass begins (its caption appeared) with the bar at position.
    void StartPass(std::uint64_t nowMs, std::int32_t position);
    // The bar is at position now. A bar that goes back starts the pass's measurement anew.
    void Observe(std::uint64_t nowMs, std::int32_t position);
    // Whole seconds left in the pass, or nothing while no estimate can be trusted.
    std::optional<std::uint64_t> SecondsLeft(std::uint64_t nowMs) const;

private:
    bool started_ = false;
    std::uint64_t passStartMs_ = 0;
    std::int32_t passStartPosition_ = 0;
    std::uint64_t lastMoveMs_ = 0;
    std::int32_t position_ = 0;
    // The rate is measured over intervals of at least kSampleMs and smoothed exponentially, so
    // that bursts of events do not make the estimate jump.
    static constexpr std::uint64_t kSampleMs = 2'000;
    static constexpr double kSmoothingMs = 30'000.0;
    std::uint64_t sampleMs_ = 0;
    std::int32_t samplePosition_ = 0;
    double rate_ = 0.0; // bar units per millisecond; 0 until the first sample
};

// The words for seconds left: "less than a minute left", whole minutes below an hour ("about
// 12 min left"), hours and minutes above ("about 1 h 20 min left").
std::string TimeLeftText(std::uint64_t seconds);

} // namespace kestro

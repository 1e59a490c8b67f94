#include "dialogs/time_left.h"

#include <algorithm>
#include <cmath>

#include "base/text.h"
#include "base/texts.h"

namespace kestro {

namespace {
constexpr std::int32_t kBarEnd = 1000;
}

void TimeLeftEstimator::StartPass(std::uint64_t nowMs, std::int32_t position) {
    started_ = true;
    passStartMs_ = lastMoveMs_ = sampleMs_ = nowMs;
    passStartPosition_ = position_ = samplePosition_ = position;
    rate_ = 0.0;
}

void TimeLeftEstimator::Observe(std::uint64_t nowMs, std::int32_t position) {
    if (!started_ || position < position_) {
        StartPass(nowMs, position);
        return;
    }
    if (position == position_) {
        return;
    }
    position_ = position;
    lastMoveMs_ = nowMs;
    if (nowMs < sampleMs_ + kSampleMs) {
        return;
    }
    const double elapsed = static_cast<double>(nowMs - sampleMs_);
    const double sample = static_cast<double>(position - samplePosition_) / elapsed;
    if (rate_ <= 0.0) {
        rate_ = sample;
    } else {
        rate_ += (sample - rate_) * (1.0 - std::exp(-elapsed / kSmoothingMs));
    }
    sampleMs_ = nowMs;
    samplePosition_ = position;
}

std::optional<std::uint64_t> TimeLeftEstimator::SecondsLeft(std::uint64_t nowMs) const {
    if (!started_ || rate_ <= 0.0 || nowMs < passStartMs_ + kWarmUpMs || position_ - passStartPosition_ < kWarmUpMove ||
        nowMs >= lastMoveMs_ + kStallMs) {
        return std::nullopt;
    }
    // The rate held at the last move; the time since then counts down.
    const double atLastMove = static_cast<double>(kBarEnd - std::min(position_, kBarEnd)) / rate_;
    const double left = atLastMove - static_cast<double>(nowMs - lastMoveMs_);
    return static_cast<std::uint64_t>(std::ceil(std::max(left, 0.0) / 1000.0));
}

std::string TimeLeftText(std::uint64_t seconds) {
    if (seconds < 60) {
        return Text(IDS_LEFT_UNDER_A_MINUTE);
    }
    const std::uint64_t minutes = (seconds + 30) / 60;
    if (minutes < 60) {
        return FormatText(Text(IDS_LEFT_MINUTES), {std::to_string(minutes)});
    }
    if (minutes % 60 == 0) {
        return FormatText(Text(IDS_LEFT_HOURS), {std::to_string(minutes / 60)});
    }
    return FormatText(Text(IDS_LEFT_HOURS_MINUTES), {std::to_string(minutes / 60), std::to_string(minutes % 60)});
}

} // namespace kestro

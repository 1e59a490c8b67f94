#include "runner/interpreter.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "global/text.h"
#include "global/texts.h"

namespace kestro {

namespace {

bool Contains(std::string_view s, std::string_view what) {
    return s.find(what) != std::string_view::npos;
}

bool HasVisibleCharacter(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) > 32; });
}

// Per-mille values from huge counts must fit the record, and 32-bit arithmetic must not wrap them
// back into the bar's range; the bar ends at kBarFull anyway.
std::int32_t ToBarRange(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, -kBarFull, kBarFull));
}

// A place on the bar, or nothing for a negative value, which leaves the bar as it is.
std::optional<std::int32_t> BarPosition(std::int32_t value) {
    return value >= 0 ? std::optional<std::int32_t>(value) : std::nullopt;
}

// The whole text as up to eight hexadecimal digits, taken as a 32-bit pattern; nothing when it is
// not one.
std::optional<std::uint32_t> HexPattern(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t pattern = 0;
    for (const char c : digits) {
        const int d = HexDigitValue(c);
        if (d < 0) {
            return std::nullopt;
        }
        pattern = (pattern << 4) | static_cast<std::uint32_t>(d);
    }
    return pattern;
}

// The whole text as decimal digits, up to 2^31; nothing when it is not one or is larger.
std::optional<std::int64_t> DecimalUpTo2Pow31(std::string_view digits) {
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    if (digits.empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > kLimit) {
            return std::nullopt;
        }
    }
    return value;
}

std::size_t HexPrefixLength(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X")) {
        return 2;
    }
    return text.starts_with("$") || text.starts_with("x") || text.starts_with("X") ? 1 : 0;
}

} // namespace

std::int32_t WholeNumber(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (const std::size_t prefix = HexPrefixLength(text); prefix > 0) {
        const std::optional<std::uint32_t> pattern = HexPattern(text.substr(prefix));
        if (!pattern) {
            return 0;
        }
        return static_cast<std::int32_t>(negative ? 0u - *pattern : *pattern);
    }
    const std::optional<std::int64_t> value = DecimalUpTo2Pow31(text);
    if (!value || (!negative && *value > std::numeric_limits<std::int32_t>::max())) {
        return 0;
    }
    return static_cast<std::int32_t>(negative ? -*value : *value);
}

std::string_view LastPercentNumber(std::string_view line, std::string_view start) {
    std::string_view number = start;
    std::string_view rest = TextAfterView(line, "%");
    while (Contains(rest, "%")) {
        number = TrimView(TextBeforeView(rest, "%"));
        rest = TextAfterView(rest, "%");
    }
    return number;
}

OutputInterpreter::OutputInterpreter(ProgressEventSink& sink) : sink_(sink) {}

void OutputInterpreter::Reset() {
    decoder_.Reset();
    lastPermille_ = 0;
    progressSeen_ = false;
    dropRestOfPiece_ = false;
}

void OutputInterpreter::SetNarrowDecoder(std::function<std::string(std::string_view)> decode) {
    decoder_.SetNarrowDecoder(std::move(decode));
}

void OutputInterpreter::Feed(const unsigned char* bytes, std::size_t count) noexcept {
    dropRestOfPiece_ = false;
    try {
        decoder_.Feed(bytes, count, *this);
    } catch (...) {
    }
}

void OutputInterpreter::Flush() noexcept {
    dropRestOfPiece_ = false;
    try {
        decoder_.Flush(*this);
    } catch (...) {
    }
}

void OutputInterpreter::PostFinished(std::uint32_t exitCode) {
    Post(ProgressEvent::Finished(progressSeen_, exitCode));
}

void OutputInterpreter::Post(ProgressEvent event) {
    sink_.Post(std::make_unique<ProgressEvent>(std::move(event)));
}

void OutputInterpreter::SetLineObserver(std::function<void(std::string_view line)> observer) {
    lineObserver_ = std::move(observer);
}

void OutputInterpreter::Line(std::string_view line) {
    if (lineObserver_) {
        try {
            lineObserver_(line);
        } catch (...) {
        }
    }
    if (dropRestOfPiece_) {
        return;
    }
    try {
        Interpret(line);
    } catch (...) {
        dropRestOfPiece_ = true;
    }
}

void OutputInterpreter::Interpret(std::string_view line) {
    if (!HasVisibleCharacter(line)) {
        return;
    }
    // Phrases are looked for in a lowered copy, so their letter case does not matter; numbers are
    // cut from the line itself with case-sensitive markers.
    AsciiLowerInto(line, lower_);
    const std::string_view low = lower_;
    InterpretMessages(low);
    if (Contains(low, "scanning disk:")) {
        InterpretScanning(line);
    }
    if (Contains(low, "progress: 100%")) {
        progressSeen_ = true;
        Post(ProgressEvent::Of(EventKind::Completed));
    }
    if (Contains(low, "files recovered:")) {
        InterpretRecovered(line);
    } else if (Contains(line, "%")) {
        InterpretPercent(line);
    }
}

void OutputInterpreter::InterpretMessages(std::string_view low) {
    const bool diskFull = Contains(low, "destination disk is full");
    if (Contains(low, "pass 2: recovering files")) {
        Post(ProgressEvent::PassStarted(RunPass::Recovering));
    }
    if (Contains(low, "no recoverable files were found with this mode.")) {
        Post(ProgressEvent::Of(EventKind::NothingFound));
    }
    if (diskFull) {
        Post(ProgressEvent::Of(EventKind::DestinationFull));
    }
    // The full-disk prompt also ends in "or (a)bort"; it must not count twice.
    if (!diskFull && Contains(low, "or (a)bort")) {
        Post(ProgressEvent::Of(EventKind::AbortPrompt));
    }
    if (Contains(low, "requires admin privileges to run")) {
        Post(ProgressEvent::Of(EventKind::NeedsAdmin));
    }
}

void OutputInterpreter::InterpretScanning(std::string_view line) {
    const std::string_view start = TrimView(TextBetweenView(line, "Scanning disk:", "%"));
    const std::int64_t value = 10 * std::int64_t{WholeNumber(LastPercentNumber(line, start))};
    if (value < 0) {
        return;
    }
    if (value > 0) {
        progressSeen_ = true;
    }
    Post(ProgressEvent::Progress(ToBarRange(value), RunPass::Scanning));
}

// The tool prints this line for every file; most of them leave the per-mille as it was and must
// cost nothing but the parsing.
void OutputInterpreter::InterpretRecovered(std::string_view line) {
    const std::int32_t recovered = WholeNumber(TrimView(TextBetweenView(line, "Files recovered:", ",")));
    const std::int32_t total = WholeNumber(TrimView(TextBetweenView(line, "total files:", ",")));
    const std::int64_t permille = total > 0 ? std::int64_t{recovered} * kBarFull / total : 0;
    const std::int32_t position = ToBarRange(permille);
    if (position == 0 || position == lastPermille_) {
        return;
    }
    lastPermille_ = position;
    ProgressEvent event = ProgressEvent::Progress(BarPosition(position), RunPass::Recovering);
    event.currentFile.assign(TrimView(TextAfterView(line, "current filename:")));
    event.totalFiles = total;
    event.filesRecovered = recovered;
    Post(std::move(event));
}

void OutputInterpreter::InterpretPercent(std::string_view line) {
    const std::string_view start = TrimView(TextBeforeView(line, "%"));
    const std::int64_t value = 10 * std::int64_t{WholeNumber(LastPercentNumber(line, start))};
    if (value >= 1 && value <= kBarFull) {
        progressSeen_ = true;
        Post(ProgressEvent::Progress(static_cast<std::int32_t>(value)));
    }
}

} // namespace kestro

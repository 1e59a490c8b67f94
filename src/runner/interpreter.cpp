#include "runner/interpreter.h"

#include <algorithm>
#include <limits>
#include <memory>
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

// A line of output must never produce the finished event's 2000 (the dialog would close and stop
// the tool), and per-mille values from huge counts must fit the record; the bar ends at 1000 anyway.
std::int32_t ToBarRange(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, -kPositionFull, kPositionFull));
}

} // namespace

std::int32_t WholeNumber(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::size_t hexPrefix = 0;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        hexPrefix = 2;
    } else if (text.starts_with("$") || text.starts_with("x") || text.starts_with("X")) {
        hexPrefix = 1;
    }
    if (hexPrefix > 0) {
        const std::string_view digits = text.substr(hexPrefix);
        if (digits.empty() || digits.size() > 8) {
            return 0;
        }
        std::uint32_t pattern = 0;
        for (const char c : digits) {
            const int d = HexDigitValue(c);
            if (d < 0) {
                return 0;
            }
            pattern = (pattern << 4) | static_cast<std::uint32_t>(d);
        }
        if (negative) {
            pattern = 0u - pattern;
        }
        return static_cast<std::int32_t>(pattern);
    }
    if (text.empty()) {
        return 0;
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return 0;
        }
        value = value * 10 + (c - '0');
        if (value > kLimit) {
            return 0;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value >= kLimit) {
        return 0;
    }
    return static_cast<std::int32_t>(value);
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
    auto info = std::make_unique<ProgressEvent>();
    info->Position = kPositionFinished;
    info->Code = progressSeen_ ? pcProgress : pcNoProgress;
    info->ExitCode = exitCode;
    sink_.Post(std::move(info));
}

void OutputInterpreter::Line(std::string_view line) {
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
    const bool diskFull = Contains(low, "destination disk is full");

    if (Contains(low, "pass 2: recovering files")) {
        Post(0, Text(IDS_RECOVERING_FILES), pcProgress);
    }
    if (Contains(low, "no recoverable files were found with this mode.")) {
        Post(kPositionUnchanged, {}, pcNothingFound);
    }
    if (diskFull) {
        Post(kPositionUnchanged, {}, pcDiskFull);
    }
    // The full-disk prompt also ends in "or (a)bort"; it must not count twice.
    if (!diskFull && Contains(low, "or (a)bort")) {
        Post(kPositionUnchanged, {}, pcAbortPrompt);
    }
    if (Contains(low, "requires admin privileges to run")) {
        Post(kPositionUnchanged, {}, pcNeedsAdmin);
    }
    if (Contains(low, "scanning disk:")) {
        const std::string_view start = TrimView(TextBetweenView(line, "Scanning disk:", "%"));
        const std::int64_t value = 10 * std::int64_t{WholeNumber(LastPercentNumber(line, start))};
        if (value >= 0) {
            if (value > 0) {
                progressSeen_ = true;
            }
            Post(ToBarRange(value), Text(IDS_SCANNING_DISK), pcProgress);
        }
    }
    if (Contains(low, "progress: 100%")) {
        progressSeen_ = true;
        Post(kPositionFull, {}, pcCompleted);
    }
    if (Contains(low, "files recovered:")) {
        // The tool prints this line for every file; most of them leave the per-mille as it was
        // and must cost nothing but the parsing.
        const std::int32_t recovered = WholeNumber(TrimView(TextBetweenView(line, "Files recovered:", ",")));
        const std::int32_t total = WholeNumber(TrimView(TextBetweenView(line, "total files:", ",")));
        const std::int64_t permille = total > 0 ? std::int64_t{recovered} * 1000 / total : 0;
        const std::int32_t position = ToBarRange(permille);
        if (position != 0 && position != lastPermille_) {
            lastPermille_ = position;
            auto info = std::make_unique<ProgressEvent>();
            info->Position = position;
            info->Caption = Text(IDS_RECOVERING_FILES);
            info->Code = pcProgress;
            info->CurrentFile.assign(TrimView(TextAfterView(line, "current filename:")));
            info->TotalFiles = total;
            info->FilesRecovered = recovered;
            sink_.Post(std::move(info));
        }
    } else if (Contains(line, "%")) {
        const std::string_view start = TrimView(TextBeforeView(line, "%"));
        const std::int64_t value = 10 * std::int64_t{WholeNumber(LastPercentNumber(line, start))};
        if (value >= 1 && value <= kPositionFull) {
            progressSeen_ = true;
            Post(static_cast<std::int32_t>(value), {}, pcProgress);
        }
    }
}

void OutputInterpreter::Post(std::int32_t position, std::string_view caption, std::int32_t code,
                             std::string_view currentFile, std::int32_t totalFiles) {
    auto info = std::make_unique<ProgressEvent>();
    info->Position = position;
    info->Caption.assign(caption);
    info->Code = code;
    info->CurrentFile.assign(currentFile);
    info->TotalFiles = totalFiles;
    sink_.Post(std::move(info));
}

} // namespace kestro

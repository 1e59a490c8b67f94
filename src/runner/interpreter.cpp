#include "runner/interpreter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "base/failures.h"
#include "base/text.h"
#include "base/texts.h"

namespace kestro {

namespace {

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

// The phrases that the rules look for, whatever their letter case.
enum Phrase : unsigned {
    kPassTwo = 1u << 0,
    kNothingFound = 1u << 1,
    kDiskFull = 1u << 2,
    kAbortChoice = 1u << 3,
    kNeedsAdmin = 1u << 4,
    kScanning = 1u << 5,
    kCompleted = 1u << 6,
    kRecovered = 1u << 7,
    kPercentSign = 1u << 8,
};

struct PhraseText {
    Phrase phrase;
    std::string_view lowered;
};

constexpr PhraseText kPhrases[] = {
    {kPassTwo, "pass 2: recovering files"},
    {kNothingFound, "no recoverable files were found with this mode."},
    {kDiskFull, "destination disk is full"},
    {kAbortChoice, "or (a)bort"},
    {kNeedsAdmin, "requires admin privileges to run"},
    {kScanning, "scanning disk:"},
    {kCompleted, "progress: 100%"},
    {kRecovered, "files recovered:"},
};

// A phrase's bit is its place in the table.
constexpr bool PhrasesInBitOrder() {
    for (std::size_t i = 0; i < std::size(kPhrases); ++i) {
        if (kPhrases[i].phrase != 1u << i) {
            return false;
        }
    }
    return true;
}
static_assert(PhrasesInBitOrder());

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether s starts with the lowered phrase once its letters A to Z are lowered.
bool StartsWithLowered(std::string_view s, std::string_view lowered) {
    if (s.size() < lowered.size()) {
        return false;
    }
    for (std::size_t k = 0; k < lowered.size(); ++k) {
        if (LowerAscii(s[k]) != lowered[k]) {
            return false;
        }
    }
    return true;
}

// Letters in a small alphabet: a to z are 1 to 26 whatever their case, everything else 0. Every
// phrase begins with two letters.
constexpr std::array<unsigned char, 256> kLetterIndex = [] {
    std::array<unsigned char, 256> table{};
    for (unsigned c = 'a'; c <= 'z'; ++c) {
        table[c] = static_cast<unsigned char>(c - 'a' + 1);
        table[c - 'a' + 'A'] = static_cast<unsigned char>(c - 'a' + 1);
    }
    return table;
}();

constexpr unsigned LetterPair(unsigned char first, unsigned char second) {
    return kLetterIndex[first] * 32u + kLetterIndex[second];
}

// For each pair of letters, the phrases that begin with it.
constexpr std::array<unsigned, std::size_t{32} * 32> kPhrasesStartingWith = [] {
    std::array<unsigned, std::size_t{32} * 32> table{};
    for (const PhraseText& p : kPhrases) {
        table[LetterPair(static_cast<unsigned char>(p.lowered[0]), static_cast<unsigned char>(p.lowered[1]))] |=
            p.phrase;
    }
    return table;
}();

static_assert([] {
    for (const PhraseText& p : kPhrases) {
        if (kLetterIndex[static_cast<unsigned char>(p.lowered[0])] == 0 ||
            kLetterIndex[static_cast<unsigned char>(p.lowered[1])] == 0) {
            return false;
        }
    }
    return true;
}());

// The phrases that the line holds, found in one pass over it: the tool prints a line for every
// file it recovers, and a search for each phrase in a lowered copy of each line was most of the
// work of reading them. Only where two letters begin a phrase is the rest of it compared.
unsigned PhrasesIn(std::string_view line) {
    unsigned found = line.find('%') != std::string_view::npos ? kPercentSign : 0u;
    const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        unsigned candidates = kPhrasesStartingWith[LetterPair(bytes[i], bytes[i + 1])] & ~found;
        for (; candidates != 0; candidates &= candidates - 1) {
            const PhraseText& p = kPhrases[std::countr_zero(candidates)];
            if (StartsWithLowered(line.substr(i), p.lowered)) {
                found |= p.phrase;
            }
        }
    }
    return found;
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
    const std::size_t last = line.rfind('%');
    if (last == std::string_view::npos || last == 0) {
        return start;
    }
    const std::size_t before = line.rfind('%', last - 1);
    if (before == std::string_view::npos) {
        return start;
    }
    return TrimView(line.substr(before + 1, last - before - 1));
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
        SwallowedFailure("OutputInterpreter::Feed");
    }
}

void OutputInterpreter::Flush() noexcept {
    dropRestOfPiece_ = false;
    try {
        decoder_.Flush(*this);
    } catch (...) {
        SwallowedFailure("OutputInterpreter::Flush");
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
            SwallowedFailure("OutputInterpreter: the line observer");
        }
    }
    if (dropRestOfPiece_) {
        return;
    }
    try {
        Interpret(line);
    } catch (...) {
        SwallowedFailure("OutputInterpreter::Interpret");
        dropRestOfPiece_ = true;
    }
}

void OutputInterpreter::Interpret(std::string_view line) {
    if (!HasVisibleCharacter(line)) {
        return;
    }
    // Phrases are found whatever their letter case; numbers are cut from the line itself with
    // case-sensitive markers.
    const unsigned phrases = PhrasesIn(line);
    InterpretMessages(phrases);
    if ((phrases & kScanning) != 0) {
        InterpretScanning(line);
    }
    if ((phrases & kCompleted) != 0) {
        progressSeen_ = true;
        Post(ProgressEvent::Of(EventKind::Completed));
    }
    if ((phrases & kRecovered) != 0) {
        InterpretRecovered(line);
    } else if ((phrases & kPercentSign) != 0) {
        InterpretPercent(line);
    }
}

void OutputInterpreter::InterpretMessages(unsigned phrases) {
    const bool diskFull = (phrases & kDiskFull) != 0;
    if ((phrases & kPassTwo) != 0) {
        Post(ProgressEvent::PassStarted(RunPass::Recovering));
    }
    if ((phrases & kNothingFound) != 0) {
        Post(ProgressEvent::Of(EventKind::NothingFound));
    }
    if (diskFull) {
        Post(ProgressEvent::Of(EventKind::DestinationFull));
    }
    // The full-disk prompt also ends in "or (a)bort"; it must not count twice.
    if (!diskFull && (phrases & kAbortChoice) != 0) {
        Post(ProgressEvent::Of(EventKind::AbortPrompt));
    }
    if ((phrases & kNeedsAdmin) != 0) {
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
    // Filled where it goes: the file name is kept in the record itself.
    auto event = std::make_unique<ProgressEvent>(ProgressEvent::Progress(BarPosition(position), RunPass::Recovering));
    event->currentFile.assign(TrimView(TextAfterView(line, "current filename:")));
    event->totalFiles = total;
    event->filesRecovered = recovered;
    sink_.Post(std::move(event));
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

// The output decoder and interpreter on arbitrary tool output cut into arbitrary pieces.
//
// Input: two control bytes, then the bytes the tool writes. The control bytes seed the piece
// sizes (up to 1 to 256 bytes, empty pieces included) and choose after which pieces a third run
// flushes. (Lines beyond the decoder's bound need half a megabyte, too slow to fuzz under the
// sanitizers; the decoder's unit tests cover them.) Promises checked:
//  - no crash and no sanitizer report, whatever the bytes;
//  - the same lines and the same events whatever the piece sizes, as long as nothing is flushed
//    between pieces (and after a Reset as on a fresh object);
//  - every line is non-empty, well-formed UTF-8 without CR, LF or NUL;
//  - every event is one the Scanning dialog knows: codes from the table, positions within the
//    bar's range, the finished position only on the finished event, which comes last.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "runner/decoder.h"
#include "runner/interpreter.h"

namespace {

using namespace kestro;
using fuzz::Check;

struct Event {
    EventKind kind;
    std::optional<std::int32_t> position;
    std::optional<RunPass> pass;
    std::string currentFile;
    std::int32_t totalFiles;
    bool progressSeen;
    bool operator==(const Event&) const = default;
};

class CollectingSink : public ProgressEventSink {
public:
    void Post(std::unique_ptr<ProgressEvent> e) override {
        events.push_back({e->kind, e->position, e->pass, e->currentFile.str(), e->totalFiles, e->progressSeen});
    }
    std::vector<Event> events;
};

class CollectingLines : public LineReceiver {
public:
    void Line(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

// Piece sizes and flush points, derived from the control bytes.
struct Plan {
    std::vector<std::size_t> pieces;
    std::vector<bool> flushAfter;
};

Plan MakePlan(std::uint8_t a, std::uint8_t b, std::size_t total) {
    Plan plan;
    std::uint32_t state = 0x9E3779B9u ^ (std::uint32_t{a} << 8) ^ b;
    const auto next = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    const std::size_t maxPiece = std::size_t{a} + 1;
    for (std::size_t left = total; left > 0;) {
        const std::size_t n = std::min<std::size_t>(next() % (maxPiece + 1), left);
        plan.pieces.push_back(n);
        plan.flushAfter.push_back((next() & 7) < (b & 7));
        left -= n;
    }
    return plan;
}

void CheckLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        Check(!line.empty(), "an empty line was handed over");
        Check(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos, "a line holds CR, LF or NUL");
        Check(fuzz::IsUtf8(line), "a line is not well-formed UTF-8");
    }
}

void CheckEvents(const std::vector<Event>& events) {
    Check(!events.empty() && events.back().kind == EventKind::Finished, "the finished event is not last");
    for (std::size_t i = 0; i + 1 < events.size(); ++i) {
        const Event& e = events[i];
        const bool moves = e.kind == EventKind::Progress || e.kind == EventKind::PassStarted;
        Check(e.kind >= EventKind::Progress && e.kind < EventKind::Finished, "an unknown event, or a finished one from a line");
        // Negative counts leave the bar alone; nothing beyond the bar may come from a line.
        Check(!e.position || (*e.position >= kBarEmpty && *e.position <= kBarFull), "a position off the bar");
        Check(moves || (!e.position && !e.pass), "an outcome that moves the bar or names a pass");
        Check(fuzz::IsUtf8(e.currentFile), "a current file that is not UTF-8");
        Check(e.totalFiles >= 0, "a negative total");
        Check(e.currentFile.empty() || e.totalFiles > 0, "a current file without a total");
        Check(e.totalFiles == 0 || e.pass == RunPass::Recovering, "file counts outside the recovering pass");
    }
}

std::vector<std::string> DecodeLines(const unsigned char* bytes, const Plan* plan, std::size_t total) {
    OutputDecoder decoder;
    CollectingLines lines;
    if (plan == nullptr) {
        decoder.Feed(bytes, total, lines);
    } else {
        std::size_t at = 0;
        for (const std::size_t n : plan->pieces) {
            decoder.Feed(bytes + at, n, lines);
            at += n;
        }
    }
    decoder.Flush(lines);
    return lines.lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const Plan plan = MakePlan(data[0], data[1], size - 2);
    const unsigned char* bytes = data + 2;
    const std::size_t total = size - 2;

    const std::vector<std::string> whole = DecodeLines(bytes, nullptr, total);
    CheckLines(whole);
    Check(DecodeLines(bytes, &plan, total) == whole, "the pieces gave other lines than the whole output");

    CollectingSink sink;
    OutputInterpreter interpreter(sink);
    interpreter.Feed(bytes, total);
    interpreter.Flush();
    interpreter.PostFinished();
    const std::vector<Event> expected = sink.events;
    CheckEvents(expected);

    sink.events.clear();
    interpreter.Reset();
    std::size_t at = 0;
    for (const std::size_t n : plan.pieces) {
        interpreter.Feed(bytes + at, n);
        at += n;
    }
    interpreter.Flush();
    interpreter.PostFinished();
    Check(sink.events == expected, "the pieces gave other events than the whole output");

    // Flushing between pieces may cut a line in two, so only the promises on each event hold.
    sink.events.clear();
    interpreter.Reset();
    at = 0;
    for (std::size_t i = 0; i < plan.pieces.size(); ++i) {
        interpreter.Feed(bytes + at, plan.pieces[i]);
        at += plan.pieces[i];
        if (plan.flushAfter[i]) {
            interpreter.Flush();
        }
    }
    interpreter.Flush();
    interpreter.PostFinished();
    CheckEvents(sink.events);
    return 0;
}

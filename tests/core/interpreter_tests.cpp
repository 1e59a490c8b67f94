// The output interpreter line by line: which events each line posts, the finished event, a new run,
// failures inside a piece, the line observer, and the allocations it makes.
#include "runner/interpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/texts.h"
#include "common/recorded_event.h"
#include "common/utf16_bytes.h"
#include "core/collecting_sink.h"

// Counts heap allocations while a test asks for it, to hold the interpreter to its promise of no
// allocation per line on the common path. One replacement serves the whole test program.
namespace {
std::atomic<bool> gCountAllocations{false};
std::atomic<long> gAllocations{0};
} // namespace

// GCC pairs the inlined free() below with the replaced operator new and warns
// of a mismatch that is not there: both sides are this file's malloc/free.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (gCountAllocations.load(std::memory_order_relaxed)) {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

using namespace kestro;
using namespace kestro::testing;

namespace {

void Feed(OutputInterpreter& interpreter, const Bytes& bytes) {
    interpreter.Feed(bytes.data(), bytes.size());
}

// The UTF-16LE form of one line with its line end, as the tool writes it.
Events EventsOfLine(std::u16string_view line) {
    CollectingSink sink;
    OutputInterpreter interpreter(sink);
    std::u16string text(line);
    text += u"\r\n";
    Feed(interpreter, Le(text));
    return sink.events;
}

} // namespace

TEST(WholeNumber, ReadsSignedDecimalAndHexadecimalForms) {
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"45", 45},
        {"+45", 45},
        {"-45", -45},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", 0},
        {"-2147483649", 0},
        {"99999999999999999999", 0},
        {"$1F", 31},
        {"x1f", 31},
        {"X10", 16},
        {"0x10", 16},
        {"0X10", 16},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"$80000000", -2147483647 - 1},
        {"-$FFFFFFFF", 1},
        {"$123456789", 0},
        {"$", 0},
        {"0x", 0},
        {"$G", 0},
        {"", 0},
        {"-", 0},
        {"4 5", 0},
        {"45a", 0},
        {"1e3", 0},
        {"--4", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WholeNumber(c.text), c.value) << '"' << c.text << '"';
    }
}

namespace {

struct LineCase {
    std::u16string line;
    Events events;
};

// Single lines of the tool's output, each with the events it posts.
std::vector<LineCase> SingleLineCases() {
    const std::string file = "E:\\out\\Recovery_1\\a.txt";
    return {
        {u"Scanning disk: 45%", {Scanning(450)}},
        {u"Scanning disk: 0%", {Scanning(0)}},
        {u"Scanning disk: 10%  11%", {Scanning(110), Progress(110)}},
        {u"Scanning disk: $1F%", {Scanning(310)}},
        {u"Scanning disk: -5%", {}},
        // The phrase is found in any letter case, the number only after the exact marker.
        {u"SCANNING DISK: 45%", {Scanning(0)}},
        {u"Scanning disk: 45", {Scanning(0)}},
        {u"50%", {Progress(500)}},
        {u"100%", {Progress(1000)}},
        {u"  7 % ", {Progress(70)}},
        {u"150%", {}},
        {u"0%", {}},
        {u"-5%", {}},
        {u"45%\b\b\b46%", {Progress(460)}},
        {u"Progress: 100%", {Saying(EventKind::Completed)}},
        {u"progress: 100% done", {Saying(EventKind::Completed)}},
        {u"Pass 2: Recovering files", {RecoveringPassStarted()}},
        {u"Pass 2: Recovering files 30%", {RecoveringPassStarted()}},
        {u"Pass 2: Recovering files, 30% 40%", {RecoveringPassStarted(), Progress(400)}},
        {u"No recoverable files were found with this mode.", {Saying(EventKind::NothingFound)}},
        {u"No recoverable files were found with this mode", {}},
        {u"DESTINATION DISK IS FULL", {Saying(EventKind::DestinationFull)}},
        {u"Destination disk is full: (r)etry, (s)kip, or (a)bort", {Saying(EventKind::DestinationFull)}},
        {u"File exists. (o)verwrite, (s)kip, or (A)bort", {Saying(EventKind::AbortPrompt)}},
        {u"Winfr requires admin privileges to run.", {Saying(EventKind::NeedsAdmin)}},
        {u"Files recovered: 25, total files: 100, current filename: E:\\out\\Recovery_1\\a.txt",
         {Recovering(250, file, 100)}},
        {u"Files recovered: 0, total files: 100, 50%", {}},
        {u"files recovered: 25, total files: 100, current filename: x, 50%", {}},
        {u"Files recovered: 25, total files: 0, current filename: x", {}},
        {u"Files recovered: 25, total files: 100", {}},
        {u"Files recovered: 2000000, total files: 3000000, current filename: b", {Recovering(666, "b", 3000000)}},
        {u"Files recovered: -5, total files: 100, current filename: c", {Recovering(std::nullopt, "c", 100)}},
        {u"Files recovered: 1, total files: 3000, current filename: d", {}},
        // A file name longer than a record keeps inside it arrives whole.
        {u"Files recovered: 5, total files: 10, current filename: " + std::u16string(300, u'y') + u"\\z.txt",
         {Recovering(500, std::string(300, 'y') + "\\z.txt", 10)}},
        {u" \t ", {}},
        // Phrases among other text, in mixed case, after characters beyond ASCII, at the very end.
        {u"ppProGress: 100%", {Saying(EventKind::Completed)}},
        {u"\u00C9t\u00E9 pass 2: RECOVERING FILES", {RecoveringPassStarted()}},
        {u"x pa", {}},
        {u"or (a)bor", {}},
        {u"The destination disk is full", {Saying(EventKind::DestinationFull)}},
        // The number between the last two percent signs.
        {u"1% 2% 3%", {Progress(30)}},
        {u"%50%", {Progress(500)}},
        {u"50%%", {}},
        {u"%", {}},
    };
}

} // namespace

TEST(OutputInterpreter, RulesOnSingleLines) {
    for (const LineCase& c : SingleLineCases()) {
        EXPECT_EQ(EventsOfLine(c.line), c.events) << std::string(c.line.begin(), c.line.end());
    }
}

TEST(OutputInterpreter, NoLineGoesPastTheFullBar) {
    // 32-bit arithmetic could wrap a huge number back into the bar's range; it is kept to a full
    // bar instead.
    const struct {
        std::u16string line;
        Events events;
    } cases[] = {
        {u"Scanning disk: 200%", {Scanning(1000)}},
        {u"Scanning disk: 429496730%", {Scanning(1000)}},
        {u"429496730%", {}},
        {u"Files recovered: 200, total files: 100, current filename: e", {Recovering(1000, "e", 100)}},
        {u"Files recovered: 2147483647, total files: 1, current filename: f", {Recovering(1000, "f", 1)}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EventsOfLine(c.line), c.events) << std::string(c.line.begin(), c.line.end());
    }
}

TEST(OutputInterpreter, ProgressSeenDecidesTheFinishedCode) {
    const struct {
        std::u16string output;
        bool seen;
    } cases[] = {
        {u"Scanning disk: 1%\r\n", true},
        {u"Scanning disk: 0%\r\n", false},
        {u"Progress: 100%\r\n", true},
        {u"20%\r\n", true},
        {u"Pass 2: Recovering files\r\nFiles recovered: 1, total files: 2, current filename: a\r\n", false},
        {u"No recoverable files were found with this mode.\r\n", false},
        {u"", false},
    };
    for (const auto& c : cases) {
        CollectingSink sink;
        OutputInterpreter interpreter(sink);
        Feed(interpreter, Le(c.output));
        interpreter.Flush();
        EXPECT_EQ(interpreter.ProgressSeen(), c.seen);
        interpreter.PostFinished();
        ASSERT_FALSE(sink.events.empty());
        EXPECT_EQ(sink.events.back(), Finished(c.seen));
    }
}

TEST(OutputInterpreter, TheFinishedEventCarriesTheToolsExitCode) {
    for (const std::uint32_t code : {0u, 5u, 0xC0000005u}) {
        CollectingSink sink;
        OutputInterpreter interpreter(sink);
        Feed(interpreter, Le(u"Scanning disk: 40%\r\n"));
        interpreter.PostFinished(code);
        ASSERT_EQ(sink.events.size(), 2u);
        EXPECT_EQ(sink.events.back(), (Finished(true)));
        EXPECT_EQ(sink.exitCodes.back(), code);
        EXPECT_EQ(sink.exitCodes.front(), 0u) << "progress events carry none";
    }
}

TEST(OutputInterpreter, ResetStartsANewRun) {
    CollectingSink sink;
    OutputInterpreter interpreter(sink);
    Feed(interpreter, Le(u"Scanning disk: 50%\r\nFiles recovered: 1, total files: 2, current filename: a\r\nhalf"));
    EXPECT_EQ(interpreter.LastPermille(), 500);
    EXPECT_TRUE(interpreter.ProgressSeen());

    interpreter.Reset();
    EXPECT_EQ(interpreter.LastPermille(), 0);
    EXPECT_FALSE(interpreter.ProgressSeen());
    sink.events.clear();
    // The same ratio posts again in the new run; nothing of the old run's half line is left, and
    // the new run may choose another encoding.
    const std::string again = "Files recovered: 1, total files: 2, current filename: a\n";
    interpreter.Feed(reinterpret_cast<const unsigned char*>(again.data()), again.size());
    interpreter.Flush();
    EXPECT_EQ(sink.events, (Events{Recovering(500, "a", 2)}));
}

TEST(OutputInterpreter, FlushActsOnAPromptWithoutLineEnd) {
    CollectingSink sink;
    OutputInterpreter interpreter(sink);
    Feed(interpreter, Le(u"Destination disk is full. (r)etry, (s)kip, or (a)bort: "));
    EXPECT_TRUE(sink.events.empty());
    interpreter.Flush();
    EXPECT_EQ(sink.events, (Events{Saying(EventKind::DestinationFull)}));
    interpreter.Flush();
    EXPECT_EQ(sink.events.size(), 1u) << "the prompt acts once";
}

TEST(OutputInterpreter, AFailureDropsOnlyTheRestOfItsPiece) {
    CollectingSink sink;
    sink.throwOnPost = 0;
    OutputInterpreter interpreter(sink);
    // An odd-sized piece: the failure must not cost the alignment of the UTF-16 that follows.
    Bytes first = Le(u"50%\r\n60%\r\n70%\r\n8");
    first.pop_back();
    EXPECT_NO_THROW(Feed(interpreter, first));
    EXPECT_TRUE(sink.events.empty()) << "the lines after the failing one in the same piece are dropped";
    const Bytes second = Le(u"80%\r\n90%\r\n");
    interpreter.Feed(second.data() + 1, second.size() - 1);
    EXPECT_EQ(sink.events, (Events{Progress(800), Progress(900)}));

    // A narrow decoder that throws costs neither its line (the built-in conversion steps in) nor
    // the rest of the piece.
    CollectingSink narrowSink;
    OutputInterpreter narrow(narrowSink);
    narrow.SetNarrowDecoder([](std::string_view) -> std::string { throw std::runtime_error("no code page"); });
    const std::string text = "50% caf\xE9\r\n60%\r\n";
    narrow.Feed(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    EXPECT_EQ(narrowSink.events, (Events{Progress(500), Progress(600)}));
}

// The run's log hears every decoded line, also those that post nothing and the carried last one;
// an observer that fails changes nothing.
TEST(OutputInterpreter, TheLineObserverHearsEveryLineInOrder) {
    CollectingSink sink;
    OutputInterpreter interpreter(sink);
    std::vector<std::string> heard;
    interpreter.SetLineObserver([&](std::string_view line) {
        heard.emplace_back(line);
        if (line == "boom") {
            throw std::runtime_error("log full");
        }
    });
    Feed(interpreter,
         Le(u"Windows File Recovery\r\n50%\r\n60%\r\nboom\r\n70%\r\n\u0424\u043e\u0442\u043e.jpg\r\nOverwrite a.jpg? "
            u"(o)verwrite, (s)kip, or (a)bort: "));
    interpreter.Flush();
    EXPECT_EQ(heard, (std::vector<std::string>{"Windows File Recovery", "50%", "60%", "boom", "70%",
                                               "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE.jpg",
                                               "Overwrite a.jpg? (o)verwrite, (s)kip, or (a)bort: "}));
    EXPECT_EQ(sink.events, (Events{Progress(500), Progress(600), Progress(700), Saying(EventKind::AbortPrompt)}));

    heard.clear();
    interpreter.SetLineObserver(nullptr);
    Feed(interpreter, Le(u"80%\r\n"));
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(sink.events.back(), Progress(800));
}

TEST(OutputInterpreter, InterpretsLinesWithoutAllocatingUnlessItPosts) {
    CollectingSink sink;
    sink.events.reserve(16);
    OutputInterpreter interpreter(sink);
    std::u16string text;
    text +=
        u"Files recovered: 1, total files: 1000000, current filename: "
        u"E:\\out\\Recovery_20240105_101500\\Users\\Me\\Documents\\\u043E\u0442\u0447\u0451\u0442 \U0001F600.docx\r\n";
    for (int i = 2; i < 200; ++i) {
        text += u"Files recovered: " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) +
                u", total files: 1000000, current filename: "
                u"E:\\out\\Recovery_20240105_101500\\Users\\Me\\Documents\\\u043E\u0442\u0447\u0451\u0442 long file "
                u"name.docx\r\n";
        text += u"Sector count: 0x00000000076e0000 \u2500\u2500\u2500\r\n";
    }
    const Bytes bytes = Le(text);
    Feed(interpreter, Le(u"warm up the buffers\r\n"));
    Feed(interpreter, bytes); // first pass grows the line buffers once
    interpreter.Reset();
    sink.events.clear();

    gAllocations = 0;
    gCountAllocations = true;
    for (std::size_t at = 0; at < bytes.size(); at += 97) {
        interpreter.Feed(bytes.data() + at, std::min<std::size_t>(97, bytes.size() - at));
    }
    gCountAllocations = false;
    // None of these lines posts: fewer than 1000 of 1000000 files is 0 per mille.
    ASSERT_EQ(sink.events.size(), 0u);
    EXPECT_EQ(gAllocations.load(), 0);

    const std::string plain = "Scanning disk: x\nFiles recovered: 3, total files: 0, current filename: y\n";
    interpreter.Reset();
    interpreter.Feed(reinterpret_cast<const unsigned char*>(plain.data()), plain.size());
    // A line with a lone LF waits for a few bytes of the next one (they tell its encoding).
    interpreter.Feed(reinterpret_cast<const unsigned char*>(plain.data()) + 17, plain.size() - 17);
    sink.events.clear();
    gAllocations = 0;
    gCountAllocations = true;
    for (int i = 0; i < 50; ++i) {
        interpreter.Feed(reinterpret_cast<const unsigned char*>(plain.data()) + 17, plain.size() - 17);
    }
    gCountAllocations = false;
    EXPECT_EQ(gAllocations.load(), 0) << "8-bit lines";
}

// Each event is one allocation, its record: a file name of a usual length is kept inside it, and
// the line being read needs no room of its own, the run's first lines included.
TEST(OutputInterpreter, PostsEachEventAsOneAllocation) {
    class CountingSink : public ProgressEventSink {
    public:
        void Post(std::unique_ptr<ProgressEvent> event) override {
            files += event->currentFile.empty() ? 0 : 1;
            ++events;
        }
        int events = 0;
        int files = 0;
    };
    CountingSink sink;
    OutputInterpreter interpreter(sink);
    std::u16string text = u"Scanning disk: 5%\r\nPass 2: Recovering files\r\n";
    for (char16_t i = u'1'; i <= u'9'; ++i) {
        text += u"Files recovered: " + std::u16string(1, i) +
                u", total files: 9, current filename: E:\\out\\Recovery_20240105_101500\\Users\\"
                u"\u041C\u0430\u0440\u0438\u044F\\Documents\\Quarterly reports 2023\\"
                u"\u043E\u0442\u0447\u0451\u0442 \U0001F600 " +
                std::u16string(1, i) + u".docx\r\n";
    }
    text += u"Progress: 100%\r\n";
    const Bytes bytes = Le(text);
    gAllocations = 0;
    gCountAllocations = true;
    for (std::size_t at = 0; at < bytes.size(); at += 4096) {
        interpreter.Feed(bytes.data() + at, std::min<std::size_t>(4096, bytes.size() - at));
    }
    gCountAllocations = false;
    ASSERT_EQ(sink.events, 12);
    EXPECT_EQ(sink.files, 9);
    EXPECT_EQ(gAllocations.load(), sink.events);
}

TEST(OutputInterpreter, RecoveringEventsCarryTheFilesRecoveredSoFar) {
    // The dialog shows "R of T files" from the posted records alone, so R must travel with the
    // per-mille it produced, and only with it.
    struct Counts {
        EventKind kind;
        std::optional<std::int32_t> position;
        std::int32_t filesRecovered;
        std::int32_t totalFiles;
    };
    class RecordSink : public ProgressEventSink {
    public:
        std::vector<Counts> records;
        void Post(std::unique_ptr<ProgressEvent> event) override {
            records.push_back({event->kind, event->position, event->filesRecovered, event->totalFiles});
        }
    };
    RecordSink sink;
    OutputInterpreter interpreter(sink);
    Feed(interpreter, Le(u"Pass 2: Recovering files\r\n"
                         u"Files recovered: 1, total files: 3000, current filename: a\r\n"
                         u"Files recovered: 1204, total files: 4000, current filename: b\r\n"
                         u"Files recovered: 1204, total files: 4000, current filename: c\r\n"
                         u"Files recovered: 3999, total files: 4000, current filename: d\r\n"
                         u"Files recovered: 4000, total files: 4000, current filename: e\r\n"
                         u"Scanning disk: 50%\r\n"
                         u"Progress: 100%\r\n"));
    interpreter.PostFinished();
    const std::vector<Counts> expected = {
        {EventKind::PassStarted, 0, 0, 0},        {EventKind::Progress, 301, 1204, 4000},
        {EventKind::Progress, 999, 3999, 4000},   {EventKind::Progress, 1000, 4000, 4000},
        {EventKind::Progress, 500, 0, 0},         {EventKind::Completed, std::nullopt, 0, 0},
        {EventKind::Finished, std::nullopt, 0, 0}};
    ASSERT_EQ(sink.records.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(sink.records[i].kind, expected[i].kind) << i;
        EXPECT_EQ(sink.records[i].position, expected[i].position) << i;
        EXPECT_EQ(sink.records[i].filesRecovered, expected[i].filesRecovered) << i;
        EXPECT_EQ(sink.records[i].totalFiles, expected[i].totalFiles) << i;
    }
}

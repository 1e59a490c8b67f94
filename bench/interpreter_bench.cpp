// Throughput of the output decoder + interpreter over generated tool output, each next to a floor
// measured in the same run over the same bytes: cutting UTF-16LE output into lines and decoding it
// to UTF-8, and nothing else. On a shared machine absolute speeds drift from run to run; the ratio
// to a floor measured seconds apart does not.
//
// Besides Google Benchmark's own report, --table=FILE writes one row per figure for
// scripts/bench.sh, tab-separated: figure, value, baseline, ratio, target, holds, note.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "runner/interpreter.h"

namespace {
std::atomic<std::uint64_t> gAllocations{0};
} // namespace

// Every heap allocation of this program is counted, so the figures can show whether the
// interpreter allocates per line. GCC pairs the inlined free() below with the replaced operator
// new and warns of a mismatch that is not there: both sides are this file's malloc/free.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
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

namespace {

using kestro::OutputInterpreter;
using kestro::ProgressEvent;
using kestro::ProgressEventSink;
using Bytes = std::vector<unsigned char>;

// The pipe hands the output over in pieces of about this size (the system's default pipe buffer).
constexpr std::size_t kPieceBytes = 4096;

// Tool output as the tool writes it into a pipe: UTF-16LE without a byte-order mark.
class ToolOutput {
public:
    void Line(std::string_view utf8, std::string_view end = "\r\n") {
        Put(utf8);
        Put(end);
        ++lines_;
    }
    Bytes& Data() { return bytes_; }
    std::size_t Lines() const { return lines_; }

private:
    void Unit(unsigned unit) {
        bytes_.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes_.push_back(static_cast<unsigned char>(unit >> 8));
    }
    // The texts below are written in this file, so they are well-formed UTF-8.
    void Put(std::string_view utf8) {
        for (std::size_t i = 0; i < utf8.size();) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            unsigned cp = length == 1 ? lead : lead & (0x7Fu >> length);
            for (std::size_t k = 1; k < length; ++k) {
                cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
            }
            i += length;
            if (cp >= 0x10000) {
                Unit(0xD800 + ((cp - 0x10000) >> 10));
                Unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                Unit(cp);
            }
        }
    }

    Bytes bytes_;
    std::size_t lines_ = 0;
};

void Banner(ToolOutput& out, std::string_view destination) {
    out.Line("");
    out.Line("Windows File Recovery");
    out.Line("Copyright (c) Microsoft Corporation. All rights reserved");
    out.Line("Version:            0.1.20151.0");
    out.Line("---------------------------------------------------------------------------");
    out.Line("");
    out.Line("Source drive:       D:");
    out.Line(std::string("Destination folder: ") + std::string(destination));
    out.Line("Filter:             *.*");
    out.Line("Extension filter:   *.*");
    out.Line("Sector count:       0x000000003a385fff");
    out.Line("Cluster size:       0x00001000");
    out.Line("Sector size:        0x00000200");
    out.Line("Overwrite:          Prompt");
    out.Line("Mode:               Extensive");
    out.Line("");
    out.Line("Continue? (y/n)");
    out.Line("Pass 1: Scanning and processing disk");
}

std::string Padded(std::size_t value, std::size_t width) {
    std::string digits = std::to_string(value);
    return std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

// A deep scan that recovers a million files with long paths: the flood of files-recovered lines
// is where the program spends its time on a big disk. The real tool redraws the scan progress in
// place with a bare CR.
ToolOutput DeepScan() {
    constexpr std::size_t kFiles = 1'000'000;
    const std::string destination = "E:\\Rescue\\Recovery_20240105_101500";
    const char* const folders[] = {
        "\\Users\\Maria\\Documents\\Projects\\2023\\Quarterly reports\\Drafts and copies\\",
        "\\Users\\Maria\\Pictures\\Camera Roll\\2022\\Holiday in the mountains\\Edited\\",
        "\\ProgramData\\Vendor Application\\Cache\\Thumbnails\\Large\\Generated\\",
        "\\Users\\Public\\Videos\\Family\\Birthday party 2021\\Raw footage\\Camera 2\\",
    };
    const char* const extensions[] = {".docx", ".jpg", ".tmp", ".mp4"};
    ToolOutput out;
    Banner(out, destination);
    for (int percent = 0; percent <= 100; ++percent) {
        out.Line("Scanning disk: " + std::to_string(percent) + "%", "\r");
    }
    out.Line("");
    out.Line("Pass 2: Recovering files");
    const std::string total = std::to_string(kFiles);
    for (std::size_t i = 1; i <= kFiles; ++i) {
        out.Line("Files recovered: " + std::to_string(i) + ", total files: " + total +
                 ", current filename: " + destination + folders[i % 4] + "file_" + Padded(i, 7) + extensions[i % 4]);
    }
    out.Line("Progress: 100%");
    out.Line("");
    out.Line("View your recovered files here: " + destination);
    return out;
}

// A scan that reports every percent on a line of its own and then recovers a few files.
ToolOutput PercentScan() {
    const std::string destination = "E:\\Rescue\\Recovery_20240105_101500";
    ToolOutput out;
    Banner(out, destination);
    for (int percent = 0; percent <= 100; ++percent) {
        out.Line("Scanning disk: " + std::to_string(percent) + "%");
    }
    out.Line("");
    out.Line("Pass 2: Recovering files");
    for (int i = 1; i <= 20; ++i) {
        out.Line("Files recovered: " + std::to_string(i) + ", total files: 20, current filename: " + destination +
                 "\\Users\\Maria\\Documents\\letter_" + std::to_string(i) + ".docx");
    }
    out.Line("Progress: 100%");
    out.Line("");
    return out;
}

// File names in Cyrillic, CJK, Greek and emoji (surrogate pairs), as a recovery of a user's
// photos and documents from around the world prints them.
ToolOutput NonAsciiNames() {
    constexpr std::size_t kFiles = 100'000;
    const std::string destination = "E:\\Восстановление\\Recovery_20240105_101500";
    const char* const names[] = {
        "\\Пользователи\\Мария\\Фотографии\\Отпуск в горах\\снимок_",
        "\\ユーザー\\写真\\2023年 京都旅行\\紅葉と寺院\\写真_",
        "\\Χρήστες\\Έγγραφα\\Εργασίες\\Τριμηνιαίες αναφορές\\έκθεση_",
        "\\Users\\Zoë\\Pictures\\🎉 party 🎂\\😀 friends 👍\\photo_",
    };
    ToolOutput out;
    Banner(out, destination);
    out.Line("Pass 2: Recovering files");
    const std::string total = std::to_string(kFiles);
    for (std::size_t i = 1; i <= kFiles; ++i) {
        out.Line("Files recovered: " + std::to_string(i) + ", total files: " + total +
                 ", current filename: " + destination + names[i % 4] + Padded(i, 6) + ".jpg");
    }
    out.Line("Progress: 100%");
    out.Line("");
    return out;
}

struct Workload {
    std::string name;
    Bytes bytes;
    std::size_t lines = 0;
};

std::vector<Workload>& Workloads() {
    static std::vector<Workload> workloads;
    return workloads;
}

template <typename Feeder> void FeedInPieces(const Bytes& bytes, Feeder&& feed) {
    for (std::size_t at = 0; at < bytes.size(); at += kPieceBytes) {
        feed(bytes.data() + at, std::min(kPieceBytes, bytes.size() - at));
    }
}

// The floor: line ends found and UTF-16LE decoded to UTF-8 (surrogate pairs included), pieces
// joined where they cut a code unit, a pair or a line; each line handed to a consumer that only
// adds up its length. Any reader of the tool's output does at least this.
class FloorReader {
public:
    void Feed(const unsigned char* bytes, std::size_t count) {
        std::size_t i = 0;
        if (haveOdd_ && count > 0) {
            haveOdd_ = false;
            Unit(odd_ | (static_cast<unsigned>(bytes[0]) << 8));
            i = 1;
        }
        for (; i + 1 < count; i += 2) {
            Unit(bytes[i] | (static_cast<unsigned>(bytes[i + 1]) << 8));
        }
        if (i < count) {
            odd_ = bytes[i];
            haveOdd_ = true;
        }
    }
    void Flush() { EndLine(); }
    std::size_t Consumed() const { return consumed_; }

private:
    void Unit(unsigned unit) {
        if (high_ != 0) {
            const unsigned high = high_;
            high_ = 0;
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                Put(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
                return;
            }
            Put(0xFFFD);
        }
        if (unit == '\r' || unit == '\n') {
            EndLine();
        } else if (unit >= 0xD800 && unit <= 0xDBFF) {
            high_ = unit;
        } else {
            Put(unit);
        }
    }
    void Put(unsigned cp) {
        if (cp < 0x80) {
            line_.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            line_.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            line_.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            line_.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            line_.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            line_.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            line_.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            line_.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            line_.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            line_.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    void EndLine() {
        if (!line_.empty()) {
            consumed_ += line_.size();
            benchmark::DoNotOptimize(line_.data());
            line_.clear();
        }
    }

    std::string line_;
    std::size_t consumed_ = 0;
    unsigned high_ = 0;
    unsigned char odd_ = 0;
    bool haveOdd_ = false;
};

// Receives the events as the Scanning dialog does: takes the record and frees it.
class CountingSink : public ProgressEventSink {
public:
    void Post(std::unique_ptr<ProgressEvent> event) override {
        benchmark::DoNotOptimize(event->position);
        ++events;
    }
    std::uint64_t events = 0;
};

void BM_Floor(benchmark::State& state, const Workload* w) {
    for (auto _ : state) {
        FloorReader reader;
        FeedInPieces(w->bytes, [&](const unsigned char* p, std::size_t n) { reader.Feed(p, n); });
        reader.Flush();
        benchmark::DoNotOptimize(reader.Consumed());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(w->bytes.size()));
}

void BM_Interpreter(benchmark::State& state, const Workload* w) {
    CountingSink sink;
    OutputInterpreter interpreter(sink);
    std::uint64_t allocations = 0;
    std::uint64_t events = 0;
    for (auto _ : state) {
        interpreter.Reset();
        sink.events = 0;
        const std::uint64_t before = gAllocations.load(std::memory_order_relaxed);
        FeedInPieces(w->bytes, [&](const unsigned char* p, std::size_t n) { interpreter.Feed(p, n); });
        interpreter.Flush();
        allocations += gAllocations.load(std::memory_order_relaxed) - before;
        events += sink.events;
    }
    const auto lines = static_cast<double>(state.iterations()) * static_cast<double>(w->lines);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(w->bytes.size()));
    state.counters["events/line"] = static_cast<double>(events) / lines;
    state.counters["allocs/line"] = static_cast<double>(allocations) / lines;
    state.counters["allocs/event"] = events > 0 ? static_cast<double>(allocations) / static_cast<double>(events) : 0;
}

// Heap allocations on the common path, counted exactly: a run already under way, where the
// files-recovered lines leave the per-mille unchanged (a thousand files per per-mille step), in
// pieces of the usual size. Nothing is posted, so nothing needs to be allocated.
double CommonPathAllocationsPerLine(std::size_t& lines) {
    ToolOutput out;
    constexpr std::size_t kTotal = 10'000'000;
    // From file 1000 on the per-mille is 0 up to 9999, then 1 from 10000: lines 1001..9999 post nothing.
    for (std::size_t i = 1001; i <= 9999; ++i) {
        out.Line("Files recovered: " + std::to_string(i) + ", total files: " + std::to_string(kTotal) +
                 ", current filename: E:\\Rescue\\Recovery_20240105_101500\\Users\\Maria\\Documents\\file_" +
                 Padded(i, 7) + ".docx");
    }
    CountingSink sink;
    OutputInterpreter interpreter(sink);
    // The first piece decides the encoding and grows the reused buffers to the line length.
    const Bytes& bytes = out.Data();
    interpreter.Feed(bytes.data(), kPieceBytes);
    const std::uint64_t before = gAllocations.load(std::memory_order_relaxed);
    for (std::size_t at = kPieceBytes; at < bytes.size(); at += kPieceBytes) {
        interpreter.Feed(bytes.data() + at, std::min(kPieceBytes, bytes.size() - at));
    }
    const std::uint64_t allocations = gAllocations.load(std::memory_order_relaxed) - before;
    lines = out.Lines();
    if (sink.events != 0) {
        return -1; // the workload is not what it claims to be
    }
    return static_cast<double>(allocations) / static_cast<double>(out.Lines());
}

// Keeps every run for the table while Google Benchmark prints its own report.
class KeepingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            // With repetitions the median stands for the figure; a single run stands for itself.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") {
                continue;
            }
            if (run.run_type == Run::RT_Iteration && run.repetitions > 1) {
                continue;
            }
            results[run.run_name.function_name] = run;
        }
    }
    std::map<std::string, Run> results;
};

double Counter(const benchmark::BenchmarkReporter::Run& run, const char* name) {
    const auto it = run.counters.find(name);
    return it == run.counters.end() ? 0.0 : static_cast<double>(it->second);
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", decimals, value);
    return text;
}

void Row(std::FILE* table, const std::string& figure, const std::string& value, const std::string& baseline,
         const std::string& ratio, const std::string& target, const std::string& holds, const std::string& note) {
    std::fprintf(table, "%s\t%s\t%s\t%s\t%s\t%s\t%s\n", figure.c_str(), value.c_str(), baseline.c_str(), ratio.c_str(),
                 target.c_str(), holds.c_str(), note.c_str());
}

void WriteTable(std::FILE* table, const KeepingReporter& reporter) {
    constexpr double kMB = 1e6;
    constexpr double kFloorShare = 0.5;
    constexpr double kAllocationsPerEvent = 1; // the record itself
    for (const Workload& w : Workloads()) {
        const auto floor = reporter.results.find("Floor/" + w.name);
        const auto interp = reporter.results.find("Interpreter/" + w.name);
        if (floor == reporter.results.end() || interp == reporter.results.end()) {
            continue;
        }
        const double floorRate = Counter(floor->second, "bytes_per_second") / kMB;
        const double rate = Counter(interp->second, "bytes_per_second") / kMB;
        const double ratio = floorRate > 0 ? rate / floorRate : 0;
        const double bytes = static_cast<double>(w.bytes.size());
        const std::string size = (bytes >= kMB ? Fixed(bytes / kMB, 1) + " MB, " : Fixed(bytes / 1e3, 1) + " KB, ") +
                                 std::to_string(w.lines) + " lines of UTF-16LE in 4 KB pieces";
        Row(table, "Interpreter throughput, " + w.name, Fixed(rate, 0) + " MB/s",
            "floor " + Fixed(floorRate, 0) + " MB/s", Fixed(ratio, 2), ">= " + Fixed(kFloorShare, 1),
            ratio >= kFloorShare ? "yes" : "no",
            ratio >= kFloorShare ? size : size + "; slower than half the floor on this run");
        Row(table, "Events per line, " + w.name, Fixed(Counter(interp->second, "events/line"), 4), "-", "-", "-", "-",
            "information");
        const double perEvent = Counter(interp->second, "allocs/event");
        Row(table, "Allocations per event, " + w.name, Fixed(perEvent, 4), "-", "-",
            "<= " + Fixed(kAllocationsPerEvent, 0) + " (the record)",
            perEvent <= kAllocationsPerEvent + 1e-9 ? "yes" : "no",
            Fixed(Counter(interp->second, "allocs/line"), 4) + " per line");
    }
    std::size_t lines = 0;
    const double common = CommonPathAllocationsPerLine(lines);
    Row(table, "Allocations per line, common path", common < 0 ? "invalid" : Fixed(common, 4), "-", "-", "0",
        common == 0 ? "yes" : "no", std::to_string(lines) + " files-recovered lines that post nothing, 4 KB pieces");
}

} // namespace

int main(int argc, char** argv) {
    std::string tablePath;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--table=")) {
            tablePath = std::string(arg.substr(8));
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
        return 1;
    }

    auto add = [](std::string name, ToolOutput out) {
        Workload w;
        w.name = std::move(name);
        w.lines = out.Lines();
        w.bytes = std::move(out.Data());
        Workloads().push_back(std::move(w));
    };
    add("deep scan, 1000000 files", DeepScan());
    add("progress line per percent", PercentScan());
    add("non-ASCII names", NonAsciiNames());
    for (const Workload& w : Workloads()) {
        // The floor and the interpreter run one after the other, so both see the same machine.
        benchmark::RegisterBenchmark(("Floor/" + w.name).c_str(), BM_Floor, &w)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(3)
            ->ReportAggregatesOnly(true);
        benchmark::RegisterBenchmark(("Interpreter/" + w.name).c_str(), BM_Interpreter, &w)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(3)
            ->ReportAggregatesOnly(true);
    }

    KeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    if (!tablePath.empty()) {
        std::FILE* table = std::fopen(tablePath.c_str(), "w");
        if (table == nullptr) {
            std::fprintf(stderr, "cannot write %s\n", tablePath.c_str());
            return 1;
        }
        WriteTable(table, reporter);
        std::fclose(table);
    }
    return 0;
}

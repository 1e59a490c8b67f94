// Golden transcripts: whole runs of tool output (tests/data/transcripts) with the events the output
// interpreter must post for them, whole, byte by byte and in random pieces.
#include "runner/interpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/recorded_event.h"
#include "common/utf16_bytes.h"
#include "core/collecting_sink.h"

using namespace kestro;
using namespace kestro::testing;

namespace {

std::u16string Utf16Of(std::string_view utf8) {
    std::u16string units;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i++]);
        const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        char32_t cp = lead & (0x7Fu >> more);
        for (int k = 0; k < more && i < utf8.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i++]) & 0x3Fu);
        }
        if (cp >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp));
        }
    }
    return units;
}

struct Transcript {
    Bytes bytes;
    Events events;
};

void PutUnit(unsigned unit, Bytes& out) {
    out.push_back(static_cast<unsigned char>(unit & 0xFF));
    out.push_back(static_cast<unsigned char>(unit >> 8));
}

// One output line of a transcript file (UTF-8 with <...> tokens) in the transcript's encoding.
void EncodeLine(std::string_view line, bool utf16, std::string_view lineEnd, Bytes& out) {
    if (line.starts_with("<8BIT>")) {
        // A line of 8-bit text among the tool's UTF-16 output.
        line.remove_prefix(6);
        utf16 = false;
    }
    if (line.ends_with("<NOEOL>")) {
        line.remove_suffix(7);
        lineEnd = {};
    }
    const std::pair<std::string_view, char> controls[] = {
        {"<CR>", '\r'}, {"<LF>", '\n'}, {"<BS>", '\b'}, {"<NUL>", '\0'}};
    std::string text; // UTF-8, or the raw bytes of an 8-bit transcript
    for (std::size_t i = 0; i < line.size();) {
        const std::string_view rest = line.substr(i);
        const auto control = std::find_if(std::begin(controls), std::end(controls),
                                          [&](const auto& c) { return rest.starts_with(c.first); });
        if (control != std::end(controls)) {
            text.push_back(control->second);
            i += control->first.size();
        } else if (utf16 && rest.starts_with("<U+") && rest.size() >= 8 && rest[7] == '>') {
            // A code unit as it is, lone surrogates included: flush the text before it.
            for (const char16_t unit : Utf16Of(text)) {
                PutUnit(unit, out);
            }
            text.clear();
            PutUnit(static_cast<unsigned>(std::stoul(std::string(rest.substr(3, 4)), nullptr, 16)), out);
            i += 8;
        } else if (!utf16 && rest.starts_with("<x") && rest.size() >= 5 && rest[4] == '>') {
            text.push_back(static_cast<char>(std::stoul(std::string(rest.substr(2, 2)), nullptr, 16)));
            i += 5;
        } else {
            text.push_back(line[i++]);
        }
    }
    text.append(lineEnd);
    if (utf16) {
        for (const char16_t unit : Utf16Of(text)) {
            PutUnit(unit, out);
        }
    } else {
        out.insert(out.end(), text.begin(), text.end());
    }
}

std::filesystem::path TranscriptFolder() {
    return std::filesystem::path(KESTRO_TEST_DATA) / "transcripts";
}

Transcript LoadTranscript(const std::string& name) {
    std::ifstream file(TranscriptFolder() / (name + ".transcript"), std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot open transcript " + name);
    }
    Transcript t;
    enum { Head, Output, Tail } part = Head;
    bool utf16 = true;
    std::string lineEnd = "\r\n";
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (part == Output) {
            if (line == "events:") {
                part = Tail;
            } else {
                EncodeLine(line, utf16, lineEnd, t.bytes);
            }
            continue;
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (part == Tail) {
            t.events.push_back(ParseRecordedEvent(line));
        } else if (line == "output:") {
            part = Output;
        } else if (line == "encoding utf16le" || line == "encoding utf16le-bom") {
            if (line.ends_with("-bom")) {
                t.bytes = {0xFF, 0xFE};
            }
        } else if (line == "encoding narrow") {
            utf16 = false;
        } else if (line.starts_with("lineend ")) {
            const std::string kind = line.substr(8);
            lineEnd = kind == "lf" ? "\n" : kind == "cr" ? "\r" : "\r\n";
        } else {
            throw std::runtime_error("unknown transcript header: " + line);
        }
    }
    if (part != Tail) {
        throw std::runtime_error("transcript without events: " + name);
    }
    return t;
}

std::vector<std::string> TranscriptNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(TranscriptFolder(), ec)) {
        if (entry.path().extension() == ".transcript") {
            names.push_back(entry.path().stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

Events Play(const Bytes& bytes, const std::vector<std::size_t>& pieces) {
    CollectingSink sink;
    OutputInterpreter interpreter(sink);
    std::size_t at = 0;
    for (const std::size_t n : pieces) {
        interpreter.Feed(bytes.data() + at, n);
        at += n;
    }
    interpreter.Flush();
    interpreter.PostFinished();
    return sink.events;
}

std::vector<std::size_t> RandomPieces(std::size_t total, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> size(0, seed % 2 ? 9 : 70);
    std::vector<std::size_t> pieces;
    for (std::size_t left = total; left > 0;) {
        const std::size_t n = std::min(size(random), left);
        pieces.push_back(n);
        left -= n;
    }
    return pieces;
}

class GoldenTranscript : public ::testing::TestWithParam<std::string> {};

} // namespace

TEST(GoldenTranscripts, AreThere) {
    EXPECT_GE(TranscriptNames().size(), 10u) << TranscriptFolder();
}

TEST_P(GoldenTranscript, GivesTheSameEventsWhateverThePieces) {
    const Transcript t = LoadTranscript(GetParam());
    EXPECT_EQ(Play(t.bytes, {t.bytes.size()}), t.events) << "whole";
    EXPECT_EQ(Play(t.bytes, std::vector<std::size_t>(t.bytes.size(), 1)), t.events) << "byte by byte";
    for (unsigned seed = 1; seed <= 6; ++seed) {
        EXPECT_EQ(Play(t.bytes, RandomPieces(t.bytes.size(), seed)), t.events) << "pieces, seed " << seed;
    }
}

INSTANTIATE_TEST_SUITE_P(Transcripts, GoldenTranscript, ::testing::ValuesIn(TranscriptNames()),
                         [](const ::testing::TestParamInfo<std::string>& param) { return param.param; });

#include "runner/decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kestro;
using namespace std::string_literals;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Le(std::u16string_view text) {
    Bytes bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

Bytes Raw(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Lines : public LineReceiver {
public:
    std::vector<std::string> lines;
    void Line(std::string_view line) override { lines.emplace_back(line); }
};

std::vector<std::string> DecodeWhole(const Bytes& bytes, OutputDecoder& decoder) {
    Lines out;
    decoder.Feed(bytes.data(), bytes.size(), out);
    decoder.Flush(out);
    return out.lines;
}

std::vector<std::string> DecodeWhole(const Bytes& bytes) {
    OutputDecoder decoder;
    return DecodeWhole(bytes, decoder);
}

std::vector<std::string> DecodeInPieces(const Bytes& bytes, std::mt19937& random, std::size_t maxPiece) {
    OutputDecoder decoder;
    Lines out;
    std::uniform_int_distribution<std::size_t> size(1, maxPiece);
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t n = std::min(size(random), bytes.size() - at);
        decoder.Feed(bytes.data() + at, n, out);
        at += n;
    }
    decoder.Flush(out);
    return out.lines;
}

using V = std::vector<std::string>;

} // namespace

TEST(OutputDecoder, SettlesTheEncodingOnceFromTheFirstBytes) {
    struct Case {
        const char* what;
        Bytes bytes;
        OutputEncoding encoding;
        V lines;
    };
    const Case cases[] = {
        {"zero bytes 1 and 3", Le(u"ab\r\ncd"), OutputEncoding::Utf16Le, {"ab", "cd"}},
        {"BOM, skipped", Cat({0xFF, 0xFE}, Le(u"\u2500x")), OutputEncoding::Utf16Le, {"\u2500x"}},
        {"BOM alone", {0xFF, 0xFE}, OutputEncoding::Utf16Le, {}},
        {"8-bit", Raw("abcd\nef"), OutputEncoding::Narrow, {"abcd", "ef"}},
        {"UTF-8 BOM, skipped", Raw("\xEF\xBB\xBFok"), OutputEncoding::Narrow, {"ok"}},
        {"only byte 1 zero", {'a', 0, 'b', 'c'}, OutputEncoding::Narrow, {"abc"}},
        {"three bytes", {'a', 0, 'b'}, OutputEncoding::Narrow, {"ab"}},
        // Without a BOM, UTF-16 text is only recognised when it starts with two ASCII characters.
        {"non-ASCII first", Le(u"\u2500\u2500ab"), OutputEncoding::Narrow, {"%%ab"}},
    };
    for (const auto& c : cases) {
        OutputDecoder decoder;
        EXPECT_EQ(DecodeWhole(c.bytes, decoder), c.lines) << c.what;
        EXPECT_EQ(decoder.Encoding(), c.encoding) << c.what;
    }
}

TEST(OutputDecoder, DecodesUtf16ToUtf8) {
    struct Case {
        const char* what;
        std::u16string text;
        V lines;
    };
    const Case cases[] = {
        {"Cyrillic and CJK",
         u"ab\u043E\u0442\u0447\u0451\u0442 \u62A5\u544A",
         {"ab\u043E\u0442\u0447\u0451\u0442 \u62A5\u544A"}},
        {"surrogate pair", u"ab\U0001F600!", {"ab\U0001F600!"}},
        {"zero low byte keeps the rest",
         u"ab\u2500\u2500 Progress: 100%\r\nnext",
         {"ab\u2500\u2500 Progress: 100%", "next"}},
        {"high surrogate without low", u"ab\xD83Dx", {"ab\uFFFDx"}},
        {"high surrogate before line end", u"ab\xD83D\r\ncd", {"ab\uFFFD", "cd"}},
        {"two high surrogates then low", u"ab\xD83D\xD83D\xDE00", {"ab\uFFFD\U0001F600"}},
        {"low surrogate alone", u"ab\xDE00y", {"ab\uFFFDy"}},
        {"backspaces dropped", u"ab45%\b\b\b46%", {"ab45%46%"}},
        {"NUL dropped, not an end", u"ab\0cd\0\r\nef"s, {"abcd", "ef"}},
        {"CR, LF and CR LF end lines; empty lines skipped", u"ab\rcd\nef\r\n\r\n\n\rgh", {"ab", "cd", "ef", "gh"}},
        {"a line of NULs and backspaces is empty", u"ab\n\0\b\0\nc"s, {"ab", "c"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeWhole(Le(c.text)), c.lines) << c.what;
    }
}

TEST(OutputDecoder, Reads8BitOutputAsUtf8OrWindows1252) {
    struct Case {
        const char* what;
        std::string bytes;
        V lines;
    };
    const Case cases[] = {
        {"valid UTF-8 stays", "caf\xC3\xA9 \xE2\x94\x80 \xF0\x9F\x98\x80", {"caf\u00E9 \u2500 \U0001F600"}},
        {"Latin-1 byte", "caf\xE9s", {"caf\u00E9s"}},
        {"Windows-1252 symbols", "\x80\x85\x99\x9F", {"\u20AC\u2026\u2122\u0178"}},
        {"unassigned 1252 bytes", "ab\x81\x8D\x9D", {"ab\u0081\u008D\u009D"}},
        {"truncated sequence", "ab\xC3", {"ab\u00C3"}},
        {"overlong form", "ab\xC0\xAF", {"ab\u00C0\u00AF"}},
        {"encoded surrogate", "ab\xED\xA0\x80", {"ab\u00ED\u00A0\u20AC"}},
        {"NUL dropped", std::string("ab\0cd\r\n", 7), {"abcd"}},
        {"backspaces stay in 8-bit text", "ab45%\b\b\b46%", {"ab45%\b\b\b46%"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeWhole(Raw(c.bytes)), c.lines) << c.what;
    }
}

TEST(OutputDecoder, InstalledNarrowDecoderConvertsNonAsciiLinesOnly) {
    OutputDecoder decoder;
    std::vector<std::string> seen;
    decoder.SetNarrowDecoder([&](std::string_view raw) {
        seen.emplace_back(raw);
        return std::string(raw.size(), '#');
    });
    EXPECT_EQ(DecodeWhole(Raw("plain\n\x82t\xE9\n"), decoder), (V{"plain", "###"}));
    EXPECT_EQ(seen, V{"\x82t\xE9"});

    // A decoder that fails costs nothing: the built-in conversion takes over for that line.
    decoder.Reset();
    decoder.SetNarrowDecoder([](std::string_view) -> std::string { throw std::runtime_error("no code page"); });
    EXPECT_EQ(DecodeWhole(Raw("ab\xE9\nnext\n"), decoder), (V{"ab\u00E9", "next"}));

    decoder.Reset();
    decoder.SetNarrowDecoder({});
    EXPECT_EQ(DecodeWhole(Raw("ab\xE9\n"), decoder), V{"ab\u00E9"});
}

TEST(OutputDecoder, FlushHandsOverTheCarriedLineButKeepsAHalfCharacter) {
    OutputDecoder decoder;
    Lines out;
    const Bytes text = Le(u"Prompt \U0001F600 or (a)bort: ");
    // Up to and including the first byte of the high surrogate.
    const std::size_t cut = 2 * 7 + 1;
    decoder.Feed(text.data(), cut, out);
    decoder.Flush(out);
    EXPECT_EQ(out.lines, V{"Prompt "});
    decoder.Feed(text.data() + cut, 2, out); // the rest of the high surrogate
    decoder.Flush(out);
    EXPECT_EQ(out.lines.size(), 1u) << "a lone high surrogate is not a line yet";
    decoder.Feed(text.data() + cut + 2, text.size() - cut - 2, out);
    decoder.Flush(out);
    EXPECT_EQ(out.lines, (V{"Prompt ", "\U0001F600 or (a)bort: "}));
    decoder.Flush(out);
    EXPECT_EQ(out.lines.size(), 2u) << "a flushed line is not handed over twice";
}

TEST(OutputDecoder, FlushSettlesAnOpenEncodingWithTheBytesThereAre) {
    struct Case {
        Bytes bytes;
        OutputEncoding encoding;
        V lines;
    };
    const Case cases[] = {
        {{'o', 'k'}, OutputEncoding::Narrow, {"ok"}},
        {{'a', 0, 'b'}, OutputEncoding::Narrow, {"ab"}},
        {{0xFF, 0xFE, 'a'}, OutputEncoding::Utf16Le, {}},
        {{0xEF, 0xBB, 0xBF}, OutputEncoding::Narrow, {}},
        {{}, OutputEncoding::Undecided, {}},
    };
    for (const auto& c : cases) {
        OutputDecoder decoder;
        EXPECT_EQ(DecodeWhole(c.bytes, decoder), c.lines);
        EXPECT_EQ(decoder.Encoding(), c.encoding);
    }
}

TEST(OutputDecoder, GivesTheSameLinesWhateverThePieceSizes) {
    // Random text made of the awkward parts: surrogate halves, line ends, NULs, backspaces.
    const char16_t alphabet[] = {u'a', u'%', u' ', u'\r', u'\n', u'\0', u'\b', 0x2500, 0x00E9, 0xD83D, 0xDE00, 0x0100};
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<std::size_t> pick(0, std::size(alphabet) - 1);
        std::u16string text = u"ab";
        for (int i = 0; i < 400; ++i) {
            text.push_back(alphabet[pick(random)]);
        }
        const Bytes bytes = Le(text);
        const V whole = DecodeWhole(bytes);
        EXPECT_EQ(DecodeInPieces(bytes, random, 1), whole) << "seed " << seed;
        EXPECT_EQ(DecodeInPieces(bytes, random, 5), whole) << "seed " << seed;
        EXPECT_EQ(DecodeInPieces(bytes, random, 64), whole) << "seed " << seed;

        std::string narrow(bytes.begin(), bytes.end());
        narrow[1] = 'x';
        const V wholeNarrow = DecodeWhole(Raw(narrow));
        EXPECT_EQ(DecodeInPieces(Raw(narrow), random, 3), wholeNarrow) << "seed " << seed;
    }
}

TEST(OutputDecoder, BoundsALineWithoutEnd) {
    constexpr std::size_t limit = OutputDecoder::kMaxLineBytes;
    std::u16string text = u"ab";
    text.append(limit + 10, u'x');
    text.append(u"\nz");
    const V lines = DecodeWhole(Le(text));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), limit);
    EXPECT_EQ(lines[1].size(), 12u);
    EXPECT_EQ(lines[2], "z");

    // A cut never splits a character.
    std::u16string wide = u"ab";
    wide.append(limit / 3 + 10, u'\u2500');
    const V wideLines = DecodeWhole(Le(wide));
    ASSERT_EQ(wideLines.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(wideLines[1][0]), 0xE2) << "the second line starts with a whole character";
    std::string joined;
    for (const auto& line : wideLines) {
        joined += line;
    }
    EXPECT_EQ(joined.size(), 2 + 3 * (limit / 3 + 10));
}

#include "runner/decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/utf16_bytes.h"

using namespace kestro;
using namespace std::string_literals;
using kestro::testing::Bytes;
using kestro::testing::Le;

namespace {

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

TEST(OutputDecoder, JudgesTheEncodingOfEachLine) {
    struct Case {
        const char* what;
        Bytes bytes;
        OutputEncoding encoding; // of the last line
        V lines;
    };
    const Case cases[] = {
        {"ASCII", Le(u"ab\r\ncd"), OutputEncoding::Utf16Le, {"ab", "cd"}},
        {"BOM, skipped", Cat({0xFF, 0xFE}, Le(u"\u2500x")), OutputEncoding::Utf16Le, {"\u2500x"}},
        {"BOM alone", {0xFF, 0xFE}, OutputEncoding::Utf16Le, {}},
        {"8-bit", Raw("abcd\nef"), OutputEncoding::Narrow, {"abcd", "ef"}},
        {"UTF-8 BOM, skipped", Raw("\xEF\xBB\xBFok"), OutputEncoding::Narrow, {"ok"}},
        {"a single zero byte", {'a', 0, 'b', 'c'}, OutputEncoding::Narrow, {"abc"}},
        {"three bytes", {'a', 0, 'b'}, OutputEncoding::Narrow, {"ab"}},
        // A run may start with characters that are not ASCII.
        {"box drawing first", Le(u"\u2500\u2500ab"), OutputEncoding::Utf16Le, {"\u2500\u2500ab"}},
        {"Cyrillic first",
         Le(u"\u0424\u043E\u0442\u043E\r\nab"),
         OutputEncoding::Utf16Le,
         {"\u0424\u043E\u0442\u043E", "ab"}},
        {"box drawing line, then names",
         Le(u"\u2500\u2500\u2500\r\n\u043E\u0442\u0447\u0451\u0442.docx\r\n"),
         OutputEncoding::Utf16Le,
         {"\u2500\u2500\u2500", "\u043E\u0442\u0447\u0451\u0442.docx"}},
        // A line of 8-bit text among UTF-16 lines, from the C runtime (CR LF) or raw (LF).
        {"8-bit line between UTF-16 lines",
         Cat(Cat(Le(u"a 40%\r\n"), Raw("Error: no access\r\n")), Le(u"b 50%\r\n")),
         OutputEncoding::Utf16Le,
         {"a 40%", "Error: no access", "b 50%"}},
        {"8-bit line of even length",
         Cat(Cat(Le(u"one\r\n"), Raw("Error!\r\n")), Le(u"two\r\n")),
         OutputEncoding::Utf16Le,
         {"one", "Error!", "two"}},
        {"8-bit line in Windows-1252",
         Cat(Raw("Caf\xE9 ferm\xE9\r\n"), Le(u"ok\r\n")),
         OutputEncoding::Utf16Le,
         {"Caf\u00E9 ferm\u00E9", "ok"}},
        {"8-bit line with a bare LF, odd",
         Cat(Le(u"one\r\n"), Cat(Raw("Error\n"), Le(u"two\r\n"))),
         OutputEncoding::Utf16Le,
         {"one", "Error", "two"}},
        {"8-bit line with a bare LF, even",
         Cat(Le(u"one\r\n"), Cat(Raw("Errors\n"), Le(u"two\r\n"))),
         OutputEncoding::Utf16Le,
         {"one", "Errors", "two"}},
        {"UTF-16 after 8-bit output",
         Cat(Raw("plain\r\nmore\r\n"), Le(u"\u043E\u0442\r\n")),
         OutputEncoding::Utf16Le,
         {"plain", "more", "\u043E\u0442"}},
    };
    for (const auto& c : cases) {
        OutputDecoder decoder;
        EXPECT_EQ(DecodeWhole(c.bytes, decoder), c.lines) << c.what;
        EXPECT_EQ(decoder.Encoding(), c.encoding) << c.what;
        std::mt19937 random(7);
        EXPECT_EQ(DecodeInPieces(c.bytes, random, 1), c.lines) << c.what << ", byte by byte";
        EXPECT_EQ(DecodeInPieces(c.bytes, random, 5), c.lines) << c.what << ", in pieces";
    }
}

// The bytes that start a line tell its encoding: more than the first four, up to its line end.
TEST(LineEncoding, IsToldByTheLineItself) {
    using E = OutputEncoding;
    struct Case {
        const char* what;
        Bytes bytes;
        E previous;
        E expected;
    };
    const Case cases[] = {
        {"ASCII", Le(u"Scanning disk: 4%\r\n"), E::Undecided, E::Utf16Le},
        {"Cyrillic", Le(u"\u0412\u043E\u0441\u0441\u0442\r\n"), E::Narrow, E::Utf16Le},
        {"box drawing", Le(u"\u2500\u2500\u2500\u2500\r\n"), E::Narrow, E::Utf16Le},
        // Characters whose low byte is LF or CR: Serbian, Chinese (U+4E0A, U+4E0D), Malayalam.
        {"Serbian Nje first", Le(u"\u040A\u0438\u0432\u0430 test\r\n"), E::Narrow, E::Utf16Le},
        {"Chinese, no ASCII", Le(u"\u4E0A\u4F20\u5B8C\u6210\r\n"), E::Narrow, E::Utf16Le},
        {"Chinese, then ASCII", Le(u"\u4E0D\u662F OK\r\n"), E::Narrow, E::Utf16Le},
        {"Chinese with LF byte after printable bytes", Le(u"\u4E2D\u4E0A\u4E00\u4E2A\r\n"), E::Narrow, E::Utf16Le},
        {"Malayalam", Le(u"\u0D2E\u0D32\u0D2F\u0D3E\u0D33\u0D02\r\n"), E::Narrow, E::Utf16Le},
        {"8-bit, CR LF", Raw("Error: no access\r\n"), E::Utf16Le, E::Narrow},
        {"8-bit, OEM Cyrillic", Raw("\x8E\xE8\xA8\xA1\xAA\xA0\r\n"), E::Utf16Le, E::Narrow},
        {"8-bit with a NUL", Raw(std::string("Scan\0ning disk: 40%\r\nand more text here to read", 46)), E::Undecided,
         E::Narrow},
        {"8-bit after 8-bit, bare LF", Raw("60%\nmore 8-bit text here"), E::Narrow, E::Narrow},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeLineEncoding(c.bytes.data(), c.bytes.size(), c.previous, true).encoding, c.expected) << c.what;
        if (c.bytes.size() >= 4) {
            EXPECT_EQ(JudgeLineEncoding(c.bytes.data(), 4, c.previous, false).encoding, E::Undecided)
                << c.what << ": four bytes are not enough";
        }
    }
    const Bytes bom = {0xFF, 0xFE, 'a', 0};
    EXPECT_EQ(JudgeLineEncoding(bom.data(), 1, E::Undecided, false).encoding, E::Undecided);
    EXPECT_EQ(JudgeLineEncoding(bom.data(), 2, E::Undecided, false).skip, 2u);
}

// A verdict given on some bytes stays the same whatever bytes follow: that is what makes the
// lines independent of the pieces the output comes in.
TEST(LineEncoding, AVerdictIsNeverTakenBackByMoreBytes) {
    // Pieces of the kinds of output the rules weigh: plain text of every length, UTF-16 with
    // ASCII, zero low bytes and line-end low bytes, line ends of both kinds, stray bytes.
    const Bytes tokens[] = {Raw("Files recovered: 12, total files: 40, current filename: "),
                            Raw("Error"),
                            Raw("caf\xE9"),
                            Raw("\r\n"),
                            Raw("\n"),
                            Raw("\r"),
                            Raw(std::string(1, '\0')),
                            Le(u"Scanning disk: 45%"),
                            Le(u"\u2500\u2500"),
                            Le(u"\u4E0A\u4E0D\u040A"),
                            Le(u"\r\n"),
                            Le(u"\r"),
                            {0xFF, 0xFE},
                            {0xEF, 0xBB, 0xBF}};
    for (unsigned seed = 1; seed <= 600; ++seed) {
        std::mt19937 random(seed);
        Bytes bytes;
        for (std::size_t n = random() % 30; n > 0; --n) {
            bytes = Cat(bytes, tokens[random() % std::size(tokens)]);
        }
        const auto previous = static_cast<OutputEncoding>(random() % 3);
        const EncodingVerdict whole = JudgeLineEncoding(bytes.data(), bytes.size(), previous, true);
        for (std::size_t n = 1; n <= bytes.size(); ++n) {
            const EncodingVerdict part = JudgeLineEncoding(bytes.data(), n, previous, false);
            if (part.encoding != OutputEncoding::Undecided) {
                ASSERT_EQ(part.encoding, whole.encoding) << "seed " << seed << ", " << n << " bytes";
                ASSERT_EQ(part.skip, whole.skip) << "seed " << seed;
            }
        }
    }
}

// A line is held until its bytes tell the encoding: a UTF-16 line and a C runtime line (CR LF)
// come out with their line end; a line of 8-bit text with a bare LF waits for a few bytes of the
// next line, and output without any line end waits for kEvidenceBytes or the flush.
TEST(OutputDecoder, HoldsALineStartOnlyUntilItsEncodingIsTold) {
    OutputDecoder decoder;
    Lines out;
    const Bytes wide = Le(u"\u043E\u0442\u0447\u0451\u0442\r\n");
    decoder.Feed(wide.data(), wide.size(), out);
    EXPECT_EQ(out.lines, V{"\u043E\u0442\u0447\u0451\u0442"});
    const std::string crlf = "Error: no access\r\n";
    decoder.Feed(reinterpret_cast<const unsigned char*>(crlf.data()), crlf.size(), out);
    EXPECT_EQ(out.lines.size(), 2u);
    const std::string lf = "next\n";
    decoder.Feed(reinterpret_cast<const unsigned char*>(lf.data()), lf.size(), out);
    EXPECT_EQ(out.lines.size(), 2u) << "a bare LF after plain text: the next bytes tell";
    const std::string more(16, 'x');
    decoder.Feed(reinterpret_cast<const unsigned char*>(more.data()), more.size(), out);
    EXPECT_EQ(out.lines.size(), 3u);

    OutputDecoder quiet;
    Lines held;
    const std::string endless(OutputDecoder::kEvidenceBytes - 1, 'y');
    quiet.Feed(reinterpret_cast<const unsigned char*>(endless.data()), endless.size(), held);
    quiet.Feed(reinterpret_cast<const unsigned char*>("z\n"), 2, held);
    EXPECT_EQ(quiet.Encoding(), OutputEncoding::Narrow) << "told once kEvidenceBytes are there";
    quiet.Flush(held);
    EXPECT_EQ(held.lines, V{endless + "z"});
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

TEST(OutputDecoder, GivesTheSameLinesWhateverThePieceSizesWhenEncodingsMix) {
    // UTF-16 lines with the awkward characters (zero and line-end low bytes) and 8-bit lines
    // between them, with every kind of line end.
    const char16_t alphabet[] = {u'a', u' ', u'%', 0x2500, 0x4E0A, 0x4E0D, 0x040A, 0x0424, 0xD83D, 0xDE00, u'\b'};
    const char* const narrowLines[] = {"Error: no access\r\n", "caf\xE9\r\n", "note\n", "notes\n", "\r\n"};
    const char16_t* const ends[] = {u"\r\n", u"\r", u"\n"};
    for (unsigned seed = 1; seed <= 30; ++seed) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<std::size_t> pick(0, std::size(alphabet) - 1);
        std::uniform_int_distribution<int> kind(0, 3);
        Bytes bytes;
        for (int line = 0; line < 40; ++line) {
            if (kind(random) == 0) {
                bytes = Cat(bytes, Raw(narrowLines[random() % std::size(narrowLines)]));
                continue;
            }
            std::u16string text;
            for (std::size_t n = random() % 12; n > 0; --n) {
                text.push_back(alphabet[pick(random)]);
            }
            text += ends[random() % std::size(ends)];
            bytes = Cat(bytes, Le(text));
        }
        const V whole = DecodeWhole(bytes);
        EXPECT_EQ(DecodeInPieces(bytes, random, 1), whole) << "seed " << seed;
        EXPECT_EQ(DecodeInPieces(bytes, random, 7), whole) << "seed " << seed;
        EXPECT_EQ(DecodeInPieces(bytes, random, 300), whole) << "seed " << seed;
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

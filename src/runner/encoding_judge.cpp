// How the encoding of each line of the tool's output is told: the rules of EncodingJudge.
#include <algorithm>
#include <optional>

#include "runner/decoder.h"

namespace kestro {

namespace {

constexpr std::size_t kEvidenceBytes = OutputDecoder::kEvidenceBytes;
// After a line of 8-bit text, the next one is taken for 8-bit as well when it is plain text with
// a lone line end and no zero byte follows within this many bytes.
constexpr std::size_t kNarrowLookahead = 16;
// This many UTF-16 units in a row made of two printable ASCII bytes each are 8-bit text: real
// UTF-16 of the tool has zero high bytes in its ASCII, and CJK text is never so regular.
constexpr std::size_t kPrintablePairs = 16;

bool IsLineEnd(unsigned b) {
    return b == '\r' || b == '\n';
}

bool IsPrintableAscii(unsigned b) {
    return b >= 0x20 && b < 0x7F;
}

// The tool's lines mostly begin with a word: ASCII characters in UTF-16 are a printable byte and
// a zero byte, and 8-bit text does not hold zero bytes, let alone every second byte.
constexpr std::size_t kAsciiUnits = 4;

bool StartsWithAsciiUnits(const unsigned char* bytes) {
    for (std::size_t k = 0; k < kAsciiUnits; ++k) {
        if (!IsPrintableAscii(bytes[2 * k]) || bytes[2 * k + 1] != 0) {
            return false;
        }
    }
    return true;
}

bool IsPlainText(const unsigned char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!IsPrintableAscii(bytes[i]) && bytes[i] != '\t' && bytes[i] != '\b') {
            return false;
        }
    }
    return count > 0;
}

} // namespace

// The rules, for the line that starts at bytes. The bytes are read one by one, as 8-bit text and
// as UTF-16 at once, and the first rule that applies decides, so that more bytes never change a
// verdict already given.
//  1. A byte order mark decides (UTF-16LE FF FE, UTF-8 EF BB BF) and is dropped.
//  2. Four ASCII characters in UTF-16 (a printable byte, then a zero byte) begin a UTF-16 line.
//     8-bit text holds no zero bytes. When a CR or LF byte comes before any zero byte, the line
//     may be 8-bit text ending there; the byte after it tells: LF after CR ends an 8-bit line
//     (the C runtime writes its line ends so); a zero byte, at an even offset, makes the CR or LF
//     a UTF-16 line end (of a line of characters none of which is ASCII). After a line of 8-bit
//     text, plain text ending in a lone CR or LF with no zero byte in the next bytes is 8-bit.
//  3. Read as UTF-16, a line that comes to its CR or LF unit is UTF-16, unless an 8-bit reading
//     ended it earlier at a lone LF after plain text, at an odd offset, with the UTF-16 line end
//     then aligned to what follows that LF: an 8-bit message ending in LF alone, then the tool's
//     UTF-16 output. Units no UTF-16 text holds (U+0A0D and U+0D0D: the bytes CR LF and CR CR)
//     and long runs of units made of two printable ASCII bytes make the line 8-bit.
//  4. When no rule applies within the bytes looked at (or before the output ends), zero bytes
//     decide: two or more, one of them at an odd offset, make UTF-16.
void EncodingJudge::Start(OutputEncoding previous) {
    *this = EncodingJudge{};
    previous_ = previous;
}

EncodingVerdict EncodingJudge::Judge(const unsigned char* bytes, std::size_t count, bool final) {
    if (count == 0) {
        return {};
    }
    // The usual line of the tool, decided at once: byte by byte, no rule applies to these bytes
    // before the one that reads them as four ASCII units.
    if (next_ == 0 && count >= kAsciiUnits * 2 && StartsWithAsciiUnits(bytes)) {
        return EncodingVerdict{OutputEncoding::Utf16Le, 0};
    }
    if (const auto mark = ByteOrderMark(bytes, count, final)) {
        return *mark;
    }
    const std::size_t limit = std::min(count, kEvidenceBytes);
    // The bytes up to next_ were read by an earlier call on the same line start.
    for (; next_ < limit; ++next_) {
        if (const auto verdict = ReadByte(bytes, next_)) {
            return *verdict;
        }
    }
    if (!final && count < kEvidenceBytes) {
        return {};
    }
    return Conclude(limit);
}

// Rule 1. An undecided verdict while the bytes so far may still be the start of a mark.
std::optional<EncodingVerdict> EncodingJudge::ByteOrderMark(const unsigned char* bytes, std::size_t count, bool final) {
    if (count >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        return EncodingVerdict{OutputEncoding::Utf16Le, 2};
    }
    if (count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        return EncodingVerdict{OutputEncoding::Narrow, 3};
    }
    const bool markMayFollow =
        (bytes[0] == 0xFF && count < 2) || (bytes[0] == 0xEF && count < 3 && (count < 2 || bytes[1] == 0xBB));
    if (!final && markMayFollow) {
        return EncodingVerdict{};
    }
    return std::nullopt;
}

// Rules 2 and 3 for the byte at i.
std::optional<EncodingVerdict> EncodingJudge::ReadByte(const unsigned char* bytes, std::size_t i) {
    if (bytes[i] == 0) {
        ++zeros_;
        oddZeros_ += i % 2;
    }
    if (const auto verdict = ReadLineEnd(bytes, i)) {
        return verdict;
    }
    if (const auto verdict = LookAhead(bytes[i], i)) {
        return verdict;
    }
    if (i == kAsciiUnits * 2 - 1 && StartsWithAsciiUnits(bytes)) {
        return EncodingVerdict{OutputEncoding::Utf16Le, 0};
    }
    return i % 2 == 1 ? ReadUnit(bytes, i) : std::nullopt;
}

// Rule 2: the first CR or LF byte before any zero byte, and the byte after it.
std::optional<EncodingVerdict> EncodingJudge::ReadLineEnd(const unsigned char* bytes, std::size_t i) {
    const unsigned b = bytes[i];
    if (lineEnd_ == kNone) {
        if (IsLineEnd(b)) {
            lineEnd_ = i;
        } else if (b == 0) {
            zeroBefore_ = true;
        }
        return std::nullopt;
    }
    if (i != lineEnd_ + 1 || zeroBefore_) {
        return std::nullopt;
    }
    if (bytes[lineEnd_] == '\r' && b == '\n') {
        return EncodingVerdict{OutputEncoding::Narrow, 0};
    }
    if (b == 0 && lineEnd_ % 2 == 0) {
        return EncodingVerdict{OutputEncoding::Utf16Le, 0};
    }
    plainLine_ = IsPlainText(bytes, lineEnd_);
    lookingAhead_ = previous_ == OutputEncoding::Narrow && plainLine_;
    return std::nullopt;
}

// Rule 2, after a line of 8-bit text: no zero byte in the next bytes makes this line 8-bit too.
std::optional<EncodingVerdict> EncodingJudge::LookAhead(unsigned b, std::size_t i) {
    if (!lookingAhead_) {
        return std::nullopt;
    }
    if (b == 0) {
        lookingAhead_ = false;
    } else if (i == lineEnd_ + kNarrowLookahead) {
        return EncodingVerdict{OutputEncoding::Narrow, 0};
    }
    return std::nullopt;
}

// Rule 3: the UTF-16 unit that ends at the odd offset i.
std::optional<EncodingVerdict> EncodingJudge::ReadUnit(const unsigned char* bytes, std::size_t i) {
    const unsigned low = bytes[i - 1];
    const unsigned high = bytes[i];
    if (high == 0 && IsLineEnd(low)) {
        const bool narrowLineFirst =
            lineEnd_ < i - 1 && !zeroBefore_ && bytes[lineEnd_] == '\n' && lineEnd_ % 2 == 1 && plainLine_;
        return EncodingVerdict{narrowLineFirst ? OutputEncoding::Narrow : OutputEncoding::Utf16Le, 0};
    }
    if (low == '\r' && IsLineEnd(high)) {
        return EncodingVerdict{OutputEncoding::Narrow, 0};
    }
    printablePairs_ = IsPrintableAscii(low) && IsPrintableAscii(high) ? printablePairs_ + 1 : 0;
    if (printablePairs_ >= kPrintablePairs) {
        return EncodingVerdict{OutputEncoding::Narrow, 0};
    }
    return std::nullopt;
}

// Rule 4, and the 8-bit line whose lone line end is the last byte there is.
EncodingVerdict EncodingJudge::Conclude(std::size_t limit) const {
    if (lookingAhead_ || (lineEnd_ == limit - 1 && !zeroBefore_)) {
        return {OutputEncoding::Narrow, 0};
    }
    return {zeros_ >= 2 && oddZeros_ >= 1 ? OutputEncoding::Utf16Le : OutputEncoding::Narrow, 0};
}

EncodingVerdict JudgeLineEncoding(const unsigned char* bytes, std::size_t count, OutputEncoding previous, bool final) {
    EncodingJudge judge;
    judge.Start(previous);
    return judge.Judge(bytes, count, final);
}

} // namespace kestro

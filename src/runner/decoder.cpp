#include "runner/decoder.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#include "base/failures.h"

namespace kestro {

namespace {

constexpr unsigned kReplacement = 0xFFFD;

// Windows-1252 from 0x80 to 0x9F. The five bytes it leaves unassigned keep their Latin-1
// meaning (C1 controls), as the system's own conversion does.
constexpr unsigned kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(unsigned cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool InRange(unsigned char b, unsigned lo, unsigned hi) {
    return b >= lo && b <= hi;
}

// Length of the well-formed UTF-8 sequence at the start of s, or 0 when there is none
// (overlong forms, surrogates and values above U+10FFFF are not well-formed).
std::size_t Utf8SequenceLength(std::string_view s) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = b(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned secondLo = 0x80;
    unsigned secondHi = 0xBF;
    if (InRange(lead, 0xC2, 0xDF)) {
        length = 2;
    } else if (InRange(lead, 0xE0, 0xEF)) {
        length = 3;
        secondLo = lead == 0xE0 ? 0xA0 : 0x80;
        secondHi = lead == 0xED ? 0x9F : 0xBF;
    } else if (InRange(lead, 0xF0, 0xF4)) {
        length = 4;
        secondLo = lead == 0xF0 ? 0x90 : 0x80;
        secondHi = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (s.size() < length || !InRange(b(1), secondLo, secondHi)) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!InRange(b(i), 0x80, 0xBF)) {
            return 0;
        }
    }
    return length;
}

bool IsAscii(std::string_view s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace

void AppendNarrowAsUtf8(std::string_view bytes, std::string& out) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t length = Utf8SequenceLength(bytes.substr(i));
        if (length > 0) {
            out.append(bytes.substr(i, length));
            i += length;
            continue;
        }
        const auto b = static_cast<unsigned char>(bytes[i]);
        AppendUtf8(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : b, out);
        ++i;
    }
}

namespace {

bool IsLineEnd(unsigned b) {
    return b == '\r' || b == '\n';
}

} // namespace

void OutputDecoder::Reset() {
    encoding_ = OutputEncoding::Undecided;
    held_.clear();
    judgingHeld_.clear();
    judging_ = false;
    lineStart_ = true;
    afterCr_ = false;
    haveOddByte_ = false;
    oddByte_ = 0;
    highSurrogate_ = 0;
    line_.clear();
    narrowRaw_.clear();
}

void OutputDecoder::SetNarrowDecoder(NarrowDecoder decode) {
    narrowDecoder_ = std::move(decode);
}

OutputDecoder::OutputDecoder() {
    held_.reserve(kHeldCapacity);
    judgingHeld_.reserve(kHeldCapacity);
    line_.reserve(kLineCapacity);
}

void OutputDecoder::Feed(const unsigned char* bytes, std::size_t count, LineReceiver& receiver) {
    while (count > 0) {
        if (held_.empty()) {
            const std::size_t used = Process(bytes, count, false, receiver);
            held_.append(reinterpret_cast<const char*>(bytes + used), count - used);
            return;
        }
        // The held bytes and enough new ones to judge them are taken as one: fewer than
        // kEvidenceBytes are ever held, so both buffers keep within kHeldCapacity and, the two
        // taking turns, nothing is allocated.
        const std::size_t room = held_.size() < kEvidenceBytes + 4 ? kEvidenceBytes + 4 - held_.size() : 1;
        const std::size_t take = std::min(count, room);
        held_.append(reinterpret_cast<const char*>(bytes), take);
        bytes += take;
        count -= take;
        ProcessHeld(false, receiver);
    }
}

void OutputDecoder::ProcessHeld(bool final, LineReceiver& receiver) {
    held_.swap(judgingHeld_);
    held_.clear();
    try {
        const std::size_t used =
            Process(reinterpret_cast<const unsigned char*>(judgingHeld_.data()), judgingHeld_.size(), final, receiver);
        held_.append(judgingHeld_, used, std::string::npos);
    } catch (...) {
        judgingHeld_.clear();
        throw;
    }
    judgingHeld_.clear();
}

void OutputDecoder::Flush(LineReceiver& receiver) {
    if (!held_.empty()) {
        ProcessHeld(true, receiver);
    }
    try {
        if (encoding_ == OutputEncoding::Utf16Le) {
            EndWideLine(receiver);
        } else {
            EndNarrowLine(receiver);
        }
    } catch (...) {
        SwallowedFailure("OutputDecoder::Flush");
        line_.clear();
        narrowRaw_.clear();
    }
    // What comes after a handed-over line starts a line of its own, unless part of a character
    // is still carried.
    if (!haveOddByte_ && highSurrogate_ == 0) {
        lineStart_ = true;
    }
}

// Hands bytes to the line reader of their line's encoding, judging it at each line start.
// Returns how many bytes were used; the rest waits for more output.
std::size_t OutputDecoder::Process(const unsigned char* bytes, std::size_t count, bool final, LineReceiver& receiver) {
    std::size_t at = 0;
    while (at < count) {
        if (AtLineStart()) {
            if (afterCr_) {
                // CR LF is one line end.
                if (encoding_ == OutputEncoding::Utf16Le) {
                    if (count - at < 2 && !final) {
                        return at;
                    }
                    afterCr_ = false;
                    if (count - at >= 2 && bytes[at] == '\n' && bytes[at + 1] == 0) {
                        at += 2;
                        continue;
                    }
                } else {
                    afterCr_ = false;
                    if (bytes[at] == '\n') {
                        ++at;
                        continue;
                    }
                }
            }
            if (!judging_) {
                judge_.Start(encoding_);
                judging_ = true;
            }
            const EncodingVerdict verdict = judge_.Judge(bytes + at, count - at, final);
            if (verdict.encoding == OutputEncoding::Undecided) {
                return at; // the bytes from this line start are held, and read on from where judge_ stopped
            }
            judging_ = false;
            encoding_ = verdict.encoding;
            at += verdict.skip;
            lineStart_ = false;
            continue;
        }
        at += encoding_ == OutputEncoding::Utf16Le ? FeedUtf16Line(bytes + at, count - at, receiver)
                                                   : FeedNarrowLine(bytes + at, count - at, receiver);
    }
    return at;
}

// Reads UTF-16LE up to and including the end of the current line.
std::size_t OutputDecoder::FeedUtf16Line(const unsigned char* bytes, std::size_t count, LineReceiver& receiver) {
    lineStart_ = false;
    std::size_t i = 0;
    while (i < count) {
        // The position advances before each unit is handled, so a failure costs the line
        // being built but never the alignment of the code units that follow.
        try {
            if (haveOddByte_) {
                const unsigned unit = oddByte_ | (static_cast<unsigned>(bytes[i]) << 8);
                haveOddByte_ = false;
                ++i;
                if (Unit(unit, receiver)) {
                    return i;
                }
            }
            while (i + 1 < count) {
                if (highSurrogate_ == 0) {
                    i += AppendAsciiRun(bytes + i, count - i, receiver);
                    if (i + 1 >= count) {
                        break;
                    }
                }
                const unsigned unit = bytes[i] | (static_cast<unsigned>(bytes[i + 1]) << 8);
                i += 2;
                if (Unit(unit, receiver)) {
                    return i;
                }
            }
            if (i < count) {
                oddByte_ = bytes[i];
                haveOddByte_ = true;
                ++i;
            }
        } catch (...) {
            SwallowedFailure("OutputDecoder: a line of UTF-16");
            line_.clear();
            if (lineStart_) {
                return i;
            }
        }
    }
    return i;
}

// Most of the tool's text is printable ASCII, which each unit would add to the line as it is: a
// run of such units is added at once, up to the longest line. Returns the bytes used.
std::size_t OutputDecoder::AppendAsciiRun(const unsigned char* bytes, std::size_t count, LineReceiver& receiver) {
    const std::size_t room = kMaxLineBytes - std::min(line_.size(), kMaxLineBytes);
    const std::size_t most = std::min(count / 2, room);
    std::size_t n = 0;
    // Four units at a time (the bytes in little-endian order, as UTF-16LE is): each high byte 0,
    // each low byte from 0x20 to 0x7F.
    constexpr std::uint64_t kHighAndTop = 0xFF80FF80FF80FF80u;
    constexpr std::uint64_t kToTop = 0x0060006000600060u;
    constexpr std::uint64_t kTop = 0x0080008000800080u;
    while (n + 4 <= most) {
        std::uint64_t units = 0;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&units, bytes + 2 * n, sizeof(units));
        } else {
            for (std::size_t k = 0; k < 8; ++k) {
                units |= std::uint64_t{bytes[2 * n + k]} << (8 * k);
            }
        }
        if ((units & kHighAndTop) != 0 || ((units + kToTop) & kTop) != kTop) {
            break;
        }
        n += 4;
    }
    while (n < most && bytes[2 * n + 1] == 0 && bytes[2 * n] >= 0x20 && bytes[2 * n] < 0x80) {
        ++n;
    }
    if (n == 0) {
        return 0;
    }
    const std::size_t at = line_.size();
    line_.resize(at + n);
    char* out = line_.data() + at;
    for (std::size_t k = 0; k < n; ++k) {
        out[k] = static_cast<char>(bytes[2 * k]);
    }
    if (line_.size() >= kMaxLineBytes) {
        EndWideLine(receiver);
    }
    return 2 * n;
}

bool OutputDecoder::Unit(unsigned unit, LineReceiver& receiver) {
    if (highSurrogate_ != 0) {
        const unsigned high = highSurrogate_;
        highSurrogate_ = 0;
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            AppendCodePoint(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00), receiver);
            return false;
        }
        AppendCodePoint(kReplacement, receiver);
    }
    if (unit < 0x80) {
        if (IsLineEnd(unit)) {
            lineStart_ = true;
            afterCr_ = unit == '\r';
            EndWideLine(receiver);
            return true;
        }
        if (unit != 0 && unit != '\b') {
            line_.push_back(static_cast<char>(unit));
            if (line_.size() >= kMaxLineBytes) {
                EndWideLine(receiver);
            }
        }
        return false;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        highSurrogate_ = unit;
        return false;
    }
    AppendCodePoint(unit >= 0xDC00 && unit <= 0xDFFF ? kReplacement : unit, receiver);
    return false;
}

void OutputDecoder::AppendCodePoint(unsigned codePoint, LineReceiver& receiver) {
    AppendUtf8(codePoint, line_);
    if (line_.size() >= kMaxLineBytes) {
        EndWideLine(receiver);
    }
}

void OutputDecoder::EndWideLine(LineReceiver& receiver) {
    if (!line_.empty()) {
        receiver.Line(line_);
        line_.clear();
    }
}

// Reads 8-bit text up to and including the end of the current line.
std::size_t OutputDecoder::FeedNarrowLine(const unsigned char* bytes, std::size_t count, LineReceiver& receiver) {
    lineStart_ = false;
    std::size_t i = 0;
    while (i < count) {
        try {
            while (i < count) {
                const unsigned char b = bytes[i++];
                if (IsLineEnd(b)) {
                    lineStart_ = true;
                    afterCr_ = b == '\r';
                    EndNarrowLine(receiver);
                    return i;
                }
                if (b != 0) {
                    narrowRaw_.push_back(static_cast<char>(b));
                    // Cut an overlong line after an ASCII byte, which never sits inside a UTF-8
                    // sequence; give up on that a few bytes later.
                    const std::size_t size = narrowRaw_.size();
                    if (size >= kMaxLineBytes && (b < 0x80 || size >= kMaxLineBytes + 4)) {
                        EndNarrowLine(receiver);
                    }
                }
            }
        } catch (...) {
            SwallowedFailure("OutputDecoder: a line of 8-bit text");
            narrowRaw_.clear();
            if (lineStart_) {
                return i;
            }
        }
    }
    return i;
}

void OutputDecoder::EndNarrowLine(LineReceiver& receiver) {
    if (narrowRaw_.empty()) {
        return;
    }
    const std::string_view raw = narrowRaw_;
    // Every code page the tool can write in keeps ASCII as it is, so a plain line skips the
    // conversion (and the allocation that an installed decoder makes).
    if (IsAscii(raw)) {
        receiver.Line(raw);
    } else if (narrowDecoder_) {
        std::string converted;
        try {
            converted = narrowDecoder_(raw);
        } catch (...) {
            // The code page could not be read: the line is taken as it comes.
            SwallowedFailure("OutputDecoder: the code page");
            converted.clear();
            AppendNarrowAsUtf8(raw, converted);
        }
        if (!converted.empty()) {
            receiver.Line(converted);
        }
    } else {
        line_.clear();
        AppendNarrowAsUtf8(raw, line_);
        receiver.Line(line_);
        line_.clear();
    }
    narrowRaw_.clear();
}

} // namespace kestro

#include "runner/decoder.h"

#include <utility>

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

void OutputDecoder::Reset() {
    encoding_ = OutputEncoding::Undecided;
    heldCount_ = 0;
    haveOddByte_ = false;
    oddByte_ = 0;
    highSurrogate_ = 0;
    line_.clear();
    narrowRaw_.clear();
}

void OutputDecoder::SetNarrowDecoder(NarrowDecoder decode) {
    narrowDecoder_ = std::move(decode);
}

void OutputDecoder::Feed(const unsigned char* bytes, std::size_t count, LineReceiver& receiver) {
    if (count == 0) {
        return;
    }
    if (encoding_ == OutputEncoding::Undecided) {
        while (heldCount_ < sizeof(held_) && count > 0) {
            held_[heldCount_++] = *bytes++;
            --count;
        }
        const bool bom = heldCount_ >= 2 && held_[0] == 0xFF && held_[1] == 0xFE;
        if (heldCount_ < sizeof(held_) && !bom) {
            return;
        }
        Decide(receiver);
    }
    FeedDecided(bytes, count, receiver);
}

void OutputDecoder::Flush(LineReceiver& receiver) {
    if (encoding_ == OutputEncoding::Undecided) {
        if (heldCount_ == 0) {
            return;
        }
        Decide(receiver);
    }
    try {
        if (encoding_ == OutputEncoding::Utf16Le) {
            EndWideLine(receiver);
        } else {
            EndNarrowLine(receiver);
        }
    } catch (...) {
        line_.clear();
        narrowRaw_.clear();
    }
}

void OutputDecoder::Decide(LineReceiver& receiver) {
    std::size_t start = 0;
    if (heldCount_ >= 2 && held_[0] == 0xFF && held_[1] == 0xFE) {
        encoding_ = OutputEncoding::Utf16Le;
        start = 2;
    } else if (heldCount_ >= 4 && held_[1] == 0 && held_[3] == 0) {
        encoding_ = OutputEncoding::Utf16Le;
    } else {
        encoding_ = OutputEncoding::Narrow;
        if (heldCount_ >= 3 && held_[0] == 0xEF && held_[1] == 0xBB && held_[2] == 0xBF) {
            start = 3;
        }
    }
    unsigned char held[sizeof(held_)];
    const std::size_t count = heldCount_;
    for (std::size_t i = 0; i < count; ++i) {
        held[i] = held_[i];
    }
    heldCount_ = 0;
    FeedDecided(held + start, count - start, receiver);
}

void OutputDecoder::FeedDecided(const unsigned char* bytes, std::size_t count, LineReceiver& receiver) {
    if (encoding_ == OutputEncoding::Utf16Le) {
        FeedUtf16(bytes, count, receiver);
    } else {
        FeedNarrow(bytes, count, receiver);
    }
}

void OutputDecoder::FeedUtf16(const unsigned char* bytes, std::size_t count, LineReceiver& receiver) {
    std::size_t i = 0;
    while (i < count) {
        // The position advances before each unit is handled, so a failure costs the line
        // being built but never the alignment of the code units that follow.
        try {
            if (haveOddByte_) {
                const unsigned unit = oddByte_ | (static_cast<unsigned>(bytes[i]) << 8);
                haveOddByte_ = false;
                ++i;
                Unit(unit, receiver);
            }
            while (i + 1 < count) {
                const unsigned unit = bytes[i] | (static_cast<unsigned>(bytes[i + 1]) << 8);
                i += 2;
                Unit(unit, receiver);
            }
            if (i < count) {
                oddByte_ = bytes[i];
                haveOddByte_ = true;
                ++i;
            }
        } catch (...) {
            line_.clear();
        }
    }
}

void OutputDecoder::Unit(unsigned unit, LineReceiver& receiver) {
    if (highSurrogate_ != 0) {
        const unsigned high = highSurrogate_;
        highSurrogate_ = 0;
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            AppendCodePoint(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00), receiver);
            return;
        }
        AppendCodePoint(kReplacement, receiver);
    }
    if (unit < 0x80) {
        if (unit == '\r' || unit == '\n') {
            EndWideLine(receiver);
        } else if (unit != 0 && unit != '\b') {
            line_.push_back(static_cast<char>(unit));
            if (line_.size() >= kMaxLineBytes) {
                EndWideLine(receiver);
            }
        }
        return;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        highSurrogate_ = unit;
        return;
    }
    AppendCodePoint(unit >= 0xDC00 && unit <= 0xDFFF ? kReplacement : unit, receiver);
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

void OutputDecoder::FeedNarrow(const unsigned char* bytes, std::size_t count, LineReceiver& receiver) {
    std::size_t i = 0;
    while (i < count) {
        try {
            while (i < count) {
                const unsigned char b = bytes[i++];
                if (b == '\r' || b == '\n') {
                    EndNarrowLine(receiver);
                } else if (b != 0) {
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
            narrowRaw_.clear();
        }
    }
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

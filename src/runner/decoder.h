#pragma once
// Turns the bytes that the tool writes into its pipe into UTF-8 lines. The pipe hands the output
// over in arbitrary pieces, so everything that a piece can cut in two (a code unit, a surrogate
// pair, a line, the bytes that tell a line's encoding) is carried to the next piece of the same
// run.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestro {

class LineReceiver {
public:
    virtual ~LineReceiver() = default;
    // One line of output as UTF-8, without its line end; never empty. The view is valid only
    // during the call.
    virtual void Line(std::string_view line) = 0;
};

enum class OutputEncoding { Undecided, Utf16Le, Narrow };

// How the line that starts with these bytes is written, judged from the bytes alone (see
// decoder.cpp for the rules). previous is the encoding of the line before; final says that no
// more bytes follow. Undecided: more bytes are needed. skip counts a byte order mark to drop.
struct EncodingVerdict {
    OutputEncoding encoding = OutputEncoding::Undecided;
    std::size_t skip = 0;
};
EncodingVerdict JudgeLineEncoding(const unsigned char* bytes, std::size_t count, OutputEncoding previous, bool final);

// The same, for bytes that come in pieces: each call is given all bytes from the line start so
// far, and reads on where the last call stopped, so that a line start is read once in all.
class EncodingJudge {
public:
    void Start(OutputEncoding previous);
    EncodingVerdict Judge(const unsigned char* bytes, std::size_t count, bool final);

private:
    std::optional<EncodingVerdict> ByteOrderMark(const unsigned char* bytes, std::size_t count, bool final);
    std::optional<EncodingVerdict> ReadByte(const unsigned char* bytes, std::size_t i);
    std::optional<EncodingVerdict> ReadLineEnd(const unsigned char* bytes, std::size_t i);
    std::optional<EncodingVerdict> LookAhead(unsigned b, std::size_t i);
    std::optional<EncodingVerdict> ReadUnit(const unsigned char* bytes, std::size_t i);
    EncodingVerdict Conclude(std::size_t limit) const;

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    OutputEncoding previous_ = OutputEncoding::Undecided;
    std::size_t next_ = 0;
    std::size_t lineEnd_ = kNone; // the first CR or LF byte
    bool zeroBefore_ = false;     // a zero byte before it
    bool plainLine_ = false;      // the bytes before it are plain text
    bool lookingAhead_ = false;   // a line after 8-bit text, until its lookahead ends
    std::size_t printablePairs_ = 0;
    std::size_t zeros_ = 0;
    std::size_t oddZeros_ = 0;
};

class OutputDecoder {
public:
    // 8-bit output is converted line by line; the result must be UTF-8.
    using NarrowDecoder = std::function<std::string(std::string_view)>;

    // Longest line handed over in one piece. Nothing the tool prints comes near it; it only
    // bounds the memory that output without any line end could take.
    static constexpr std::size_t kMaxLineBytes = std::size_t{256} * 1024;

    // The most bytes looked at to tell the encoding of a line: a UTF-16 line of the tool ends well
    // within it, and holding no more keeps the delay and the memory small.
    static constexpr std::size_t kEvidenceBytes = 512;

    OutputDecoder();

    // Forget everything carried from the previous run (the narrow decoder stays installed).
    void Reset();

    // An empty function restores the built-in conversion (AppendNarrowAsUtf8).
    void SetNarrowDecoder(NarrowDecoder decode);

    // Decodes the next piece of output and hands every line completed by it to receiver.
    //
    // The encoding is judged again at the start of every line, where nothing of a character or
    // a line is carried: the tool's UTF-16 output may carry a line of 8-bit text (an error
    // message written through the C runtime), and a run may begin with a character that is not
    // ASCII. The bytes of a line start are held until they tell its encoding (at most a few
    // hundred), so the same lines come out whatever the pieces.
    void Feed(const unsigned char* bytes, std::size_t count, LineReceiver& receiver);

    // Hands over the incomplete line carried so far, if any, judging the encoding of held bytes
    // with what there is. A carried half code unit or high surrogate stays carried: the rest of
    // that character may still come.
    void Flush(LineReceiver& receiver);

    // The encoding of the current line, or of the last one.
    OutputEncoding Encoding() const { return encoding_; }

private:
    std::size_t Process(const unsigned char* bytes, std::size_t count, bool final, LineReceiver& receiver);
    void ProcessHeld(bool final, LineReceiver& receiver);
    std::size_t FeedUtf16Line(const unsigned char* bytes, std::size_t count, LineReceiver& receiver);
    std::size_t FeedNarrowLine(const unsigned char* bytes, std::size_t count, LineReceiver& receiver);
    bool AtLineStart() const { return lineStart_ && !haveOddByte_ && highSurrogate_ == 0; }
    // Returns true when the unit ended a line.
    bool Unit(unsigned unit, LineReceiver& receiver);
    std::size_t AppendAsciiRun(const unsigned char* bytes, std::size_t count, LineReceiver& receiver);
    void AppendCodePoint(unsigned codePoint, LineReceiver& receiver);
    void EndWideLine(LineReceiver& receiver);
    void EndNarrowLine(LineReceiver& receiver);

    OutputEncoding encoding_ = OutputEncoding::Undecided;
    std::string held_;        // bytes at a line start whose encoding is not told yet
    std::string judgingHeld_; // the held bytes and new ones while they are judged
    EncodingJudge judge_;     // for the line start of the held bytes
    bool judging_ = false;
    bool lineStart_ = true; // nothing of the current line has been read
    bool afterCr_ = false;  // the last line ended with CR: an LF right after it ends nothing more
    bool haveOddByte_ = false;
    unsigned char oddByte_ = 0;
    unsigned highSurrogate_ = 0;
    std::string line_;      // UTF-8 of the current line (UTF-16 input), or the converted narrow line
    std::string narrowRaw_; // the current line's bytes as they came (8-bit input)
    NarrowDecoder narrowDecoder_;
    static constexpr std::size_t kHeldCapacity = 2 * kEvidenceBytes + 8;
    // Room for the line being built that nearly every line of the tool fits: it is reused, so a
    // run's lines cost no allocation, its first ones included.
    static constexpr std::size_t kLineCapacity = 512;
};

// Appends the 8-bit text as UTF-8: well-formed UTF-8 sequences are kept as they are, every other
// byte is read as Windows-1252 (its five unassigned bytes as the C1 controls of Latin-1).
void AppendNarrowAsUtf8(std::string_view bytes, std::string& out);

} // namespace kestro

#pragma once
// Turns the bytes that the tool writes into its pipe into UTF-8 lines. The pipe hands the output
// over in arbitrary pieces, so everything that a piece can cut in two (a code unit, a surrogate
// pair, a line) is carried to the next piece of the same run.
#include <cstddef>
#include <functional>
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

class OutputDecoder {
public:
    // 8-bit output is converted line by line; the result must be UTF-8.
    using NarrowDecoder = std::function<std::string(std::string_view)>;

    // Longest line handed over in one piece. Nothing the tool prints comes near it; it only
    // bounds the memory that output without any line end could take.
    static constexpr std::size_t kMaxLineBytes = 256 * 1024;

    // Forget everything carried from the previous run (the narrow decoder stays installed).
    void Reset();

    // An empty function restores the built-in conversion (AppendNarrowAsUtf8).
    void SetNarrowDecoder(NarrowDecoder decode);

    // Decodes the next piece of output and hands every line completed by it to receiver.
    void Feed(const unsigned char* bytes, std::size_t count, LineReceiver& receiver);

    // Hands over the incomplete line carried so far, if any. Until the run's first four bytes
    // have arrived the encoding is open; Flush settles it with the bytes there are. A carried
    // half code unit or high surrogate stays carried: the rest of that character may still come.
    void Flush(LineReceiver& receiver);

    OutputEncoding Encoding() const { return encoding_; }

private:
    void Decide(LineReceiver& receiver);
    void FeedDecided(const unsigned char* bytes, std::size_t count, LineReceiver& receiver);
    void FeedUtf16(const unsigned char* bytes, std::size_t count, LineReceiver& receiver);
    void FeedNarrow(const unsigned char* bytes, std::size_t count, LineReceiver& receiver);
    void Unit(unsigned unit, LineReceiver& receiver);
    void AppendCodePoint(unsigned codePoint, LineReceiver& receiver);
    void EndWideLine(LineReceiver& receiver);
    void EndNarrowLine(LineReceiver& receiver);

    OutputEncoding encoding_ = OutputEncoding::Undecided;
    unsigned char held_[4] = {};
    std::size_t heldCount_ = 0;
    bool haveOddByte_ = false;
    unsigned char oddByte_ = 0;
    unsigned highSurrogate_ = 0;
    std::string line_;      // UTF-8 of the current line (UTF-16 input), or the converted narrow line
    std::string narrowRaw_; // the current line's bytes as they came (8-bit input)
    NarrowDecoder narrowDecoder_;
};

// Appends the 8-bit text as UTF-8: well-formed UTF-8 sequences are kept as they are, every other
// byte is read as Windows-1252 (its five unassigned bytes as the C1 controls of Latin-1).
void AppendNarrowAsUtf8(std::string_view bytes, std::string& out);

} // namespace kestro

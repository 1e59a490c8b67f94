#pragma once
// Text routines shared by every part of the program. They work on bytes and
// search case-sensitively; an empty marker never occurs. Text is UTF-8, and
// since all markers are ASCII, cutting never splits a character.
#include <initializer_list>
#include <string>
#include <string_view>

namespace kestro {

// The part of s after the first occurrence of marker; empty when it does not occur.
std::string TextAfter(std::string_view s, std::string_view marker);

// The part of s before the first occurrence of marker; empty when it does not
// occur or s begins with it.
std::string TextBefore(std::string_view s, std::string_view marker);

// The part of s after the last occurrence of marker. Occurrences may overlap:
// "aaa" holds "aa" at 0 and 1, so the part after the last one is empty. With
// keepMarker the marker is put in front. Empty (no marker) when it does not occur.
std::string TextAfterLast(std::string_view s, std::string_view marker, bool keepMarker);

// TextBefore(TextAfter(s, first), second).
std::string TextBetween(std::string_view s, std::string_view first, std::string_view second);

// s wrapped in double quotes when it contains a blank (character 32 only).
std::string QuoteIfSpaced(std::string_view s);

// Views into s with the same rules as above, for hot paths that must not allocate.
std::string_view TextAfterView(std::string_view s, std::string_view marker);
std::string_view TextBeforeView(std::string_view s, std::string_view marker);
std::string_view TextBetweenView(std::string_view s, std::string_view first, std::string_view second);

// s without the characters of code 32 or less at both ends.
std::string_view TrimView(std::string_view s);
inline std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

// s with the letters A to Z turned into a to z; no other byte changes.
std::string AsciiLower(std::string_view s);
void AsciiLowerInto(std::string_view s, std::string& out);

bool SameTextAscii(std::string_view a, std::string_view b);

// pattern with each marker %1 to %9 replaced by that argument; a marker without an
// argument, and every other character, stays as it is. Texts of the string table use it,
// so that a translation may put the values where its language wants them.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);

// The length in bytes of the Unicode white-space character (the White_Space property: tab, line
// ends, blank, no-break space, the typographic spaces, ideographic space ...) that s starts with
// in UTF-8; 0 when s starts with anything else.
std::size_t LeadingSpaceLength(std::string_view s);

// s without the Unicode white space at its start.
std::string_view WithoutLeadingSpace(std::string_view s);

// s holds nothing but Unicode white space (or nothing at all).
bool IsAllSpace(std::string_view s);

// A caption as the name of the control that it labels, for screen readers: without access-key
// markers ("&&" stands for one "&"), without the Unicode white space at its ends, and without a
// colon that closes it (":" or the full-width "\uFF1A" of Chinese and Japanese).
std::string NameOfCaption(std::string_view caption);

// The value of a hexadecimal digit (either case), -1 for any other character.
int HexDigitValue(char c);

} // namespace kestro

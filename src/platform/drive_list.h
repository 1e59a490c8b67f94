#pragma once
// The entries of the source-drive list: their captions and size texts, and the rule that decides
// which drives it lists.
#include <cstdint>
#include <string>
#include <string_view>

namespace kestro {

// The byte count in GB (1024^3 bytes) rounded to hundredths, ties to even, written in the
// shortest form: no trailing zeros, no separator when whole. Examples: 500107862016 bytes
// give "465.76", 2^27 bytes give "0.12", 0 bytes give "0".
std::string SizeText(std::uint64_t bytes, std::string_view decimalSeparator);

// Whether a volume of that many bytes is small enough to be listed: the whole-number part
// of its size text is at most 1000000.
bool IsListableSize(std::uint64_t totalBytes);

// The whole listing rule: a readable file system and a listable size.
bool IsListedDrive(std::string_view fileSystemName, std::uint64_t totalBytes);

// The letter part of a drive root: "C" from "C:\", or the whole root when it has no ":\".
std::string LetterPartOfRoot(std::string_view root);

// The caption of a source-list entry: label + " (" + letterPart + ":)", such as "System (C:)". The
// drive the entry stands for is kept beside it, never read back from the caption: a label may hold
// brackets of its own.
std::string SourceEntryCaption(std::string_view label, std::string_view letterPart);

} // namespace kestro

#pragma once
// Identifiers of the string table (texts.def) and the portable copy of its texts.
#include <string>

namespace kestro {

enum TextId : int {
#define KESTRO_TEXT(name, id, text) name = id,
#include "global/texts.def"
#undef KESTRO_TEXT
};

// The text of the string table entry; empty for an unknown id.
const std::string& Text(TextId id);

// Every entry, for checking the compiled string table against this copy.
struct TextEntry {
    TextId id;
    const char* text;
};
const TextEntry* AllTexts(int& count);

} // namespace kestro

#pragma once
// Identifiers of the string table (texts.def), the portable copy of its texts in every language
// the program speaks, and the choice of that language.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/program_version.h"

namespace kestro {

enum TextId : int {
#define KESTRO_TEXT(name, id, text) name = id,
#include "base/texts.def"
#undef KESTRO_TEXT
};

enum class Language { English, German, French, Spanish, Italian, BrazilianPortuguese, Russian, ChineseSimplified, Japanese };

struct LanguageInfo {
    Language language;
    const char* code;          // as settings.ini names it: "en", "de", "pt-BR" ...
    unsigned short languageId; // the LANGID of its string table in the resources
};

// Every language, English first.
std::span<const LanguageInfo> Languages();
const LanguageInfo& InfoOf(Language language);

// The language the texts are in: English until it is set. Set once at start, before any
// window is made.
void SetTextLanguage(Language language);
Language TextLanguage();

// The text of the string table entry in the chosen language; empty for an unknown id.
const std::string& Text(TextId id);
const std::string& TextIn(Language language, TextId id);

// Every entry of one language, in the order of texts.def, for checking the tables against each
// other and the compiled string tables against this copy.
struct TextEntry {
    TextId id;
    const char* text;
};
std::span<const TextEntry> AllTexts(Language language = Language::English);

// The language that a name such as "de", "de-AT", "pt-BR", "zh-Hans-CN" or "ja_JP" asks for,
// among those the program speaks; nothing for any other (Portuguese of Portugal is served in
// Brazilian Portuguese, Chinese only in its simplified script).
std::optional<Language> LanguageOfName(std::string_view name);

// The language of the Language setting when it names one the program speaks, else the first of
// the user's display languages (most preferred first) that it speaks, else English.
Language ChooseLanguage(std::string_view setting, const std::vector<std::string>& userLanguages);

} // namespace kestro

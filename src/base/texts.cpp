#include "base/texts.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace kestro {

namespace {

// Each translation names its entries with the English identifiers and numbers; a pair that does
// not match fails the build.
template <int name, int id>
constexpr TextId Checked() {
    static_assert(name == id, "a translated entry's number differs from the English one");
    return static_cast<TextId>(id);
}

#define KESTRO_TEXT(name, id, text) {Checked<name, id>(), text},
constexpr TextEntry kEnglish[] = {
#include "base/texts.def"
};
constexpr TextEntry kGerman[] = {
#include "base/translations/de.def"
};
constexpr TextEntry kFrench[] = {
#include "base/translations/fr.def"
};
constexpr TextEntry kSpanish[] = {
#include "base/translations/es.def"
};
constexpr TextEntry kItalian[] = {
#include "base/translations/it.def"
};
constexpr TextEntry kBrazilianPortuguese[] = {
#include "base/translations/pt-BR.def"
};
constexpr TextEntry kRussian[] = {
#include "base/translations/ru.def"
};
constexpr TextEntry kChineseSimplified[] = {
#include "base/translations/zh-CN.def"
};
constexpr TextEntry kJapanese[] = {
#include "base/translations/ja.def"
};
#undef KESTRO_TEXT

constexpr LanguageInfo kLanguages[] = {
    {Language::English, "en", 0x0409},
    {Language::German, "de", 0x0407},
    {Language::French, "fr", 0x040C},
    {Language::Spanish, "es", 0x0C0A},
    {Language::Italian, "it", 0x0410},
    {Language::BrazilianPortuguese, "pt-BR", 0x0416},
    {Language::Russian, "ru", 0x0419},
    {Language::ChineseSimplified, "zh-CN", 0x0804},
    {Language::Japanese, "ja", 0x0411},
};
constexpr std::size_t kLanguageCount = std::size(kLanguages);

constexpr std::array<std::span<const TextEntry>, kLanguageCount> kTables = {
    kEnglish, kGerman, kFrench, kSpanish, kItalian, kBrazilianPortuguese, kRussian, kChineseSimplified, kJapanese};

using Table = std::unordered_map<int, std::string>;

const std::array<Table, kLanguageCount>& Tables() {
    static const std::array<Table, kLanguageCount> tables = [] {
        std::array<Table, kLanguageCount> t;
        for (std::size_t i = 0; i < kLanguageCount; ++i) {
            for (const TextEntry& e : kTables[i]) {
                t[i].emplace(e.id, e.text);
            }
        }
        return t;
    }();
    return tables;
}

Language chosenLanguage = Language::English;

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The name in lower case with "_" as "-", and without a code set or modifier ("de_DE.UTF-8@euro").
std::string NormalName(std::string_view name) {
    name = name.substr(0, std::min(name.find('.'), name.find('@')));
    std::string normal;
    for (const char c : name) {
        normal += c == '_' ? '-' : LowerAscii(c);
    }
    return normal;
}

// The subtags after the first one.
bool HasSubtag(std::string_view name, std::string_view subtag) {
    std::size_t start = name.find('-');
    while (start != std::string_view::npos) {
        const std::size_t end = name.find('-', start + 1);
        if (name.substr(start + 1, end == std::string_view::npos ? end : end - start - 1) == subtag) {
            return true;
        }
        start = end;
    }
    return false;
}

std::optional<Language> ChineseOf(std::string_view name) {
    if (HasSubtag(name, "hans") || name == "zh" || HasSubtag(name, "cn") || HasSubtag(name, "sg")) {
        return HasSubtag(name, "hant") ? std::nullopt : std::optional<Language>(Language::ChineseSimplified);
    }
    return std::nullopt;
}

} // namespace

std::span<const LanguageInfo> Languages() {
    return kLanguages;
}

const LanguageInfo& InfoOf(Language language) {
    return kLanguages[static_cast<std::size_t>(language)];
}

void SetTextLanguage(Language language) {
    chosenLanguage = language;
}

Language TextLanguage() {
    return chosenLanguage;
}

const std::string& TextIn(Language language, TextId id) {
    static const std::string empty;
    const Table& table = Tables()[static_cast<std::size_t>(language)];
    const auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}

const std::string& Text(TextId id) {
    return TextIn(chosenLanguage, id);
}

std::span<const TextEntry> AllTexts(Language language) {
    return kTables[static_cast<std::size_t>(language)];
}

std::optional<Language> LanguageOfName(std::string_view name) {
    const std::string normal = NormalName(name);
    const std::string_view primary = std::string_view(normal).substr(0, normal.find('-'));
    if (primary == "zh") {
        return ChineseOf(normal);
    }
    if (primary == "pt") {
        return Language::BrazilianPortuguese;
    }
    for (const LanguageInfo& info : kLanguages) {
        if (primary == info.code) {
            return info.language;
        }
    }
    return std::nullopt;
}

Language ChooseLanguage(std::string_view setting, const std::vector<std::string>& userLanguages) {
    if (const std::optional<Language> set = LanguageOfName(setting)) {
        return *set;
    }
    for (const std::string& name : userLanguages) {
        if (const std::optional<Language> language = LanguageOfName(name)) {
            return *language;
        }
    }
    return Language::English;
}

} // namespace kestro

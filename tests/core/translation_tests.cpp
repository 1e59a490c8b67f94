// The string table in every language: complete, and safe to put in place of the English.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/texts.h"

using namespace kestro;

namespace {

// The format markers %1 to %9 of a text, in order.
std::string Markers(std::string_view text) {
    std::string markers;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') {
            markers += text.substr(i, 2);
        }
    }
    return markers;
}

std::size_t Count(std::string_view text, std::string_view part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + part.size())) {
        ++n;
    }
    return n;
}

// The access key of a caption: the character after a single "&", upper-cased for Latin and
// Cyrillic letters; 0 when there is none. Several of them count as -1.
char32_t AccessKey(std::string_view caption) {
    char32_t key = 0;
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') {
            continue;
        }
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        if (key != 0) {
            return static_cast<char32_t>(-1);
        }
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(caption[i + 1 + k]); };
        if (b(0) < 0x80) {
            key = b(0) >= 'a' && b(0) <= 'z' ? b(0) - 32 : b(0);
        } else if ((b(0) & 0xE0) == 0xC0 && i + 2 < caption.size()) {
            key = ((b(0) & 0x1Fu) << 6) | (b(1) & 0x3Fu);
            if (key >= 0x430 && key <= 0x44F) {
                key -= 0x20; // Cyrillic а..я
            }
        } else {
            key = b(0); // a letter of another script: compared by its first byte
        }
    }
    return key;
}

// The captions that share a window or menu, where one key must not reach two of them.
const std::map<std::string, std::vector<TextId>>& KeyGroups() {
    static const std::map<std::string, std::vector<TextId>> groups = {
        {"menu",
         {IDS_MENU_HOME_PAGE, IDS_MENU_DONATE, IDS_MENU_OPTIONS, IDS_COPY_COMMAND, IDS_MENU_ADVANCED_OPTIONS,
          IDS_MENU_ABOUT}},
        {"main window",
         {IDS_SOURCE_DRIVE, IDS_RECOVERY_MODE, IDS_BROWSE, IDS_SAVE_TO, IDS_SOURCE_FOLDER_CHECK, IDS_SELECT_FILTER,
          IDS_FILTER_ALL_DELETED, IDS_FILTER_SPECIFIC_FILE, IDS_FILTER_WILDCARD, IDS_FILTER_FILE_TYPE, IDS_START,
          IDS_SHOW_FILES, IDS_EXIT, IDS_FILE_NAME_LABEL, IDS_WILDCARD_LABEL, IDS_GROUP_SPECIFIC_FILE,
          IDS_GROUP_WILDCARD, IDS_GROUP_FILE_TYPE, IDS_CATEGORY_DOCUMENTS, IDS_CATEGORY_PHOTOS, IDS_CATEGORY_VIDEOS,
          IDS_CATEGORY_AUDIOS, IDS_CATEGORY_WEB_PAGES, IDS_CATEGORY_COMPRESSED, IDS_CUSTOM_TYPES_CHECK,
          IDS_MENU_LABEL}},
        {"about dialog", {IDS_OK}},
        {"scanning dialog", {IDS_STOP}},
        {"advanced options dialog",
         {IDS_OPTION_UNDELETED, IDS_OPTION_SYSTEM_FILES, IDS_OPTION_NO_PRIMARY_STREAM, IDS_OVERWRITE_GROUP,
          IDS_OVERWRITE_KEEP_BOTH, IDS_OVERWRITE_NEVER, IDS_OVERWRITE_ALWAYS, IDS_OK, IDS_CANCEL,
          IDS_RESTORE_DEFAULTS}},
    };
    return groups;
}

class TranslationTest : public ::testing::TestWithParam<LanguageInfo> {
protected:
    void TearDown() override { SetTextLanguage(Language::English); }
};

TEST_P(TranslationTest, HasEveryEntryOfTheEnglishTableAndNoEmptyOne) {
    const auto english = AllTexts(Language::English);
    const auto table = AllTexts(GetParam().language);
    ASSERT_EQ(table.size(), english.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].id, english[i].id) << i;
        EXPECT_NE(std::string_view(table[i].text), "") << table[i].id;
        EXPECT_EQ(TextIn(GetParam().language, english[i].id), table[i].text);
    }
}

// A translation takes the same values as the English, in the order its language wants them
// (every marker once, whichever comes first), and breaks its lines at the same places.
TEST_P(TranslationTest, KeepsMarkersAndLineBreaks) {
    for (const TextEntry& e : AllTexts()) {
        const std::string_view english = e.text;
        const std::string& text = TextIn(GetParam().language, e.id);
        std::string markers = Markers(text);
        std::string englishMarkers = Markers(english);
        std::sort(markers.begin(), markers.end());
        std::sort(englishMarkers.begin(), englishMarkers.end());
        EXPECT_EQ(markers, englishMarkers) << e.id << ": " << text;
        EXPECT_EQ(Count(text, "\r\n"), Count(english, "\r\n")) << e.id << ": " << text;
        EXPECT_EQ(Count(text, "\n"), Count(english, "\n")) << e.id << ": " << text;
    }
}

// Every entry is a whole sentence or label with places for what goes in, never a piece to be
// joined to another in code: none starts or ends with a blank. The labels before an edit box are
// the one exception: the layout keeps their trailing blank.
TEST_P(TranslationTest, EntriesAreWholeWithoutJoiningBlanks) {
    const std::set<TextId> labels = {IDS_FILE_NAME_LABEL, IDS_WILDCARD_LABEL};
    for (const TextEntry& e : AllTexts()) {
        const std::string& text = TextIn(GetParam().language, e.id);
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.front(), ' ') << e.id << ": [" << text << "]";
        if (labels.count(e.id) == 0) {
            EXPECT_NE(text.back(), ' ') << e.id << ": [" << text << "]";
        }
    }
}

TEST_P(TranslationTest, AccessKeysAreWhereTheEnglishHasThemAndUniqueInTheirWindow) {
    for (const auto& [where, ids] : KeyGroups()) {
        std::set<char32_t> keys;
        for (const TextId id : ids) {
            const char32_t key = AccessKey(TextIn(GetParam().language, id));
            EXPECT_NE(key, static_cast<char32_t>(-1)) << where << ": " << id;
            EXPECT_EQ(key != 0, AccessKey(Text(id)) != 0) << where << ": " << TextIn(GetParam().language, id);
            if (key != 0) {
                EXPECT_TRUE(keys.insert(key).second) << where << ": " << TextIn(GetParam().language, id);
            }
        }
    }
}

TEST_P(TranslationTest, NamesAndAddressesStayAsTheyAre) {
    for (const TextId id : {IDS_PRODUCT_NAME, IDS_VERSION_NUMBER, IDS_URL_HOME, IDS_URL_PRODUCT, IDS_URL_UPDATE,
                            IDS_URL_DONATE, IDS_URL_STORE}) {
        EXPECT_EQ(TextIn(GetParam().language, id), TextIn(Language::English, id));
    }
    // The support address and the program's file name are quoted, not translated.
    EXPECT_NE(TextIn(GetParam().language, IDS_ABOUT_EMAIL).find("support@kestro-software.example"), std::string::npos);
    EXPECT_NE(TextIn(GetParam().language, IDS_NEEDS_ADMIN).find("Tarvask.exe"), std::string::npos);
}

TEST_P(TranslationTest, TextFollowsTheChosenLanguage) {
    SetTextLanguage(GetParam().language);
    EXPECT_EQ(TextLanguage(), GetParam().language);
    EXPECT_EQ(Text(IDS_SELECT_SOURCE), TextIn(GetParam().language, IDS_SELECT_SOURCE));
    EXPECT_EQ(std::string(InfoOf(GetParam().language).code), GetParam().code);
    if (GetParam().language != Language::English) {
        EXPECT_NE(Text(IDS_SELECT_SOURCE), TextIn(Language::English, IDS_SELECT_SOURCE));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage, TranslationTest, ::testing::ValuesIn(Languages().begin(), Languages().end()),
                         [](const auto& param) {
                             std::string name = param.param.code;
                             std::erase(name, '-');
                             return name;
                         });

TEST(LanguageChoice, NamesOfLanguagesAndRegions) {
    const std::pair<const char*, std::optional<Language>> cases[] = {
        {"de", Language::German},
        {"de-AT", Language::German},
        {"DE_ch", Language::German},
        {"de_DE.UTF-8", Language::German},
        {"fr-CA", Language::French},
        {"es-419", Language::Spanish},
        {"it", Language::Italian},
        {"pt-BR", Language::BrazilianPortuguese},
        {"pt-PT", Language::BrazilianPortuguese},
        {"ru-RU", Language::Russian},
        {"zh-CN", Language::ChineseSimplified},
        {"zh-Hans-HK", Language::ChineseSimplified},
        {"zh-SG", Language::ChineseSimplified},
        {"zh", Language::ChineseSimplified},
        {"zh-TW", std::nullopt},
        {"zh-Hant-CN", std::nullopt},
        {"ja-JP", Language::Japanese},
        {"en-GB", Language::English},
        {"nl-NL", std::nullopt},
        {"d", std::nullopt},
        {"deu", std::nullopt},
        {"", std::nullopt},
        {" de", std::nullopt},
    };
    for (const auto& [name, language] : cases) {
        EXPECT_EQ(LanguageOfName(name), language) << name;
    }
}

TEST(LanguageChoice, SettingFirstThenTheUsersLanguagesThenEnglish) {
    EXPECT_EQ(ChooseLanguage("", {"de-DE", "fr-FR"}), Language::German);
    EXPECT_EQ(ChooseLanguage("fr", {"de-DE"}), Language::French);
    EXPECT_EQ(ChooseLanguage("en", {"ja-JP"}), Language::English);
    // Unknown values give way quietly; so do display languages the program does not speak.
    EXPECT_EQ(ChooseLanguage("klingon", {"nl-NL", "zh-TW", "ru-RU"}), Language::Russian);
    EXPECT_EQ(ChooseLanguage("xx", {"nl-NL"}), Language::English);
    EXPECT_EQ(ChooseLanguage("", {}), Language::English);
}

} // namespace

#include "ui/language_win.h"

#include <array>
#include <cwchar>
#include <map>

#include "platform/winstr_win.h"

namespace kestro {

namespace {

std::string NameOfLanguageId(LANGID language) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(MAKELCID(language, SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) <= 0) {
        return {};
    }
    return Narrow(name);
}

std::vector<std::string> PreferredUiLanguages() {
    ULONG count = 0;
    ULONG size = 0;
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) || size == 0) {
        return {};
    }
    std::wstring buffer(size, L'\0');
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, buffer.data(), &size)) {
        return {};
    }
    std::vector<std::string> names;
    for (std::size_t start = 0; start < buffer.size() && buffer[start] != L'\0';) {
        const std::size_t end = buffer.find(L'\0', start);
        names.push_back(Narrow(std::wstring_view(buffer).substr(start, end - start)));
        start = end + 1;
    }
    return names;
}

int CALLBACK NoteFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM found) {
    // Vertical faces ("@SimSun") and raster faces do not serve horizontal text at every size.
    if (font->lfFaceName[0] == L'@' || (type & TRUETYPE_FONTTYPE) == 0) {
        return 1;
    }
    *reinterpret_cast<std::wstring*>(found) = font->lfFaceName;
    return 0;
}

// The face when it is installed with the character set; with an empty face, the first installed
// face of the character set.
std::wstring InstalledFace(const wchar_t* face, BYTE charset) {
    LOGFONTW query{};
    query.lfCharSet = charset;
    wcsncpy(query.lfFaceName, face, LF_FACESIZE - 1);
    std::wstring found;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &query, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

// The first of the faces Windows ships for the script, else any face of its character set.
TextFace ScriptFace(std::initializer_list<const wchar_t*> faces, BYTE charset) {
    for (const wchar_t* face : faces) {
        if (!InstalledFace(face, charset).empty()) {
            return {face, charset, true};
        }
    }
    std::wstring any = InstalledFace(L"", charset);
    if (any.empty()) {
        // Nothing claims the character set: the font mapper's choice for it.
        return {L"MS Sans Serif", charset, true};
    }
    return {any, charset, true};
}

TextFace FaceFor(Language language) {
    switch (language) {
    case Language::English:
        return {L"MS Sans Serif", DEFAULT_CHARSET, false};
    case Language::Russian:
        // The toolkit's face has no Cyrillic letters on a Western system; Tahoma, the dialog face
        // of Windows in Russian, has them on every system.
        return {L"Tahoma", RUSSIAN_CHARSET, false};
    case Language::ChineseSimplified:
        return ScriptFace({L"Microsoft YaHei UI", L"Microsoft YaHei", L"SimSun"}, GB2312_CHARSET);
    case Language::Japanese:
        return ScriptFace({L"Meiryo UI", L"Yu Gothic UI", L"MS UI Gothic"}, SHIFTJIS_CHARSET);
    default:
        // The Western languages: their letters are all in the Western character set, whatever
        // the system's code page.
        return {L"MS Sans Serif", ANSI_CHARSET, false};
    }
}

} // namespace

std::vector<std::string> UserDisplayLanguages() {
    std::vector<std::string> names;
    const std::string first = NameOfLanguageId(GetUserDefaultUILanguage());
    if (!first.empty()) {
        names.push_back(first);
    }
    for (std::string& name : PreferredUiLanguages()) {
        names.push_back(std::move(name));
    }
    return names;
}

Language ProgramLanguage(std::string_view setting) {
    return ChooseLanguage(setting, UserDisplayLanguages());
}

const TextFace& ProgramTextFace() {
    static std::map<Language, TextFace> faces;
    const Language language = TextLanguage();
    auto it = faces.find(language);
    if (it == faces.end()) {
        it = faces.emplace(language, FaceFor(language)).first;
    }
    return it->second;
}

void UseProgramFace(LOGFONTW& font) {
    const TextFace& face = ProgramTextFace();
    if (face.ownScript) {
        wcsncpy(font.lfFaceName, face.face.c_str(), LF_FACESIZE - 1);
        font.lfFaceName[LF_FACESIZE - 1] = L'\0';
        font.lfCharSet = face.charset;
    }
}

} // namespace kestro

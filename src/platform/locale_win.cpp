#include "platform/locale_win.h"

#include <windows.h>

#include <iterator>

#include "base/number_text.h"
#include "platform/winstr_win.h"

namespace kestro {

namespace {

// A locale text of at most a few characters, or fallback when the locale has none.
std::string LocaleText(LCTYPE type, const char* fallback) {
    wchar_t buffer[16] = {};
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, static_cast<int>(std::size(buffer)));
    return n > 1 ? Narrow(std::wstring_view(buffer, static_cast<std::size_t>(n - 1))) : std::string(fallback);
}

} // namespace

std::string LocaleDecimalSeparator() {
    wchar_t separator[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, static_cast<int>(std::size(separator))) <=
        0) {
        return ".";
    }
    return Narrow(separator);
}

std::string LocaleGroupedNumber(std::uint64_t value) {
    return GroupDigits(value, LocaleText(LOCALE_SGROUPING, "3;0"), LocaleText(LOCALE_STHOUSAND, ","));
}

} // namespace kestro

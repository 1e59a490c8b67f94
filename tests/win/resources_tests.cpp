// The resources compiled into Tarvask.exe, read from the file as Explorer's Properties dialog
// reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/winstr_win.h"
#include "support/wine_helpers.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

std::vector<unsigned char> VersionBlock(const std::wstring& file) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<unsigned char> block(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, block.data())) {
        block.clear();
    }
    return block;
}

// A string of the block, UTF-8; "<missing>" when the block has none of that name.
std::string VersionString(std::vector<unsigned char>& block, const std::wstring& path) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || value == nullptr) {
        return "<missing>";
    }
    // The length counts the terminating zero.
    std::wstring text(static_cast<const wchar_t*>(value));
    EXPECT_LE(text.size() + 1, std::max<std::size_t>(length, 1)) << Narrow(path);
    return Narrow(text);
}

TEST(VersionResource, EveryStringReadsAsTheDetailsTabShowsIt) {
    const std::wstring exe = (ExeFolder() / L"Tarvask.exe").wstring();
    std::vector<unsigned char> block = VersionBlock(exe);
    ASSERT_FALSE(block.empty()) << "no version resource in Tarvask.exe";

    // One translation: US English, Unicode.
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    const auto* translation = static_cast<const WORD*>(value);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    struct Expected {
        const wchar_t* name;
        const char* text;
    };
    const Expected strings[] = {
        {L"CompanyName", "Kestro Software"},
        {L"FileDescription", "Kestro Refindor"},
        {L"FileVersion", "2.0.0.0"},
        {L"InternalName", "Tarvask"},
        {L"LegalCopyright", "Copyright \xC2\xA9 2023 Kestro Software. All rights reserved."},
        {L"OriginalFilename", "Tarvask.exe"},
        {L"ProductName", "Kestro Refindor"},
        {L"ProductVersion", "2.0"},
    };
    for (const Expected& s : strings) {
        EXPECT_EQ(VersionString(block, std::wstring(L"\\StringFileInfo\\040904B0\\") + s.name), s.text)
            << Narrow(s.name);
    }

    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &value, &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

} // namespace

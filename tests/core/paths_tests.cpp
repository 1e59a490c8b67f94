#include "base/paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/tool_folders.h"

using namespace kestro;

TEST(FolderOfFile, IsThePartBeforeTheLastSeparatorWithARootForABareDrive) {
    EXPECT_EQ(FolderOfFile("C:\\Work\\a.txt"), "C:\\Work");
    EXPECT_EQ(FolderOfFile("C:\\Work\\Sub/a.txt"), "C:\\Work\\Sub");
    EXPECT_EQ(FolderOfFile("C:\\a.txt"), "C:\\");
    EXPECT_EQ(FolderOfFile("C:/a.txt"), "C:\\");
    EXPECT_EQ(FolderOfFile("\\\\server\\share\\a.txt"), "\\\\server\\share");
    EXPECT_EQ(FolderOfFile("E:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE\\\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82.docx"),
              "E:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE");
    EXPECT_EQ(FolderOfFile("a.txt"), "");
    EXPECT_EQ(FolderOfFile(""), "");
}

// The program runs elevated: winfr is looked for where Windows puts it and nowhere else. A
// 32-bit program on 64-bit Windows sees SysWOW64 in place of System32 (WOW64 file-system
// redirection, which Wine does not apply in the same way), so its system folder is Sysnative.
TEST(ToolFolders, AreTheAccountsAppAliasesThenTheRealSystemFolder) {
    struct Case {
        ToolFolderFacts facts;
        std::vector<std::string> folders;
    };
    const Case cases[] = {
        {{"C:\\Users\\Ana\\AppData\\Local", "C:\\Windows", "C:\\Windows\\system32", false},
         {"C:\\Users\\Ana\\AppData\\Local\\Microsoft\\WindowsApps", "C:\\Windows\\system32"}},
        {{"C:\\Users\\Ana\\AppData\\Local\\", "C:\\Windows", "C:\\Windows\\system32", true},
         {"C:\\Users\\Ana\\AppData\\Local\\Microsoft\\WindowsApps", "C:\\Windows\\Sysnative"}},
        {{"D:\\\xD0\x9F\xD1\x80\xD0\xBE\xD1\x84\xD0\xB8\xD0\xBB\xD1\x8C", "C:\\Windows", "C:\\Windows\\System32", false},
         {"D:\\\xD0\x9F\xD1\x80\xD0\xBE\xD1\x84\xD0\xB8\xD0\xBB\xD1\x8C\\Microsoft\\WindowsApps", "C:\\Windows\\System32"}},
        // Unknown or relative folders would be looked up from the current folder: left out.
        {{"", "C:\\Windows", "C:\\Windows\\system32", false}, {"C:\\Windows\\system32"}},
        {{"AppData\\Local", "", "system32", false}, {}},
        {{"\\\\server\\profiles\\ana", "", "C:\\Windows\\system32", true},
         {"\\\\server\\profiles\\ana\\Microsoft\\WindowsApps"}},
        {{"C:", "C:Windows", "\\Windows\\system32", false}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToolFolders(c.facts), c.folders) << c.facts.localAppData << " | " << c.facts.systemFolder;
    }
}

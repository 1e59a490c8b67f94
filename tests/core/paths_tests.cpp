#include "global/paths.h"

#include <gtest/gtest.h>

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

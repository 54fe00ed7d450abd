#include "PathUtils.h"

#include <gtest/gtest.h>

TEST(PathStrings, StrDeleteRemovesOnlyWithinTheString) {
    EXPECT_EQ(StrDelete("abcdef", 2, 2), "abef");
    EXPECT_EQ(StrDelete("abcdef", 0, 1), "bcdef");
    EXPECT_EQ(StrDelete("abcdef", 4, 100), "abcd"); // count cut to what remains
    EXPECT_EQ(StrDelete("abcdef", -1, 2), "abcdef");
    EXPECT_EQ(StrDelete("abcdef", 6, 1), "abcdef");
    EXPECT_EQ(StrDelete("abcdef", 1, 0), "abcdef");
    EXPECT_EQ(StrDelete("abcdef", 1, -3), "abcdef");
    EXPECT_EQ(StrDelete("", 0, 1), "");
}

TEST(PathStrings, StrReplaceCharReplacesEveryOccurrenceButNeverNul) {
    EXPECT_EQ(StrReplaceChar("a/b/c/", '/', '\\'), "a\\b\\c\\");
    EXPECT_EQ(StrReplaceChar("abc", 'x', 'y'), "abc");
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(StrReplaceChar(withNul, '\0', 'x'), withNul);
}

TEST(PathStrings, StrReplaceCollapsesRunsAndAlwaysEnds) {
    // Searching again from the start after each replacement: four slashes become one, not two.
    EXPECT_EQ(StrReplace("a////b", "//", "/"), "a/b");
    EXPECT_EQ(StrReplace("//a//b///c", "//", "/"), "/a/b/c");
    EXPECT_EQ(StrReplace("aaaab", "ab", "b"), "b");
    EXPECT_EQ(StrReplace("a/b", "", "x"), "a/b");
    EXPECT_EQ(StrReplace("a.b.c", ".", ""), "abc");
    // A replacement that contains what it replaces would grow for ever when
    // searched again; it is done in one pass instead.
    EXPECT_EQ(StrReplace("aba", "a", "aa"), "aabaa");
    EXPECT_EQ(StrReplace("x/y", "/", "//"), "x//y");
    EXPECT_EQ(StrReplace("tif.tif", "tif", "tiff"), "tiff.tiff");
}

TEST(PathStrings, TrimStringRemovesSurroundingBlanksOnly) {
    std::string text = " \t photos/my scan.tif \r\n";
    EXPECT_TRUE(TrimString(text));
    EXPECT_EQ(text, "photos/my scan.tif");
    text = "x";
    EXPECT_TRUE(TrimString(text));
    EXPECT_EQ(text, "x");
    text = " \t\n ";
    EXPECT_FALSE(TrimString(text));
    EXPECT_EQ(text, "");
    text.clear();
    EXPECT_FALSE(TrimString(text));
}

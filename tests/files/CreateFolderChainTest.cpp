#include "PathUtils.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <vector>

using Tree = std::vector<std::string>;

TEST(CreateFolderChain, MakesEveryMissingFolderOfTheFolderPart) {
    TempFolder tmp;
    tmp.MakeDir("a");
    EXPECT_TRUE(CreateFolderChain(tmp / "a/b/c/"));
    EXPECT_EQ(TreeOf(tmp.Path()), (Tree{"a", "a/b", "a/b/c"}));
}

TEST(CreateFolderChain, TakesTheLastComponentForAFileName) {
    TempFolder tmp;
    tmp.MakeDir("a");
    EXPECT_TRUE(CreateFolderChain(tmp / "a/b/c.tif"));
    EXPECT_EQ(TreeOf(tmp.Path()), (Tree{"a", "a/b"}));
    EXPECT_TRUE(CreateFolderChain(tmp / "a/b/noext"));
    EXPECT_EQ(TreeOf(tmp.Path()), (Tree{"a", "a/b"}));
}

TEST(CreateFolderChain, ExistingChainMakesNothing) {
    TempFolder tmp;
    tmp.MakeDir("a");
    EXPECT_TRUE(CreateFolderChain(tmp / "a/"));
    EXPECT_TRUE(CreateFolderChain(tmp / "a/img.tif"));
    EXPECT_TRUE(CreateFolderChain("/"));
    EXPECT_TRUE(CreateFolderChain("img.tif")) << "no folder part: nothing to make";
    EXPECT_EQ(TreeOf(tmp.Path()), (Tree{"a"}));
}

TEST(CreateFolderChain, UnreachableStartMakesNothing) {
    TempFolder tmp;
    tmp.MakeFile("file");
    EXPECT_FALSE(CreateFolderChain(tmp / "file/sub/img.tif"));
    EXPECT_FALSE(CreateFolderChain(""));
    EXPECT_FALSE(CreateFolderChain(" \t "));
    EXPECT_EQ(TreeOf(tmp.Path()), (Tree{"file"}));
}

TEST(CreateFolderChain, AFileWhereAFolderShouldBeIsFailure) {
    TempFolder tmp;
    tmp.MakeDir("a");
    tmp.MakeFile("a/taken");
    EXPECT_FALSE(CreateFolderChain(tmp / "a/taken/"));
    EXPECT_FALSE(CreateFolderChain(tmp / "a/taken/img.tif"));
    EXPECT_EQ(TreeOf(tmp.Path()), (Tree{"a", "a/taken"}));
    EXPECT_TRUE(IsFile(tmp / "a/taken"));
}

TEST(CreateFolderChain, StopsAtTheFirstFolderItCannotMakeKeepingEarlierOnes) {
    TempFolder tmp;
    const std::string tooLong(300, 'z'); // above any file system's name limit
    EXPECT_FALSE(CreateFolderChain(tmp / ("made/" + tooLong + "/never/")));
    EXPECT_EQ(TreeOf(tmp.Path()), (Tree{"made"}));
}

TEST(CreateFolderChain, RunsOfSeparatorsCountAsOne) {
    TempFolder tmp;
    EXPECT_TRUE(CreateFolderChain(tmp.Path() + "//a///b////c//"));
    EXPECT_EQ(TreeOf(tmp.Path()), (Tree{"a", "a/b", "a/b/c"}));
    // A doubled leading separator is still the root.
    EXPECT_TRUE(CreateFolderChain("/" + (tmp / "d/e/img.tif")));
    EXPECT_TRUE(IsDir(tmp / "d/e"));
    EXPECT_FALSE(IsDir(tmp / "d/e/img.tif"));
}

TEST(CreateFolderChain, BackslashesAndInnerBlanksBelongToNames) {
    TempFolder tmp;
    EXPECT_TRUE(CreateFolderChain("  " + (tmp / "a\\b/ c /d /") + "  "));
    EXPECT_EQ(TreeOf(tmp.Path()), (Tree{"a\\b", "a\\b/ c ", "a\\b/ c /d "}));
}

TEST(CreateFolderChain, DotComponentsEndInAnExistingFolder) {
    TempFolder tmp;
    EXPECT_TRUE(CreateFolderChain(tmp / "a/./"));
    EXPECT_TRUE(CreateFolderChain(tmp / "b/c/../"));
    EXPECT_EQ(TreeOf(tmp.Path()), (Tree{"a", "b", "b/c"}));
}

TEST(CreateFolderChain, RelativeChainStartsInTheCurrentFolder) {
    TempFolder tmp;
    {
        CurrentFolderGuard inside(tmp.Path());
        EXPECT_TRUE(CreateFolderChain("out/sub/x.tif"));
    }
    EXPECT_EQ(TreeOf(tmp.Path()), (Tree{"out", "out/sub"}));
}

TEST(CreateFolderChain, LongChainsAreMadeWhole) {
    TempFolder tmp;
    std::string chain = tmp.Path();
    for (char c = 'a'; c <= 'e'; ++c)
        chain += "/" + std::string(200, c);
    ASSERT_GT(chain.size(), 1000u);
    EXPECT_TRUE(CreateFolderChain(chain + "/img.tif"));
    EXPECT_TRUE(IsDir(chain));
}

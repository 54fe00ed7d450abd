#include "PathUtils.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(FolderQueries, FolderExistsIgnoresOneTrailingSeparator) {
    TempFolder tmp;
    tmp.MakeDir("album");
    tmp.MakeFile("album/img.tif");
    EXPECT_TRUE(FolderExists(tmp / "album"));
    EXPECT_TRUE(FolderExists(tmp / "album/"));
    EXPECT_FALSE(FolderExists(tmp / "missing"));
    EXPECT_FALSE(FolderExists(tmp / "missing/"));
    EXPECT_FALSE(FolderExists(""));
    // Existence is asked, not folderness: a file counts, with or without '/'.
    EXPECT_TRUE(FolderExists(tmp / "album/img.tif"));
    EXPECT_TRUE(FolderExists(tmp / "album/img.tif/"));
    // A backslash is part of the name, not a separator.
    EXPECT_FALSE(FolderExists(tmp / "album\\"));
    EXPECT_FALSE(FolderExists(tmp.Path() + "\\album"));
}

TEST(FolderQueries, TheRootIsTheOnlyDrive) {
    EXPECT_TRUE(FolderExists("/"));
    EXPECT_TRUE(FolderExists("//"));
    EXPECT_TRUE(DriveExists("/"));
    EXPECT_FALSE(DriveExists(""));
    EXPECT_FALSE(DriveExists("C:"));
    EXPECT_FALSE(DriveExists("c"));
    EXPECT_FALSE(DriveExists("/tmp"));
}

TEST(FolderQueries, FileExistsIgnoresSurroundingBlanks) {
    TempFolder tmp;
    tmp.MakeFile("scan.tif");
    EXPECT_TRUE(FileExists(tmp / "scan.tif"));
    EXPECT_TRUE(FileExists("  " + (tmp / "scan.tif") + " \t\n"));
    EXPECT_FALSE(FileExists(tmp / "other.tif"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(" \t "));
    EXPECT_TRUE(FileExists(tmp.Path())); // a folder exists too
}

TEST(FolderQueries, MakeFolderMakesExactlyOneFolder) {
    TempFolder tmp;
    EXPECT_TRUE(MakeFolder(tmp / "new"));
    EXPECT_TRUE(IsDir(tmp / "new"));
    EXPECT_FALSE(MakeFolder(tmp / "new")) << "already there";
    EXPECT_FALSE(MakeFolder(tmp / "missing/child")) << "parent missing";
    EXPECT_FALSE(IsDir(tmp / "missing"));
    EXPECT_TRUE(MakeFolder(" " + (tmp / "padded") + "\t"));
    EXPECT_TRUE(IsDir(tmp / "padded"));
    EXPECT_FALSE(MakeFolder(""));
    EXPECT_FALSE(MakeFolder("   "));
}

TEST(FolderQueries, MakeFolderRefusedIsNotSuccess) {
    TempFolder tmp;
    tmp.MakeDir("locked");
    ASSERT_EQ(chmod((tmp / "locked").c_str(), 0555), 0);
    if (access((tmp / "locked").c_str(), W_OK) == 0)
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    EXPECT_FALSE(MakeFolder(tmp / "locked/probe"));
    EXPECT_FALSE(IsDir(tmp / "locked/probe"));
    EXPECT_FALSE(CreateFolderChain(tmp / "locked/a/b/"));
}

TEST(FolderQueries, GetFolderPartEndsInSeparator) {
    TempFolder tmp;
    tmp.MakeDir("x");
    tmp.MakeDir("x/y");
    tmp.MakeDir("x/y.d");
    tmp.MakeFile("x/plain");
    const std::string x = tmp / "x";
    EXPECT_EQ(GetFolderPart(x + "/img.tif"), x + "/");
    EXPECT_EQ(GetFolderPart(x + "/y"), x + "/y/"); // an existing folder
    EXPECT_EQ(GetFolderPart(x + "/y/"), x + "/y/");
    EXPECT_EQ(GetFolderPart(x + "/gone"), x + "/");  // nothing of that name
    EXPECT_EQ(GetFolderPart(x + "/plain"), x + "/"); // a file without extension
    EXPECT_EQ(GetFolderPart(x + "/y.d"), x + "/");   // a folder with an extension
    EXPECT_EQ(GetFolderPart("img.tif"), "");
    EXPECT_EQ(GetFolderPart("/"), "/");
}

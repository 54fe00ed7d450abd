#include "FolderScan.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using List = std::vector<std::string>;

namespace {

List Scan(const std::string& folder) {
    List list;
    ScanFolder(folder, list);
    return list;
}

List Filtered(List list) {
    FilterTiffFiles(list);
    return list;
}

} // namespace

TEST(FolderScan, EmptyOrMissingFolderAddsNothing) {
    TempFolder tmp;
    tmp.MakeDir("empty");
    EXPECT_EQ(Scan(tmp / "empty"), List{});
    EXPECT_EQ(Scan(tmp / "missing"), List{});
    EXPECT_EQ(Scan(tmp / "missing/"), List{});
    EXPECT_EQ(Scan(""), List{});
    tmp.MakeFile("file.tif");
    EXPECT_EQ(Scan(tmp / "file.tif"), List{}) << "a file is not a folder to search";
}

TEST(FolderScan, AppendsWithoutClearing) {
    TempFolder tmp;
    tmp.MakeFile("b.tif");
    List list{"/earlier/z.tif"};
    ScanFolder(tmp.Path(), list);
    ScanFolder(tmp / "missing", list);
    EXPECT_EQ(list, (List{"/earlier/z.tif", tmp / "b.tif"}));
}

TEST(FolderScan, ListsOnlyPlainFilesDirectlyInside) {
    TempFolder tmp;
    tmp.MakeFile("a.tif");
    tmp.MakeFile(".hidden.tif");
    tmp.MakeDir("x.tif");
    tmp.MakeFile("x.tif/inner.tif");
    tmp.MakeDir("sub");
    tmp.MakeFile("sub/deep.tif");
    tmp.MakeDir("elsewhere");
    tmp.MakeFile("elsewhere/target.tif");
    ASSERT_EQ(symlink((tmp / "elsewhere/target.tif").c_str(), (tmp / "linked.tif").c_str()), 0);
    ASSERT_EQ(symlink((tmp / "sub").c_str(), (tmp / "dirlink.tif").c_str()), 0);
    ASSERT_EQ(symlink((tmp / "gone.tif").c_str(), (tmp / "dangling.tif").c_str()), 0);
    ASSERT_EQ(mkfifo((tmp / "pipe.tif").c_str(), 0600), 0);
    EXPECT_EQ(Scan(tmp.Path()), (List{tmp / ".hidden.tif", tmp / "a.tif", tmp / "linked.tif"}));
}

TEST(FolderScan, FolderSpellingsGiveTheSamePaths) {
    TempFolder tmp;
    tmp.MakeDir("shots");
    tmp.MakeFile("shots/one.tif");
    const List expected{tmp / "shots/one.tif"};
    EXPECT_EQ(Scan(tmp / "shots"), expected);
    EXPECT_EQ(Scan(tmp / "shots/"), expected);
    EXPECT_EQ(Scan(tmp / "shots//"), expected);
    EXPECT_EQ(Scan(tmp.Path() + "//./shots/."), expected);
    {
        CurrentFolderGuard inside(tmp.Path());
        EXPECT_EQ(Scan("shots"), expected);
        EXPECT_EQ(Scan("./shots/"), expected);
    }
    {
        CurrentFolderGuard inside(tmp / "shots");
        EXPECT_EQ(Scan("."), expected);
    }
}

TEST(FolderScan, SortsByNameIgnoringCaseThenByBytes) {
    TempFolder tmp;
    for (const char* name :
         {"b.tif", "a.tif", "C.tif", "A.tif", "a1.tif", "B.TIF", "10.tif", "9.tif"})
        tmp.MakeFile(name);
    List expected;
    for (const char* name :
         {"10.tif", "9.tif", "A.tif", "a.tif", "a1.tif", "B.TIF", "b.tif", "C.tif"})
        expected.push_back(tmp / name);
    EXPECT_EQ(Scan(tmp.Path()), expected);
}

TEST(FolderScan, FilterKeepsNamesWhoseExtensionHoldsTif) {
    const List list{"/in/e.jpg", "/in/c.Tiff", "/in/noext", "/in/a.tif", "/in/d.tif.bak",
                    "/in/b.TIF", "/in/f.tifx", "/in/.tif",  "/in/g.TiF", "/in/tif"};
    EXPECT_EQ(Filtered(list), (List{"/in/c.Tiff", "/in/a.tif", "/in/b.TIF", "/in/f.tifx",
                                    "/in/.tif", "/in/g.TiF"}));
    EXPECT_EQ(Filtered(List{}), List{});
}

TEST(FolderScan, FilterLooksAtTheFileNameOnly) {
    const List list{"/shots.tif/noext", "/x.tif.d/a.jpg", "/x.d/a.tif", "/a.tif/b.tif.d/c",
                    "/x.jpg/y.tif"};
    EXPECT_EQ(Filtered(list), (List{"/x.d/a.tif", "/x.jpg/y.tif"}));
}

TEST(FolderScan, ScanThenFilterGivesTheImagesInOrder) {
    TempFolder tmp;
    tmp.MakeDir("in.tif.d");
    for (const char* name : {"f.tifx", "e.jpg", "d.tif.bak", "c.Tiff", "b.TIF", "a.tif", "readme"})
        tmp.MakeFile(std::string("in.tif.d/") + name);
    tmp.MakeDir("in.tif.d/x.tif");
    const std::string in = tmp / "in.tif.d";
    EXPECT_EQ(Filtered(Scan(in + "/")),
              (List{in + "/a.tif", in + "/b.TIF", in + "/c.Tiff", in + "/f.tifx"}));
}

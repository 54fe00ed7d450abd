#include "PathUtils.h"

#include <gtest/gtest.h>

namespace {

void ExpectParts(const std::string& path, const std::string& folder, const std::string& name,
                 const std::string& ext) {
    SCOPED_TRACE(path);
    const PathParts parts = SplitPath(path);
    EXPECT_EQ(parts.folder, folder);
    EXPECT_EQ(parts.name, name);
    EXPECT_EQ(parts.ext, ext);
    EXPECT_EQ(parts.folder + parts.name + parts.ext, path);
}

} // namespace

TEST(PathSplit, SplitsAtLastSeparatorAndLastPeriodOfLastComponent) {
    ExpectParts("/Images/out/scan.final.tif", "/Images/out/", "scan.final", ".tif");
    ExpectParts("scan.tif", "", "scan", ".tif");
    ExpectParts("/x.d/y", "/x.d/", "y", "");
    ExpectParts("/x/y/", "/x/y/", "", "");
    ExpectParts("/", "/", "", "");
    ExpectParts("", "", "", "");
    ExpectParts("x/name.", "x/", "name", ".");
    // A leading period starts the extension: the name is empty.
    ExpectParts("/home/u/.profile", "/home/u/", "", ".profile");
    ExpectParts(".tif", "", "", ".tif");
    ExpectParts("a//b.tif", "a//", "b", ".tif");
}

TEST(PathSplit, BackslashAndDriveLettersAreOrdinaryCharacters) {
    ExpectParts("D:\\x\\img.tif", "", "D:\\x\\img", ".tif");
    ExpectParts("/data/a\\b.c/scan", "/data/a\\b.c/", "scan", "");
    EXPECT_EQ(GetFileName("D:\\x\\img.tif"), "D:\\x\\img.tif");
    EXPECT_EQ(GetFolderPart("D:\\x\\img.tif"), "");
}

TEST(PathSplit, LongPathsAreNotCut) {
    const std::string folder = "/" + std::string(300, 'f') + "/" + std::string(300, 'g') + "/";
    const std::string name = std::string(400, 'n');
    const std::string ext = "." + std::string(300, 'e');
    ExpectParts(folder + name + ext, folder, name, ext);
    EXPECT_EQ(GetFileName(folder + name + ext), name + ext);
    EXPECT_EQ(GetFileExt(folder + name + ext), ext);
}

TEST(PathSplit, FileNameAndExtensionComeFromTheLastComponent) {
    EXPECT_EQ(GetFileName("/x/scan.final.tif"), "scan.final.tif");
    EXPECT_EQ(GetFileExt("/x/scan.final.tif"), ".tif");
    EXPECT_EQ(GetFileExt("/x.d/y"), "");
    EXPECT_EQ(GetFileName("/x.d/y"), "y");
    EXPECT_EQ(GetFileName("/x/y/"), "");
    EXPECT_EQ(GetFileExt("/x/SCAN.TIFF"), ".TIFF");
    EXPECT_EQ(GetFileExt("/x/d.tif.bak"), ".bak");
    EXPECT_EQ(GetFileExt("/x/.tif"), ".tif");
}

#include <gtest/gtest.h>
#include <unistd.h>

#include "JobChecks.h"
#include "TempDir.h"
#include "TiffFixtures.h"

namespace {

std::string Refusal(const std::string& src, const std::string& dst, bool folders) {
    return CheckJob(src, "in.icc", dst, "out.icc", folders).message;
}

} // namespace

TEST(JobChecks, MissingFieldsAreRefusedWithTheModeNoun) {
    const char* images = "Both source and destination images and profiles must be specified";
    const char* folders = "Both source and destination folders and profiles must be specified";
    EXPECT_EQ(CheckJob("", "a.icc", "b.tif", "c.icc", false).message, images);
    EXPECT_EQ(CheckJob("a.tif", "", "b.tif", "c.icc", false).message, images);
    EXPECT_EQ(CheckJob("a.tif", "a.icc", "", "c.icc", false).message, images);
    EXPECT_EQ(CheckJob("a.tif", "a.icc", "b.tif", "", false).message, images);
    EXPECT_EQ(CheckJob("in", "a.icc", "", "c.icc", true).message, folders);
    EXPECT_FALSE(CheckJob("a.tif", "a.icc", "b.tif", "", false).ok);
}

TEST(JobChecks, TheTifExtensionReplacesOnlyTheFileNamesOwn) {
    EXPECT_EQ(WithTifExtension("out.jpeg"), "out.tif");
    EXPECT_EQ(WithTifExtension("OUT.TIF"), "OUT.tif");
    EXPECT_EQ(WithTifExtension(".tif"), ".tif.tif");
    EXPECT_EQ(WithTifExtension("out"), "out.tif");
    EXPECT_EQ(WithTifExtension("scan.final.tiff"), "scan.final.tif");
    EXPECT_EQ(WithTifExtension("/home/me/my.photos/out"), "/home/me/my.photos/out.tif");
    EXPECT_EQ(WithTifExtension("/home/me/my.photos/.hidden"), "/home/me/my.photos/.hidden.tif");
    EXPECT_EQ(WithTifExtension("/home/me/my.photos/x.png"), "/home/me/my.photos/x.tif");

    JobCheckResult single = CheckJob("a.tif", "a.icc", "/tmp/out.jpg", "b.icc", false);
    EXPECT_TRUE(single.ok);
    EXPECT_EQ(single.destination, "/tmp/out.tif");
    // Folders are used as given.
    JobCheckResult folder = CheckJob("in/", "a.icc", "out.d", "b.icc", true);
    EXPECT_TRUE(folder.ok);
    EXPECT_EQ(folder.destination, "out.d");
}

TEST(JobChecks, NeverWritesOverItsOwnSource) {
    fx::TempDir dir;
    ASSERT_TRUE(fx::WriteTiff(dir.file("a.tif"), fx::RgbSpec(2, 2)));
    ASSERT_EQ(0, symlink(dir.file("a.tif").c_str(), dir.file("link.tif").c_str()));
    ASSERT_EQ(0, link(dir.file("a.tif").c_str(), dir.file("hard.tif").c_str()));
    const std::string same = "Source and destination images are the same. Don't be dumb.";

    EXPECT_EQ(Refusal(dir.file("a.tif"), dir.file("a.tif"), false), same);
    EXPECT_EQ(Refusal(dir.file("a.tif"), dir.file("a.jpeg"), false), same); // becomes a.tif
    EXPECT_EQ(Refusal(dir.file("a.tif"), dir.path() + "/./a.tif", false), same);
    EXPECT_EQ(Refusal(dir.file("a.tif"), dir.path() + "//a.tif", false), same);
    EXPECT_EQ(Refusal(dir.file("a.tif"), dir.file("link.tif"), false), same);
    EXPECT_EQ(Refusal(dir.file("link.tif"), dir.file("a.tif"), false), same);
    EXPECT_EQ(Refusal(dir.file("a.tif"), dir.file("hard.tif"), false), same);

    // A relative spelling of the same file.
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir(dir.path().c_str()));
    EXPECT_EQ(Refusal("a.tif", "./a.tif", false), same);
    EXPECT_EQ(Refusal("a.tif", dir.file("a.tif"), false), same);
    // Two spellings of a file that does not exist yet.
    EXPECT_EQ(Refusal("new.tif", "./new.tif", false), same);
    ASSERT_EQ(0, chdir(cwd));

    EXPECT_TRUE(CheckJob(dir.file("a.tif"), "a.icc", dir.file("b.tif"), "b.icc", false).ok);
}

TEST(JobChecks, AFolderRunCannotWriteIntoItsSourceFolder) {
    fx::TempDir dir;
    const std::string in = dir.mkdir("in");
    dir.mkdir("out");
    ASSERT_EQ(0, symlink(in.c_str(), dir.file("alias").c_str()));
    const std::string same = "Source and destination folders are the same. Don't be dumb.";
    EXPECT_EQ(Refusal(in, in + "/", true), same);
    EXPECT_EQ(Refusal(in + "/", in, true), same);
    EXPECT_EQ(Refusal(in, dir.path() + "/./in//", true), same);
    EXPECT_EQ(Refusal(in, dir.file("alias") + "/", true), same);
    EXPECT_TRUE(CheckJob(in, "a.icc", dir.file("out") + "/", "b.icc", true).ok);
    EXPECT_TRUE(CheckJob(in, "a.icc", dir.file("new") + "/", "b.icc", true).ok);
}

// Faults during a run: a disk that fills up part way through an image or while a file's
// directory is written, sources that change between the screening and their turn, a
// destination folder that disappears, and a destination profile rewritten mid-run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "BadInputs.h"
#include "CraftedFiles.h"
#include "ProfileFixtures.h"
#include "Scene.h"

using namespace rel;

namespace {

struct Image {
    std::string name;
    fx::TiffSpec spec;
};

void AddImages(const Scene& scene, const std::vector<Image>& images) {
    for (const Image& image : images)
        ASSERT_TRUE(fx::WriteTiff(scene.in() + "/" + image.name, image.spec));
}

uint64_t FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

std::string WriteFailed(const std::string& path) {
    return "Error: Could not write to " + path + ".";
}

// The same folder converted with no limit: what every completed file must be.
struct ReferenceRun {
    Scene scene;
    explicit ReferenceRun(const std::vector<Image>& images) {
        AddImages(scene, images);
        EXPECT_TRUE(RunJob(scene.Folder()).succeeded);
    }
    std::string out(const std::string& name) const { return scene.out() + "/" + name; }
};

std::set<std::string> Outs(const std::vector<std::string>& names) {
    std::set<std::string> paths;
    for (const std::string& name : names)
        paths.insert("out/" + name);
    return paths;
}

} // namespace

TEST(Fault, AWriteThatFailsMidImageStopsTheRunAndKeepsTheEarlierFiles) {
    const std::vector<Image> images = {{"a.tif", fx::RgbSpec(16, 16)},
                                       {"b.tif", fx::RgbSpec(24, 8)},
                                       {"c.tif", fx::RgbSpec(512, 400)},
                                       {"d.tif", fx::RgbSpec(16, 16)}};
    const ReferenceRun reference(images);
    const uint64_t earlier =
        std::max(FileSize(reference.out("a.tif")), FileSize(reference.out("b.tif")));
    const uint64_t cData = PixelDataEnd(reference.out("c.tif"));
    // A limit that a.tif and b.tif fit under and that c.tif meets half way through its
    // pixels.
    const uint64_t limit = earlier + (cData - earlier) / 2;
    ASSERT_GT(cData, earlier + 4 * 512 * 4);

    Scene scene;
    AddImages(scene, images);
    const Snapshot before = scene.Take();
    const ChildOutcome child = RunJobInChild(scene.Folder(), limit);
    ASSERT_TRUE(child.exitedNormally) << "wait status " << child.status;
    const std::string c = scene.out() + "/c.tif";
    EXPECT_EQ(child.record.messages, std::vector<std::string>{WriteFailed(c)});
    EXPECT_EQ(child.record.names, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_FALSE(child.record.succeeded);
    EXPECT_FALSE(child.record.stop);
    EXPECT_TRUE(child.record.finished);

    // c.tif, cut short, never appears, nor does its hidden temporary file.
    const Snapshot after = scene.Take();
    EXPECT_EQ(ChangedPaths(before, after), Outs({"a.tif", "b.tif"}));
    for (const char* name : {"a.tif", "b.tif"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(fx::ReadTiff(scene.out() + "/" + name).ok);
        EXPECT_EQ(fx::FileDigest(scene.out() + "/" + name), fx::FileDigest(reference.out(name)));
    }
}

TEST(Fault, AFailureWritingAFilesDirectoryIsAWriteFailure) {
    const std::vector<Image> images = {{"a.tif", fx::RgbSpec(8, 8)},
                                       {"b.tif", fx::RgbSpec(512, 400)},
                                       {"c.tif", fx::RgbSpec(8, 8)}};
    const ReferenceRun reference(images);
    const uint64_t refSize = FileSize(reference.out("b.tif"));
    const uint64_t bData = PixelDataEnd(reference.out("b.tif"));
    ASSERT_GT(bData, FileSize(reference.out("a.tif")));
    ASSERT_LT(bData, refSize);

    // Every row fits; the directory does not, or only its first bytes do.
    for (const uint64_t limit : {bData, bData + 50}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        Scene scene;
        AddImages(scene, images);
        const Snapshot before = scene.Take();
        const ChildOutcome child = RunJobInChild(scene.Folder(), limit);
        ASSERT_TRUE(child.exitedNormally) << "wait status " << child.status;
        const std::string b = scene.out() + "/b.tif";
        EXPECT_EQ(child.record.messages, std::vector<std::string>{WriteFailed(b)});
        EXPECT_EQ(child.record.names, (std::vector<std::string>{"a", "b"}));
        EXPECT_FALSE(child.record.succeeded);
        // b.tif, whose directory could not be written, never appears.
        EXPECT_EQ(ChangedPaths(before, scene.Take()), Outs({"a.tif"}));
        EXPECT_EQ(fx::FileDigest(scene.out() + "/a.tif"), fx::FileDigest(reference.out("a.tif")));
    }
}

TEST(Fault, ASourceChangedAfterTheScreeningGetsItsOwnMessage) {
    struct Case {
        const char* label;
        std::function<void(const std::string& path)> change;
        std::string message; // "%s" stands for the source path
        std::vector<std::string> written;
    };
    const auto tiff = [](fx::TiffSpec spec) {
        return [spec](const std::string& path) {
            unlink(path.c_str());
            ASSERT_TRUE(fx::WriteTiff(path, spec));
        };
    };
    fx::TiffSpec sixteen = PlainSourceSpec();
    sixteen.bitsPerSample = 16;
    fx::TiffSpec taller = fx::RgbSpec(8, 40);
    const Case cases[] = {
        {"deleted",
         [](const std::string& p) { unlink(p.c_str()); },
         "Invalid Tiff file - '%s'",
         {"a.tif"}},
        {"replaced by text",
         [](const std::string& p) {
             ASSERT_TRUE(fx::WriteFileBytes(p, {'n', 'o', 'p', 'e'}));
         },
         "Invalid Tiff file - '%s'",
         {"a.tif"}},
        {"replaced by a named pipe",
         [](const std::string& p) {
             unlink(p.c_str());
             ASSERT_EQ(mkfifo(p.c_str(), 0644), 0);
         },
         "Invalid Tiff file - '%s'",
         {"a.tif"}},
        {"replaced by a 16-bit image",
         tiff(sixteen),
         "Error: Source image must be 8-bit.",
         {"a.tif"}},
        {"replaced by a CMYK image",
         tiff(fx::CmykSpec(8, 4)),
         "Error: Data type mismatch between source image and profile.",
         {"a.tif"}},
        {"cut short",
         [](const std::string& p) { ASSERT_TRUE(fx::WriteFileBytes(p, CraftCutImage())); },
         "Error: Source image must be 8-bit and only have standard layers.",
         {"a.tif"}},
        {"replaced by a taller image",
         tiff(taller),
         "",
         {"a.tif", "b.tif", "c.tif", "zz-good.tif"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Scene scene;
        AddImages(scene, {{"a.tif", PlainSourceSpec()},
                          {"b.tif", PlainSourceSpec()},
                          {"c.tif", PlainSourceSpec()}});
        const std::string b = scene.in() + "/b.tif";
        RunSpec spec = scene.Folder();
        spec.beforeImage = [&](const std::string& label) {
            if (label == "b")
                c.change(b);
        };
        const Snapshot before = scene.Take();
        const RunRecord got = RunJob(spec);
        const bool converts = c.message.empty();
        std::string message = c.message;
        if (message.find("%s") != std::string::npos)
            message.replace(message.find("%s"), 2, b);
        EXPECT_EQ(got.messages,
                  converts ? std::vector<std::string>{} : std::vector<std::string>{message});
        EXPECT_EQ(got.succeeded, converts);
        EXPECT_FALSE(got.stop);
        // The percentage follows the rows the screening counted; an image that grew in
        // between must not push it past 100.
        EXPECT_LE(got.percent, 100);
        if (converts) {
            EXPECT_EQ(got.percent, 100);
        }

        std::set<std::string> allowed = Outs(c.written);
        allowed.insert("in/b.tif"); // the test's own change
        const Snapshot after = scene.Take();
        EXPECT_EQ(UnexpectedChanges(before, after, allowed), "");
        for (const std::string& name : c.written)
            EXPECT_TRUE(after.count("out/" + name)) << name;
        EXPECT_EQ(fx::ReadTiff(scene.out() + "/a.tif").pixels, ReferencePixels());
        if (converts) {
            EXPECT_EQ(fx::ReadTiff(scene.out() + "/b.tif").height, 40u);
        }
    }
}

TEST(Fault, TheDestinationFolderRemovedDuringARun) {
    Scene scene;
    AddImages(scene, {{"a.tif", PlainSourceSpec()}, {"b.tif", PlainSourceSpec()}});
    RunSpec spec = scene.Folder();
    spec.beforeImage = [&](const std::string& label) {
        if (label == "b")
            std::filesystem::remove_all(scene.out());
    };
    const Snapshot before = scene.Take();
    const RunRecord got = RunJob(spec);
    EXPECT_EQ(got.messages,
              std::vector<std::string>{"Unable to create Tiff file - '" + scene.out() + "/b.tif'"});
    EXPECT_EQ(got.names, (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(got.succeeded);
    EXPECT_FALSE(got.stop);
    // The folder is not made again, and nothing lands anywhere else.
    EXPECT_FALSE(fx::PathExists(scene.out()));
    Snapshot after = scene.Take();
    std::set<std::string> removed;
    for (const auto& [path, what] : before) {
        if (path.rfind("out", 0) == 0)
            removed.insert(path);
    }
    EXPECT_EQ(ChangedPaths(before, after), removed);
}

TEST(Fault, TheDestinationProfileChangedDuringARun) {
    fx::TempDir other;
    const std::vector<unsigned char> srgbBytes =
        fx::ReadFileBytes(fx::MakeSrgbProfile(other.path()));
    struct Case {
        const char* label;
        std::function<void(const std::string& profile)> change;
        bool converts;
    };
    const Case cases[] = {
        {"overwritten with text",
         [](const std::string& p) {
             ASSERT_TRUE(fx::WriteFileBytes(p, {'j', 'u', 'n', 'k'}));
         },
         false},
        {"cut in half",
         [](const std::string& p) {
             ASSERT_TRUE(fx::TruncateFile(p, fx::ReadFileBytes(p).size() / 2));
         },
         false},
        {"deleted", [](const std::string& p) { unlink(p.c_str()); }, false},
        {"overwritten with an RGB profile",
         [&](const std::string& p) { ASSERT_TRUE(fx::WriteFileBytes(p, srgbBytes)); }, true},
    };
    for (const Case& c : cases) {
        for (const bool embed : {true, false}) {
            SCOPED_TRACE(std::string(c.label) + (embed ? ", embedding" : ", not embedding"));
            Scene scene;
            AddImages(scene, {{"a.tif", PlainSourceSpec()}, {"b.tif", PlainSourceSpec()}});
            const std::vector<unsigned char> original = fx::ReadFileBytes(scene.cmyk());
            RunSpec spec = scene.Folder();
            spec.embed = embed;
            spec.beforeImage = [&](const std::string& label) {
                if (label == "b")
                    c.change(scene.cmyk());
            };
            const Snapshot before = scene.Take();
            const RunRecord got = RunJob(spec);

            std::set<std::string> allowed = Outs({"a.tif"});
            allowed.insert("profiles/cmyk.icc"); // the test's own change
            const fx::TiffContents a = fx::ReadTiff(scene.out() + "/a.tif");
            EXPECT_EQ(a.pixels, ReferencePixels());
            EXPECT_EQ(a.hasIcc, embed);
            if (embed) {
                // The profile read once for embedding is also the one every image is
                // converted with, so pixels and embedded profile always belong together,
                // whatever happens to the file meanwhile.
                EXPECT_TRUE(got.messages.empty());
                EXPECT_TRUE(got.succeeded);
                allowed.insert({"out/b.tif", "out/zz-good.tif"});
                const fx::TiffContents b = fx::ReadTiff(scene.out() + "/b.tif");
                EXPECT_EQ(b.pixels, ReferencePixels());
                EXPECT_EQ(b.icc, original);
            } else if (!c.converts) {
                EXPECT_EQ(got.messages, std::vector<std::string>{
                                            InvalidProfileMessage(scene.srgb(), scene.cmyk())});
                EXPECT_FALSE(got.succeeded);
            } else {
                // Without embedding each image reads the profile when its turn comes.
                EXPECT_TRUE(got.messages.empty());
                EXPECT_TRUE(got.succeeded);
                allowed.insert({"out/b.tif", "out/zz-good.tif"});
                const fx::TiffContents b = fx::ReadTiff(scene.out() + "/b.tif");
                EXPECT_EQ(b.samplesPerPixel, 3);
                EXPECT_EQ(b.photometric, fx::kPhotometricRgb);
                EXPECT_FALSE(b.hasIcc);
            }
            EXPECT_EQ(UnexpectedChanges(before, scene.Take(), allowed), "");
        }
    }
}

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "ConversionJob.h"
#include "ConversionObserver.h"
#include "ConversionRun.h"
#include "ProfileFixtures.h"
#include "TempDir.h"
#include "TiffFixtures.h"

namespace {

struct RecordingObserver : IConversionObserver {
    CConversionJob* job = nullptr;
    std::vector<std::string> messages, names, counts;
    std::vector<int> percentAtStart; // the run-wide percentage as each image begins
    std::function<void(const std::string&)> onMessage;

    void ShowMessage(const std::string& text) override {
        messages.push_back(text);
        if (onMessage)
            onMessage(text);
    }
    void SetFileNameLabel(const std::string& text) override {
        names.push_back(text);
        percentAtStart.push_back(job->m_nPercent);
    }
    void SetFileCountLabel(const std::string& text) override { counts.push_back(text); }
};

struct TestRun {
    CConversionJob job;
    RecordingObserver observer;
    fx::TempDir profiles;
    std::string srgb = fx::MakeSrgbProfile(profiles.path());
    std::string cmyk = fx::MakeCmykProfile(profiles.path());

    TestRun() {
        observer.job = &job;
        job.m_pObserver = &observer;
        job.m_nPauseMs = 0;
    }
    void Start(const std::string& src, const std::string& dst, bool folders, bool embed = false,
               std::string destProfile = "") {
        job.SetJob(src, srgb, destProfile.empty() ? cmyk : destProfile, dst, 2, folders);
        job.m_bEmbedProfile = embed;
        ConversionThreadProc(&job);
    }
};

fx::TiffSpec Sixteen() {
    fx::TiffSpec spec = fx::RgbSpec(4, 4);
    spec.bitsPerSample = 16;
    return spec;
}

} // namespace

TEST(ConversionRun, FolderScreeningReportsInReverseAndConvertsWhatIsLeft) {
    fx::TempDir dir;
    const std::string in = dir.mkdir("in"), out = dir.mkdir("out");
    ASSERT_TRUE(fx::WriteTiff(in + "/a.tif", fx::RgbSpec(5, 7)));
    ASSERT_TRUE(fx::WriteTiff(in + "/b.TIF", Sixteen()));
    ASSERT_TRUE(fx::WriteFileBytes(in + "/c.tif", {'n', 'o'}));
    ASSERT_TRUE(fx::WriteTiff(in + "/d.jpg", fx::RgbSpec(5, 7)));
    const std::string before = fx::FileDigest(in + "/a.tif");

    TestRun run;
    run.Start(in + "/", out + "/", true);
    ASSERT_EQ(run.observer.messages.size(), 2u);
    EXPECT_EQ(run.observer.messages[0], "Invalid Tiff file - '" + in + "/c.tif'");
    EXPECT_EQ(run.observer.messages[1], "Error: Source image b.TIF must be 8-bit.");
    EXPECT_EQ(run.observer.names, std::vector<std::string>{"a"});
    EXPECT_EQ(run.observer.counts, std::vector<std::string>{"File 1 of 1"});
    EXPECT_TRUE(run.job.m_bSucceeded);
    EXPECT_FALSE(run.job.m_bStop);
    EXPECT_TRUE(run.job.m_bFinished);
    EXPECT_EQ(run.job.m_nPercent, 100);
    EXPECT_TRUE(fx::ReadTiff(out + "/a.tif").ok);
    EXPECT_FALSE(fx::PathExists(out + "/b.TIF"));
    EXPECT_FALSE(fx::PathExists(out + "/c.tif"));
    EXPECT_FALSE(fx::PathExists(out + "/d.jpg"));
    EXPECT_EQ(fx::FileDigest(in + "/a.tif"), before);
    EXPECT_EQ(run.job.m_pSourceRow, nullptr);
}

TEST(ConversionRun, NamesLabelsAndDestinationsAfterTheSource) {
    fx::TempDir dir;
    const std::string in = dir.mkdir("in"), out = dir.mkdir("out");
    ASSERT_TRUE(fx::WriteTiff(in + "/.x.tif", fx::RgbSpec(3, 3)));
    ASSERT_TRUE(fx::WriteTiff(in + "/Scan.TIFF", fx::RgbSpec(3, 3)));
    ASSERT_TRUE(fx::WriteTiff(in + "/scan.final.tif", fx::RgbSpec(3, 3)));
    TestRun run;
    // No trailing separator: the files still land inside the folder.
    run.Start(in, out, true);
    EXPECT_EQ(run.observer.names, (std::vector<std::string>{".x.tif", "scan", "Scan"}));
    EXPECT_EQ(run.observer.counts,
              (std::vector<std::string>{"File 1 of 3", "File 2 of 3", "File 3 of 3"}));
    EXPECT_TRUE(fx::ReadTiff(out + "/.x.tif").ok);
    EXPECT_TRUE(fx::ReadTiff(out + "/Scan.TIFF").ok);
    EXPECT_TRUE(fx::ReadTiff(out + "/scan.final.tif").ok);
    EXPECT_TRUE(run.job.m_bSucceeded);

    EXPECT_EQ(CConversionRun::DestinationFor("/o/", "/i/Scan.TIFF"), "/o/Scan.TIFF");
    EXPECT_EQ(CConversionRun::DestinationFor("/o", "/i/Scan.TIFF"), "/o/Scan.TIFF");
    EXPECT_EQ(CConversionRun::FileNameLabel("/i/portrait.tif"), "portrait");
}

TEST(ConversionRun, SingleModeConvertsAnyNameThatHoldsATiff) {
    fx::TempDir dir;
    ASSERT_TRUE(fx::WriteTiff(dir.file("scan.jpg"), fx::RgbSpec(3, 3)));
    TestRun run;
    run.Start(dir.file("scan.jpg"), dir.file("out.tif"), false);
    EXPECT_TRUE(run.observer.messages.empty());
    EXPECT_EQ(run.observer.names, std::vector<std::string>{"scan"});
    EXPECT_TRUE(run.job.m_bSucceeded);
    EXPECT_EQ(fx::ReadTiff(dir.file("out.tif")).samplesPerPixel, 4);

    ASSERT_TRUE(fx::WriteFileBytes(dir.file("bad.tif"), {'x'}));
    TestRun bad;
    bad.Start(dir.file("bad.tif"), dir.file("bad-out.tif"), false);
    EXPECT_EQ(bad.observer.messages,
              std::vector<std::string>{"Invalid Tiff file - '" + dir.file("bad.tif") + "'"});
    EXPECT_FALSE(bad.job.m_bSucceeded);
    EXPECT_FALSE(fx::PathExists(dir.file("bad-out.tif")));
}

TEST(ConversionRun, ThePercentageCountsRowsOverTheWholeRun) {
    fx::TempDir dir;
    const std::string in = dir.mkdir("in"), out = dir.mkdir("out");
    for (const char* name : {"1.tif", "2.tif", "3.tif"})
        ASSERT_TRUE(fx::WriteTiff(in + "/" + name, fx::RgbSpec(2, 100)));
    TestRun run;
    run.Start(in, out, true);
    EXPECT_EQ(run.observer.percentAtStart, (std::vector<int>{0, 33, 67}));
    EXPECT_EQ(run.job.m_nPercent, 100);

    EXPECT_EQ(RoundToInt(0.5), 1);
    EXPECT_EQ(RoundToInt(2.5), 3);
    EXPECT_EQ(RoundToInt(99.5), 100);
    EXPECT_EQ(RoundToInt(0.49), 0);
    EXPECT_EQ(RoundToInt(100.0 / 300.0 * 100.0), 33);
    EXPECT_EQ(RoundToInt(-0.5), -1);
    EXPECT_EQ(RoundToInt(-2.5), -3);
    EXPECT_EQ(RoundToInt(-2.4), -2);
}

TEST(ConversionRun, CancelAndEmptyRunsEndUnsuccessfully) {
    fx::TempDir dir;
    const std::string in = dir.mkdir("in"), out = dir.mkdir("out");
    ASSERT_TRUE(fx::WriteTiff(in + "/a.tif", fx::RgbSpec(4, 4)));
    ASSERT_TRUE(fx::WriteTiff(in + "/b.tif", fx::RgbSpec(4, 4)));

    // Cancelled before it began: nothing read, nothing written.
    TestRun early;
    early.job.RequestCancel();
    early.Start(in, out, true);
    EXPECT_TRUE(early.observer.names.empty());
    EXPECT_FALSE(early.job.m_bSucceeded);
    EXPECT_FALSE(early.job.m_bStop);
    EXPECT_TRUE(early.job.m_bFinished);
    EXPECT_FALSE(fx::PathExists(out + "/a.tif"));

    // Cancelled while the screening shows a message: the first image stops
    // before its first row and no destination appears.
    ASSERT_TRUE(fx::WriteFileBytes(in + "/z.tif", {'z'}));
    TestRun screening;
    screening.observer.onMessage = [&](const std::string&) { screening.job.RequestCancel(); };
    screening.Start(in, out, true);
    EXPECT_EQ(screening.observer.messages.size(), 1u);
    EXPECT_EQ(screening.observer.names, std::vector<std::string>{"a"});
    EXPECT_EQ(fx::ListFolder(out), std::vector<std::string>{});
    EXPECT_FALSE(fx::PathExists(out + "/b.tif"));
    EXPECT_FALSE(screening.job.m_bSucceeded);
    EXPECT_FALSE(screening.job.m_bStop);

    // No TIFF names at all: no message, no success.
    const std::string empty = dir.mkdir("empty");
    ASSERT_TRUE(fx::WriteFileBytes(empty + "/notes.txt", {'n'}));
    TestRun none;
    none.Start(empty, out, true);
    EXPECT_TRUE(none.observer.messages.empty());
    EXPECT_FALSE(none.job.m_bSucceeded);
    TestRun missing;
    missing.Start(dir.file("no-such-folder"), out, true);
    EXPECT_TRUE(missing.observer.messages.empty());
    EXPECT_FALSE(missing.job.m_bSucceeded);
}

TEST(ConversionRun, AFailingImageStopsTheRunAndLeavesTheRestUntouched) {
    fx::TempDir dir;
    const std::string in = dir.mkdir("in"), out = dir.mkdir("out");
    ASSERT_TRUE(fx::WriteTiff(in + "/a.tif", fx::RgbSpec(4, 4)));
    ASSERT_TRUE(fx::WriteTiff(in + "/b.tif", fx::CmykSpec(4, 4)));
    ASSERT_TRUE(fx::WriteTiff(in + "/c.tif", fx::RgbSpec(4, 4)));
    TestRun run;
    run.Start(in, out, true);
    EXPECT_EQ(
        run.observer.messages,
        std::vector<std::string>{"Error: Data type mismatch between source image and profile."});
    EXPECT_TRUE(fx::ReadTiff(out + "/a.tif").ok);
    EXPECT_FALSE(fx::PathExists(out + "/b.tif"));
    EXPECT_FALSE(fx::PathExists(out + "/c.tif"));
    EXPECT_FALSE(run.job.m_bSucceeded);
    EXPECT_FALSE(run.job.m_bStop);
}

TEST(ConversionRun, EmbedsTheDestinationProfileInEveryFile) {
    fx::TempDir dir;
    const std::string in = dir.mkdir("in"), out = dir.mkdir("out");
    ASSERT_TRUE(fx::WriteTiff(in + "/a.tif", fx::RgbSpec(4, 4)));
    ASSERT_TRUE(fx::WriteTiff(in + "/b.tif", fx::RgbSpec(4, 4)));
    TestRun run;
    run.Start(in, out, true, true);
    const std::vector<unsigned char> bytes = fx::ReadFileBytes(run.cmyk);
    for (const char* name : {"/a.tif", "/b.tif"}) {
        fx::TiffContents got = fx::ReadTiff(out + name);
        ASSERT_TRUE(got.hasIcc) << name;
        EXPECT_EQ(got.icc, bytes);
    }

    // A destination profile that does not exist: nothing is said about the
    // embedding, and the first image fails with the profile message.
    TestRun missing;
    const std::string gone = dir.file("gone.icc");
    missing.Start(in, dir.mkdir("out2"), true, true, gone);
    EXPECT_EQ(
        missing.observer.messages,
        std::vector<std::string>{"Invalid Profile:\n  " + missing.srgb + "\n  " + gone + "'"});
}

TEST(ConversionRun, APipeNamedAsTheProfileToEmbedIsRefusedWithoutWaiting) {
    fx::TempDir dir;
    ASSERT_TRUE(fx::WriteTiff(dir.file("a.tif"), fx::RgbSpec(4, 4)));
    ASSERT_EQ(0, mkfifo(dir.file("pipe.icc").c_str(), 0600));
    TestRun run;
    run.Start(dir.file("a.tif"), dir.file("out.tif"), false, true, dir.file("pipe.icc"));
    EXPECT_EQ(run.observer.messages, std::vector<std::string>{"Invalid Profile:\n  " + run.srgb +
                                                              "\n  " + dir.file("pipe.icc") + "'"});
    EXPECT_FALSE(run.job.m_bSucceeded);
}

TEST(ConversionRun, ADestinationThatIsItsSourceIsRefusedPerImage) {
    fx::TempDir dir;
    const std::string in = dir.mkdir("in"), out = dir.mkdir("out");
    ASSERT_TRUE(fx::WriteTiff(in + "/a.tif", fx::RgbSpec(4, 4)));
    ASSERT_EQ(0, symlink((in + "/a.tif").c_str(), (out + "/a.tif").c_str()));
    const std::string before = fx::FileDigest(in + "/a.tif");
    TestRun run;
    run.Start(in, out, true);
    EXPECT_EQ(
        run.observer.messages,
        std::vector<std::string>{"Source and destination images are the same. Don't be dumb."});
    EXPECT_EQ(fx::FileDigest(in + "/a.tif"), before);
    EXPECT_FALSE(run.job.m_bSucceeded);
}

// What a run writes appears under its final name only when complete: links
// and existing files at a destination name are replaced, never written
// through; signals, cancels and concurrent runs never leave a half image or a
// damaged earlier one; closed standard streams never reach an image.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "BadInputs.h"
#include "Scene.h"
#include "TiffFixtures.h"

using namespace rel;

namespace {

// The image an interrupt arrives in: big enough that the run is surely in
// its rows when the first megabyte of the temporary file is seen.
const std::string& BigSourceBytes() {
    static const std::string path = [] {
        static fx::TempDir dir;
        fx::TiffSpec big = fx::RgbSpec(3000, 4000);
        big.rowsPerStrip = 16;
        fx::WriteTiff(dir.file("big.tif"), big);
        return dir.file("big.tif");
    }();
    return path;
}

// The hidden temporary file in a folder, or "".
std::string HiddenFileIn(const std::string& folder) {
    for (const std::string& name : fx::ListFolder(folder))
        if (name[0] == '.')
            return folder + "/" + name;
    return "";
}

bool WaitForTemporaryFile(const std::string& folder) {
    for (int i = 0; i < 20000; ++i) {
        struct stat st {};
        const std::string temp = HiddenFileIn(folder);
        if (!temp.empty() && stat(temp.c_str(), &st) == 0 && st.st_size > (1 << 20))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

fx::ProcessResult RunCliWith(const std::vector<std::string>& args,
                             const std::function<void()>& inChild) {
    fx::TempDir io;
    const pid_t pid =
        fx::StartProcess(CHROMAPORT_CLI, args, io.file("out"), io.file("err"), inChild);
    return fx::FinishProcess(pid, io.file("out"), io.file("err"));
}

void ExpectReferenceImage(const std::string& path) {
    const fx::TiffContents got = fx::ReadTiff(path);
    ASSERT_TRUE(got.ok) << path;
    EXPECT_EQ(got.pixels, ReferencePixels());
}

} // namespace

TEST(FileSafety, WhateverIsAtADestinationNameIsReplacedAndItsTargetLeftAlone) {
    struct Case {
        const char* label;
        // Puts something at out/zz-good.tif; returns the file that must stay as it was.
        std::function<std::string(const Scene&)> place;
        mode_t expectedMode;
    };
    const Case cases[] = {
        {"hard link to another source",
         [](const Scene& s) {
             fx::WriteTiff(s.in() + "/b.tif", fx::RgbSpec(5, 3));
             link((s.in() + "/b.tif").c_str(), (s.out() + "/zz-good.tif").c_str());
             return s.in() + "/b.tif";
         },
         0644},
        {"symbolic link to another source",
         [](const Scene& s) {
             fx::WriteTiff(s.in() + "/b.tif", fx::RgbSpec(5, 3));
             symlink((s.in() + "/b.tif").c_str(), (s.out() + "/zz-good.tif").c_str());
             return s.in() + "/b.tif";
         },
         0644},
        {"symbolic link to the destination profile",
         [](const Scene& s) {
             symlink(s.cmyk().c_str(), (s.out() + "/zz-good.tif").c_str());
             return s.cmyk();
         },
         0644},
        {"an earlier result with its own permissions",
         [](const Scene& s) {
             fx::WriteTiff(s.out() + "/zz-good.tif", fx::CmykSpec(4, 4));
             chmod((s.out() + "/zz-good.tif").c_str(), 0640);
             return s.out() + "/keep.tif";
         },
         0640},
    };
    const mode_t mask = umask(022);
    for (const Case& c : cases) {
        for (const bool folder : {false, true}) {
            SCOPED_TRACE(std::string(c.label) + (folder ? ", folder" : ", single"));
            Scene scene;
            const std::string kept = c.place(scene);
            const std::string digest = fx::FileDigest(kept);
            const std::string dest = scene.out() + "/zz-good.tif";
            std::vector<std::string> args = {"-e", "-s", scene.srgb(), "-d", scene.cmyk()};
            if (folder)
                args.insert(args.end(), {"-m", scene.in(), scene.out()});
            else
                args.insert(args.end(), {scene.in() + "/zz-good.tif", dest});
            const CliResult r = RunCli(args);
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(fx::FileDigest(kept), digest);
            struct stat st {};
            ASSERT_EQ(lstat(dest.c_str(), &st), 0);
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(st.st_mode & 07777, c.expectedMode);
            ExpectReferenceImage(dest);
        }
    }
    umask(mask);
}

// Cancelled or killed in the middle of an image that
// replaces an earlier file: the earlier file is whole and nothing is left.
TEST(FileSafety, AStoppedImageLeavesTheEarlierFileAndNoTemporaryFile) {
    struct Case {
        const char* label;
        std::vector<int> signals;
        int exitCode;
    };
    const Case cases[] = {
        {"Ctrl-C", {SIGINT}, 1},
        {"SIGTERM", {SIGTERM}, 128 + SIGTERM},
        {"SIGHUP", {SIGHUP}, 128 + SIGHUP},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fx::TempDir dir;
        const std::string out = dir.mkdir("out");
        const std::string dest = out + "/big.tif";
        ASSERT_TRUE(fx::WriteTiff(dest, fx::CmykSpec(4, 4)));
        const std::string earlier = fx::FileDigest(dest);
        Scene scene;
        fx::TempDir io;
        const pid_t pid = fx::StartProcess(
            CHROMAPORT_CLI, {"-s", scene.srgb(), "-d", scene.cmyk(), BigSourceBytes(), dest},
            io.file("out"), io.file("err"));
        ASSERT_TRUE(WaitForTemporaryFile(out));
        for (const int signal : c.signals)
            kill(pid, signal);
        const fx::ProcessResult r = fx::FinishProcess(pid, io.file("out"), io.file("err"));
        EXPECT_EQ(r.exitCode, c.exitCode) << "the run ended before the signal arrived";
        if (c.exitCode == 1) {
            EXPECT_EQ(r.err, "Conversion cancelled.\n");
        }
        EXPECT_EQ(fx::ListFolder(out), std::vector<std::string>{"big.tif"});
        EXPECT_EQ(fx::FileDigest(dest), earlier);
    }
}

// Two runs on one destination at once: each writes its own temporary file,
// so the name ends up holding one whole image, never rows of both.
TEST(FileSafety, TwoRunsOnOneDestinationLeaveOneWholeImage) {
    Scene scene;
    fx::TempDir dir;
    const std::string dest = dir.file("shared.tif");
    fx::TempDir ioA, ioB;
    const std::vector<std::string> a = {"-s",         scene.srgb(),     "-d",
                                        scene.cmyk(), BigSourceBytes(), dest};
    std::vector<std::string> b = a;
    b.insert(b.begin(), {"-i", "saturation"});
    const pid_t pa = fx::StartProcess(CHROMAPORT_CLI, a, ioA.file("o"), ioA.file("e"));
    const pid_t pb = fx::StartProcess(CHROMAPORT_CLI, b, ioB.file("o"), ioB.file("e"));
    EXPECT_EQ(fx::FinishProcess(pa, ioA.file("o"), ioA.file("e")).exitCode, 0);
    EXPECT_EQ(fx::FinishProcess(pb, ioB.file("o"), ioB.file("e")).exitCode, 0);
    EXPECT_EQ(fx::ListFolder(dir.path()), std::vector<std::string>{"shared.tif"});
    const fx::TiffContents got = fx::ReadTiff(dest);
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.pixels.size(), size_t(3000) * 4000 * 4);
}

// Started with standard input, output and error closed, the tool must not
// hand those numbers to its files: its messages would land in an image.
TEST(FileSafety, ClosedStandardStreamsNeverReachAnImage) {
    Scene scene;
    ASSERT_TRUE(fx::WriteFileBytes(scene.in() + "/a-bad.tif", {'n', 'o', 'p', 'e'}));
    const auto closeAll = [] {
        close(0);
        close(1);
        close(2);
    };
    const fx::ProcessResult r = RunCliWith(
        {"-m", "-e", "-s", scene.srgb(), "-d", scene.cmyk(), scene.in(), scene.out()}, closeAll);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(fx::ListFolder(scene.out()),
              (std::vector<std::string>{"keep.tif", "notes.txt", "zz-good.tif"}));
    const std::vector<unsigned char> bytes = fx::ReadFileBytes(scene.out() + "/zz-good.tif");
    EXPECT_EQ(
        std::search(bytes.begin(), bytes.end(), std::begin("Invalid"), std::end("Invalid") - 1),
        bytes.end());
    ExpectReferenceImage(scene.out() + "/zz-good.tif");
}

// An existing destination the user may not write is refused before any work,
// as writing into it would have been, and left as it was.
TEST(FileSafety, ADestinationTheUserMayNotWriteIsRefused) {
    Scene scene;
    ASSERT_EQ(chmod(scene.root().c_str(), 0755), 0);
    ASSERT_EQ(chmod(scene.out().c_str(), 0777), 0);
    const std::string dest = scene.out() + "/keep.tif";
    ASSERT_EQ(chmod(dest.c_str(), 0444), 0);
    const std::string before = fx::FileDigest(dest);
    // As an ordinary user, whoever runs the tests.
    const auto asNobody = [] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(99);
    };
    const fx::ProcessResult r = RunCliWith(
        {"-s", scene.srgb(), "-d", scene.cmyk(), scene.in() + "/zz-good.tif", dest}, asNobody);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error: Could not write to " + dest + ".\nConversion cancelled.\n");
    EXPECT_EQ(fx::FileDigest(dest), before);
    EXPECT_EQ(fx::ListFolder(scene.out()), (std::vector<std::string>{"keep.tif", "notes.txt"}));
}

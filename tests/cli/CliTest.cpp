#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "Process.h"
#include "ProfileFixtures.h"
#include "TempDir.h"
#include "TerminalObserver.h"
#include "TiffFixtures.h"

namespace {

using Result = fx::ProcessResult;

Result RunCli(const std::vector<std::string>& args) {
    return fx::RunProcess(CHROMAPORT_CLI, args);
}

} // namespace

TEST(Cli, HelpVersionAndUsageErrors) {
    Result help = RunCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: chromaport-cli [options] SOURCE DESTINATION"),
              std::string::npos);
    EXPECT_NE(help.out.find("--source-profile"), std::string::npos);

    Result version = RunCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("chromaport-cli ", 0), 0u);

    const std::vector<std::vector<std::string>> wrong = {
        {"--bogus", "a", "b"},
        {"-s", "x.icc", "-d", "y.icc", "a"},
        {"-s", "x.icc", "-d", "y.icc", "-i", "absolute", "a", "b"},
        {"-s", "x.icc", "-d", "y.icc", "-i", "4", "a", "b"},
        {"-s", "x.icc", "a", "b"},
        {"a", "b", "-s"},
    };
    for (const auto& args : wrong) {
        Result r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_NE(r.err.find("Usage: chromaport-cli"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(Cli, ConvertsReportsAndRefusesWithTheProgramsOwnWords) {
    fx::TempDir dir;
    const std::string srgb = fx::MakeSrgbProfile(dir.path());
    const std::string cmyk = fx::MakeCmykProfile(dir.path());
    ASSERT_TRUE(fx::WriteTiff(dir.file("in.tif"), fx::RgbSpec(8, 8)));

    Result ok = RunCli({"-s", srgb, "-d", cmyk, "-e", "-i", "perceptual", dir.file("in.tif"),
                        dir.file("out.jpeg")});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(ok.out, "Profile conversion complete.\n");
    EXPECT_EQ(ok.err, ""); // no terminal, no progress line
    fx::TiffContents got = fx::ReadTiff(dir.file("out.tif"));
    EXPECT_TRUE(got.ok);
    EXPECT_EQ(got.icc, fx::ReadFileBytes(cmyk));

    Result same = RunCli({"-s", srgb, "-d", cmyk, dir.file("in.tif"), dir.file("in.tif")});
    EXPECT_EQ(same.exitCode, 2);
    EXPECT_EQ(same.err, "Source and destination images are the same. Don't be dumb.\n");

    ASSERT_TRUE(fx::WriteFileBytes(dir.file("junk.tif"), {'j'}));
    Result bad = RunCli({"-q", "-s", srgb, "-d", cmyk, dir.file("junk.tif"), dir.file("x.tif")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.err,
              "Invalid Tiff file - '" + dir.file("junk.tif") + "'\nConversion cancelled.\n");
    EXPECT_EQ(bad.out, "");

    Result profile =
        RunCli({"-s", dir.file("none.icc"), "-d", cmyk, dir.file("in.tif"), dir.file("y.tif")});
    EXPECT_EQ(profile.exitCode, 1);
    EXPECT_EQ(profile.err, "Invalid Profile:\n  " + dir.file("none.icc") + "\n  " + cmyk +
                               "'\nConversion cancelled.\n");

    const std::string in = dir.mkdir("folder"), out = dir.mkdir("converted");
    ASSERT_TRUE(fx::WriteTiff(in + "/p.tif", fx::RgbSpec(4, 4)));
    Result folder = RunCli({"-m", "-s", srgb, "-d", cmyk, in, out});
    EXPECT_EQ(folder.exitCode, 0) << folder.err;
    EXPECT_TRUE(fx::ReadTiff(out + "/p.tif").ok);
}

TEST(Cli, InterruptCancelsAfterTheRowInProgress) {
    fx::TempDir dir;
    const std::string srgb = fx::MakeSrgbProfile(dir.path());
    const std::string cmyk = fx::MakeCmykProfile(dir.path());
    fx::TiffSpec big = fx::RgbSpec(3000, 4000);
    big.rowsPerStrip = 16;
    ASSERT_TRUE(fx::WriteTiff(dir.file("big.tif"), big));
    const std::string out = dir.file("big-out.tif");

    fx::TempDir io;
    const pid_t pid =
        fx::StartProcess(CHROMAPORT_CLI, {"-s", srgb, "-d", cmyk, dir.file("big.tif"), out},
                         io.file("stdout"), io.file("stderr"));
    // Interrupt once the destination holds some rows: the run is in its rows.
    struct stat st {};
    for (int i = 0; i < 20000; ++i) {
        if (stat(out.c_str(), &st) == 0 && st.st_size > (1 << 20))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GT(st.st_size, 1 << 20);
    kill(pid, SIGINT);
    Result r = fx::FinishProcess(pid, io.file("stdout"), io.file("stderr"));
    ASSERT_EQ(r.exitCode, 1) << "the run finished before the interrupt arrived";
    EXPECT_EQ(r.err, "Conversion cancelled.\n");

    // The partial file is a valid TIFF whose written strips are whole rows,
    // one after another from the top.
    TIFF* tif = TIFFOpen(out.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint64_t* counts = nullptr;
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts));
    const uint32_t strips = TIFFNumberOfStrips(tif);
    EXPECT_EQ(strips, 4000u);
    uint32_t written = 0;
    while (written < strips && counts[written] == 3000u * 4)
        ++written;
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, strips);
    for (uint32_t s = written; s < strips; ++s)
        ASSERT_EQ(counts[s], 0u) << s;
    TIFFClose(tif);
}

TEST(Cli, ProgressLineFitsTheTerminal) {
    const std::string line =
        CTerminalObserver::ProgressLine("portrait", "File 2 of 5", 42, 3723, 80);
    EXPECT_NE(line.find("portrait  File 2 of 5"), std::string::npos);
    EXPECT_NE(line.find(" 42%"), std::string::npos);
    EXPECT_NE(line.find("01:02:03"), std::string::npos);
    EXPECT_NE(line.find("[########............]"), std::string::npos);
    const std::string longName(200, 'n');
    EXPECT_LT(CTerminalObserver::ProgressLine(longName, "File 1 of 1", 100, 0, 60).size(), 60u);
}

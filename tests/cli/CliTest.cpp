#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>

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
        {"-d", "y.icc", "--compress", "rar", "a", "b"},
        {"-d", "y.icc", "-m", "--shard", "3/2", "a", "b"},
        {"-d", "y.icc", "-m", "--shard", "0/2", "a", "b"},
        {"-d", "y.icc", "-m", "--shard", "1-2", "a", "b"},
        {"-d", "y.icc", "--shard", "1/2", "a", "b"},
    };
    for (const auto& args : wrong) {
        Result r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_NE(r.err.find("Usage: chromaport-cli"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
        // A bad value names its option.
        for (const std::string option : {"--compress", "--shard"})
            if (std::find(args.begin(), args.end(), option) != args.end()) {
                EXPECT_NE(r.err.find(option), std::string::npos) << r.err;
            }
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

// What scripts rely on: the exit status, and one line saying why a run had
// nothing to do; names shown with their control bytes escaped.
TEST(Cli, ExitStatusAndWordsForEveryEnding) {
    fx::TempDir dir;
    const std::string srgb = fx::MakeSrgbProfile(dir.path());
    const std::string cmyk = fx::MakeCmykProfile(dir.path());
    const std::string mixed = dir.mkdir("mixed"), empty = dir.mkdir("empty");
    const std::string out = dir.mkdir("out");
    ASSERT_TRUE(fx::WriteTiff(mixed + "/a.tif", fx::RgbSpec(4, 4)));
    ASSERT_TRUE(fx::WriteFileBytes(mixed + "/b.tif", {'b'}));
    ASSERT_TRUE(fx::WriteFileBytes(empty + "/notes.txt", {'n'}));
    const std::string escaped = dir.file("\\x1B[31mred.tif");
    ASSERT_TRUE(fx::WriteFileBytes(dir.file("\x1b[31mred.tif"), {'r'}));
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out, err;
    };
    const std::string cancelled = "Conversion cancelled.\n";
    const Case cases[] = {
        {{"-m", mixed, out},
         3,
         "Profile conversion complete.\n",
         "Invalid Tiff file - '" + mixed + "/b.tif'\n"},
        {{"-m", empty, out}, 1, "", "No TIFF images in '" + empty + "'.\n" + cancelled},
        {{"-m", dir.file("gone"), out},
         1,
         "",
         "Cannot read folder '" + dir.file("gone") + "': No such file or directory\n" + cancelled},
        {{dir.file("\x1b[31mred.tif"), dir.file("x.tif")},
         1,
         "",
         "Invalid Tiff file - '" + escaped + "'\n" + cancelled},
        {{mixed + "/a.tif", out + "/"}, 2, "", "Error: '" + out + "/' is a folder.\n"},
        {{mixed + "/a.tif", out}, 2, "", "Error: '" + out + "' is a folder.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        std::vector<std::string> args = {"-s", srgb, "-d", cmyk};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = RunCli(args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(fx::ListFolder(out), std::vector<std::string>{"a.tif"});
}

// N copies given shards 1..N of one folder convert every image exactly once,
// and --list names what each would take; embedded profiles serve as source
// profiles, and --keep-going goes past an image that fails.
TEST(Cli, ShardsEmbeddedProfilesAndKeepGoing) {
    fx::TempDir dir;
    const std::string cmyk = fx::MakeCmykProfile(dir.path());
    const std::string in = dir.mkdir("in"), out = dir.mkdir("out");
    fx::TiffSpec tagged = fx::RgbSpec(6, 4);
    tagged.icc = fx::ReadFileBytes(fx::MakeSrgbProfile(dir.path()));
    std::vector<std::string> names;
    for (int i = 0; i < 7; ++i) {
        names.push_back("img" + std::to_string(i) + ".tif");
        ASSERT_TRUE(fx::WriteTiff(in + "/" + names.back(), tagged));
    }
    std::string listed;
    for (const char* shard : {"1/3", "2/3", "3/3"}) {
        const Result list = RunCli({"--list", "-m", "--shard", shard, in, out});
        EXPECT_EQ(list.exitCode, 0);
        listed += list.out;
        const Result run = RunCli({"-q", "-m", "--shard", shard, "-d", cmyk, in, out});
        EXPECT_EQ(run.exitCode, 0) << run.err;
    }
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 7);
    for (const std::string& name : names) {
        EXPECT_EQ(listed.find(in + "/" + name + "\n"), listed.rfind(in + "/" + name + "\n"));
        EXPECT_NE(listed.find(in + "/" + name + "\n"), std::string::npos);
    }
    EXPECT_EQ(fx::ListFolder(out), names);

    // An image without an embedded profile: the run stops there, or with
    // --keep-going converts the rest and says images were left out.
    ASSERT_TRUE(fx::WriteTiff(in + "/img0.tif", fx::RgbSpec(6, 4)));
    const std::string missing = "Error: Source image img0.tif has no embedded profile.\n";
    const Result stop = RunCli({"-q", "-m", "-d", cmyk, in, dir.mkdir("stop")});
    EXPECT_EQ(stop.exitCode, 1);
    EXPECT_EQ(stop.err, missing + "Conversion cancelled.\n");
    EXPECT_EQ(fx::ListFolder(dir.file("stop")), std::vector<std::string>{});
    const Result go = RunCli({"-q", "-m", "-k", "-d", cmyk, in, dir.mkdir("go")});
    EXPECT_EQ(go.exitCode, 3);
    EXPECT_EQ(go.err, missing);
    EXPECT_EQ(fx::ListFolder(dir.file("go")).size(), 6u);
}

// Descriptive tags only when asked, never the old profile; compressed output
// holds the same pixels.
TEST(Cli, KeepMetadataAndCompression) {
    fx::TempDir dir;
    const std::string srgb = fx::MakeSrgbProfile(dir.path());
    const std::string cmyk = fx::MakeCmykProfile(dir.path());
    fx::TiffSpec spec = fx::RgbSpec(40, 30);
    spec.artist = "A. Photographer";
    spec.icc = fx::ReadFileBytes(srgb);
    ASSERT_TRUE(fx::WriteTiff(dir.file("in.tif"), spec));
    ASSERT_EQ(RunCli({"-d", cmyk, dir.file("in.tif"), dir.file("plain.tif")}).exitCode, 0);
    const fx::TiffContents plain = fx::ReadTiff(dir.file("plain.tif"));
    EXPECT_EQ(plain.artist, "");
    EXPECT_FALSE(plain.hasIcc);
    for (const char* compression : {"lzw", "deflate", "zstd"}) {
        SCOPED_TRACE(compression);
        const Result r = RunCli({"--keep-metadata", "-c", compression, "-d", cmyk,
                                 dir.file("in.tif"), dir.file("kept.tif")});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const fx::TiffContents kept = fx::ReadTiff(dir.file("kept.tif"));
        EXPECT_EQ(kept.artist, "A. Photographer");
        EXPECT_FALSE(kept.hasIcc);
        EXPECT_NE(kept.compression, fx::kCompressionNone);
        EXPECT_EQ(kept.pixels, plain.pixels);
    }
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
    // A long name of two-byte characters is cut between characters.
    std::string accents;
    for (int i = 0; i < 100; ++i)
        accents += "\xC3\xA9";
    for (size_t width : {59u, 60u}) {
        const std::string cut = CTerminalObserver::ProgressLine(accents, "", 1, 0, width);
        EXPECT_EQ(std::count(cut.begin(), cut.end(), '\xC3'),
                  std::count(cut.begin(), cut.end(), '\xA9'));
    }
}

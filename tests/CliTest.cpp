// chromaport-cli as scripts use it: what it prints, its exit status, and which files it writes.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "CliOptions.h"
#include "RequireProfile.h"
#include "Support.h"

namespace {

// A text ending in '*' is matched as a prefix.
bool Matches(const std::string& got, const std::string& want) {
    if (!want.empty() && want.back() == '*')
        return got.compare(0, want.size() - 1, want, 0, want.size() - 1) == 0;
    return got == want;
}

// The shell commands of a text: --help's example lines (from "  chromaport-cli"), or each
// ```sh block of a Markdown file as one script; continued lines are joined.
std::vector<std::string> Examples(const std::string& text, bool markdown) {
    std::vector<std::string> scripts;
    std::istringstream lines(text);
    bool inBlock = false, continued = false;
    for (std::string line; std::getline(lines, line);) {
        if (markdown && line.rfind("```", 0) == 0) {
            inBlock = !inBlock && line == "```sh";
            if (inBlock)
                scripts.emplace_back();
            continue;
        }
        const bool starts = markdown ? inBlock : line.rfind("  chromaport-cli ", 0) == 0;
        if (!starts && !continued)
            continue;
        if (!markdown && !continued)
            scripts.emplace_back();
        continued = !line.empty() && line.back() == '\\';
        scripts.back() += line + "\n";
    }
    // Blocks without the tool (building, installing) are not examples of it.
    scripts.erase(std::remove_if(scripts.begin(), scripts.end(),
                                 [](const std::string& s) {
                                     return s.find("chromaport-cli") == std::string::npos;
                                 }),
                  scripts.end());
    return scripts;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

// Every example of --help and of the README, run as pasted (the tool's path and /data/ aside)
// in a folder holding the images they name: sRGB images with their profile embedded, so
// that those without -s take it, a 16-bit one and a grey one; the Slurm example as task 1
// of 1. Each runs in a folder of its own and ends with status 0, saying nothing but the
// folders it made.
TEST(Cli, EveryExampleRunsAsPasted) {
    std::ifstream readme(CHROMAPORT_SOURCE_DIR "/README.md");
    const std::string markdown((std::istreambuf_iterator<char>(readme)),
                               std::istreambuf_iterator<char>());
    std::vector<std::string> examples = Examples(UsageText(), false);
    EXPECT_EQ(examples.size(), 3u);
    const std::vector<std::string> fromReadme = Examples(markdown, true);
    EXPECT_GE(fromReadme.size(), 7u);
    examples.insert(examples.end(), fromReadme.begin(), fromReadme.end());
    ts::Tiff rgb, deep, grey;
    rgb.icc = ts::ReadBytes(ts::RequireProfile("colord/sRGB.icc"));
    deep = rgb, deep.bits = 16, deep.pixels.clear();
    grey.samples = 1, grey.photometric = 1;
    for (const std::string& example : examples) {
        SCOPED_TRACE(example);
        ts::Scratch d;
        for (const char* folder : {"scans", "data", "data/scans"})
            d.mkdir(folder);
        for (const char* name : {"photo.tif", "scans/a.tif", "scans/b.tif", "data/scans/c.tif"})
            ASSERT_TRUE(ts::WriteTiff(d.file(name), rgb));
        ASSERT_TRUE(ts::WriteTiff(d.file("scan48.tif"), deep));
        ASSERT_TRUE(ts::WriteTiff(d.file("scan.tif"), grey));
        const std::string script = Replaced(Replaced(example, "/data/", d.file("data/")),
                                            "build/chromaport-cli", "chromaport-cli");
        const ts::Proc r = ts::Run({"/bin/sh", "-ec", script}, [&] {
            const std::string cli = CHROMAPORT_CLI;
            const std::string path = cli.substr(0, cli.rfind('/')) + ":" + getenv("PATH");
            if (chdir(d.path().c_str()) != 0 || setenv("PATH", path.c_str(), 1) != 0)
                _exit(126);
            setenv("SLURM_ARRAY_TASK_ID", "1", 1), setenv("SLURM_ARRAY_TASK_MIN", "1", 1);
            setenv("SLURM_ARRAY_TASK_COUNT", "1", 1);
        });
        EXPECT_EQ(r.code, 0) << r.err;
        std::istringstream err(r.err);
        for (std::string line; std::getline(err, line);)
            EXPECT_EQ(line.rfind("chromaport-cli: made the folder '", 0), 0u) << line;
    }
}

// {d} holds in.tif (sRGB, embedded, with an artist), links to it (link.tif, hard.tif), junk.tif, a
// link loop, a junk file whose name holds an escape sequence, and the folders below.
TEST(Cli, WordsExitStatusAndFilesWritten) {
    using namespace std::string_literals; // --list0 output holds NUL bytes
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string out, err, changed; // changed: all that differs under {d} afterwards
        // Standard output: the file /dev/full, "|" a pipe its reader has closed, or the captured
        // file.
        const char* stdoutTo = nullptr;
        // The job scheduler's variables, "NAME=value" apart by blanks; none of them is set
        // otherwise.
        const char* env = "";
    };
    // clang-format off
    const Case cases[] = {
        {{"--\x1b]0;x\x07", "{a}", "{b}"}, 2, "", "chromaport-cli: unknown option '--\\x1B]0;x\\x07'{usage}", ""},
        {{"-d", "{cmyk}", "{a}"}, 2, "", "chromaport-cli: expected SOURCE and DESTINATION{usage}", ""},
        {{"-d", "{cmyk}", "-i", "5", "{a}", "{b}"}, 2, "", "chromaport-cli: unknown intent '5'{usage}", ""},
        {{"-s", "{srgb}", "{a}", "{b}"}, 2, "", "chromaport-cli: --dest-profile is required{usage}", ""},
        {{"{a}", "{b}", "-d"}, 2, "", "chromaport-cli: option '-d' needs an argument{usage}", ""},
        {{"-d", "{cmyk}", "-c", "rar", "{a}", "{b}"}, 2, "", "chromaport-cli: --compress takes none, lzw, deflate or zstd, not 'rar'{usage}", ""},
        {{"-d", "{cmyk}", "--depth", "12", "{a}", "{b}"}, 2, "", "chromaport-cli: --depth takes 8 or 16, not '12'{usage}", ""},
        {{"-d", "{cmyk}", "-m", "--shard", "3/2", "{d}/mixed", "{d}/conv"}, 2, "", "chromaport-cli: --shard takes K/N with 1 <= K <= N, not '3/2'{usage}", ""},
        {{"-d", "{cmyk}", "-m", "--shard", "\t1/3", "{d}/mixed", "{d}/conv"}, 2, "", "chromaport-cli: --shard takes K/N with 1 <= K <= N, not '\\x091/3'{usage}", ""},
        {{"-d", "{cmyk}", "-m", "--shard", "1/\t3", "{d}/mixed", "{d}/conv"}, 2, "", "chromaport-cli: --shard takes K/N with 1 <= K <= N, not '1/\\x093'{usage}", ""},
        {{"-d", "{cmyk}", "--shard", "1/2", "{a}", "{b}"}, 2, "", "chromaport-cli: --shard needs folder mode (-m){usage}", ""},
        {{"--help"}, 0, "Usage: chromaport-cli [options] SOURCE DESTINATION\n*", "", ""},
        {{"--version"}, 0, "chromaport-cli *", "", ""},
        // Refused before a run.
        {{"-d", "{cmyk}", "", "{b}"}, 2, "", "Both source and destination images and profiles must be specified\n", ""},
        {{"-m", "-d", "{cmyk}", "{d}/mixed", ""}, 2, "", "Both source and destination folders and profiles must be specified\n", ""},
        {{"-d", "{cmyk}", "{a}", "{d}/in.jpeg"}, 2, "", "{same}", ""},
        {{"-d", "{cmyk}", "{a}", "{d}/link.tif"}, 2, "", "{same}", ""},
        {{"-d", "{cmyk}", "{a}", "{d}/hard.tif"}, 2, "", "{same}", ""},
        {{"-m", "-d", "{cmyk}", "{d}/mixed", "{d}/alias/"}, 2, "", "Source and destination folders are the same. Don't be dumb.\n", ""},
        {{"-d", "{cmyk}", "{a}", "{d}/conv"}, 2, "", "Error: '{d}/conv' is a folder.\n", ""},
        {{"-d", "{cmyk}", "{a}", "{d}/x"}, 2, "", "Error: '{d}/x' is a folder.\n", ""}, // x.tif is one
        {{"-d", "{cmyk}", "{a}", "{d}/e\x01/"}, 2, "", "Error: '{d}/e\\x01/' is a folder.\n", ""},
        // Single images, always written with the .tif extension; see made[] below.
        {{"-d", "{cmyk}", "{a}", "{d}/my.photos/.hidden"}, 0, "{done}", "", "my.photos/.hidden.tif"},
        {{"-e", "-d", "{cmyk}", "{a}", "{d}/out.jpeg"}, 0, "{done}", "", "out.tif"},
        {{"--keep-metadata", "-c", "lzw", "-d", "{cmyk}", "{a}", "{d}/lzw"}, 0, "{done}", "", "lzw.tif"},
        {{"-e", "--keep-metadata", "-c", "deflate", "-i", "relative", "-d", "{cmyk}", "{a}", "{d}/deflate"}, 0, "{done}", "", "deflate.tif"},
        {{"-c", "zstd", "-s", "{srgb}", "-i", "2", "-d", "{cmyk}", "{a}", "{d}/zstd"}, 0, "{done}", "", "zstd.tif"},
        // A source profile other than the image's own is used as asked, with a note even when quiet.
        {{"-q", "-s", "{adobe}", "-d", "{cmyk}", "{a}", "{d}/noted"}, 0, "{done}", "Note: in.tif carries its own profile 'sRGB built-in'; converting from 'Compatible with Adobe RGB (1998)' as asked.\n", "noted.tif"},
        {{"-s", "{adobe}", "--fallback-profile", "{srgb}", "-d", "{cmyk}", "{a}", "{b}"}, 2, "", "chromaport-cli: --fallback-profile needs -s embedded{usage}", ""},
        {{"--depth", "16", "-d", "{cmyk}", "{a}", "{d}/deep"}, 0, "{done}", "", "deep.tif"},
        {{"-b", "-i", "absolute", "-d", "{cmyk}", "{a}", "{d}/proof"}, 0, "{done}", "", "proof.tif"},
        {{"-i", "4", "-d", "{cmyk}", "{a}", "{d}/proof4"}, 0, "{done}", "", "proof4.tif"},
        {{"--bpc", "-d", "{cmyk}", "{a}", "{d}/bpc"}, 0, "{done}", "", "bpc.tif"},
        {{"-d", "{cmyk}", "{d}/junk.tif", "{b}"}, 1, "", "Invalid Tiff file - '{d}/junk.tif'\n  '{d}/junk.tif' is not a TIFF image.\n{cancelled}", ""},
        {{"-d", "{cmyk}", "{d}/loop.tif", "{b}"}, 1, "", "Cannot read '{d}/loop.tif': Too many levels of symbolic links\n{cancelled}", ""},
        {{"-d", "{cmyk}", "{d}/names/b\\x0A.tif", "{b}"}, 1, "", "Invalid Tiff file - '{d}/names/b\\\\x0A.tif'\n  '{d}/names/b\\\\x0A.tif' is not a TIFF image.\n{cancelled}", ""},
        {{"-d", "{cmyk}", "{d}/\x1b[31mred.tif", "{b}"}, 1, "", "Invalid Tiff file - '{d}/\\x1B[31mred.tif'\n  '{d}/\\x1B[31mred.tif' is not a TIFF image.\n{cancelled}", ""},
        // Folders: mixed holds a.tif, b.tif (junk) and c.tif (4-bit); tagged img0..img6.tif;
        // untagged a.tif, b.tif (without a profile) and c.tif.
        {{"-m", "-d", "{cmyk}", "{d}/mixed", "{d}/conv"}, 3, "Converted 1 of 3 images; 2 skipped.\n{done}", "Error: Source image c.tif must be 8-bit or 16-bit.\n  4-bit samples\nInvalid Tiff file - '{d}/mixed/b.tif'\n  '{d}/mixed/b.tif' is not a TIFF image.\n", "conv/a.tif"},
        // A missing destination folder is made, with its parents; one that cannot be made
        // (a file stands in the way) fails image by image.
        {{"-m", "--shard", "1/3", "-d", "{cmyk}", "{d}/tagged", "{d}/made/deeper/"}, 0, "{done}", "chromaport-cli: made the folder '{d}/made/deeper/'\n", "made, made/deeper, made/deeper/img0.tif, made/deeper/img3.tif, made/deeper/img6.tif"},
        {{"-m", "--shard", "1/3", "-d", "{cmyk}", "{d}/tagged", "{d}/junk.tif/deeper"}, 1, "", "Error: Could not write to {d}/junk.tif/deeper/img0.tif.\n  Cannot open '{d}/junk.tif/deeper/img0.tif': Not a directory\n{cancelled}", ""},
        {{"-m", "-d", "{cmyk}", "{d}/empty", "{d}/conv"}, 1, "", "No TIFF images in '{d}/empty'.\n{cancelled}", ""},
        {{"-m", "-d", "{cmyk}", "{d}/e\x01", "{d}/conv"}, 1, "", "No TIFF images in '{d}/e\\x01'.\n{cancelled}", ""},
        {{"-m", "-d", "{cmyk}", "{d}/gone", "{d}/conv"}, 1, "", "Cannot read folder '{d}/gone': No such file or directory\n{cancelled}", ""},
        {{"-m", "-d", "{cmyk}", "{d}/untagged", "{d}/stop"}, 1, "", "Error: Source image b.tif has no embedded profile.\n{cancelled}", "stop/a.tif"},
        {{"-m", "-s", "embedded", "--fallback-profile", "{srgb}", "-d", "{cmyk}", "{d}/untagged", "{d}/fb"}, 0, "{done}", "chromaport-cli: made the folder '{d}/fb'\n", "fb, fb/a.tif, fb/b.tif, fb/c.tif"},
        {{"-m", "-k", "-d", "{cmyk}", "{d}/untagged", "{d}/go"}, 3, "Converted 2 of 3 images; 1 skipped.\n{done}", "Error: Source image b.tif has no embedded profile.\n", "go/a.tif, go/c.tif"},
        // Shards 1..3 of 3 take every image once between them.
        {{"-m", "--shard", "1/3", "-d", "{cmyk}", "{d}/tagged", "{d}/sh"}, 0, "{done}", "", "sh/img0.tif, sh/img3.tif, sh/img6.tif"},
        {{"-m", "--shard", "2/3", "-d", "{cmyk}", "{d}/tagged", "{d}/sh"}, 0, "{done}", "", "sh/img1.tif, sh/img4.tif"},
        {{"-m", "--shard", "3/3", "-s", "embedded", "-d", "{cmyk}", "{d}/tagged", "{d}/sh"}, 0, "{done}", "", "sh/img2.tif, sh/img5.tif"},
        // More shards than images: an empty shard has done its part.
        {{"-m", "--shard", "4/4", "-d", "{cmyk}", "{d}/untagged", "{d}/sh"}, 0, "Shard 4/4 holds no image of the 3 in '{d}/untagged'.\n", "", ""},
        // The shard from a Slurm job array (task 3 of 2..4), or a Kubernetes completion index.
        {{"-m", "--shard", "auto", "-d", "{cmyk}", "{d}/tagged", "{d}/slurm"}, 0, "{done}", "", "slurm/img1.tif, slurm/img4.tif", nullptr, "SLURM_ARRAY_TASK_ID=3 SLURM_ARRAY_TASK_MIN=2 SLURM_ARRAY_TASK_COUNT=3 SLURM_ARRAY_TASK_STEP=1"},
        {{"-m", "--shard", "auto/3", "-d", "{cmyk}", "{d}/tagged", "{d}/k8s"}, 0, "{done}", "", "k8s/img2.tif, k8s/img5.tif", nullptr, "JOB_COMPLETION_INDEX=2"},
        {{"-m", "--shard", "auto", "-d", "{cmyk}", "{d}/tagged", "{d}/sh"}, 2, "", "chromaport-cli: --shard auto needs SLURM_ARRAY_TASK_ID, which is not set{usage}", "", nullptr, "JOB_COMPLETION_INDEX=2"},
        {{"-m", "--shard", "auto", "-d", "{cmyk}", "{d}/tagged", "{d}/sh"}, 2, "", "chromaport-cli: --shard auto takes arrays of step 1, not SLURM_ARRAY_TASK_STEP 2{usage}", "", nullptr, "SLURM_ARRAY_TASK_ID=3 SLURM_ARRAY_TASK_MIN=1 SLURM_ARRAY_TASK_COUNT=3 SLURM_ARRAY_TASK_STEP=2"},
        {{"-m", "--shard", "auto/3", "-d", "{cmyk}", "{d}/tagged", "{d}/sh"}, 2, "", "chromaport-cli: --shard auto/3 gives shard 6 of 3, not 1 <= K <= N{usage}", "", nullptr, "JOB_COMPLETION_INDEX=5"},
        {{"--list", "-m", "--shard", "2/3", "{d}/tagged", "{d}/sh"}, 0, "{d}/tagged/img1.tif\n{d}/tagged/img4.tif\n", "", ""},
        {{"--list", "-m", "{d}/gone", "{d}/sh"}, 1, "", "Cannot read folder '{d}/gone': No such file or directory\n", ""},
        // A listing no one can read fails; the line that ends a run is only a courtesy.
        {{"--list", "-m", "{d}/tagged", "{d}/sh"}, 1, "", "chromaport-cli: cannot write to standard output: No space left on device\n", "", "/dev/full"},
        {{"--list", "-m", "{d}/tagged", "{d}/sh"}, 1, "", "", "", "|"},
        {{"-d", "{cmyk}", "{a}", "{d}/piped"}, 0, "", "", "piped.tif", "|"},
        // names/ holds a name with a newline and one with a backslash, C1 controls as UTF-8 and as
        // bare bytes, an overlong encoding of one, other UTF-8 (no-break space: the first past the
        // C1 controls) and a Latin-1 byte. Only --list0 gives them as they are.
        {{"--list", "-m", "{d}/names", "{b}"}, 0, "{d}/names/a\\x0A.tif\n{d}/names/b\\\\x0A.tif\n{d}/names/c\\xC2\\x85.tif\n{d}/names/d\\x9B.tif\n{d}/names/e\xC3\xA9\xE2\x82\xAC.tif\n{d}/names/f\xE9.tif\n{d}/names/g\xE0\\x82\\x9B.tif\n{d}/names/h\xC2\xA0.tif\n", "", ""},
        {{"--list0", "-m", "{d}/names", "{b}"}, 0, "{d}/names/a\n.tif\0{d}/names/b\\x0A.tif\0{d}/names/c\xC2\x85.tif\0{d}/names/d\x9B.tif\0{d}/names/e\xC3\xA9\xE2\x82\xAC.tif\0{d}/names/f\xE9.tif\0{d}/names/g\xE0\x82\x9B.tif\0{d}/names/h\xC2\xA0.tif\0"s, "", ""},
        // In single mode only a file a run would open is listed.
        {{"--list", "{d}/names/b\\x0A.tif", "{b}"}, 0, "{d}/names/b\\\\x0A.tif\n", "", ""},
        {{"--list", "{d}/gone\\.tif", "{b}"}, 1, "", "Invalid Tiff file - '{d}/gone\\\\.tif'\n", ""},
        {{"--list0", "{d}/mixed", "{b}"}, 1, "", "Invalid Tiff file - '{d}/mixed'\n", ""},
    };
    // clang-format on
    ts::Scratch d;
    const std::string srgb = ts::MakeProfile(d.path(), ts::Builtin::Srgb);
    // clang-format off
    const std::map<std::string, std::string> vars = {
        {"{a}", d.file("in.tif")}, {"{b}", d.file("b.tif")}, {"{d}", d.path()}, {"{srgb}", srgb},
        {"{adobe}", ts::RequireProfile("colord/AdobeRGB1998.icc")},
        {"{cmyk}", ts::RequireProfile("ghostscript/default_cmyk.icc")},
        {"{done}", "Profile conversion complete.\n"}, {"{cancelled}", "Conversion cancelled.\n"},
        {"{same}", "Source and destination images are the same. Don't be dumb.\n"},
        {"{usage}", "\n\nUsage: chromaport-cli [options] SOURCE DESTINATION\n*"}};
    // clang-format on
    ts::Tiff source, fourBit;
    source.icc = ts::ReadBytes(srgb);
    source.text[315] = "A. Photographer"; // Artist
    fourBit = source;
    fourBit.bits = 4; // a depth still refused
    ASSERT_TRUE(ts::WriteTiff(d.file("in.tif"), source));
    ASSERT_EQ(symlink(d.file("in.tif").c_str(), d.file("link.tif").c_str()), 0);
    ASSERT_EQ(link(d.file("in.tif").c_str(), d.file("hard.tif").c_str()), 0);
    ASSERT_EQ(symlink("loop.tif", d.file("loop.tif").c_str()), 0);
    ASSERT_TRUE(ts::WriteBytes(d.file("junk.tif"), {'j'}));
    ASSERT_TRUE(ts::WriteBytes(d.file("\x1b[31mred.tif"), {'r'}));
    for (const char* folder : {"mixed", "conv", "empty", "e\x01", "tagged", "untagged", "stop",
                               "go", "sh", "slurm", "k8s", "my.photos", "x.tif", "names"})
        d.mkdir(folder);
    for (const char* name : {"a\n", "b\\x0A", "c\xC2\x85", "d\x9B", "e\xC3\xA9\xE2\x82\xAC",
                             "f\xE9", "g\xE0\x82\x9B", "h\xC2\xA0"})
        ASSERT_TRUE(ts::WriteBytes(d.file("names/") + name + ".tif", {'n'}));
    ASSERT_EQ(symlink(d.file("mixed").c_str(), d.file("alias").c_str()), 0);
    ASSERT_TRUE(ts::WriteTiff(d.file("mixed/a.tif"), source));
    ASSERT_TRUE(ts::WriteBytes(d.file("mixed/b.tif"), {'b'}));
    ASSERT_TRUE(ts::WriteTiff(d.file("mixed/c.tif"), fourBit));
    ASSERT_TRUE(ts::WriteBytes(d.file("empty/notes.txt"), {'n'}));
    for (int i = 0; i < 7; ++i)
        ASSERT_TRUE(ts::WriteTiff(d.file("tagged/img" + std::to_string(i) + ".tif"), source));
    for (const char* name : {"a.tif", "b.tif", "c.tif"})
        ASSERT_TRUE(ts::WriteTiff(d.file("untagged/") + name, *name == 'b' ? ts::Tiff() : source));
    for (const Case& c : cases) {
        std::vector<std::string> args;
        for (const std::string& arg : c.args)
            args.push_back(ts::Fill(arg, vars));
        SCOPED_TRACE(::testing::PrintToString(args));
        const ts::Snapshot before = ts::Snap(d.path());
        const ts::Proc r = ts::RunCli(args, [&] {
            for (const char* name :
                 {"SLURM_ARRAY_TASK_ID", "SLURM_ARRAY_TASK_MIN", "SLURM_ARRAY_TASK_COUNT",
                  "SLURM_ARRAY_TASK_STEP", "JOB_COMPLETION_INDEX"})
                unsetenv(name);
            std::istringstream pairs(c.env);
            for (std::string pair; pairs >> pair;)
                putenv(strdup(pair.c_str()));
            int ends[2];
            if (!c.stdoutTo)
                return;
            signal(SIGPIPE, SIG_DFL); // as a shell leaves it
            if (std::string(c.stdoutTo) != "|")
                dup2(open(c.stdoutTo, O_WRONLY), 1);
            else if (pipe(ends) == 0)
                close(ends[0]), dup2(ends[1], 1);
        });
        EXPECT_EQ(r.code, c.code);
        EXPECT_TRUE(Matches(r.out, ts::Fill(c.out, vars))) << r.out;
        EXPECT_TRUE(Matches(r.err, ts::Fill(c.err, vars))) << r.err;
        EXPECT_EQ(ts::Changes(before, ts::Snap(d.path())), c.changed);
    }
    // What the options add to the images written above; their pixels stay those of a plain run.
    // clang-format off
    struct Made { const char* name; uint16_t compression; bool icc, artist; uint16_t bits = 8; };
    const Made made[] = {{"my.photos/.hidden.tif", 1, false, false}, {"out.tif", 1, true, false},
                         {"lzw.tif", 5, false, true}, {"deflate.tif", 8, true, true}, {"zstd.tif", 50000, false, false},
                         {"deep.tif", 1, false, false, 16}};
    // clang-format on
    for (const Made& m : made) {
        SCOPED_TRACE(m.name);
        bool ok = false;
        const ts::Tiff got = ts::ReadTiff(d.file(m.name), &ok);
        EXPECT_TRUE(ok && got.samples == 4 && got.bits == m.bits);
        EXPECT_EQ(got.compression, m.compression);
        EXPECT_EQ(got.icc, m.icc ? ts::ReadBytes(vars.at("{cmyk}")) : ts::Bytes());
        EXPECT_EQ(got.text.count(315), size_t(m.artist));
        if (m.bits == 8) {
            EXPECT_EQ(got.pixels, ts::ReadTiff(d.file(made[0].name)).pixels);
        }
    }
    // Absolute colorimetric by name and by number, compensated or not, and compensation alone,
    // each give pixels of their own.
    const ts::Bytes plain = ts::ReadTiff(d.file(made[0].name)).pixels;
    const ts::Bytes absolute = ts::ReadTiff(d.file("proof.tif")).pixels;
    EXPECT_EQ(ts::ReadTiff(d.file("proof4.tif")).pixels, absolute);
    EXPECT_NE(absolute, plain);
    EXPECT_NE(ts::ReadTiff(d.file("bpc.tif")).pixels, plain);
}

// On a terminal the progress line is redrawn in place, never as wide as the terminal (it would
// wrap), even for a long name of two-byte characters, which gives way in its middle while the
// file count stays, and shows the name's control bytes escaped.
TEST(Cli, TheProgressLineFitsTheTerminal) {
    ts::Scratch d;
    std::string name = "\x01";
    for (int i = 0; i < 120; ++i)
        name += "\xC3\xA9";
    ts::Tiff big;
    big.icc = ts::ReadBytes(ts::MakeProfile(d.path(), ts::Builtin::Srgb));
    big.width = 2000; // big enough for the run to outlast a few redraws
    big.height = 2000;
    ASSERT_TRUE(ts::WriteTiff(d.file(name + ".tif"), big));
    const auto leads = [](char b) { return (b & 0xC0) != 0x80; }; // a character's first byte
    for (const unsigned short width : {80, 200}) {
        SCOPED_TRACE(width);
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        const winsize size{24, width, 0, 0};
        ASSERT_EQ(ioctl(master, TIOCSWINSZ, &size), 0);
        const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
        const ts::Proc r = ts::RunCli({"-d", ts::RequireProfile("ghostscript/default_cmyk.icc"),
                                       d.file(name + ".tif"), d.file("out")},
                                      [&] { dup2(terminal, 2); });
        close(terminal);
        std::string shown;
        char buffer[4096];
        for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
            shown.append(buffer, size_t(n));
        close(master);
        EXPECT_EQ(r.out, "Profile conversion complete.\n");
        int named = 0; // lines that show the name: the first may come before it is known
        for (size_t at = 0, next; at < shown.size(); at = next + 4) {
            next = std::min(shown.find("\r\x1b[K", at), shown.size());
            const std::string line = shown.substr(at, next - at);
            EXPECT_LT(std::count_if(line.begin(), line.end(), leads), width) << line;
            EXPECT_EQ(std::count(line.begin(), line.end(), '\xC3'),
                      std::count(line.begin(), line.end(), '\xA9'));
            if (line.rfind("\\x01", 0) != 0)
                continue;
            ++named;
            // The name gives way in its middle; the count stays.
            EXPECT_NE(line.find("  File 1 of 1  ["), std::string::npos) << line;
            EXPECT_NE(line.find("é..."), std::string::npos) << line;
        }
        EXPECT_GT(named, 0);
    }
}

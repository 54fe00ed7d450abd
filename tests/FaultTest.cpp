// Faults around a run: files changed, the disk filling up and folders removed while it runs,
// whatever already sits at a destination name, sizes a file claims, signals, closed standard
// streams, a destination the user may not write, and two runs on one destination. The words
// are exact, and nothing is ever left half-written under any name.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <filesystem>

#include "RequireProfile.h"
#include "TiffPatch.h"

namespace fs = std::filesystem;

// AddressSanitizer reserves far more address space than any cap, and hides the heap's figures.
extern "C" void __asan_init() __attribute__((weak));
static const bool kAsan = __asan_init != nullptr;

// Sources in in/; destinations in out/; in icc/ the sRGB source profile and a copy of a CMYK
// destination profile, which tests may change.
struct Scene {
    ts::Scratch dir;
    std::string in = dir.mkdir("in"), out = dir.mkdir("out"), icc = dir.mkdir("icc");
    std::string src = ts::MakeProfile(icc, ts::Builtin::Srgb), dst = icc + "/cmyk.icc";
    std::string a = in + "/a.tif", b = in + "/b.tif", outB = out + "/b.tif";
    bool copied = fs::copy_file(ts::RequireProfile("ghostscript/default_cmyk.icc"), dst);
    // An image of black pixels in one strip.
    void Add(const std::string& name, uint32_t width = 8, uint32_t height = 4,
             uint16_t how = 1) const {
        ts::Tiff t;
        t.width = width, t.height = height, t.rowsPerStrip = 0, t.compression = how;
        t.pixels.assign(ts::RowBytes(t) * height, 0);
        ASSERT_TRUE(copied && ts::WriteTiff(in + "/" + name, t));
    }
    // '@' stands for the scene's folder.
    std::string Fill(std::string text) const {
        for (size_t at; (at = text.find('@')) != std::string::npos;)
            text.replace(at, 1, dir.path());
        return text;
    }
};
using Change = std::function<void(const Scene&)>;

const std::string kReadFailed =
    "Error: Source image must be 8-bit or 16-bit and only have standard layers.";
const std::string kNoRoom =
    "Error: Could not write to @/out/b.tif.\n  Cannot write '@/out/b.tif': File too large";
const std::string kTooLarge = "Error: Source image is too large.";

static Change Patch(uint16_t tag, uint32_t value) {
    return [=](const Scene& s) { ts::PatchTiffTag(s.b, tag, value); };
}

// The largest file this process may write; past it a write fails (SIGXFSZ is ignored).
static Change DiskFull(rlim_t bytes) {
    const rlimit limit{bytes, RLIM_INFINITY};
    return [=](const Scene&) { signal(SIGXFSZ, SIG_IGN), setrlimit(RLIMIT_FSIZE, &limit); };
}

// Called in the child before it becomes the tool: root keeps its user, which can reach the build
// tree wherever it sits, but loses its power over other users' files and modes, also across
// exec (which restores whatever the bounding set still holds) and for access(), which looks at
// the permitted set.
static void LikeAnOrdinaryUser() {
    constexpr int kPowers[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, sets) != 0)
        _exit(99);
    bool held = geteuid() == 0; // root's exec takes up what the bounding set holds
    for (const int power : kPowers)
        held |= (sets[CAP_TO_INDEX(power)].permitted & CAP_TO_MASK(power)) != 0;
    if (!held)
        return; // an ordinary user already
    for (const int power : kPowers) {
        __user_cap_data_struct& set = sets[CAP_TO_INDEX(power)];
        set.effective &= ~CAP_TO_MASK(power);
        set.permitted &= ~CAP_TO_MASK(power);
        set.inheritable &= ~CAP_TO_MASK(power);
        if (prctl(PR_CAPBSET_DROP, power, 0, 0, 0) != 0)
            _exit(99);
    }
    if (syscall(SYS_capset, &header, sets) != 0)
        _exit(99);
}

// Called in the child before it becomes the tool: a process of its own waits until a hidden
// file in `folder` passes 1 MB, then acts on the tool; it gives up if the tool ends first.
static void MidImage(const std::string& folder, const std::function<void(pid_t tool)>& act) {
    const pid_t tool = getpid();
    if (fork() != 0)
        return;
    std::error_code ec;
    for (bool busy = false; getppid() == tool && !busy; usleep(1000))
        for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
            busy |= e.path().filename().string()[0] == '.' && e.file_size(ec) > (1 << 20) && !ec;
    if (getppid() == tool)
        act(tool);
    _exit(0);
}

// A folder run over a.tif, b.tif (512 x 400) and c.tif in which something changes as b.tif's
// turn comes, after the screening passed all three. Whatever b.tif's fate, a.tif stays whole,
// and every image holds the profile it was converted with. Rows a file claims cost no memory
// until they are read: the run's peak memory grows by less than 100 MB, and its address space
// is capped at 2 GiB (the worker threads' stacks and heaps take their share).
TEST(Fault, ChangesDuringARun) {
    const Change junk = [](const Scene& s) { ts::WriteBytes(s.dst, {'j', 'u', 'n', 'k'}); };
    struct Case {
        const char* label;
        Change change;
        std::string message; // "" when the run converts all three
        bool embed = true;
        const char* shape = "4x400 644"; // out/b.tif's samples, rows and mode, when converted
        uint64_t maxRowBytes = kDefaultMaxRowBytes, bigTiffAbove = kBigTiffThreshold;
    };
    const Case cases[] = {
        {"b.tif cut", [](auto& s) { fs::resize_file(s.b, 99); },
         "Invalid Tiff file - '@/in/b.tif'\n  '@/in/b.tif' is a damaged TIFF image."},
        {"4-bit b.tif", Patch(TIFFTAG_BITSPERSAMPLE, 4),
         "Error: Source image must be 8-bit or 16-bit.\n  4-bit samples"},
        {"separated b.tif", Patch(TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED),
         "Error: Data type mismatch between source image and profile.\n"
         "  '@/in/b.tif' gives CMYK but '@/icc/srgb.icc' takes RGB."},
        {"b.tif's strip now past its end", Patch(TIFFTAG_STRIPOFFSETS, 1u << 31), kReadFailed},
        {"b.tif's rows now 210 MB", Patch(TIFFTAG_IMAGEWIDTH, 70000000), kReadFailed},
        {"b.tif's rows now 3 GiB", Patch(TIFFTAG_IMAGEWIDTH, 1073741825), kTooLarge},
        // The percentage counts the rows the screening saw, and stops at 100.
        {"taller b.tif", [](auto& s) { s.Add("b.tif", 8, 1000); }, "", true, "4x1000 644"},
        {"the disk full in b.tif's rows", DiskFull(400000), kNoRoom},
        {"the disk full at b.tif's directory", DiskFull(8 + 512 * 400 * 4 + 64), kNoRoom},
        {"out/ gone", [](auto& s) { fs::remove_all(s.out); },
         "Unable to create Tiff file - '@/out/b.tif'\n"
         "  Cannot open '@/out/b.tif': No such file or directory"},
        // Embedded, the profile read before the first image is also the one every image is
        // converted with; otherwise each image reads the file when its turn comes.
        {"profile junk, embedding", junk, ""},
        {"profile junk", junk,
         "Invalid Profile:\n  @/icc/srgb.icc\n  @/icc/cmyk.icc'\n  '@/icc/cmyk.icc' is not an ICC "
         "profile.",
         false},
        {"profile sRGB", [](auto& s) { ts::WriteBytes(s.dst, ts::ReadBytes(s.src)); }, "", false,
         "3x400 644"},
        // Whatever is at out/b.tif is replaced, never written through.
        {"link at out/b.tif", [](auto& s) { symlink(s.a.c_str(), s.outB.c_str()); }, ""},
        {"out/b.tif 0640", [](auto& s) { s.Add("../out/b.tif"), chmod(s.outB.c_str(), 0640); }, "",
         true, "4x400 640"},
        // The row limit holds at both ends: b.tif's rows are 1,536 bytes in and 2,048 out.
        {"b.tif's rows over the limit", {}, kTooLarge, true, "", 2047},
        {"b.tif's rows at the limit", {}, "", true, "4x400 644", 2048},
        {"BigTIFF above 4 kB", {}, "", true, "4x400 644 BigTIFF", kDefaultMaxRowBytes, 4096},
    };
    umask(022);
    rlimit files, memory, cap{rlim_t(2) << 30, RLIM_INFINITY};
    getrlimit(RLIMIT_FSIZE, &files), getrlimit(RLIMIT_AS, &memory);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Scene s;
        s.Add("a.tif"), s.Add("b.tif", 512, 400), s.Add("c.tif");
        const ts::Bytes profile = ts::ReadBytes(s.dst);
        const ts::Snapshot before = ts::Snap(s.dir.path());
        const auto turn = [&](auto& label) { label == "b" && c.change ? c.change(s) : void(); };
        rusage use[2];
        getrusage(RUSAGE_SELF, &use[0]), setrlimit(RLIMIT_AS, kAsan ? &memory : &cap);
        const auto limits = [&](JobSpec& job) {
            job.m_nMaxRowBytes = c.maxRowBytes, job.m_nBigTiffThreshold = c.bigTiffAbove;
        };
        const ts::RunRecord r =
            ts::RunJob({s.in, s.src, s.dst, s.out, true, c.embed, 2, limits, turn});
        getrusage(RUSAGE_SELF, &use[1]), setrlimit(RLIMIT_AS, &memory),
            setrlimit(RLIMIT_FSIZE, &files);
        EXPECT_LT(use[1].ru_maxrss - use[0].ru_maxrss, 100 << 10) << "kB";
        const bool converts = c.message.empty();
        EXPECT_EQ(r.messages, std::vector<std::string>(!converts, s.Fill(c.message)));
        EXPECT_EQ(r.succeeded, converts);
        EXPECT_EQ(r.percent == 100, converts);
        EXPECT_EQ(ts::Changes(before, ts::Snap(s.dir.path()),
                              {"in/b.tif", "icc/cmyk.icc", "out", "out/a.tif",
                               converts ? "out/b.tif" : "", converts ? "out/c.tif" : ""}),
                  "");
        bool a = false, b = false; // out/ is never made again
        const ts::Tiff first = ts::ReadTiff(s.out + "/a.tif", &a), got = ts::ReadTiff(s.outB, &b);
        EXPECT_EQ(std::make_pair(a, b), std::make_pair(ts::Exists(s.out), converts));
        EXPECT_EQ(first.icc, c.embed && a ? profile : ts::Bytes{});
        char shape[32] = "";
        if (b)
            snprintf(shape, sizeof shape, "%ux%u %o%s", got.samples, got.height,
                     unsigned(fs::status(s.outB).permissions()), got.bigTiff ? " BigTIFF" : "");
        EXPECT_EQ(shape, std::string(converts ? c.shape : ""));
        EXPECT_EQ(got.icc, c.embed && b ? profile : ts::Bytes{});
    }
}

// The tool with an earlier destination of mode 0444 at the name: interrupted mid-image,
// started with its standard streams closed, run twice at once, run by a user who may not
// write that file, or under a file-size limit.
TEST(Fault, TheToolLeavesNoHalfImage) {
    const auto interrupt = [](int sig) {
        return [sig](const Scene& s) { MidImage(s.out, [sig](pid_t tool) { kill(tool, sig); }); };
    };
    const std::tuple<const char*, Change, int, std::string> cases[] = {
        // Ctrl-C cancels after the row in progress; the others end the tool at once.
        {"Ctrl-C", interrupt(SIGINT), 1, "Conversion cancelled.\n"},
        {"SIGTERM", interrupt(SIGTERM), 128 + SIGTERM, ""},
        {"SIGHUP", interrupt(SIGHUP), 128 + SIGHUP, ""},
        // Left closed, the standard streams' numbers would go to the first files opened, and
        // the tool's words into an image. The big strip is decoded a row at a time, so the
        // tool stays far below the 36 MB it holds (AddressSanitizer's shadow aside). Either
        // fault has the tool killed.
        {"streams closed, one big strip",
         [](const Scene& s) {
             close(0), close(1), close(2);
             MidImage(s.out, [](pid_t tool) {
                 const std::string proc = "/proc/" + std::to_string(tool);
                 const ts::Bytes status = ts::ReadBytes(proc + "/status");
                 const std::string text(status.begin(), status.end());
                 const size_t peak = text.find("VmHWM:");
                 bool bad = !kAsan && (peak == text.npos || atol(&text[peak + 6]) > (30 << 10));
                 std::error_code ec;
                 for (const char* fd : {"/fd/0", "/fd/1", "/fd/2"})
                     bad = bad || fs::read_symlink(proc + fd, ec) != "/dev/null";
                 bad ? kill(tool, SIGKILL) : 0;
             });
         },
         0, ""},
        // Each run writes a hidden file of its own: the name ends up holding one whole image.
        {"two runs at once",
         [](const Scene& s) {
             if (const pid_t first = fork(); first != 0) { // the child becomes the tool
                 const int second =
                     ts::RunCli({"-s", s.src, "-d", s.dst, s.a, s.out + "/big.tif"}).code;
                 int status = 1;
                 _exit(waitpid(first, &status, 0) != first || status || second);
             }
         },
         0, ""},
        // Without root's powers over files, so that the refusal holds when the tests run as root.
        {"a read-only destination", [](const Scene&) { LikeAnOrdinaryUser(); }, 1,
         "Error: Could not write to @/out/big.tif.\n"
         "  Cannot open '@/out/big.tif': Permission denied\nConversion cancelled.\n"},
        // Past the limit (SIGXFSZ as a shell leaves it) a write fails as on a full disk, and the
        // tool says so.
        {"a file-size limit (ulimit -f)",
         [](const Scene&) {
             const rlimit limit{1 << 20, RLIM_INFINITY};
             signal(SIGXFSZ, SIG_DFL), setrlimit(RLIMIT_FSIZE, &limit);
         },
         1,
         "Error: Could not write to @/out/big.tif.\n  Cannot write '@/out/big.tif': File too "
         "large\nConversion cancelled.\n"},
    };
    for (const auto& [label, inChild, code, err] : cases) {
        SCOPED_TRACE(label);
        Scene s;
        // One Deflate strip of a few kB holds in/a.tif's 3000 x 4000 pixels (36 MB decoded), so
        // that the tool is surely in its rows when its hidden file passes 1 MB.
        s.Add("a.tif", 3000, 4000, COMPRESSION_ADOBE_DEFLATE);
        const std::string dest = s.out + "/big.tif";
        ASSERT_TRUE(ts::WriteTiff(dest, {}) && !chmod(dest.c_str(), 0444) &&
                    !chmod(s.out.c_str(), 0777) && !chmod(s.dir.path().c_str(), 0755));
        const ts::Snapshot before = ts::Snap(s.dir.path());
        const auto& hook = inChild; // a lambda may not capture a structured binding in C++17
        const ts::Proc p = ts::RunCli({"-s", s.src, "-d", s.dst, s.a, dest}, [&] { hook(s); });
        EXPECT_EQ(p.code, code);
        EXPECT_EQ(p.err, s.Fill(err));
        EXPECT_EQ(ts::Changes(before, ts::Snap(s.dir.path()), {code ? "" : "out/big.tif"}), "");
        bool whole = false; // the earlier RGB image, or the whole CMYK one
        EXPECT_EQ(ts::ReadTiff(dest, &whole).samples, code ? 3 : 4);
        EXPECT_TRUE(whole);
    }
}

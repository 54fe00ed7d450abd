// chromaport_bench: megapixels per second of the conversion's pixel path,
// through the whole image conversion (read, convert, write) and through the
// colour layer alone. Run with --help for Google Benchmark's options, and
// --size=WIDTHxHEIGHT to change the image size (default 1000x1000).

#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "IccCmm.h"
#include "ImageConversion.h"
#include "ConversionJob.h"
#include "PixelCodec.h"
#include "RunState.h"
#include "TiffImage.h"

namespace {

const std::string kIccDir = "/usr/share/color/icc/";
const std::string kSrgb = kIccDir + "sRGB.icc";                        // icc-profiles-free
const std::string kAdobe = kIccDir + "compatibleWithAdobeRGB1998.icc"; // icc-profiles-free
const std::string kLab = kIccDir + "LCMSLABI.ICM";                     // icc-profiles-free
const std::string kCmyk = kIccDir + "ghostscript/default_cmyk.icc";    // libgs-common
constexpr int kRelativeIntent = 2;

// Pixels handed to the colour layer per iteration of its benchmarks.
constexpr uint32_t kCmmPixels = 1 << 16;

uint32_t g_width = 1000;
uint32_t g_height = 1000;

// The benchmark's own folder, in memory when /dev/shm is there so that the
// disk does not take part in the figures.
class ScratchDir {
public:
    ScratchDir() {
        struct stat st {};
        const char* tmp = getenv("TMPDIR");
        std::string base = stat("/dev/shm", &st) == 0 && access("/dev/shm", W_OK) == 0
                               ? "/dev/shm"
                               : (tmp && *tmp ? tmp : "/tmp");
        std::string templ = base + "/chromaport-bench-XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data()))
            m_path = buf.data();
    }
    ~ScratchDir() {
        if (!m_path.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(m_path, ec);
        }
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

struct ImageCase {
    std::string source;
    std::string sourceProfile;
    std::string destProfile;
};

// One whole image per iteration, as the run converts it.
// Converts the whole image; the plain variant is the per-pixel loop that
// defines the right bytes, the other the row pipeline the program uses.
void BM_ConvertImage(benchmark::State& state, const ImageCase& c, const std::string& dest,
                     bool plain) {
    JobSpec job;
    job.m_strSourceProfile = c.sourceProfile, job.m_strDestProfile = c.destProfile;
    job.m_nIntent = kRelativeIntent, job.m_bPlainPixelPath = plain;
    for (auto _ : state) {
        RunControl control;
        PreparedImage prepared = PrepareImage({job, nullptr, false, {}}, c.source, dest);
        const ImageOutcome outcome =
            prepared.plan ? ConvertImage(*prepared.plan, control, [] {}) : ImageOutcome();
        if (outcome.status != ImageStatus::Converted) {
            state.SkipWithError((prepared.refusal + outcome.message).c_str());
            return;
        }
    }
    const double pixels = double(g_width) * g_height * state.iterations();
    state.SetItemsProcessed(static_cast<int64_t>(pixels));
    state.counters["Mpx"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
}

// Decoded values of pixels spread evenly over an image, so that every kind
// of content the image holds is in the sample.
std::vector<icFloatNumber> DecodedPixels(const std::string& path, const PixelLayout& layout) {
    CTiffImage image;
    std::vector<icFloatNumber> values;
    if (!image.OpenForRead(path.c_str()))
        return values;
    const uint64_t total = uint64_t(image.GetWidth()) * image.GetHeight();
    const uint64_t stride = std::max<uint64_t>(1, total / kCmmPixels);
    const size_t ns = static_cast<size_t>(layout.source.colourChannels);
    std::vector<unsigned char> row(image.GetRowBytes());
    values.reserve(size_t(kCmmPixels) * ns);
    uint64_t index = 0;
    for (uint32_t y = 0; y < image.GetHeight() && values.size() < kCmmPixels * ns; ++y) {
        if (!image.ReadRow(row.data()))
            break;
        for (uint32_t x = 0; x < image.GetWidth(); ++x, ++index) {
            if (index % stride != 0 || values.size() >= kCmmPixels * ns)
                continue;
            values.resize(values.size() + ns);
            DecodePixel(layout.source, &row[x * ns], &values[values.size() - ns]);
        }
    }
    return values;
}

struct CmmCase {
    std::string source;
    std::string sourceProfile;
    std::string destProfile;
    PixelLayout layout;
};

bool BeginCmm(CIccCmm& cmm, const CmmCase& c) {
    return cmm.AddXform(c.sourceProfile.c_str(), SourceIntentFor(kRelativeIntent)) == icCmmStatOk &&
           cmm.AddXform(c.destProfile.c_str(), icUnknownIntent) == icCmmStatOk &&
           cmm.Begin() == icCmmStatOk;
}

// The colour layer alone: one call per pixel (run length 0) or one call per
// run of state.range(0) pixels.
void BM_CmmApply(benchmark::State& state, const CmmCase& c) {
    CIccCmm cmm;
    const std::vector<icFloatNumber> src = DecodedPixels(c.source, c.layout);
    const size_t pixels = src.size() / c.layout.source.colourChannels;
    if (!BeginCmm(cmm, c) || pixels == 0) {
        state.SkipWithError("cannot set up the transform");
        return;
    }
    const size_t ns = c.layout.source.colourChannels, nd = cmm.GetDestSamples();
    std::vector<icFloatNumber> dst(pixels * nd);
    const size_t run = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        if (run == 0) {
            for (size_t i = 0; i < pixels; ++i)
                cmm.Apply(&dst[i * nd], &src[i * ns]);
        } else {
            for (size_t i = 0; i < pixels; i += run)
                cmm.Apply(&dst[i * nd], &src[i * ns],
                          static_cast<icUInt32Number>(std::min(run, pixels - i)));
        }
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(pixels * state.iterations()));
    state.counters["Mpx"] =
        benchmark::Counter(double(pixels) * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}

// The fixed cost of every image: reading both profiles and linking them.
void BM_CmmSetup(benchmark::State& state, const CmmCase& c) {
    for (auto _ : state) {
        CIccCmm cmm;
        if (!BeginCmm(cmm, c)) {
            state.SkipWithError("cannot set up the transform");
            return;
        }
    }
}

// Bytes to values and back without a transform: the floor under any path
// that keeps the per-pixel codec.
void BM_Codec(benchmark::State& state) {
    PixelFormat format;
    format.colourChannels = 3;
    std::vector<unsigned char> src(size_t(kCmmPixels) * 3), dst(src.size());
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = static_cast<unsigned char>(i * 37 + (i >> 8));
    icFloatNumber v[icMaxChannels];
    for (auto _ : state) {
        for (size_t i = 0; i < kCmmPixels; ++i) {
            DecodePixel(format, &src[i * 3], v);
            EncodePixel(format, v, &dst[i * 3]);
        }
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(kCmmPixels) * state.iterations());
}

bool ProfilesPresent() {
    bool ok = true;
    for (const std::string& p : {kSrgb, kAdobe, kLab, kCmyk}) {
        if (access(p.c_str(), R_OK) != 0) {
            fprintf(stderr, "missing profile %s (packages icc-profiles-free, libgs-common)\n",
                    p.c_str());
            ok = false;
        }
    }
    return ok;
}

// Takes --size=WxH out of the arguments; false when it is malformed.
bool TakeSizeArgument(int& argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--size=", 7) != 0)
            continue;
        unsigned w = 0, h = 0;
        if (sscanf(argv[i] + 7, "%ux%u", &w, &h) != 2 || w == 0 || h == 0 || w > 100000 ||
            h > 100000)
            return false;
        g_width = w;
        g_height = h;
        for (int j = i; j + 1 < argc; ++j)
            argv[j] = argv[j + 1];
        --argc;
        --i;
    }
    return true;
}

void RegisterImageBenchmarks(const std::string& dir) {
    const std::string photo = dir + "/photo.tif", gradient = dir + "/gradient.tif",
                      lab = dir + "/lab.tif", noise = dir + "/noise.tif", out = dir + "/out.tif";
    const std::pair<const char*, ImageCase> cases[] = {
        {"ConvertImage/photo_rgb_to_cmyk", {photo, kSrgb, kCmyk}},
        {"ConvertImage/photo_rgb_to_rgb", {photo, kSrgb, kAdobe}},
        {"ConvertImage/gradient_rgb_to_cmyk", {gradient, kSrgb, kCmyk}},
        {"ConvertImage/lab_to_cmyk", {lab, kLab, kCmyk}},
        {"ConvertImage/noise_rgb_to_cmyk", {noise, kSrgb, kCmyk}},
    };
    for (const auto& [name, c] : cases) {
        for (const bool plain : {false, true}) {
            const std::string label = std::string(name) + (plain ? "/plain" : "/fast");
            benchmark::RegisterBenchmark(label.c_str(), BM_ConvertImage, c, out, plain)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
}

void RegisterCmmBenchmarks(const std::string& dir) {
    PixelLayout rgb;
    rgb.source.colourChannels = 3;
    PixelLayout lab;
    lab.source.colourChannels = 3;
    lab.source.lab = LabEncoding::Cie;
    const std::pair<const char*, CmmCase> cases[] = {
        {"rgb_to_cmyk", {dir + "/photo.tif", kSrgb, kCmyk, rgb}},
        {"lab_to_cmyk", {dir + "/lab.tif", kLab, kCmyk, lab}},
    };
    for (const auto& [name, c] : cases) {
        benchmark::RegisterBenchmark((std::string("CmmSetup/") + name).c_str(), BM_CmmSetup, c)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("CmmApply/") + name).c_str(), BM_CmmApply, c)
            ->ArgName("run")
            ->Arg(0)
            ->Arg(1)
            ->Arg(64)
            ->Arg(1024)
            ->Arg(6000)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("Codec/rgb_bytes_round_trip", BM_Codec);
}

bool WriteImages(const std::string& dir) {
    return bench::WritePatternTiff(dir + "/photo.tif", bench::Pattern::Photo, g_width, g_height) &&
           bench::WritePatternTiff(dir + "/gradient.tif", bench::Pattern::Gradient, g_width,
                                   g_height) &&
           bench::WritePatternTiff(dir + "/lab.tif", bench::Pattern::Lab, g_width, g_height) &&
           bench::WritePatternTiff(dir + "/noise.tif", bench::Pattern::Noise, g_width, g_height);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!TakeSizeArgument(argc, argv)) {
        fprintf(stderr, "chromaport_bench: --size wants WIDTHxHEIGHT, e.g. --size=2000x1500\n");
        return 2;
    }
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    if (!ProfilesPresent())
        return 1;
    ScratchDir dir;
    if (dir.Path().empty() || !WriteImages(dir.Path())) {
        fprintf(stderr, "chromaport_bench: cannot write the test images\n");
        return 1;
    }
    benchmark::AddCustomContext("image", std::to_string(g_width) + "x" + std::to_string(g_height));
    benchmark::AddCustomContext("scratch", dir.Path());
    RegisterImageBenchmarks(dir.Path());
    RegisterCmmBenchmarks(dir.Path());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

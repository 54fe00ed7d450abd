// What every test program shares: scratch folders, TIFF files written and read with
// libtiff, ICC profiles made with Little CMS, child processes and whole runs.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ConversionJob.h"
#include "ConversionObserver.h"
#include "RunState.h"
#include "TiffWriter.h"

namespace ts {

using Bytes = std::vector<unsigned char>;

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it, read-only
// subfolders included, when the object goes away.
class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    std::string mkdir(const std::string& name) const; // one level; returns the path

private:
    std::string m_path;
};

Bytes ReadBytes(const std::string& path); // empty when unreadable
bool WriteBytes(const std::string& path, const Bytes& bytes);
bool Exists(const std::string& path); // without following a final link

// The text with every name of `vars` (say "{in}") replaced by its value.
std::string Fill(std::string text, const std::map<std::string, std::string>& vars);

// Every entry under a folder: relative path -> "dir", "file <digest>", "link -> <target>".
using Snapshot = std::map<std::string, std::string>;
Snapshot Snap(const std::string& root);
// The paths that changed between two snapshots and are not in `allowed`, as one line.
std::string Changes(const Snapshot& before, const Snapshot& after,
                    const std::set<std::string>& allowed = {});

// One TIFF file, as written by WriteTiff and as read back by ReadTiff. A zero tag value
// means "no tag" when writing, and "absent" when reading.
struct Tiff {
    uint32_t width = 8, height = 4;
    uint16_t samples = 3, bits = 8, photometric = 2;       // 2 RGB, 1 min-is-black, 5 separated...
    uint16_t planar = 1, orientation = 1, compression = 1; // 7 with photometric 6: JPEG YCbCr
    uint32_t rowsPerStrip = 1;                             // 0 = one strip and no tag
    bool tiled = false;                                    // 16 x 16 tiles
    float xRes = 0, yRes = 0;
    uint16_t resUnit = 0, extraSamples = 0, sampleFormat = 0, inkSet = 0, inks = 0;
    std::string inkNames;                 // each name ended by a zero byte, as the tag holds them
    bool associatedAlpha = false;         // extra samples are unassociated alpha unless this is set
    std::vector<uint16_t> extraKinds;     // or, when given, of these kinds (TIFF's numbers)
    std::map<uint32_t, std::string> text; // ASCII tags (TIFFTAG_ARTIST, ...)
    Bytes icc, xmp;
    uint16_t pages = 1; // later pages hold other pixels
    // Changes page p's tags before it is written (its pixels follow its layout).
    std::function<void(Tiff&, uint16_t p)> pageEdit;
    uint32_t newSubfileType = 0;
    bool pageNumbers = false; // PageNumber p of pages on every page
    bool bigTiff = false, bigEndian = false;
    bool samplesTag = true; // false: no SamplesPerPixel tag, which means one sample
    Bytes pixels;           // rows top-down, planes one after another; empty = Pattern(*this)
};
uint64_t RowBytes(const Tiff& t); // one row of one plane
// Pixels of t's layout (planes one after another when separate) as rows of contiguous samples.
Bytes Interleaved(const Tiff& t, const Bytes& pixels);
Bytes Pattern(const Tiff& t, uint32_t seed = 0); // gradients and noise, any bit depth
bool WriteTiff(const std::string& path, const Tiff& t);
// One page (the first by default); ok is false when the file or the page does not open or
// a row does not decode. pages is the file's count.
Tiff ReadTiff(const std::string& path, bool* ok = nullptr, uint16_t page = 0);

// Profiles, saved in `dir` under `name`; the path, or "" when it could not be made.
enum class Builtin { Srgb, Lab4, Lab2, Xyz, Gray, Abstract, DeviceLink };
std::string MakeProfile(const std::string& dir, Builtin kind, const std::string& name = "");
// In [0, 1] device values (or L* a* b*) -> out; Lab as real L* a* b*.
using Model = std::function<void(const double* in, double* out)>;
struct TableProfile {
    uint32_t deviceClass = 0x70727472; // 'prtr'
    uint32_t space = 0x434D594B;       // 'CMYK'
    int channels = 4, grid = 9;
    // Tables of intent 0, 1, 2; one entry serves all three; none: no such tag (an input-only
    // profile has no fromLab).
    std::vector<Model> toLab, fromLab;
    int headerIntent = 0;
    std::vector<std::string> colorants; // a colorant table's names, when given
};
std::string MakeProfile(const std::string& dir, const TableProfile& p, const std::string& name);
// The usual tables: 'CMY ' = 1 - sRGB, and n inks (n = 4 gives 'CMYK') darkening together.
TableProfile CmyTables();
TableProfile InkTables(int inks);
// 'RGB ' as sRGB, each intent with the channels in another order: perceptual (r, g, b),
// relative (b, g, r), saturation (g, b, r). The header names saturation.
TableProfile IntentTables();
// sRGB colorimetry in double precision (D50, relative), in [0, 1].
void SrgbToLab(const double* rgb, double* lab);
void LabToSrgb(const double* lab, double* rgb);
// A profile of Debian's packages under /usr/share/color/icc. The GoogleTest programs take
// it through RequireProfile (RequireProfile.h), which fails the test when it is missing;
// the window tests check MissingProfile first.
std::string SystemProfile(const std::string& relative);
// "" when that profile can be read, else a line naming it and the package that ships it.
std::string MissingProfile(const std::string& relative);

// A program run as a child; code is 128 + the signal when one ended it.
struct Proc {
    int code = -1;
    std::string out, err;
};
pid_t Start(const std::vector<std::string>& argv, const std::string& outFile,
            const std::string& errFile, const std::function<void()>& inChild = {});
Proc Finish(pid_t pid, const std::string& outFile, const std::string& errFile);
Proc Run(const std::vector<std::string>& argv, const std::function<void()>& inChild = {});
Proc RunCli(const std::vector<std::string>& args, const std::function<void()>& inChild = {});

// A whole run on this thread as the status window runs it, and what it showed.
struct RunRecord {
    std::vector<std::string> messages, names; // messages and file-name labels in order
    bool succeeded = false;
    int percent = 0;
};
struct RunSpec {
    std::string source, sourceProfile, destProfile, dest;
    bool folder = false, embed = true;
    int intent = 2;
    // Sets anything else on the job; beforeImage runs as each image begins.
    std::function<void(JobSpec&)> setUp;
    std::function<void(const std::string& label)> beforeImage;
    // The run's cancel request and progress, when the test watches them.
    RunControl* control = nullptr;
    RunProgress* progress = nullptr;
};
RunRecord RunJob(const RunSpec& spec);

// One image prepared and converted as a run does it: the job's settings, then what came of
// it: the refusal, or the plan chosen and the outcome.
struct Conversion {
    std::string source, from, to, dest;
    int intent = 2, cancelAfter = -1; // rows; 0: cancelled before the first pixel
    int depth = 0;                    // of the destination; 0: the source's
    bool embeddedSource = false, keepMetadata = false, blackPoint = false;
    TiffCompression compression = kCompressNone;
    Bytes embed; // the destination profile to embed
    int rows = 0, pages = 0;
    std::string plan, status, message; // status: refused, converted, failed or cancelled
};
// threads: the fast path's workers; 0: the per-pixel path.
Conversion Convert(Conversion o, unsigned threads);

// Sample i of 8-bit or 16-bit pixels (the machine's byte order), and one more appended.
uint32_t Sample(const Bytes& pixels, size_t i, uint16_t bits);
void Append(Bytes& out, uint32_t v, uint16_t bits);

// Little CMS's own result for an image's first page, stored as TIFF stores it at outBits
// (0: the image's depth), alpha passed through. It compensates black points by itself only
// for version 4 profiles with the perceptual and saturation intents, which tests avoid,
// and with cmsFLAGS_BLACKPOINTCOMPENSATION among the flags. Intent index 0 is the source's
// header intent, 4 absolute colorimetric.
Bytes Lcms(const std::string& from, const std::string& to, int intentIndex, const Tiff& t,
           uint16_t outBits = 0, uint32_t flags = 0);
// The largest difference between two images' samples, in levels; cieLab: samples 1 and 2 of
// every `samples` are signed.
int WorstDifference(const Bytes& got, const Bytes& want, uint16_t bits, bool cieLab,
                    uint16_t samples);

} // namespace ts

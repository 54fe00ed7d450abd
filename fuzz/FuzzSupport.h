#pragma once
// What the fuzz targets share: a file of the process that holds the current
// input, a look at a TIFF file's size before the engine opens it, and the
// way a target reports a broken promise.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// Quiets libtiff for the whole process; the fuzzer's output is then only
// its own and that of the sanitizers.
void InitOnce();

// A file of this process, under /dev/shm when it can be written (inputs stay
// in memory), else under $TMPDIR or /tmp. Removed when the object goes away.
class ScratchFile {
public:
    explicit ScratchFile(const char* suffix);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the file's content with exactly these bytes.
    bool Write(const uint8_t* data, size_t size);
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    int m_fd = -1;
};

// The first image of a TIFF file as libtiff describes it, read before the
// engine sees the file so that a target can refuse work no input of a few
// kilobytes should cost (a 100-byte file may claim a 4 GB image).
struct TiffShape {
    bool opened = false;
    uint32_t width = 0, height = 0;
    uint16_t samples = 0, bits = 0, photometric = 0;
    uint64_t stripBytes = 0; // one decoded strip, as libtiff sizes it
    uint64_t imageBytes = 0; // every row, at the bits the file claims
};
TiffShape ProbeTiff(const std::string& path);

// Whether the engine may be handed the file: anything that does not open is
// (the engine's refusal is what is tested); a file that opens must stay
// within the budget in bytes and pixels.
bool WithinBudget(const TiffShape& shape, uint64_t maxBytes, uint64_t maxPixels);

// A promise the code under test broke: printed, then the process aborts so
// the fuzzer keeps the input.
[[noreturn]] void Fail(const char* what);

} // namespace fuzz

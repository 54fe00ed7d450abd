#pragma once
// The profiles the fuzz targets pair with fuzzed data: the real ones Debian
// ships where they are installed, else ones made with Little CMS. Made once
// per process in a scratch folder.

#include <string>
#include <vector>

namespace fuzz {

struct ProfileSet {
    std::string srgb;      // RGB, matrix/shaper, v4
    std::string cmyk;      // CMYK printer tables, v2, PCS Lab (187 KB)
    std::string smallCmyk; // CMYK, v4, PCS XYZ (5 KB)
    std::string lab;       // L*a*b* colour space tables
    std::string xyz;       // identity XYZ
    std::string ink5, ink6;
};

const ProfileSet& Profiles();

// The bytes of one of the set's profiles, read once.
const std::vector<unsigned char>& ProfileBytes(const std::string& path);

} // namespace fuzz

#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "Corpus.h"
#include "ProfileFixtures.h"
#include "TempDir.h"

namespace corpus {
namespace {

// Every profile Debian ships but the largest (ITU Lab, 420 KB): inputs that
// big slow every mutation down and hold no tag type the others lack.
constexpr size_t kMaxSystemProfileBytes = 200 * 1024;

std::vector<std::string> MadeProfiles(const std::string& dir) {
    return {
        fx::MakeSrgbProfile(dir),
        fx::MakeRgbProfileWithIntent(dir, fx::kIntentSaturation),
        fx::MakeLabProfile(dir, true, "lab-v4.icc"),
        fx::MakeLabProfile(dir, false, "lab-v2.icc"),
        fx::MakeXyzProfile(dir),
        fx::MakeGrayProfile(dir),
        fx::MakeCmyProfile(dir),
        fx::MakeCmykProfile(dir),
        fx::MakeInkProfile(dir, 5),
        fx::MakeInkProfile(dir, 6),
        fx::MakeInkProfile(dir, 8),
        fx::MakeIntentProbeProfile(dir, fx::kIntentRelative),
        fx::MakeAbstractProfile(dir),
        fx::MakeDeviceLinkProfile(dir),
        fx::MakeInputOnlyProfile(dir),
        fx::MakeNamedColorProfile(dir),
        fx::MakeProfileOfSpace(dir, fx::kSigHsv, 3),
        fx::MakeProfileOfSpace(dir, fx::SigColors(2), 2),
        fx::MakeProfileOfSpace(dir, fx::SigColors(15), 15),
        fx::MakeTruncatedProfile(dir),
        fx::MakeGarbageProfile(dir),
    };
}

bool IsProfileName(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext)
        c = char(tolower(static_cast<unsigned char>(c)));
    return ext == "icc" || ext == "icm";
}

// The profiles under the system folder, small ones only, named after their
// path so that colord's and Ghostscript's sRGB do not overwrite each other.
int CopySystemProfiles(const std::string& folder, const std::string& prefix,
                       const std::string& out) {
    int copied = 0;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return 0;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name[0] == '.')
            continue;
        const std::string path = folder + "/" + name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            copied += CopySystemProfiles(path, prefix + name + "-", out);
        } else if (IsProfileName(name) && size_t(st.st_size) <= kMaxSystemProfileBytes) {
            if (fx::WriteFileBytes(out + "/system-" + prefix + name, fx::ReadFileBytes(path)))
                ++copied;
        }
    }
    closedir(dir);
    return copied;
}

} // namespace

int WriteProfileSeeds(const std::string& dir) {
    int written = 0;
    for (const std::string& path : MadeProfiles(dir)) {
        if (path.empty())
            fprintf(stderr, "make_corpus: a profile could not be made\n");
        else
            ++written;
    }
    return written + CopySystemProfiles(fx::SystemProfileDir(), "", dir);
}

} // namespace corpus

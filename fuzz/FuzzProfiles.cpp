#include "FuzzProfiles.h"

#include <map>

#include "FuzzSupport.h"
#include "ProfileFixtures.h"
#include "TempDir.h"

namespace fuzz {
namespace {

template <typename Make> std::string SystemOr(const std::string& relative, Make make) {
    return fx::SystemProfileExists(relative) ? fx::SystemProfile(relative) : make();
}

ProfileSet MakeProfiles() {
    static fx::TempDir dir;
    ProfileSet p;
    const std::string& d = dir.path();
    p.srgb = SystemOr("colord/sRGB.icc", [&] { return fx::MakeSrgbProfile(d); });
    p.cmyk = SystemOr("ghostscript/default_cmyk.icc", [&] { return fx::MakeCmykProfile(d); });
    p.smallCmyk = SystemOr("ghostscript/ps_cmyk.icc", [&] { return fx::MakeCmykProfile(d); });
    p.lab = SystemOr("ghostscript/lab.icc", [&] { return fx::MakeLabProfile(d); });
    // Debian's XYZ identity is 150 KB of tables; reading it for every input
    // would halve the fuzzer's speed, and this one converts alike.
    p.xyz = fx::MakeXyzProfile(d);
    p.ink5 = fx::MakeInkProfile(d, 5);
    p.ink6 = fx::MakeInkProfile(d, 6);
    for (const std::string* path :
         {&p.srgb, &p.cmyk, &p.smallCmyk, &p.lab, &p.xyz, &p.ink5, &p.ink6})
        if (path->empty())
            Fail("a partner profile could not be made");
    return p;
}

} // namespace

const ProfileSet& Profiles() {
    static const ProfileSet set = MakeProfiles();
    return set;
}

const std::vector<unsigned char>& ProfileBytes(const std::string& path) {
    static std::map<std::string, std::vector<unsigned char>> cache;
    auto it = cache.find(path);
    if (it == cache.end())
        it = cache.emplace(path, fx::ReadFileBytes(path)).first;
    return it->second;
}

} // namespace fuzz

#include "Scene.h"

#include "BadInputs.h"
#include "ProfileFixtures.h"
#include "TiffFixtures.h"

namespace rel {
namespace {

// Profiles are slow to build; every scene copies the same bytes.
struct ProfileBytes {
    std::vector<unsigned char> srgb, cmyk;
    ProfileBytes() {
        fx::TempDir dir;
        srgb = fx::ReadFileBytes(fx::MakeSrgbProfile(dir.path()));
        cmyk = fx::ReadFileBytes(fx::MakeCmykProfile(dir.path()));
    }
};

const ProfileBytes& Profiles() {
    static const ProfileBytes bytes;
    return bytes;
}

} // namespace

Scene::Scene() {
    m_dir.mkdir("in");
    m_dir.mkdir("out");
    m_dir.mkdir("profiles");
    fx::WriteTiff(in() + "/zz-good.tif", PlainSourceSpec());
    fx::WriteFileBytes(in() + "/readme.txt", {'r', 'a', 'w'});
    fx::WriteTiff(out() + "/keep.tif", fx::CmykSpec(4, 4));
    fx::WriteFileBytes(out() + "/notes.txt", {'m', 'i', 'n', 'e'});
    fx::WriteFileBytes(srgb(), Profiles().srgb);
    fx::WriteFileBytes(cmyk(), Profiles().cmyk);
}

std::string Scene::Relative(const std::string& path) const {
    const std::string prefix = root() + "/";
    return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

RunSpec Scene::Single(const std::string& source, const std::string& dest) const {
    RunSpec spec;
    spec.source = source;
    spec.dest = dest;
    spec.sourceProfile = srgb();
    spec.destProfile = cmyk();
    return spec;
}

RunSpec Scene::Folder() const {
    RunSpec spec = Single(in(), out());
    spec.folder = true;
    return spec;
}

const std::vector<unsigned char>& ReferencePixels() {
    static const std::vector<unsigned char> pixels = [] {
        Scene scene;
        RunJob(scene.Single(scene.in() + "/zz-good.tif", scene.out() + "/reference.tif"));
        return fx::ReadTiff(scene.out() + "/reference.tif").pixels;
    }();
    return pixels;
}

} // namespace rel

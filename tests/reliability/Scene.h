// A photographer's working folders in a scratch tree: sources, destinations that already
// hold work, and the profiles, so each test can show what a run changed and what it left.
#pragma once

#include <set>
#include <string>

#include "RunHarness.h"
#include "TempDir.h"
#include "TreeSnapshot.h"

namespace rel {

// root/in holds the plain image "zz-good.tif" (converted last in a folder run) and a text
// file; root/out holds earlier work ("keep.tif", "notes.txt"); root/profiles holds the
// sRGB source profile and the CMYK destination profile.
class Scene {
public:
    Scene();

    std::string root() const { return m_dir.path(); }
    std::string in() const { return m_dir.path() + "/in"; }
    std::string out() const { return m_dir.path() + "/out"; }
    std::string profiles() const { return m_dir.path() + "/profiles"; }
    std::string srgb() const { return profiles() + "/srgb.icc"; }
    std::string cmyk() const { return profiles() + "/cmyk.icc"; }
    // Path relative to the root, as snapshots name it.
    std::string Relative(const std::string& path) const;

    // A run from the sRGB profile to the CMYK one, embedding it.
    RunSpec Single(const std::string& source, const std::string& dest) const;
    RunSpec Folder() const;

    Snapshot Take() const { return TakeSnapshot(root()); }

private:
    fx::TempDir m_dir;
};

// The plain image converted on its own from sRGB to CMYK: what every image that converts
// must hold.
const std::vector<unsigned char>& ReferencePixels();

} // namespace rel

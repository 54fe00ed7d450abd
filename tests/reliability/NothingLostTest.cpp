// One working tree holding every bad input at once, put through every refusal and failure
// the program knows, with every file checksummed before and after each run: no source ever
// changes, and nothing but the destinations a run was writing is created or changed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "BadInputs.h"
#include "ConversionRun.h"
#include "FolderScan.h"
#include "PathUtils.h"
#include "ProfileFixtures.h"
#include "Scene.h"

using namespace rel;

namespace {

using Allowed = std::set<std::string>;

const std::string kSameImages = "Source and destination images are the same. Don't be dumb.";
const std::string kSameFolders = "Source and destination folders are the same. Don't be dumb.";

// The destinations, relative to the scene, of the images a folder run began.
Allowed FolderDestinations(const Scene& scene, const std::string& sourceFolder,
                           const std::string& destFolder, const std::vector<std::string>& labels) {
    std::vector<std::string> list;
    ScanFolder(sourceFolder, list);
    FilterTiffFiles(list);
    Allowed allowed;
    for (const std::string& path : list) {
        const std::string label = CConversionRun::FileNameLabel(path);
        if (std::find(labels.begin(), labels.end(), label) != labels.end())
            allowed.insert(scene.Relative(destFolder) + "/" + GetFileName(path));
    }
    return allowed;
}

Allowed Everything(const Snapshot& snapshot, const std::string& prefix) {
    Allowed paths;
    for (const auto& entry : snapshot) {
        if (entry.first.rfind(prefix, 0) == 0)
            paths.insert(entry.first);
    }
    return paths;
}

class Workshop : public ::testing::Test {
protected:
    void SetUp() override {
        for (const BadImage& bad : BadImages())
            ASSERT_TRUE(bad.make(in("/" + bad.name))) << bad.label;
        for (const BadProfile& bad : BadProfiles())
            ASSERT_TRUE(bad.make(scene.profiles() + "/" + bad.name)) << bad.label;
        const std::string good = in("/zz-good.tif");
        ASSERT_EQ(symlink(good.c_str(), in("/link-good.tif").c_str()), 0);
        ASSERT_EQ(link(good.c_str(), in("/hard-good.tif").c_str()), 0);
        ASSERT_EQ(symlink(scene.in().c_str(), (scene.root() + "/alias").c_str()), 0);
        // An earlier conversion that only a run converting zz-good.tif may replace.
        ASSERT_TRUE(fx::WriteTiff(scene.out() + "/zz-good.tif", fx::CmykSpec(8, 4)));
        ASSERT_TRUE(fx::WriteFileBytes(changing(), fx::ReadFileBytes(scene.cmyk())));
        MakeFolder("in-disk", {{"disk-a.tif", fx::RgbSpec(16, 16)},
                               {"disk-c.tif", fx::RgbSpec(512, 400)},
                               {"disk-d.tif", fx::RgbSpec(16, 16)}});
        MakeFolder("in-change", {});
        MakeFolder("out-gone", {{"old.tif", fx::RgbSpec(4, 4)}});
        MakeFolder("out-profile", {});
        RestoreChangingFolder();
        initial = scene.Take();
    }

    std::string in(const std::string& rest) const { return scene.in() + rest; }
    std::string changing() const { return scene.profiles() + "/changing.icc"; }

    void MakeFolder(const std::string& name,
                    const std::vector<std::pair<std::string, fx::TiffSpec>>& images) {
        ASSERT_EQ(mkdir((scene.root() + "/" + name).c_str(), 0755), 0);
        for (const auto& [file, spec] : images)
            ASSERT_TRUE(fx::WriteTiff(scene.root() + "/" + name + "/" + file, spec));
    }

    // in-change holds three plain images again, and the changing profile its CMYK bytes.
    void RestoreChangingFolder() {
        for (const char* name : {"ch-a.tif", "ch-b.tif", "ch-c.tif"}) {
            const std::string path = scene.root() + "/in-change/" + name;
            unlink(path.c_str());
            ASSERT_TRUE(fx::WriteTiff(path, PlainSourceSpec()));
        }
        ASSERT_TRUE(fx::WriteFileBytes(changing(), fx::ReadFileBytes(scene.cmyk())));
    }

    // Runs the action between two snapshots; the changes must lie within what it returns.
    void Step(const std::string& label, const std::function<Allowed()>& action) {
        SCOPED_TRACE(label);
        const Snapshot before = scene.Take();
        const Allowed allowed = action();
        const Snapshot after = scene.Take();
        EXPECT_EQ(UnexpectedChanges(before, after, allowed), "");
        everAllowed.insert(allowed.begin(), allowed.end());
        ++steps;
    }

    RunSpec FolderRun(const std::string& source, const std::string& dest) const {
        RunSpec spec = scene.Folder();
        spec.source = source;
        spec.dest = dest;
        return spec;
    }

    Scene scene;
    Snapshot initial;
    Allowed everAllowed;
    int steps = 0;
};

} // namespace

TEST_F(Workshop, EveryRefusalAndFailureLeavesEveryOtherFileAsItWas) {
    const std::string good = in("/zz-good.tif");
    const std::string goodOut = scene.out() + "/zz-good.tif";

    // Each bad image on its own, in the program and through the command-line tool.
    for (const BadImage& bad : BadImages()) {
        const std::string source = in("/" + bad.name);
        const std::string dest = scene.out() + "/" + bad.name;
        const bool converts = bad.outcome == Outcome::Converts;
        Step(bad.label + ", single", [&] {
            EXPECT_EQ(RunJob(scene.Single(source, dest)).succeeded, converts);
            return Allowed{scene.Relative(dest)};
        });
        Step(bad.label + ", command line", [&] {
            const CliResult cli =
                RunCli({"-e", "-s", scene.srgb(), "-d", scene.cmyk(), source, dest});
            EXPECT_EQ(cli.exitCode, converts ? 0 : 1);
            return Allowed{scene.Relative(dest)};
        });
    }

    // The whole folder of bad images at once.
    std::vector<std::string> labels;
    Step("folder of bad images", [&] {
        const RunRecord got = RunJob(scene.Folder());
        EXPECT_FALSE(got.succeeded);
        EXPECT_FALSE(got.messages.empty());
        labels = got.names;
        return FolderDestinations(scene, scene.in(), scene.out(), got.names);
    });
    Step("folder of bad images, command line", [&] {
        EXPECT_EQ(RunCli({"-m", "-s", scene.srgb(), "-d", scene.cmyk(), scene.in(), scene.out()})
                      .exitCode,
                  1);
        return FolderDestinations(scene, scene.in(), scene.out(), labels);
    });

    // Each unusable profile at either end.
    for (const BadProfile& bad : BadProfiles()) {
        for (const bool asSource : {true, false}) {
            const std::string profile = scene.profiles() + "/" + bad.name;
            const std::string where = asSource ? " as source" : " as destination";
            RunSpec single = scene.Single(good, goodOut);
            RunSpec folder = scene.Folder();
            (asSource ? single.sourceProfile : single.destProfile) = profile;
            (asSource ? folder.sourceProfile : folder.destProfile) = profile;
            const std::string message =
                InvalidProfileMessage(single.sourceProfile, single.destProfile);
            Step(bad.label + where + ", single", [&] {
                EXPECT_EQ(RunJob(single).messages, std::vector<std::string>{message});
                return Allowed{};
            });
            Step(bad.label + where + ", folder", [&] {
                const RunRecord got = RunJob(folder);
                EXPECT_EQ(got.messages.back(), message);
                return FolderDestinations(scene, scene.in(), scene.out(), got.names);
            });
            Step(bad.label + where + ", command line", [&] {
                const CliResult cli =
                    RunCli({"-s", single.sourceProfile, "-d", single.destProfile, good, goodOut});
                EXPECT_EQ(cli.err, CliErrorText({message}));
                return Allowed{};
            });
        }
    }

    // A destination that is its own source, however it is spelled: refused by the checks
    // before a run, and by the run itself when it is handed one anyway.
    const std::vector<std::string> sameImage = {in("/link-good.tif"), in("/hard-good.tif"),
                                                in("/./zz-good.tif"), in("//zz-good.tif"), good};
    for (const std::string& dest : sameImage) {
        Step("same image as " + dest, [&] {
            const CliResult cli = RunCli({"-s", scene.srgb(), "-d", scene.cmyk(), good, dest});
            EXPECT_EQ(cli.exitCode, 2);
            EXPECT_EQ(cli.err, kSameImages + "\n");
            EXPECT_EQ(RunJob(scene.Single(good, dest)).messages,
                      std::vector<std::string>{kSameImages});
            return Allowed{};
        });
    }
    Step("same image once given the .tif extension", [&] {
        const CliResult cli =
            RunCli({"-s", scene.srgb(), "-d", scene.cmyk(), good, in("/zz-good.jpeg")});
        EXPECT_EQ(cli.err, kSameImages + "\n");
        return Allowed{};
    });
    for (const std::string& dest :
         {scene.in(), scene.in() + "/", scene.root() + "/alias/", scene.root() + "/./in//"}) {
        Step("same folder as " + dest, [&] {
            const CliResult cli =
                RunCli({"-m", "-s", scene.srgb(), "-d", scene.cmyk(), scene.in(), dest});
            EXPECT_EQ(cli.exitCode, 2);
            EXPECT_EQ(cli.err, kSameFolders + "\n");
            const RunRecord got = RunJob(FolderRun(scene.in(), dest));
            EXPECT_EQ(got.messages.back(), kSameImages);
            EXPECT_FALSE(got.succeeded);
            return Allowed{};
        });
    }

    // Usage errors never reach a run.
    const std::vector<std::vector<std::string>> usage = {
        {"-s", scene.srgb(), "-d", scene.cmyk(), good},
        {"-s", scene.srgb(), "-d", scene.cmyk(), good, goodOut, goodOut},
        {"-s", scene.srgb(), good, goodOut},
        {"-s", scene.srgb(), "-d", scene.cmyk(), "-i", "absolute", good, goodOut},
        {"-s", scene.srgb(), "-d", scene.cmyk(), "--overwrite", good, goodOut},
        {good, goodOut, "-s", scene.srgb(), "-d"},
    };
    for (const std::vector<std::string>& args : usage) {
        Step("usage error", [&] {
            const CliResult cli = RunCli(args);
            EXPECT_EQ(cli.exitCode, 2);
            EXPECT_EQ(cli.err.rfind("chromaport-cli: ", 0), 0u) << cli.err;
            EXPECT_NE(cli.err.find("Usage: chromaport-cli"), std::string::npos);
            EXPECT_EQ(cli.out, "");
            return Allowed{};
        });
    }
    Step("empty image fields", [&] {
        const CliResult cli = RunCli({"-s", scene.srgb(), "-d", scene.cmyk(), "", goodOut});
        EXPECT_EQ(cli.exitCode, 2);
        EXPECT_EQ(cli.err, "Both source and destination images and profiles must be specified\n");
        return Allowed{};
    });

    // A disk that fills up in the middle of an image, and one that fills up just as the
    // image's directory is written (disk-c.tif's pixels end at byte 8 + 512 * 400 * 4).
    for (const rlim_t limit : {rlim_t(600000), rlim_t(8 + 512 * 400 * 4)}) {
        Step("file size limit " + std::to_string(limit), [&] {
            const ChildOutcome child =
                RunJobInChild(FolderRun(scene.root() + "/in-disk", scene.out()), limit);
            EXPECT_TRUE(child.exitedNormally);
            EXPECT_EQ(child.record.messages,
                      std::vector<std::string>{"Error: Could not write to " + scene.out() +
                                               "/disk-c.tif."});
            EXPECT_TRUE(fx::ReadTiff(scene.out() + "/disk-a.tif").ok);
            return Allowed{"out/disk-a.tif", "out/disk-c.tif"};
        });
    }

    // Sources changed between the screening and their turn.
    fx::TiffSpec sixteen = PlainSourceSpec();
    sixteen.bitsPerSample = 16;
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> changes = {
        {"deleted", [](const std::string& p) { unlink(p.c_str()); }},
        {"text", [](const std::string& p) { fx::WriteFileBytes(p, {'x'}); }},
        {"pipe",
         [](const std::string& p) {
             unlink(p.c_str());
             mkfifo(p.c_str(), 0644);
         }},
        {"16-bit", [&](const std::string& p) { fx::WriteTiff(p, sixteen); }},
        {"CMYK", [](const std::string& p) { fx::WriteTiff(p, fx::CmykSpec(8, 4)); }},
        {"cut short", [](const std::string& p) { fx::WriteFileBytes(p, CraftCutImage()); }},
        {"taller", [](const std::string& p) { fx::WriteTiff(p, fx::RgbSpec(8, 40)); }},
    };
    for (const auto& item : changes) {
        const std::string& what = item.first;
        const std::function<void(const std::string&)>& change = item.second;
        RestoreChangingFolder();
        Step("source replaced: " + what, [&] {
            RunSpec spec = FolderRun(scene.root() + "/in-change", scene.out());
            const std::string b = scene.root() + "/in-change/ch-b.tif";
            spec.beforeImage = [&](const std::string& label) {
                if (label == "ch-b")
                    change(b);
            };
            const RunRecord got = RunJob(spec);
            EXPECT_EQ(got.succeeded, what == "taller");
            return Allowed{"in-change/ch-b.tif", "out/ch-a.tif", "out/ch-b.tif", "out/ch-c.tif"};
        });
    }
    RestoreChangingFolder();

    // The destination folder removed while a run writes into it.
    Step("destination folder removed", [&] {
        const std::string gone = scene.root() + "/out-gone";
        RunSpec spec = FolderRun(scene.root() + "/in-change", gone);
        spec.beforeImage = [&](const std::string& label) {
            if (label == "ch-b")
                std::filesystem::remove_all(gone);
        };
        EXPECT_EQ(RunJob(spec).messages,
                  std::vector<std::string>{"Unable to create Tiff file - '" + gone + "/ch-b.tif'"});
        return Everything(initial, "out-gone");
    });

    // The destination profile rewritten while a run uses it.
    for (const char* what : {"text", "deleted", "RGB profile"}) {
        RestoreChangingFolder();
        Step(std::string("destination profile replaced: ") + what, [&] {
            RunSpec spec = FolderRun(scene.root() + "/in-change", scene.root() + "/out-profile");
            spec.destProfile = changing();
            spec.beforeImage = [&](const std::string& label) {
                if (label != "ch-b")
                    return;
                if (what == std::string("text"))
                    fx::WriteFileBytes(changing(), {'t'});
                else if (what == std::string("deleted"))
                    unlink(changing().c_str());
                else
                    fx::WriteFileBytes(changing(), fx::ReadFileBytes(scene.srgb()));
            };
            RunJob(spec);
            return Allowed{"profiles/changing.icc", "out-profile/ch-a.tif", "out-profile/ch-b.tif",
                           "out-profile/ch-c.tif"};
        });
    }
    RestoreChangingFolder();

    // Across everything: no source, no profile and no earlier work was touched, and only
    // destinations a run was writing differ from the start.
    const Snapshot end = scene.Take();
    EXPECT_EQ(UnexpectedChanges(initial, end, everAllowed), "");
    for (const auto& entry : initial) {
        const std::string& path = entry.first;
        const bool kept = path.rfind("in/", 0) == 0 || path.rfind("in-disk/", 0) == 0 ||
                          path.rfind("profiles/", 0) == 0 || path == "out/keep.tif" ||
                          path == "out/notes.txt";
        const auto now = end.find(path);
        if (kept) {
            ASSERT_NE(now, end.end()) << path;
            EXPECT_EQ(now->second, entry.second) << path;
        }
    }
    EXPECT_GT(steps, 150);
}

// Every bad input the program may be handed, run alone in single mode, in a folder run
// beside a good image, and through the command-line tool: the exact words the user sees,
// how far the run gets, and that nothing but the destination in progress changed.
#include <gtest/gtest.h>

#include "BadInputs.h"
#include "ConversionRun.h"
#include "CraftedFiles.h"
#include "Scene.h"

using namespace rel;

namespace {

// What one run must show and which paths (relative to the scene) it may write.
struct Expected {
    std::vector<std::string> messages;
    std::vector<std::string> names;
    bool succeeded = false;
    std::set<std::string> written;
};

std::string Label(const std::string& path) {
    return CConversionRun::FileNameLabel(path);
}

Expected ExpectedSingle(const BadImage& bad, const Scene& scene, const std::string& source,
                        const std::string& dest) {
    const std::string message = bad.message ? bad.message(source) : "";
    switch (bad.outcome) {
    case Outcome::RefusedAtScreening:
    case Outcome::NotListed:
        return {{message}, {}, false, {}};
    case Outcome::FailsBeforeRows:
        return {{message}, {Label(source)}, false, {}};
    case Outcome::StopsInRows:
        return {{message}, {Label(source)}, false, {}};
    case Outcome::Converts:
        return {{}, {Label(source)}, true, {scene.Relative(dest)}};
    }
    return {};
}

Expected ExpectedFolder(const BadImage& bad, const std::string& source) {
    const std::string message = bad.message ? bad.message(source) : "";
    const std::string dest = "out/" + bad.name;
    const std::string good = "out/zz-good.tif";
    switch (bad.outcome) {
    case Outcome::RefusedAtScreening:
        return {{message}, {"zz-good"}, true, {good}};
    case Outcome::NotListed:
        return {{}, {"zz-good"}, true, {good}};
    case Outcome::FailsBeforeRows:
        return {{message}, {Label(source)}, false, {}};
    case Outcome::StopsInRows:
        return {{message}, {Label(source)}, false, {}};
    case Outcome::Converts:
        return {{}, {Label(source), "zz-good"}, true, {dest, good}};
    }
    return {};
}

// Every destination that appears is whole: the reference image.
void ExpectWrittenContent(const Scene& scene, const std::set<std::string>& written) {
    for (const std::string& rel : written) {
        SCOPED_TRACE(rel);
        const fx::TiffContents got = fx::ReadTiff(scene.root() + "/" + rel);
        ASSERT_TRUE(got.ok);
        EXPECT_EQ(got.pixels, ReferencePixels());
        EXPECT_EQ(got.icc, fx::ReadFileBytes(scene.cmyk()));
    }
}

void ExpectRun(const Scene& scene, const RunRecord& got, const Expected& want,
               const Snapshot& before) {
    EXPECT_EQ(got.messages, want.messages);
    EXPECT_EQ(got.names, want.names);
    EXPECT_EQ(got.succeeded, want.succeeded);
    EXPECT_FALSE(got.stop);
    EXPECT_TRUE(got.finished);
    EXPECT_LE(got.percent, 100);
    const Snapshot after = scene.Take();
    EXPECT_EQ(ChangedPaths(before, after), want.written)
        << UnexpectedChanges(before, after, want.written);
    ExpectWrittenContent(scene, want.written);
}

std::string Mode(int mode) {
    static const char* const names[] = {"single", "folder", "command line"};
    return names[mode];
}

} // namespace

TEST(BadInput, EveryBadImageGetsItsMessageAndTouchesNothingElse) {
    ASSERT_FALSE(ReferencePixels().empty());
    for (const BadImage& bad : BadImages()) {
        for (int mode = 0; mode < 3; ++mode) {
            SCOPED_TRACE(bad.label + ", " + Mode(mode));
            Scene scene;
            const std::string source = scene.in() + "/" + bad.name;
            const std::string dest = scene.out() + "/" + bad.name;
            ASSERT_TRUE(bad.make(source));
            const Snapshot before = scene.Take();
            if (mode == 0) {
                ExpectRun(scene, RunJob(scene.Single(source, dest)),
                          ExpectedSingle(bad, scene, source, dest), before);
            } else if (mode == 1) {
                ExpectRun(scene, RunJob(scene.Folder()), ExpectedFolder(bad, source), before);
            } else {
                Expected want = ExpectedSingle(bad, scene, source, dest);
                if (bad.cliMessage)
                    want.messages = {bad.cliMessage(source)};
                const CliResult cli =
                    RunCli({"-e", "-s", scene.srgb(), "-d", scene.cmyk(), source, dest});
                EXPECT_EQ(cli.exitCode, want.succeeded ? 0 : 1);
                EXPECT_EQ(cli.err, want.succeeded ? "" : CliErrorText(want.messages));
                EXPECT_EQ(cli.out, want.succeeded ? "Profile conversion complete.\n" : "");
                const Snapshot after = scene.Take();
                EXPECT_EQ(ChangedPaths(before, after), want.written)
                    << UnexpectedChanges(before, after, want.written);
                ExpectWrittenContent(scene, want.written);
            }
        }
    }
}

TEST(BadInput, EveryUnusableProfileIsRefusedBeforeAnythingIsWritten) {
    for (const BadProfile& bad : BadProfiles()) {
        for (const bool asSource : {true, false}) {
            for (int mode = 0; mode < 3; ++mode) {
                SCOPED_TRACE(bad.label + (asSource ? " as source, " : " as destination, ") +
                             Mode(mode));
                Scene scene;
                const std::string profile = scene.profiles() + "/" + bad.name;
                ASSERT_TRUE(bad.make(profile));
                ASSERT_TRUE(fx::WriteTiff(scene.in() + "/first.tif", PlainSourceSpec()));
                const std::string source = scene.in() + "/first.tif";
                RunSpec spec =
                    mode == 1 ? scene.Folder() : scene.Single(source, scene.out() + "/first.tif");
                (asSource ? spec.sourceProfile : spec.destProfile) = profile;
                const std::string message =
                    InvalidProfileMessage(spec.sourceProfile, spec.destProfile);
                const Snapshot before = scene.Take();

                if (mode < 2) {
                    const RunRecord got = RunJob(spec);
                    EXPECT_EQ(got.messages, std::vector<std::string>{message});
                    EXPECT_EQ(got.names, std::vector<std::string>{"first"});
                    EXPECT_FALSE(got.succeeded);
                    EXPECT_FALSE(got.stop);
                } else {
                    const CliResult cli = RunCli({"-e", "-s", spec.sourceProfile, "-d",
                                                  spec.destProfile, spec.source, spec.dest});
                    EXPECT_EQ(cli.exitCode, 1);
                    EXPECT_EQ(cli.err, CliErrorText({message}));
                    EXPECT_EQ(cli.out, "");
                }
                const Snapshot after = scene.Take();
                EXPECT_EQ(UnexpectedChanges(before, after, {}), "");
            }
        }
    }
}

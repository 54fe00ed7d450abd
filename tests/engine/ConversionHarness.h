#pragma once
// Runs the conversion of single images in tests, recording what the run
// would show and how often progress moved.

#include <functional>
#include <string>
#include <vector>

#include "ConversionJob.h"
#include "ImageConversion.h"
#include "TempDir.h"
#include "TiffFixtures.h"
#include "TiffImage.h"

// Profiles made once for all the tests of a program.
struct TestProfiles {
    TestProfiles();
    fx::TempDir dir;
    std::string srgb, lab, xyz, gray, cmy, cmyk, ink5, ink6, ink7;
};
TestProfiles& P();

struct RecordingHooks : IImageHooks {
    std::vector<std::string> messages;
    int rows = 0;
    int pauseChecks = 0;
    std::function<void(int)> onRow; // called with the row count after each row

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void AdvanceProgress() override {
        ++rows;
        if (onRow)
            onRow(rows);
    }
    void EndOfImagePauseCheck() override { ++pauseChecks; }
};

struct ImageHarness {
    CConversionJob job;
    RecordingHooks hooks;
    CTiffImage source, dest;
    std::string message;
    bool xyzDestination = false;
    std::vector<unsigned char> profile;
    bool embed = false;

    ImageHarness(const std::string& srcProfile, const std::string& dstProfile, int intent = 2) {
        job.SetJob("", srcProfile, dstProfile, "", intent, false);
    }

    ImageOutcome Convert(const std::string& src, const std::string& dst) {
        const ImageResources res{
            source,         dest, embed ? profile.data() : nullptr, uint32_t(profile.size()),
            xyzDestination, hooks};
        const ImageResult result = ConvertImage(job, res, src, dst);
        message = result.message;
        xyzDestination = result.xyzDestination;
        return result.outcome;
    }
};

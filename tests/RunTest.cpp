// Whole runs as the status window drives them: what they show as they go, and what they write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "RequireProfile.h"
#include "Support.h"

// Each run goes from sRGB to {cmyk} with the profile embedded; {in} and {out} are folders in
// {d}, and {d}/links/a.tif is a link to {in}/a.tif. A source with a period is a single image.
// What a run refuses before it starts, and what the command-line tool reports, CliTest covers.
// However a run ends, it leaves no file open behind it.
static size_t OpenFiles() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return size_t(std::distance(begin(fds), end(fds)));
}

TEST(Run, WhatARunShowsAndWrites) {
    struct Case {
        const char* what;
        struct Image {
            std::string name; // in {in}
            uint32_t height;
            uint16_t pages = 1;
        };
        std::vector<Image> images;
        std::string source, dest, destProfile;
        const char* cancelAt; // the label at which the user cancels; "" before the run
        std::vector<std::string> messages, names;
        std::vector<int> percents; // as each image begins, then at the end
        std::string changed;       // all that differs under {d} afterwards; success if any
        bool keepGoing = false;
    };
    // clang-format off
    const Case cases[] = {
        // The percentage counts rows: images of 2, 6 and 12 rows begin at 0, 10 and 40 %.
        {"labels cut at the first period, destinations named after the sources", {{".x.tif", 2}, {"Scan.TIFF", 12}, {"scan.final.tif", 6}},
         "{in}", "{out}", "{cmyk}", nullptr, {}, {".x.tif", "scan", "Scan"}, {0, 10, 40, 100}, "out/.x.tif, out/Scan.TIFF, out/scan.final.tif"},
        // A file of several pages shows each page; all their rows count.
        {"pages", {{"a.tif", 4, 3}, {"b.tif", 4}}, "{in}", "{out}", "{cmyk}", nullptr, {},
         {"a", "a.tif, page 1 of 3", "a.tif, page 2 of 3", "a.tif, page 3 of 3", "b"}, {0, 0, 25, 50, 75, 100}, "out/a.tif, out/b.tif"},
        {"single mode takes any name that holds a TIFF", {{"scan.jpg", 4}}, "{in}/scan.jpg", "{out}/o.tif", "{cmyk}", nullptr, {}, {"scan"}, {0, 100}, "out/o.tif"},
        {"cancelled before it began", {{"a.tif", 4}}, "{in}", "{out}", "{cmyk}", "", {}, {}, {0}, ""},
        {"cancelled as the first image begins", {{"a.tif", 4}, {"b.tif", 4}}, "{in}", "{out}", "{cmyk}", "a", {}, {"a"}, {0, 0}, ""},
        // Handed a job the checks would have refused, the run still never writes over a source.
        {"destination a link to the source", {{"a.tif", 4}}, "{in}", "{d}/links", "{cmyk}", nullptr, {"Source and destination images are the same. Don't be dumb."}, {"a"}, {0, 0}, ""},
        // Going on past an image it refused, that image's rows count as done.
        {"keeping going", {{"a.tif", 4}, {"b.tif", 12}}, "{in}", "{d}/links", "{cmyk}", nullptr, {"Source and destination images are the same. Don't be dumb."}, {"a", "b"}, {0, 25, 100}, "links/b.tif", true},
        {"folder into itself", {{"a.tif", 4}}, "{in}", "{d}/./in//", "{cmyk}", nullptr, {"Source and destination images are the same. Don't be dumb."}, {"a"}, {0, 0}, ""},
        // Reading a pipe would wait for a writer that never comes.
        {"a pipe as the profile to embed", {{"a.tif", 4}}, "{in}/a.tif", "{out}/a.tif", "{pipe}", nullptr,
         {"Invalid Profile:\n  {srgb}\n  {pipe}'\n  '{pipe}' is not an ICC profile."}, {"a"}, {0, 0}, ""},
        {"a missing profile to embed, said once", {{"a.tif", 4}, {"b.tif", 4}}, "{in}", "{out}", "{d}/gone.icc", nullptr,
         {"Invalid Profile:\n  {srgb}\n  {d}/gone.icc'\n"
          "  Cannot open '{d}/gone.icc': No such file or directory"}, {"a"}, {0, 0}, ""},
    };
    // clang-format on
    ts::Scratch pipes;
    ASSERT_EQ(mkfifo(pipes.file("pipe.icc").c_str(), 0600), 0);
    const std::string cmyk = ts::RequireProfile("ghostscript/default_cmyk.icc");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ts::Scratch d;
        const std::string srgb = ts::MakeProfile(d.path(), ts::Builtin::Srgb);
        const std::map<std::string, std::string> vars = {
            {"{in}", d.mkdir("in")}, {"{out}", d.mkdir("out")},          {"{srgb}", srgb},
            {"{cmyk}", cmyk},        {"{pipe}", pipes.file("pipe.icc")}, {"{d}", d.path()}};
        d.mkdir("links");
        ASSERT_EQ(symlink(d.file("in/a.tif").c_str(), d.file("links/a.tif").c_str()), 0);
        for (const auto& image : c.images) {
            ts::Tiff tiff;
            tiff.height = image.height, tiff.pages = image.pages;
            ASSERT_TRUE(ts::WriteTiff(d.file("in/" + image.name), tiff));
        }
        RunControl control;
        RunProgress progress;
        std::vector<int> percents;
        const auto setUp = [&](JobSpec& j) {
            j.m_bKeepGoing = c.keepGoing;
            if (c.cancelAt && !*c.cancelAt)
                control.RequestCancel();
        };
        const auto beforeImage = [&](const std::string& label) {
            percents.push_back(progress.Percent());
            if (c.cancelAt && label == c.cancelAt)
                control.RequestCancel();
        };
        const ts::Snapshot before = ts::Snap(d.path());
        const size_t openBefore = OpenFiles();
        const ts::RunRecord r =
            ts::RunJob({ts::Fill(c.source, vars), srgb, ts::Fill(c.destProfile, vars),
                        ts::Fill(c.dest, vars), c.source.find('.') == c.source.npos, true, 2, setUp,
                        beforeImage, &control, &progress});
        const ts::Snapshot after = ts::Snap(d.path());
        EXPECT_EQ(OpenFiles(), openBefore);
        percents.push_back(r.percent);
        std::vector<std::string> messages;
        for (const std::string& m : c.messages)
            messages.push_back(ts::Fill(m, vars));
        EXPECT_EQ(r.messages, messages);
        EXPECT_EQ(r.names, c.names);
        EXPECT_EQ(percents, c.percents);
        EXPECT_EQ(r.succeeded, !c.changed.empty());
        EXPECT_EQ(ts::Changes(before, after), c.changed);
        // Every image written carries the destination profile.
        for (const auto& entry : after)
            if (entry.first.rfind("out/", 0) == 0) {
                EXPECT_EQ(ts::ReadTiff(d.file(entry.first)).icc, ts::ReadBytes(cmyk))
                    << entry.first;
            }
    }
}

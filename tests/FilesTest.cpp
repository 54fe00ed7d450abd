// Paths as the run splits, joins and makes them, and the folder list a folder run converts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <regex>
#include <sstream>
#include <tuple>

#include "FolderScan.h"
#include "PathUtils.h"
#include "Support.h"

using List = std::vector<std::string>;

namespace {

List Words(const std::string& text, const std::string& prefix = "") {
    List out;
    std::istringstream in(text);
    for (std::string w; in >> w;)
        out.push_back(prefix + w);
    return out;
}

// Every entry under the folder, a folder with a trailing '/', sorted.
std::string Tree(const std::string& root) {
    std::string out;
    for (const auto& [path, what] : ts::Snap(root))
        out += (out.empty() ? "" : " ") + path + (what == "dir" ? "/" : "");
    return out;
}

// A folder of its own, the current folder while the object lives, holding the entries named:
// "name/" a folder, "name" a file.
struct Inside : ts::Scratch {
    const std::string here = std::filesystem::canonical(path());
    explicit Inside(const std::string& entries = "") {
        std::filesystem::current_path(here);
        for (const std::string& e : Words(entries))
            e.back() == '/' ? (void)::mkdir(e.c_str(), 0755) : (void)ts::WriteBytes(e, {'x'});
    }
    ~Inside() { std::filesystem::current_path("/"); }
};

} // namespace

TEST(Paths, SplitEditAndAsk) {
    // Each path as folder|name|ext: split at the last '/' and the last '.' after it. A backslash
    // or a drive letter is an ordinary character; no buffer of a fixed size cuts a long path.
    for (const std::string& want :
         Words("/Images/out/|scan.final|.tif |scan|.tif /x.d/|y| /x/y/|| /|| || x/|n|. "
               "/home/u/||.profile a//|d.tif|.bak |D:\\x\\img|.tif /a\\b.c/|scan| /" +
               std::string(300, 'f') + "/|" + std::string(400, 'n') + "|.e")) {
        const std::string path = std::regex_replace(want, std::regex("\\|"), "");
        const PathParts p = SplitPath(path);
        EXPECT_EQ(p.folder + "|" + p.name + "|" + p.ext, want);
        EXPECT_EQ(GetFileName(path) + "|" + GetFileExt(path), p.name + p.ext + "|" + p.ext);
    }
    Inside s("album/ album/img.tif x/ x/y/ x/y.d/ x/plain");
    const auto trim = [](std::string s) { return TrimString(s) ? s : s + "<none>"; };
    const auto yes = [](bool b) { return std::string(b ? "yes" : "no"); };
    // Shrinking replacements search again, so a run collapses; growing ones take one pass.
    // FolderExists ignores one trailing '/' and asks for existence, so a file counts. A last
    // component naming a folder, without an extension, is that folder. MakeFolder makes one.
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {StrDelete("abcdef", 2, 2), "abef"},     {StrDelete("abcdef", 4, 100), "abcd"},
        {StrDelete("abcdef", -1, 2), "abcdef"},  {StrDelete("abcdef", 1, -3), "abcdef"},
        {StrReplace("//a////b///c", "//", "/"), "/a/b/c"}, {StrReplace("aaaab", "ab", "b"), "b"},
        {StrReplace("aba", "a", "aa"), "aabaa"}, {StrReplace("t.t", "t", "tt"), "tt.tt"},
        {StrReplace("a/b", "", "x"), "a/b"},     {StrReplaceChar("a/b/", '/', '\\'), "a\\b\\"},
        {trim(" \t my scan.tif \r\n"), "my scan.tif"}, {trim(" \t\v\f\n "), "<none>"},
        {yes(FolderExists(s.here + "/album/")), "yes"}, {yes(FolderExists("missing/")), "no"},
        {yes(FolderExists("album/img.tif/")), "yes"}, {yes(FolderExists("album\\")), "no"},
        {yes(DriveExists("/")), "yes"},            {yes(DriveExists("/tmp")), "no"},
        {yes(FileExists(" album/img.tif\t\n")), "yes"}, {yes(FileExists(" \t ")), "no"},
        {GetFolderPart(s.here + "/x/img.tif"), s.here + "/x/"}, {GetFolderPart("x/y"), "x/y/"},
        {GetFolderPart("x/gone"), "x/"},           {GetFolderPart("x/plain"), "x/"},
        {GetFolderPart("x/y.d"), "x/"},            {yes(MakeFolder(" new\t")), "yes"},
        {yes(MakeFolder("new")), "no"},            {yes(MakeFolder("missing/child")), "no"},
        {Tree(s.here), "album/ album/img.tif new/ x/ x/plain x/y/ x/y.d/"}};
    // clang-format on
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
}

TEST(Paths, CreateFolderChainMakesTheFolderPart) {
    const std::string a(200, 'a'), b(200, 'b');
    // '@' stands for the test's folder, which is also the current folder.
    // What is there before, the path, whether a chain stands afterwards, and what is there then.
    // clang-format off
    const std::tuple<std::string, std::string, bool, std::string> cases[] = {
        {"a/", "@/a/b/c/", true, "a/ a/b/ a/b/c/"},      {"", "@/a/b/c.tif", true, "a/ a/b/"},
        {"", "a/b/noext", true, "a/ a/b/"},              {"", "img.tif", true, ""},
        {"", "@//a///b////c//", true, "a/ a/b/ a/b/c/"}, {"", "/@/d/e/img.tif", true, "d/ d/e/"},
        {"", "b/./c/../", true, "b/ b/c/"},              {"", " \t ", false, ""},
        {"f", "@/f/sub/img.tif", false, "f"},            {"a/ a/f", "a/f/", false, "a/ a/f"},
        {"", "  @/a\\b/ c /d /  ", true, "a\\b/ a\\b/ c / a\\b/ c /d /"},
        {"", a + "/" + b + "/x.tif", true, a + "/ " + a + "/" + b + "/"},
        {"", "made/" + std::string(300, 'z') + "/never/", false, "made/"}};
    // clang-format on
    for (const auto& [before, chain, ok, after] : cases) {
        Inside s(before);
        EXPECT_EQ(CreateFolderChain(std::regex_replace(chain, std::regex("@"), s.here)), ok)
            << chain.substr(0, 40);
        EXPECT_EQ(Tree(s.here), after) << chain.substr(0, 40);
    }
}

TEST(FolderScan, ListsPlainFilesInNameOrderThenKeepsTiffNames) {
    Inside s("b.tif C.tif A.tif a.tif a1.tif B.TIF 10.tif 9.tif Z.jpg d.tif.bak c.Tiff f.tifx "
             "readme .hidden.tif x.tif/ x.tif/in.tif sub/ sub/deep.tif empty/");
    ASSERT_EQ(symlink("b.tif", "linked.tif") | symlink("sub", "dirlink.tif") |
                  symlink("gone.tif", "dangling.tif") | mkfifo("pipe.tif", 0600),
              0);
    const List all = Words(".hidden.tif 10.tif 9.tif A.tif a.tif a1.tif B.TIF b.tif C.tif c.Tiff "
                           "d.tif.bak f.tifx linked.tif readme Z.jpg",
                           s.here + "/");
    // Every spelling of the folder gives the same absolute paths; the list is only appended to.
    const std::tuple<std::string, List, int> cases[] = {
        {s.here, all, 0}, {s.here + "//./", all, 0}, {".", all, 0},          {"./", all, 0},
        {"empty", {}, 0}, {"missing", {}, ENOENT},   {"b.tif", {}, ENOTDIR}, {"", {}, ENOENT}};
    for (const auto& [folder, want, error] : cases) {
        List got{"/earlier/z.tif"};
        EXPECT_EQ(ScanFolder(folder, got), error) << folder;
        EXPECT_EQ(List(got.begin() + 1, got.end()), want) << folder;
    }
    // Only the file name's extension counts, whatever the folders are called.
    List tiffs = all;
    tiffs.insert(tiffs.end(), {"/shots.tif/noext", "/x.tif.d/a.jpg", "/a.tif/b.c", "/x.d/.t"});
    FilterTiffFiles(tiffs);
    EXPECT_EQ(tiffs, Words(".hidden.tif 10.tif 9.tif A.tif a.tif a1.tif B.TIF b.tif C.tif c.Tiff "
                           "f.tifx linked.tif",
                           s.here + "/"));
}

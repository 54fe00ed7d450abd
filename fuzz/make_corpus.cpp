// Writes the seed inputs of the fuzz targets:
//   make_corpus OUT   fills OUT/tiff_reader, OUT/icc_profile, OUT/conversion
// Existing files of the same names are replaced; other files (inputs the
// fuzzer found earlier) are kept.

#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "Corpus.h"

namespace {

bool MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_corpus OUTPUT-FOLDER\n");
        return 2;
    }
    const std::string out = argv[1];
    const std::string reader = out + "/tiff_reader";
    const std::string profiles = out + "/icc_profile";
    const std::string conversion = out + "/conversion";
    for (const std::string& dir : {out, reader, profiles, conversion}) {
        if (!MakeFolder(dir)) {
            perror(dir.c_str());
            return 1;
        }
    }
    const int tiffs = corpus::WriteTiffSeeds(reader);
    const int icc = corpus::WriteProfileSeeds(profiles);
    const int conv = corpus::WriteConversionSeeds(conversion);
    printf("make_corpus: %d TIFF, %d profile, %d conversion seeds in %s\n", tiffs, icc, conv,
           out.c_str());
    return tiffs > 0 && icc > 0 && conv > 0 ? 0 : 1;
}

// Runs a fuzz target over saved inputs without libFuzzer: each argument is a file or a folder
// of files, taken in name order. Fails when there was nothing to run, so that a misplaced
// folder cannot pass unnoticed; a crash or a sanitizer report fails it the usual way.
#include <algorithm>
#include <filesystem>

#include "Support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(argv[i], ec))
            inputs.push_back(entry.path());
        if (std::filesystem::is_regular_file(argv[i]))
            inputs.push_back(argv[i]);
    }
    std::sort(inputs.begin(), inputs.end());
    for (const std::string& path : inputs) {
        fprintf(stderr, "replaying %s\n", path.c_str());
        const ts::Bytes bytes = ts::ReadBytes(path);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    fprintf(stderr, "%zu inputs replayed\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}

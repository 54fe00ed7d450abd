// Runs whole conversions the way the status window and the command-line tool do, and
// records what the user would have seen.
#pragma once

#include <sys/resource.h>

#include <functional>
#include <string>
#include <vector>

#include "ConversionJob.h"
#include "ConversionObserver.h"
#include "Process.h"

namespace rel {

// AddressSanitizer reserves far more address space than any cap a test would
// set, so under it the cap is left off and only the memory really used counts;
// its allocator also hides the heap's own figures.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// What one run showed and how it ended.
struct RunRecord {
    std::vector<std::string> messages; // in the order shown
    std::vector<std::string> names;    // file-name labels, one per image begun
    bool succeeded = false;
    bool stop = false;
    bool finished = false;
    int percent = 0; // the run-wide percentage when the run ended
};

// The job of one run. `beforeImage` is called with the file-name label just before each
// image is converted, which is the moment to change the files under the run.
struct RunSpec {
    std::string source, sourceProfile, destProfile, dest;
    bool folder = false;
    bool embed = true;
    int intent = 2;
    uint64_t maxRowBytes = kDefaultMaxRowBytes;
    uint64_t bigTiffThreshold = kBigTiffThreshold;
    std::function<void(const std::string& label)> beforeImage;
};

class RecordingObserver : public IConversionObserver {
public:
    explicit RecordingObserver(RunRecord& record, std::function<void(const std::string&)> hook)
        : m_record(record), m_hook(std::move(hook)) {}
    void ShowMessage(const std::string& text) override { m_record.messages.push_back(text); }
    void SetFileNameLabel(const std::string& text) override;
    void SetFileCountLabel(const std::string&) override {}

private:
    RunRecord& m_record;
    std::function<void(const std::string&)> m_hook;
};

// The run on this thread, through ConversionThreadProc, without the pause at 100 %.
RunRecord RunJob(const RunSpec& spec);

// The run in a child process whose files may grow to at most `fileSizeLimit` bytes
// (RLIMIT_FSIZE), with SIGXFSZ ignored so an oversized write fails instead of killing it,
// and whose memory may be capped (RLIMIT_AS) so a greedy run cannot hurt the machine.
struct ChildOutcome {
    bool exitedNormally = false; // false: the child crashed or was killed
    int status = 0;              // wait status
    long maxRssKb = 0;           // the child's peak resident memory
    RunRecord record;
};
ChildOutcome RunJobInChild(const RunSpec& spec, rlim_t fileSizeLimit,
                           rlim_t addressSpaceLimit = RLIM_INFINITY);

// chromaport-cli with these arguments, its output captured.
using CliResult = fx::ProcessResult;
CliResult RunCli(const std::vector<std::string>& args);

// The run's messages as the command-line tool prints them on standard error after a run
// that did not succeed.
std::string CliErrorText(const std::vector<std::string>& messages);

} // namespace rel

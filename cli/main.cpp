// chromaport-cli: the conversion run of the windowed program, for scripts
// and batch work.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include <tiffio.h>

#include "CliOptions.h"
#include "ConversionRun.h"
#include "IccCmm.h"
#include "JobChecks.h"
#include "Messages.h"
#include "PathUtils.h"
#include "PendingFile.h"
#include "StandardStreams.h"
#include "TerminalObserver.h"
#include "TerminalText.h"
#include "TiffImage.h"
#include "TiffWriter.h"

namespace {

// Exit statuses, for scripts.
constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;  // failed, cancelled, or nothing to convert
constexpr int kExitUsage = 2;   // wrong usage or a refused job
constexpr int kExitSkipped = 3; // converted, but images were skipped

RunControl* g_pControl = nullptr;
volatile sig_atomic_t g_nInterrupts = 0;

// The first Ctrl-C asks the run to stop after the row in progress, exactly
// as the Cancel button does; a second one ends the process at once, taking
// the unfinished destination with it.
void OnInterrupt(int signalNumber) {
    if (g_nInterrupts++ == 0 && g_pControl) {
        g_pControl->RequestCancel();
        return;
    }
    RemovePendingFilesAndDie(signalNumber);
}

void InstallInterruptHandler() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
}

// Why a folder run had nothing to convert, in one line.
void ExplainEmptyFolder(const JobSpec& job, int scanError) {
    const std::string folder = EscapeControlBytes(job.m_strSourceImage);
    if (scanError != 0)
        fprintf(stderr, msg::kCannotReadFolder, folder.c_str(), strerror(scanError));
    else
        fprintf(stderr, msg::kNoTiffImages, folder.c_str());
    fputc('\n', stderr);
}

int ExitStatus(const JobSpec& job, const RunResult& result) {
    if (result.m_bSucceeded) {
        // The images are written whether or not anyone reads these lines, so a
        // failure to print them does not change the status.
        const std::string summary = RunSummary(result);
        if (!summary.empty())
            printf("%s\n", summary.c_str());
        printf("%s\n", msg::kConversionComplete);
        return result.m_nImagesSkipped > 0 ? kExitSkipped : kExitConverted;
    }
    // More shards than images is normal in a job array: a shard with none
    // has nothing to do, and has done it.
    if (job.m_bMultipleFiles && result.m_nImagesFound == 0 && result.m_nImagesInFolder > 0) {
        printf(msg::kEmptyShard, job.m_nShardIndex, job.m_nShardCount, result.m_nImagesInFolder,
               EscapeControlBytes(job.m_strSourceImage).c_str());
        putchar('\n');
        return kExitConverted;
    }
    if (job.m_bMultipleFiles && result.m_nImagesFound == 0)
        ExplainEmptyFolder(job, result.m_nScanError);
    fprintf(stderr, "%s\n", msg::kConversionCancelled);
    return kExitFailed;
}

// The program's version, the libraries it runs with, and whether colours
// take the fast exact path.
void PrintVersion() {
    const std::string tiff = TIFFGetVersion();
    const size_t at = tiff.find("Version ");
    const std::string tiffVersion = at == std::string::npos
                                        ? tiff.substr(0, tiff.find('\n'))
                                        : tiff.substr(at + 8, tiff.find('\n', at) - at - 8);
    printf("chromaport-cli %s\n", CHROMAPORT_VERSION);
    printf("Little CMS %s (compiled against %s), libtiff %s\n", icLibraryVersion().c_str(),
           icCompiledLibraryVersion().c_str(), tiffVersion.c_str());
    printf("Exact fast path: %s\n",
           icExactFastPathAvailable() ? "active" : "off (the same colours, computed one by one)");
}

JobSpec JobFor(const CliOptions& options, const std::string& destination) {
    JobSpec job;
    job.m_strSourceImage = options.source;
    job.m_bEmbeddedSourceProfile = UsesEmbeddedProfiles(options);
    job.m_strSourceProfile =
        job.m_bEmbeddedSourceProfile ? options.fallbackProfile : options.sourceProfile;
    job.m_strDestProfile = options.destProfile;
    job.m_strDestImage = destination;
    job.m_nIntent = options.intent;
    job.m_bBlackPointCompensation = options.blackPointCompensation;
    job.m_bMultipleFiles = options.multiple;
    job.m_bEmbedProfile = options.embed;
    job.m_bExplainUnreadable = true;
    job.m_bKeepGoing = options.keepGoing;
    job.m_bKeepMetadata = options.keepMetadata;
    job.m_nCompression = static_cast<TiffCompression>(options.compression);
    job.m_nOutputDepth = options.depth;
    job.m_nShardIndex = options.shardIndex;
    job.m_nShardCount = options.shardCount;
    return job;
}

// Ends a listing whose standard output failed. A reader that went away
// (`| head`) has what it wanted: there is nothing to tell it.
int ListWriteFailed(int error) {
    if (error != EPIPE)
        fprintf(stderr, "chromaport-cli: cannot write to standard output: %s\n", strerror(error));
    return kExitFailed;
}

// --list: the sources the run would take, one a line, and nothing converted;
// --list0: the same names unescaped, each ended by a NUL byte, for xargs -0
// and parallel -0.
int ListSources(const CliOptions& options) {
    const JobSpec job = JobFor(options, options.destination);
    if (!options.multiple) {
        // A run would refuse it; the listing must not promise otherwise.
        struct stat st {};
        if (stat(options.source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            fprintf(stderr, msg::kInvalidTiff, EscapeControlBytes(options.source).c_str());
            fputc('\n', stderr);
            return kExitFailed;
        }
    }
    int scanError = 0;
    const std::vector<std::string> list = CConversionRun::SourceList(job, scanError);
    for (const std::string& path : list) {
        const std::string line = options.listNul ? path : EscapeControlBytes(path);
        if (fwrite(line.data(), 1, line.size(), stdout) != line.size() ||
            putchar(options.listNul ? '\0' : '\n') == EOF)
            return ListWriteFailed(errno);
    }
    // Buffered lines may fail only now (a full disk, a closed pipe).
    if (fflush(stdout) != 0 || ferror(stdout))
        return ListWriteFailed(errno);
    if (scanError != 0) {
        ExplainEmptyFolder(job, scanError);
        return kExitFailed;
    }
    return kExitConverted;
}

// A folder run writes into its destination folder, made with its parents
// when missing, as the window's folder chooser offers; where it cannot be
// made, each image says so as it is written.
void MakeDestinationFolder(const JobSpec& job) {
    const std::string& folder = job.m_strDestImage;
    struct stat st {};
    if (!job.m_bMultipleFiles || folder.empty() || stat(folder.c_str(), &st) == 0)
        return;
    if (CreateFolderChain(folder.back() == '/' ? folder : folder + "/"))
        fprintf(stderr, "chromaport-cli: made the folder '%s'\n",
                EscapeControlBytes(folder).c_str());
}

int RunJob(const JobSpec& job, bool quiet) {
    RunControl control;
    RunProgress progress;
    RunResult result;
    CTerminalObserver observer(!quiet && isatty(STDERR_FILENO));

    g_pControl = &control;
    InstallInterruptHandler();
    std::thread worker([&] { ConversionThreadProc(job, control, progress, observer, result); });
    // Look for the end often, so short runs end promptly; redraw the progress
    // line at most ten times a second.
    for (unsigned tick = 0; !progress.Finished(); ++tick) {
        if (tick % 10 == 0)
            observer.DrawProgress(progress.Percent());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    observer.ClearProgress();
    signal(SIGINT, SIG_DFL);
    g_pControl = nullptr;
    return ExitStatus(job, result);
}

} // namespace

int main(int argc, char** argv) {
    EnsureStandardStreamsOpen();
    // Past the file-size limit a write then fails like one on a full disk, and
    // the run reports it and removes its hidden file instead of dying silently.
    signal(SIGXFSZ, SIG_IGN);
    // A reader that goes away then makes a write fail with EPIPE rather than
    // killing the tool half way through a run: the images are what matters,
    // and a listing reports its failed writes itself.
    signal(SIGPIPE, SIG_IGN);
    RemovePendingFilesOnSignals(false);
    CliOptions options;
    std::string error;
    if (ParseCommandLine(argc, argv, options, error) != ParseResult::Ok) {
        fprintf(stderr, "chromaport-cli: %s\n\n%s", EscapeControlBytes(error).c_str(), UsageText());
        return kExitUsage;
    }
    if (options.help) {
        printf("%s", UsageText());
        return 0;
    }
    if (options.version) {
        PrintVersion();
        return 0;
    }
    SilenceTiffLibraryMessages();
    if (options.list)
        return ListSources(options);
    if (options.compression != kCompressNone &&
        !CTiffWriter::CompressionAvailable(static_cast<TiffCompression>(options.compression))) {
        fprintf(stderr, "chromaport-cli: --compress: this libtiff cannot write that compression\n");
        return kExitUsage;
    }
    JobSpec job = JobFor(options, options.destination);
    const JobCheckResult check = CheckJob(job, EscapeControlBytes);
    if (!check.ok) {
        fprintf(stderr, "%s\n", check.message.c_str());
        return kExitUsage;
    }
    job.m_strDestImage = check.destination;
    MakeDestinationFolder(job);
    return RunJob(job, options.quiet);
}

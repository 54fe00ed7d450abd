// chromaport-cli: the conversion run of the windowed program, for scripts
// and batch work.

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "CliOptions.h"
#include "ConversionJob.h"
#include "JobChecks.h"
#include "Messages.h"
#include "TerminalObserver.h"
#include "TiffImage.h"

namespace {

CConversionJob* g_pJob = nullptr;

// The first Ctrl-C asks the run to stop after the row in progress, exactly
// as the Cancel button does; SA_RESETHAND lets a second one end the process.
void OnInterrupt(int) {
    if (g_pJob)
        g_pJob->RequestCancel();
}

void InstallInterruptHandler() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
}

int RunJob(const CliOptions& options, const std::string& destination) {
    CConversionJob job;
    const bool showProgress = !options.quiet && isatty(STDERR_FILENO);
    CTerminalObserver observer(showProgress);
    job.SetJob(options.source, options.sourceProfile, options.destProfile, destination,
               options.intent, options.multiple);
    job.m_bEmbedProfile = options.embed;
    job.m_pObserver = &observer;
    job.m_nPauseMs = 0;

    g_pJob = &job;
    InstallInterruptHandler();
    std::thread worker(ConversionThreadProc, &job);
    // Look for the end often, so short runs end promptly; redraw the progress
    // line at most ten times a second.
    for (unsigned tick = 0; !job.m_bFinished.load(std::memory_order_acquire); ++tick) {
        if (tick % 10 == 0)
            observer.DrawProgress(job);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    observer.ClearProgress();
    signal(SIGINT, SIG_DFL);
    g_pJob = nullptr;

    if (job.m_bSucceeded.load(std::memory_order_relaxed)) {
        printf("%s\n", msg::kConversionComplete);
        return 0;
    }
    fprintf(stderr, "%s\n", msg::kConversionCancelled);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    CliOptions options;
    std::string error;
    if (ParseCommandLine(argc, argv, options, error) != ParseResult::Ok) {
        fprintf(stderr, "chromaport-cli: %s\n\n%s", error.c_str(), UsageText());
        return 2;
    }
    if (options.help) {
        printf("%s", UsageText());
        return 0;
    }
    if (options.version) {
        printf("chromaport-cli %s\n", CHROMAPORT_VERSION);
        return 0;
    }
    SilenceTiffLibraryMessages();
    const JobCheckResult check =
        CheckJob(options.source, options.sourceProfile, options.destination, options.destProfile,
                 options.multiple);
    if (!check.ok) {
        fprintf(stderr, "%s\n", check.message.c_str());
        return 2;
    }
    return RunJob(options, check.destination);
}

#include "RunHarness.h"

#include "Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempDir.h"
#include "TiffImage.h"

namespace rel {
namespace {

// libtiff's complaints about the damaged files these tests feed it would bury the
// test output; the program's own messages are what the tests look at.
const bool kLibraryQuiet = (SilenceTiffLibraryMessages(), true);

// The record crosses from the child to the parent as length-prefixed strings.
void PutString(std::string& out, const std::string& text) {
    out += std::to_string(text.size()) + ":" + text;
}

bool GetString(const std::string& in, size_t& at, std::string& text) {
    const size_t colon = in.find(':', at);
    if (colon == std::string::npos)
        return false;
    const size_t length = std::stoul(in.substr(at, colon - at));
    if (colon + 1 + length > in.size())
        return false;
    text = in.substr(colon + 1, length);
    at = colon + 1 + length;
    return true;
}

std::string Serialize(const RunRecord& r) {
    std::string out;
    PutString(out, std::string(1, r.succeeded ? '1' : '0') + (r.stop ? '1' : '0') +
                       (r.finished ? '1' : '0'));
    PutString(out, std::to_string(r.percent));
    PutString(out, std::to_string(r.messages.size()));
    for (const std::string& m : r.messages)
        PutString(out, m);
    PutString(out, std::to_string(r.names.size()));
    for (const std::string& n : r.names)
        PutString(out, n);
    return out;
}

bool GetList(const std::string& in, size_t& at, std::vector<std::string>& list) {
    std::string count;
    if (!GetString(in, at, count))
        return false;
    for (size_t i = std::stoul(count); i > 0; --i) {
        std::string item;
        if (!GetString(in, at, item))
            return false;
        list.push_back(item);
    }
    return true;
}

bool Deserialize(const std::string& in, RunRecord& r) {
    size_t at = 0;
    std::string flags, percent;
    if (!GetString(in, at, flags) || flags.size() != 3 || !GetString(in, at, percent))
        return false;
    r.succeeded = flags[0] == '1';
    r.stop = flags[1] == '1';
    r.finished = flags[2] == '1';
    r.percent = std::stoi(percent);
    return GetList(in, at, r.messages) && GetList(in, at, r.names);
}

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += size_t(n);
    }
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(n));
    return text;
}

} // namespace

void RecordingObserver::SetFileNameLabel(const std::string& text) {
    m_record.names.push_back(text);
    if (m_hook)
        m_hook(text);
}

RunRecord RunJob(const RunSpec& spec) {
    RunRecord record;
    RecordingObserver observer(record, spec.beforeImage);
    CConversionJob job;
    job.SetJob(spec.source, spec.sourceProfile, spec.destProfile, spec.dest, spec.intent,
               spec.folder);
    job.m_bEmbedProfile = spec.embed;
    job.m_pObserver = &observer;
    job.m_nPauseMs = 0;
    job.m_nMaxRowBytes = spec.maxRowBytes;
    job.m_nBigTiffThreshold = spec.bigTiffThreshold;
    ConversionThreadProc(&job);
    record.succeeded = job.m_bSucceeded.load();
    record.stop = job.m_bStop.load();
    record.finished = job.m_bFinished.load();
    record.percent = job.m_nPercent.load();
    return record;
}

ChildOutcome RunJobInChild(const RunSpec& spec, rlim_t fileSizeLimit, rlim_t addressSpaceLimit) {
    ChildOutcome outcome;
    int fds[2];
    if (pipe(fds) != 0)
        return outcome;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        signal(SIGXFSZ, SIG_IGN);
        const rlimit size{fileSizeLimit, fileSizeLimit};
        const rlimit memory{addressSpaceLimit, addressSpaceLimit};
        if (setrlimit(RLIMIT_FSIZE, &size) != 0 ||
            (!kAddressSanitizer && setrlimit(RLIMIT_AS, &memory) != 0))
            _exit(3);
        WriteAll(fds[1], Serialize(RunJob(spec)));
        close(fds[1]);
        _exit(0); // no test-framework clean-up in the child
    }
    close(fds[1]);
    const std::string bytes = pid > 0 ? ReadAll(fds[0]) : std::string();
    close(fds[0]);
    if (pid < 0)
        return outcome;
    rusage usage{};
    wait4(pid, &outcome.status, 0, &usage);
    outcome.maxRssKb = usage.ru_maxrss;
    outcome.exitedNormally = WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) == 0 &&
                             Deserialize(bytes, outcome.record);
    return outcome;
}

CliResult RunCli(const std::vector<std::string>& args) {
    return fx::RunProcess(CHROMAPORT_CLI, args);
}

std::string CliErrorText(const std::vector<std::string>& messages) {
    std::string text;
    for (const std::string& m : messages)
        text += m + "\n";
    return text + "Conversion cancelled.\n";
}

} // namespace rel

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ConversionRun.h"
#include "Support.h"
#include "TiffImage.h"

namespace ts {

pid_t Start(const std::vector<std::string>& argv, const std::string& outFile,
            const std::string& errFile, const std::function<void()>& inChild) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    dup2(open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    dup2(open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    if (inChild)
        inChild();
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

Proc Finish(pid_t pid, const std::string& outFile, const std::string& errFile) {
    Proc p;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid)
        p.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const Bytes out = ReadBytes(outFile), err = ReadBytes(errFile);
    p.out.assign(out.begin(), out.end());
    p.err.assign(err.begin(), err.end());
    return p;
}

Proc Run(const std::vector<std::string>& argv, const std::function<void()>& inChild) {
    Scratch io;
    return Finish(Start(argv, io.file("out"), io.file("err"), inChild), io.file("out"),
                  io.file("err"));
}

Proc RunCli(const std::vector<std::string>& args, const std::function<void()>& inChild) {
    std::vector<std::string> argv{CHROMAPORT_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv, inChild);
}

namespace {

class Recorder : public IConversionObserver {
public:
    Recorder(RunRecord& r, const RunSpec& s) : m_record(r), m_spec(s) {}
    void ShowMessage(const std::string& text, const std::string& cause) override {
        m_record.messages.push_back(cause.empty() ? text : text + "\n  " + cause);
    }
    void SetFileCountLabel(const std::string&) override {}
    void SetFileNameLabel(const std::string& text) override {
        m_record.names.push_back(text);
        if (m_spec.beforeImage)
            m_spec.beforeImage(text);
    }

private:
    RunRecord& m_record;
    const RunSpec& m_spec;
};

} // namespace

RunRecord RunJob(const RunSpec& spec) {
    static const bool quiet = (SilenceTiffLibraryMessages(), true);
    (void)quiet;
    RunRecord record;
    Recorder observer(record, spec);
    JobSpec job;
    job.m_strSourceImage = spec.source;
    job.m_strSourceProfile = spec.sourceProfile;
    job.m_strDestProfile = spec.destProfile;
    job.m_strDestImage = spec.dest;
    job.m_nIntent = spec.intent;
    job.m_bMultipleFiles = spec.folder;
    job.m_bEmbedProfile = spec.embed;
    if (spec.setUp)
        spec.setUp(job);
    RunControl control;
    RunProgress progress;
    const RunResult result = RunConversion(job, spec.control ? *spec.control : control,
                                           spec.progress ? *spec.progress : progress, observer);
    record.succeeded = result.m_bSucceeded;
    record.percent = (spec.progress ? *spec.progress : progress).Percent();
    return record;
}

} // namespace ts

#pragma once
// A worker for the status window that does what the test tells it, in place
// of a real run: it waits until released or cancelled, then ends the way a
// run does (m_bStop cleared on an unsuccessful end, m_bFinished last).

#include "ConversionJob.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

class ScriptedWorker {
public:
    // Work done on the worker thread before it starts waiting.
    std::function<void(CConversionJob*)> before;

    void Release(bool succeed) {
        m_state->succeed = succeed;
        m_state->released = true;
    }
    bool Exited() const { return m_state->exited; }

    std::function<void(CConversionJob*)> Proc() {
        auto state = m_state;
        auto work = before;
        return [state, work](CConversionJob* job) {
            if (work) {
                work(job);
            }
            while (!state->released && !job->m_bCancelRequested.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            const bool succeeded = state->released && state->succeed;
            job->m_bSucceeded.store(succeeded);
            if (!succeeded) {
                job->m_bStop.store(false);
            }
            job->m_bFinished.store(true, std::memory_order_release);
            state->exited = true;
        };
    }

private:
    struct State {
        std::atomic<bool> released{false};
        std::atomic<bool> succeed{false};
        std::atomic<bool> exited{false};
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

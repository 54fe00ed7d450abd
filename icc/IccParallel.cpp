#include "IccParallel.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

void icParallelFor(unsigned count, const std::function<void(unsigned, unsigned)>& part) {
    // A thread costs tens of microseconds to start: below this many items
    // one thread does it sooner.
    constexpr unsigned kLeastPerThread = 4096;
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    const unsigned parts = std::clamp(count / kLeastPerThread, 1u, cores);
    const unsigned size = (count + parts - 1) / parts;
    std::vector<std::thread> helpers;
    unsigned from = size; // the first part is the calling thread's
    for (; from < count; from += size) {
        try {
            helpers.emplace_back(part, from, std::min(count, from + size));
        } catch (const std::system_error&) {
            break; // no thread: the rest is done here
        }
    }
    part(0, std::min(count, size));
    if (from < count)
        part(from, count);
    for (std::thread& t : helpers)
        t.join();
}

#include "MemoryPages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

bool PrepareForWriting(void* p, size_t bytes) {
#if defined(MADV_POPULATE_WRITE)
    static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (uintptr_t(p) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(p) + bytes) & ~(page - 1);
    if (p == nullptr || end <= begin)
        return true;
    return madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE) == 0;
#else
    (void)p, (void)bytes;
    return false;
#endif
}

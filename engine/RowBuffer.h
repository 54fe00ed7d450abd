#pragma once
// A row buffer freed with its owner. Zeroed through calloc, which touches no
// memory until a row is really converted: files may claim rows far larger
// than they hold, and a cancel in the first row leaves the pixels it did not
// reach black rather than whatever the allocator handed out.

#include <cstdint>
#include <cstdlib>
#include <memory>

struct FreeDeleter {
    void operator()(unsigned char* p) const { free(p); }
};
using RowBuffer = std::unique_ptr<unsigned char[], FreeDeleter>;

// Null when the memory cannot be had.
inline RowBuffer AllocateRow(uint64_t bytes) {
    if (bytes > SIZE_MAX)
        return RowBuffer();
    return RowBuffer(static_cast<unsigned char*>(calloc(1, size_t(bytes))));
}

// Damaged files libtiff will not write on its own: one tag of a file written by WriteTiff
// given another value afterwards (a width the pixels do not have, a strip that starts past
// the end of the file, a compression the data is not in).
#pragma once

#include "Support.h"

namespace ts {

// Gives the entry of tag `tag` in the first directory of the little-endian classic TIFF at
// `path` another type, count and value (or offset of its values); false when the file has no
// such tag.
inline bool PatchTiffEntry(const std::string& path, uint16_t tag, uint16_t type, uint32_t count,
                           uint32_t value) {
    Bytes b = ReadBytes(path);
    const auto at = [&b](size_t i, int n) { // n little-endian bytes at i
        uint32_t v = 0;
        while (n-- > 0)
            v = v << 8 | (i + n < b.size() ? b[i + n] : 0);
        return v;
    };
    const auto put = [&b](size_t i, int n, uint32_t v) {
        for (int k = 0; k < n; ++k)
            b[i + k] = uint8_t(v >> 8 * k);
    };
    for (size_t e = at(4, 4) + 2, end = e + 12 * at(e - 2, 2); e < end && e + 12 <= b.size();
         e += 12)
        if (at(e, 2) == tag) {
            put(e + 2, 2, type), put(e + 4, 4, count), put(e + 8, 4, value);
            return b[0] == 'I' && WriteBytes(path, b);
        }
    return false;
}

// Sets tag `tag` to the single LONG `value`. Only for tags of one value.
inline bool PatchTiffTag(const std::string& path, uint16_t tag, uint32_t value) {
    return PatchTiffEntry(path, tag, 4 /* LONG */, 1, value);
}

} // namespace ts

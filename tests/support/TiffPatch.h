// Damaged files libtiff will not write on its own: one tag of a file written by WriteTiff
// given another value afterwards (a width the pixels do not have, a strip that starts past
// the end of the file, a compression the data is not in).
#pragma once

#include "Support.h"

namespace ts {

// Sets tag `tag` of the first directory of the little-endian classic TIFF at `path` to the
// single LONG `value`; false when the file has no such tag. Only for tags of one value.
inline bool PatchTiffTag(const std::string& path, uint16_t tag, uint32_t value) {
    Bytes b = ReadBytes(path);
    const auto at = [&b](size_t i, int n) { // n little-endian bytes at i
        uint32_t v = 0;
        while (n-- > 0)
            v = v << 8 | (i + n < b.size() ? b[i + n] : 0);
        return v;
    };
    for (size_t e = at(4, 4) + 2, end = e + 12 * at(e - 2, 2); e < end && e + 12 <= b.size();
         e += 12)
        if (at(e, 2) == tag) { // becomes one LONG
            b[e + 2] = 4, b[e + 3] = 0, b[e + 4] = 1, b[e + 5] = b[e + 6] = b[e + 7] = 0;
            for (int k = 0; k < 4; ++k)
                b[e + 8 + k] = uint8_t(value >> 8 * k);
            return b[0] == 'I' && WriteBytes(path, b);
        }
    return false;
}

} // namespace ts

// Profiles of Debian's packages in the GoogleTest programs (ts_support itself
// has no GoogleTest, as the fuzz targets link it).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "Support.h"

namespace ts {

// The path of a profile under /usr/share/color/icc. When it is not installed the
// test fails at the caller's line, naming the file and its package, rather than
// later on a profile that did not open.
inline std::string RequireProfile(const std::string& relative, const char* file = __builtin_FILE(),
                                  int line = __builtin_LINE()) {
    const std::string missing = MissingProfile(relative);
    if (!missing.empty())
        ADD_FAILURE_AT(file, line) << missing;
    return SystemProfile(relative);
}

} // namespace ts

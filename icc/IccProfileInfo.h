#pragma once
// What a profile is, read without building a transform: enough to say why
// one is refused and to name it to the user.

#include <cstddef>
#include <string>

#include "IccDefs.h"

struct icProfileSummary {
    enum class Kind {
        NotProfile,  // no profile at all, or one cut short or damaged
        LinkOrNamed, // a device link or named-colour profile: no conversion uses them
        Usable,
    };
    Kind kind = Kind::NotProfile;
    // The profile's description (English, as ASCII), "" when it has none.
    std::string description;
    icColorSpaceSignature space = icSigUnknownData;
    icColorSpaceSignature pcs = icSigUnknownData;
};

icProfileSummary icSummariseProfile(const unsigned char* data, size_t size);

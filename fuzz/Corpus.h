#pragma once
// The seed inputs make_corpus writes: small valid files of every kind the
// tests make, a few damaged ones, and the real profiles Debian ships.

#include <string>

namespace corpus {

// Each writes its files into the folder (which must exist) and returns how
// many it wrote; a seed that cannot be written is reported and not counted.
int WriteTiffSeeds(const std::string& dir);
// Only the layouts a conversion can take, in the sizes its checks allow.
int WriteConversionSeeds(const std::string& dir);
int WriteProfileSeeds(const std::string& dir);

} // namespace corpus

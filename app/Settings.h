#pragma once
// The per-user store of remembered values: named strings in sections, kept
// in $XDG_CONFIG_HOME/Larkspur/Chromaport.conf between runs of the program.

#include <string>

// The stored value, or empty when there is none.
std::string ReadSetting(const std::string& section, const std::string& entry);
// Stores the value. A failure to store is not detected; the result is true.
bool WriteSetting(const std::string& section, const std::string& entry, const std::string& value);

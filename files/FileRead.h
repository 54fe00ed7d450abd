#pragma once
// Reading a whole file that must be an ordinary file: a named pipe or a
// device could keep the reader waiting for ever, and a folder holds no data.

#include <cstddef>
#include <string>
#include <vector>

// Fills bytes with the whole file; false (bytes empty) when the path is not a
// regular file, cannot be read completely, or holds more than maxBytes.
bool ReadRegularFile(const std::string& path, std::vector<unsigned char>& bytes, size_t maxBytes);

// Opens a regular file for reading without waiting on pipes or devices;
// returns the descriptor (close-on-exec), or -1.
int OpenRegularFile(const std::string& path);

#pragma once
// Text made safe for a terminal: names of files may hold any byte, and a
// terminal takes some of them for commands.

#include <string>

// Every control byte (below 0x20, and 0x7F) written as \xHH.
std::string EscapeControlBytes(const std::string& text);

// The longest start of text of at most maxBytes bytes that does not end
// inside a UTF-8 character.
std::string Utf8Prefix(const std::string& text, size_t maxBytes);

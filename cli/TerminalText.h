#pragma once
// Text made safe for a terminal: names of files may hold any byte, and a
// terminal takes some of them for commands.

#include <string>

// Every control byte written as \xHH: below 0x20, 0x7F, the C1 controls
// U+0080..U+009F byte by byte (\xC2\x85), and a byte 0x80..0x9F that is not
// part of a UTF-8 character; a backslash is written as \\, so that every
// escaped text stands for one text only. Other UTF-8 characters are kept.
std::string EscapeControlBytes(const std::string& text);

// The longest start of text of at most maxBytes bytes that does not end
// inside a UTF-8 character.
std::string Utf8Prefix(const std::string& text, size_t maxBytes);

// The longest end of text of at most maxBytes bytes that does not begin
// inside a UTF-8 character.
std::string Utf8Suffix(const std::string& text, size_t maxBytes);

// Text of at most maxBytes bytes: its start and its end around "..." when
// it is longer, as the end of a file name often tells files apart.
std::string ElideMiddle(const std::string& text, size_t maxBytes);

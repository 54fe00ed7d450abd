#include "TerminalText.h"

#include <cstdio>

std::string EscapeControlBytes(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Utf8Prefix(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    size_t end = maxBytes;
    // Continuation bytes are 10xxxxxx: back up to the start of their character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

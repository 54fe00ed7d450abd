#include "TerminalText.h"

#include <cstdio>

namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
    char escaped[5];
    snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    out += escaped;
}

// The length of the well-formed UTF-8 character at text[at] (no overlong
// forms, surrogates or code points past U+10FFFF), or 0 when there is none.
size_t Utf8Length(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) {
        return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
    };
    const unsigned lead = byte(0);
    size_t length = 0;
    unsigned low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    return length;
}

} // namespace

std::string EscapeControlBytes(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7F)
                AppendEscaped(out, byte);
            else if (byte == '\\')
                out += "\\\\"; // so that a name holding "\x0A" never reads as one holding a newline
            else
                out += char(byte);
            ++at;
            continue;
        }
        const size_t length = Utf8Length(text, at);
        // U+0080..U+009F are controls too: a terminal in UTF-8 mode obeys them as such, one
        // in an 8-bit mode obeys a lone byte 0x80..0x9F.
        const bool c1 =
            length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
        if (c1) {
            AppendEscaped(out, byte);
            AppendEscaped(out, static_cast<unsigned char>(text[at + 1]));
        } else if (length > 0) {
            out.append(text, at, length);
        } else if (byte < 0xA0) {
            AppendEscaped(out, byte);
        } else {
            out += char(byte); // not UTF-8, but no control either: shown as the terminal can
        }
        at += length > 0 ? length : 1;
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

std::string Utf8Suffix(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    size_t begin = text.size() - maxBytes;
    while (begin < text.size() && (static_cast<unsigned char>(text[begin]) & 0xC0) == 0x80)
        ++begin;
    return text.substr(begin);
}

std::string ElideMiddle(const std::string& text, size_t maxBytes) {
    static const std::string kDots = "...";
    if (text.size() <= maxBytes)
        return text;
    if (maxBytes <= kDots.size())
        return Utf8Prefix(text, maxBytes);
    const size_t kept = maxBytes - kDots.size();
    return Utf8Prefix(text, kept - kept / 2) + kDots + Utf8Suffix(text, kept / 2);
}

#include "common/Text.h"

#include <cstdio>

namespace trellick::text {
namespace {

// Length of the printable UTF-8 character at s[i], or 0 when that byte must be escaped.
std::size_t printableAt(std::string_view s, std::size_t i) {
    auto byte = [&](std::size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
    auto cont = [&](std::size_t k, unsigned lo = 0x80, unsigned hi = 0xbf) { return byte(k) >= lo && byte(k) <= hi; };
    unsigned c = byte(i);
    if (c >= 0x20 && c < 0x7f) return 1;
    if (c >= 0xc2 && c <= 0xdf) return c == 0xc2 && byte(i + 1) < 0xa0 ? 0 : (cont(i + 1) ? 2 : 0);  // C1 controls
    if (c >= 0xe0 && c <= 0xef) {
        bool second = c == 0xe0 ? cont(i + 1, 0xa0) : c == 0xed ? cont(i + 1, 0x80, 0x9f) : cont(i + 1);
        return second && cont(i + 2) ? 3 : 0;
    }
    if (c >= 0xf0 && c <= 0xf4) {
        bool second = c == 0xf0 ? cont(i + 1, 0x90) : c == 0xf4 ? cont(i + 1, 0x80, 0x8f) : cont(i + 1);
        return second && cont(i + 2) && cont(i + 3) ? 4 : 0;
    }
    return 0;
}

// Appends at most `max` characters of `s` (escaped); returns whether all of it fitted.
bool append(std::string& out, std::string_view s, std::size_t max) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < s.size(); ++chars) {
        if (chars == max) return false;
        if (std::size_t n = printableAt(s, i)) {
            out.append(s.substr(i, n));
            i += n;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned char>(s[i]));
            out += buf;
            ++i;
        }
    }
    return true;
}

}  // namespace

std::string printable(std::string_view s) {
    std::string out;
    append(out, s, s.size());
    return out;
}

std::string quoted(std::string_view s, std::size_t max) {
    std::string out = "'";
    if (!append(out, s, max)) out += "...";
    return out + "'";
}

std::string foreign(std::string_view s, std::size_t maxBytes) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t n = printableAt(s, i);
        if (n == 0 && (s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) {
            if (out.size() + 1 > maxBytes) break;
            out += ' ';
        } else if (n > 0) {
            if (out.size() + n > maxBytes) break;
            out.append(s.substr(i, n));
        }
        i += n > 0 ? n : 1;
    }
    return out;
}

}  // namespace trellick::text

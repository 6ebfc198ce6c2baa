#pragma once
// Untrusted text inside messages: a file that does not parse may hold anything, and what a
// message quotes from it ends up on a terminal.

#include <cstddef>
#include <string>
#include <string_view>

namespace trellick::text {

// `s` with every byte that is not printable text written as \xNN: control characters, DEL,
// the C1 controls and bytes that are not part of valid UTF-8. Printable UTF-8 stays as it is.
std::string printable(std::string_view s);

// A short excerpt of `s` for a message: at most `max` characters, escaped as above, between
// single quotes, with "..." before the closing quote when it was cut.
std::string quoted(std::string_view s, std::size_t max = 40);

// Text another program chose (a window's title, its class): at most `maxBytes` bytes of it,
// cut between characters, with tabs and line breaks as spaces and without other control
// characters or bytes that are not UTF-8. It goes into logs, files and lists as it is.
std::string foreign(std::string_view s, std::size_t maxBytes);

}  // namespace trellick::text

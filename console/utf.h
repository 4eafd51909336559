// UTF-8 at the console's edge; the core speaks UTF-16.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vex {

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::u16string FromUtf8(std::string_view text);
// Writes UTF-8 text to a stream and flushes it; to a Windows console, as
// UTF-16 through the console itself, so any character shows whatever the
// console's code page.
void WriteUtf8(std::FILE* stream, std::string_view text);

}  // namespace vex

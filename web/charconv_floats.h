// The floating-point std::to_chars and std::from_chars the core uses, for
// the libc++ of Debian's Emscripten (LLVM 13), which has only the integer
// ones. web.cmake includes this header ahead of every file of the core.
//
// Design note. They are made of the C library's exact conversions (its
// printf rounds correctly, and its only locale is "C"), with the results
// the standard asks for: to_chars as "%.*f" and "%.*e"; from_chars refusing
// what is not a number and reporting a value that overflows to infinity or
// underflows to zero as out of range, leaving the value alone. The core
// hands them only the forms it uses: fixed or scientific with a precision,
// and general or hex (without its "0x") numbers with no blanks or sign.
#pragma once

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000

namespace std {

inline to_chars_result to_chars(char* first, char* last, double value,
                                chars_format format, int precision) {
  const char* pattern = format == chars_format::fixed ? "%.*f" : "%.*e";
  int n = std::snprintf(nullptr, 0, pattern, precision, value);
  if (n < 0 || n > last - first) return {last, errc::value_too_large};
  // snprintf ends the text with a NUL, for which [first, last) may have no
  // room.
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(text.data(), text.size(), pattern, precision, value);
  std::memcpy(first, text.data(), static_cast<size_t>(n));
  return {first + n, errc()};
}

inline from_chars_result from_chars(
    const char* first, const char* last, float& value,
    chars_format format = chars_format::general) {
  std::string text = format == chars_format::hex ? "0x" : "";
  size_t prefix = text.size();
  text.append(first, last);
  char* end = nullptr;
  errno = 0;
  float v = std::strtof(text.c_str(), &end);
  auto used = static_cast<size_t>(end - text.c_str());
  if (used <= prefix) return {first, errc::invalid_argument};
  const char* ptr = first + (used - prefix);
  if (errno == ERANGE && (v == 0 || std::isinf(v))) {
    return {ptr, errc::result_out_of_range};
  }
  value = v;
  return {ptr, errc()};
}

}  // namespace std

#endif

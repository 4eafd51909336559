// <windows.h> for the shell, without the macros that collide with the
// core's interface names (Canvas::TextOut would otherwise become TextOutW).
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef TextOut

#include <string>
#include <string_view>

// The core's text is UTF-16, as Windows' wide text is: the same units seen
// as wchar_t, in place or as a NUL-ended copy.
inline const wchar_t* WideChars(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
inline std::wstring WideString(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

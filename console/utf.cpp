// UTF-8 conversion and text output for the console host.
#include "console/utf.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

namespace vex {

namespace {

void PutCodePoint(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

void PutUnit16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += char16_t(cp);
  } else {
    cp -= 0x10000;
    out += char16_t(0xD800 + (cp >> 10));
    out += char16_t(0xDC00 + (cp & 0x3FF));
  }
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() &&
        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      PutCodePoint(out, 0x10000 + ((u - 0xD800) << 10) + (text[++i] - 0xDC00));
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      PutCodePoint(out, 0xFFFD);
    } else {
      PutCodePoint(out, u);
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i]);
    int extra = -1;
    if (b < 0x80)
      extra = 0;
    else if (b >= 0xC2 && b < 0xE0)
      extra = 1;
    else if (b >= 0xE0 && b < 0xF0)
      extra = 2;
    else if (b >= 0xF0 && b < 0xF5)
      extra = 3;
    if (extra < 0) {
      PutUnit16(out, 0xFFFD);
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
    size_t j = 1;
    for (; j <= size_t(extra) && i + j < text.size(); ++j) {
      auto c = static_cast<unsigned char>(text[i + j]);
      if ((c & 0xC0) != 0x80) break;
      cp = (cp << 6) | (c & 0x3F);
    }
    bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
    if (j != size_t(extra) + 1 || overlong || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      PutUnit16(out, 0xFFFD);
      i += j;
      continue;
    }
    PutUnit16(out, cp);
    i += j;
  }
  return out;
}

void WriteUtf8(std::FILE* stream, std::string_view text) {
#ifdef _WIN32
  HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (GetConsoleMode(console, &mode)) {
    std::fflush(stream);
    std::u16string wide = FromUtf8(text);
    DWORD written = 0;
    WriteConsoleW(console, wide.data(), DWORD(wide.size()), &written, nullptr);
    return;
  }
#endif
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace vex

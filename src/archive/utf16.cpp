#include "archive/utf16.h"

#include <cstring>

namespace archive {

bool PutUtf8(uint32_t cp, char* out, size_t size, size_t* at) {
  char b[4];
  size_t n;
  if (cp < 0x80) {
    b[0] = static_cast<char>(cp);
    n = 1;
  } else if (cp < 0x800) {
    b[0] = static_cast<char>(0xC0 | cp >> 6);
    b[1] = static_cast<char>(0x80 | (cp & 0x3F));
    n = 2;
  } else if (cp < 0x10000) {
    b[0] = static_cast<char>(0xE0 | cp >> 12);
    b[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    b[2] = static_cast<char>(0x80 | (cp & 0x3F));
    n = 3;
  } else {
    b[0] = static_cast<char>(0xF0 | cp >> 18);
    b[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    b[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    b[3] = static_cast<char>(0x80 | (cp & 0x3F));
    n = 4;
  }
  if (*at + n >= size) return false;
  std::memcpy(out + *at, b, n);
  *at += n;
  return true;
}

bool Utf16ToUtf8(const uint16_t* units, size_t count, char* out, size_t size) {
  if (size == 0) return false;
  size_t at = 0;
  for (size_t i = 0; i < count; ++i) {
    uint32_t cp = units[i];
    if (cp == 0) return false;
    if (cp >= 0xD800 && cp < 0xDC00) {
      if (i + 1 >= count || units[i + 1] < 0xDC00 || units[i + 1] >= 0xE000) return false;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (cp >= 0xDC00 && cp < 0xE000) {
      return false;
    }
    if (!PutUtf8(cp, out, size, &at)) return false;
  }
  out[at] = 0;
  return true;
}

bool Utf8ToUtf16(const uint8_t* bytes, size_t length, uint16_t* units, size_t maxUnits, size_t* count) {
  constexpr uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};  // shortest form per sequence length
  size_t n = 0;
  for (size_t i = 0; i < length;) {
    const uint8_t c = bytes[i];
    size_t more;
    uint32_t cp;
    if (c < 0x80) {
      more = 0, cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      more = 1, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      more = 2, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      more = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (i + more >= length && more > 0) return false;
    for (size_t k = 1; k <= more; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return false;
      cp = cp << 6 | (bytes[i + k] & 0x3F);
    }
    if (cp < kLeast[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return false;
    i += more + 1;
    if (cp >= 0x10000) {
      if (n + 2 > maxUnits) return false;
      units[n++] = static_cast<uint16_t>(0xD800 + ((cp - 0x10000) >> 10));
      units[n++] = static_cast<uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      if (n + 1 > maxUnits) return false;
      units[n++] = static_cast<uint16_t>(cp);
    }
  }
  *count = n;
  return true;
}

}  // namespace archive

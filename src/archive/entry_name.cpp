// Entry names as people read them. A RAR 2.0 name field holds the name in the archiver's OEM code
// page; with header flag 0x0200 a zero byte follows it, then the name again in a compact 16-bit
// encoding that mostly refers back to the OEM bytes:
//   one byte: the high byte shared by the units of codes 1 and 3 below;
//   then a flag byte of four 2-bit codes, most significant first, each taking its bytes in turn:
//     0: one byte, a unit whose high byte is 0;
//     1: one byte, a unit with the shared high byte;
//     2: two bytes, a whole unit, low byte first;
//     3: a run: a length byte L; when its top bit is set, a correction byte C follows and
//        (L & 0x7F) + 2 units are the OEM bytes at the same positions plus C, with the shared high
//        byte; otherwise L + 2 units are the OEM bytes unchanged;
//   another flag byte after every four codes, until the field ends.
// The field is untrusted: every byte is taken only when it is there, and anything that does not
// make a sensible name falls back to the OEM name read as code page 437.
#include <cstring>

#include "archive/archive_tool.h"
#include "archive/utf16.h"

namespace archive {

namespace {

constexpr uint16_t kUnicodeNameFlag = 0x0200;
constexpr size_t kMaxUnits = 1024;

// Code page 437 from 0x80 up, as Unicode code points.
constexpr uint16_t kCodePage437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

// The OEM name as code page 437 in UTF-8 (cut at a character when the buffer is too small).
void OemToUtf8(const uint8_t* oem, size_t length, char* out, size_t size) {
  size_t at = 0;
  for (size_t i = 0; i < length; ++i) {
    const uint32_t cp = oem[i] < 0x80 ? oem[i] : kCodePage437High[oem[i] - 0x80];
    if (!PutUtf8(cp, out, size, &at)) break;
  }
  out[at] = 0;
}

// Decodes the compact encoding into units; false when it is malformed.
bool DecodeUnits(const uint8_t* oem, size_t oemLength, const uint8_t* enc, size_t encLength, uint16_t* units,
                 size_t* count) {
  if (encLength < 2) return false;
  const uint32_t high = uint32_t(enc[0]) << 8;
  size_t in = 1, n = 0;
  uint32_t flags = 0, codesLeft = 0;
  while (in < encLength) {
    if (codesLeft == 0) {
      flags = enc[in++];
      codesLeft = 4;
      if (in >= encLength) break;  // a flag byte with nothing after it ends the name
    }
    const uint32_t code = flags >> 6;
    flags = (flags << 2) & 0xFF;
    --codesLeft;
    if (code == 3) {
      const uint32_t length = enc[in++];
      uint32_t run = length + 2, correction = 0;
      const bool corrected = (length & 0x80) != 0;
      if (corrected) {
        if (in >= encLength) return false;
        correction = enc[in++];
        run = (length & 0x7F) + 2;
      }
      for (uint32_t k = 0; k < run; ++k) {
        if (n >= oemLength || n >= kMaxUnits) return false;
        units[n] = corrected ? static_cast<uint16_t>(((oem[n] + correction) & 0xFF) | high)
                             : static_cast<uint16_t>(oem[n]);
        ++n;
      }
      continue;
    }
    if (n >= kMaxUnits) return false;
    if (code == 2) {
      if (in + 2 > encLength) return false;
      units[n++] = static_cast<uint16_t>(enc[in] | enc[in + 1] << 8);
      in += 2;
    } else {
      units[n++] = static_cast<uint16_t>(enc[in++] | (code == 1 ? high : 0));
    }
  }
  *count = n;
  return n > 0;
}

}  // namespace

}  // namespace archive

bool ArchiveNameToUtf8(const uint8_t* field, size_t fieldSize, uint16_t flags, char* out, size_t outSize) {
  using namespace archive;
  if (outSize == 0) return false;
  const void* zero = std::memchr(field, 0, fieldSize);
  const size_t oemLength = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - field) : fieldSize;
  if (flags & kUnicodeNameFlag) {
    uint16_t units[kMaxUnits];
    size_t count = 0;
    if (zero != nullptr) {
      if (DecodeUnits(field, oemLength, field + oemLength + 1, fieldSize - oemLength - 1, units, &count) &&
          Utf16ToUtf8(units, count, out, outSize))
        return true;
    } else if (Utf8ToUtf16(field, fieldSize, units, kMaxUnits, &count) && fieldSize < outSize) {
      // Without the zero byte, later archivers put the name in UTF-8 directly.
      std::memcpy(out, field, fieldSize);
      out[fieldSize] = 0;
      return true;
    }
  }
  OemToUtf8(field, oemLength, out, outSize);
  return (flags & kUnicodeNameFlag) == 0;
}

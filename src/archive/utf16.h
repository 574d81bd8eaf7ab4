// UTF-8 and UTF-16 for entry names (private to the archive library and the packer): names are
// read from and written to RAR's 16-bit Unicode name encoding, and shown and stored on disk as
// UTF-8. Every conversion is bounded by the caller's buffer and refuses malformed input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace archive {

// Appends code point cp as UTF-8 at out[*at], keeping room for a terminator in out[0..size).
// False (nothing written) when it does not fit.
bool PutUtf8(uint32_t cp, char* out, size_t size, size_t* at);

// UTF-16 units to terminated UTF-8. False for a zero unit, an unpaired surrogate, or when the
// result does not fit.
bool Utf16ToUtf8(const uint16_t* units, size_t count, char* out, size_t size);

// UTF-8 to UTF-16 units (at most maxUnits). False for malformed UTF-8 (overlong forms,
// surrogates, code points past U+10FFFF, cut sequences) or too many units.
bool Utf8ToUtf16(const uint8_t* bytes, size_t length, uint16_t* units, size_t maxUnits, size_t* count);

}  // namespace archive

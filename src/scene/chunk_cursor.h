// Private to the 3DS loader: one read cursor over the file's bytes.
//
// The file is hostile. Every read names the end it may not pass (the end of the chunk being
// read, itself never past the buffer or its parent). A read that does not fit moves the cursor
// to that end and yields zeros, so the walk of the chunk stops there and its parent goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace scene3ds {

struct ChunkCursor {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;

  bool Has(size_t count, size_t end) const { return pos <= end && end - pos >= count; }

  uint16_t U16(size_t end) {
    if (!Has(2, end)) return Fail(end);
    const uint16_t v = static_cast<uint16_t>(data[pos] | data[pos + 1] << 8);
    pos += 2;
    return v;
  }

  uint32_t U32(size_t end) {
    if (!Has(4, end)) return Fail(end);
    const uint32_t v = static_cast<uint32_t>(data[pos]) | static_cast<uint32_t>(data[pos + 1]) << 8 |
                       static_cast<uint32_t>(data[pos + 2]) << 16 | static_cast<uint32_t>(data[pos + 3]) << 24;
    pos += 4;
    return v;
  }

  uint8_t U8(size_t end) {
    if (!Has(1, end)) return static_cast<uint8_t>(Fail(end));
    return data[pos++];
  }

  float F32(size_t end) {
    const uint32_t bits = U32(end);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }

  // Reads a zero-terminated string. The first outSize - 1 characters are kept; the rest up to
  // and including the zero are read and dropped. An unterminated string ends at `end`.
  void String(size_t end, char* out, size_t outSize) {
    size_t kept = 0;
    while (pos < end) {
      const uint8_t c = data[pos++];
      if (c == 0) break;
      if (kept + 1 < outSize) out[kept++] = static_cast<char>(c);
    }
    out[kept] = '\0';
  }

  void Skip(size_t count, size_t end) {
    if (Has(count, end)) {
      pos += count;
    } else if (pos < end) {
      pos = end;
    }
  }

 private:
  uint16_t Fail(size_t end) {
    if (pos < end) pos = end;
    return 0;
  }
};

struct ChunkHeader {
  uint16_t id;
  size_t end;  // just past the chunk, cut to its parent's end
};

// Reads the next chunk header before `parentEnd`. False (cursor at parentEnd) when fewer than
// six bytes are left. A length below six counts as an empty chunk, so every walk advances.
inline bool ReadChunkHeader(ChunkCursor& cursor, size_t parentEnd, ChunkHeader* header) {
  if (!cursor.Has(6, parentEnd)) {
    if (cursor.pos < parentEnd) cursor.pos = parentEnd;
    return false;
  }
  const size_t start = cursor.pos;
  header->id = cursor.U16(parentEnd);
  const uint32_t length = cursor.U32(parentEnd);
  const size_t dataStart = cursor.pos;
  size_t end = parentEnd;
  if (length < parentEnd - start) end = start + length;
  if (end < dataStart) end = dataStart;
  header->end = end;
  return true;
}

}  // namespace scene3ds

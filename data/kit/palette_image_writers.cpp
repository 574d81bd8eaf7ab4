// TGA, PCX and PKM: small formats written field by field.
#include <stdexcept>

#include "kit/image_writers.h"

namespace zelk4::kit {

Bytes WriteTga(const Picture& picture, int bitsPerPixel) {
  if (bitsPerPixel != 24 && bitsPerPixel != 32) throw std::invalid_argument("TGA depth must be 24 or 32");
  if (picture.width <= 0 || picture.height <= 0 || picture.width > 65535 || picture.height > 65535) {
    throw std::invalid_argument("TGA size out of range");
  }
  ByteWriter out;
  out.U8(0);   // no identification field
  out.U8(0);   // no colour map
  out.U8(2);   // uncompressed true colour
  out.Fill(5, 0);  // colour map fields, unused
  out.U16(0);  // x origin
  out.U16(0);  // y origin
  out.U16(static_cast<uint32_t>(picture.width));
  out.U16(static_cast<uint32_t>(picture.height));
  out.U8(static_cast<uint32_t>(bitsPerPixel));
  out.U8(bitsPerPixel == 32 ? 8 : 0);  // alpha bits; origin bottom left
  for (int y = picture.height - 1; y >= 0; --y) {
    for (int x = 0; x < picture.width; ++x) {
      const uint32_t p = picture.At(x, y);
      out.U8(p);
      out.U8(p >> 8);
      out.U8(p >> 16);
      if (bitsPerPixel == 32) out.U8(p >> 24);
    }
  }
  return out.Take();
}

Bytes WritePcx(const IndexedPicture& picture) {
  if (picture.width <= 0 || picture.height <= 0 || picture.width % 2 != 0 || picture.width > 65535 ||
      picture.height > 65535) {
    throw std::invalid_argument("PCX width must be even and sizes 1..65535");
  }
  ByteWriter out;
  out.U8(10);  // manufacturer
  out.U8(5);   // version 3.0 with palette
  out.U8(1);   // run-length encoding
  out.U8(8);   // bits per pixel
  out.U16(0);
  out.U16(0);
  out.U16(static_cast<uint32_t>(picture.width - 1));
  out.U16(static_cast<uint32_t>(picture.height - 1));
  out.U16(72);  // dots per inch
  out.U16(72);
  out.Fill(48, 0);  // 16-colour palette, unused with 8 bits
  out.U8(0);        // reserved
  out.U8(1);        // one plane
  out.U16(static_cast<uint32_t>(picture.width));  // bytes per line (even, so no padding)
  out.U16(1);       // palette holds colours
  out.Fill(58, 0);  // to the 128-byte header end
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* row = &picture.indices[size_t(y) * picture.width];
    int x = 0;
    while (x < picture.width) {
      int run = 1;
      while (x + run < picture.width && run < 63 && row[x + run] == row[x]) ++run;
      if (run > 1 || row[x] >= 0xC0) out.U8(0xC0 | static_cast<uint32_t>(run));
      out.U8(row[x]);
      x += run;
    }
  }
  out.U8(0x0C);  // the 256-colour palette follows
  for (const Rgb& c : picture.palette) {
    out.U8(c.r);
    out.U8(c.g);
    out.U8(c.b);
  }
  return out.Take();
}

Bytes WritePkm(const IndexedPicture& picture, uint8_t shortMarker, uint8_t longMarker,
               int transparentIndex) {
  if (picture.width <= 0 || picture.height <= 0 || picture.width > 65535 || picture.height > 65535) {
    throw std::invalid_argument("PKM size out of range");
  }
  ByteWriter out;
  out.Raw("PKM", 3);
  out.U8(0);  // method
  out.U8(shortMarker);
  out.U8(longMarker);
  out.U16(static_cast<uint32_t>(picture.width));
  out.U16(static_cast<uint32_t>(picture.height));
  for (const Rgb& c : picture.palette) {  // 6 bits per component
    out.U8(c.r >> 2);
    out.U8(c.g >> 2);
    out.U8(c.b >> 2);
  }
  // Extension fields: a comment (type 1), then the transparent index (type 2, one byte).
  ByteWriter ext;
  ext.U8(1);
  ext.U8(5);
  ext.Raw("ZELK4", 5);
  if (transparentIndex >= 0) {
    ext.U8(2);
    ext.U8(1);
    ext.U8(static_cast<uint32_t>(transparentIndex));
  }
  out.U16(static_cast<uint32_t>(ext.Size()));
  out.Raw(ext.Data());

  // The pixel stream runs over the whole picture, not row by row. A colour equal to a marker
  // byte can only be written as a run.
  const std::vector<uint8_t>& px = picture.indices;
  size_t i = 0;
  while (i < px.size()) {
    const uint8_t colour = px[i];
    size_t run = 1;
    while (i + run < px.size() && run < 65535 && px[i + run] == colour) ++run;
    const bool isMarker = colour == shortMarker || colour == longMarker;
    if (run <= 2 && !isMarker) {
      for (size_t k = 0; k < run; ++k) out.U8(colour);
    } else if (run <= 255 || shortMarker == longMarker) {
      if (run > 255) run = 255;
      out.U8(shortMarker);
      out.U8(colour);
      out.U8(static_cast<uint32_t>(run));
    } else {
      out.U8(longMarker);
      out.U8(colour);
      out.U8(static_cast<uint32_t>(run >> 8));
      out.U8(static_cast<uint32_t>(run & 0xFF));
    }
    i += run;
  }
  return out.Take();
}

}  // namespace zelk4::kit

#include "kit/xm_writer.h"

#include <stdexcept>

namespace zelk4::kit {
namespace {

constexpr uint32_t kFileHeaderSize = 276;   // from the size field to the end of the order table
constexpr uint32_t kInstrumentHeaderSize = 263;
constexpr uint32_t kSampleHeaderSize = 40;
constexpr uint16_t kLinearFrequencies = 1;

void Envelope(ByteWriter& out, const XmEnvelope& e) {
  for (size_t i = 0; i < 12; ++i) {
    out.U16(i < e.points.size() ? e.points[i].first : 0);
    out.U16(i < e.points.size() ? e.points[i].second : 0);
  }
}

uint8_t EnvelopeType(const XmEnvelope& e) {
  if (e.points.empty()) return 0;
  return static_cast<uint8_t>(1 | (e.sustain >= 0 ? 2 : 0) | (e.loopStart >= 0 ? 4 : 0));
}

Bytes PackPattern(const XmPattern& p) {
  ByteWriter out;
  for (const XmCell& c : p.cells) {
    const uint8_t mask = static_cast<uint8_t>((c.note ? 1 : 0) | (c.instrument ? 2 : 0) | (c.volume ? 4 : 0) |
                                              (c.effect ? 8 : 0) | (c.param ? 16 : 0));
    if (mask == 0x1F) {  // all present: FT2 writes the cell unpacked
      out.U8(c.note);
      out.U8(c.instrument);
      out.U8(c.volume);
      out.U8(c.effect);
      out.U8(c.param);
      continue;
    }
    out.U8(0x80 | mask);
    if (c.note) out.U8(c.note);
    if (c.instrument) out.U8(c.instrument);
    if (c.volume) out.U8(c.volume);
    if (c.effect) out.U8(c.effect);
    if (c.param) out.U8(c.param);
  }
  return out.Take();
}

void Validate(const XmModule& m) {
  if (m.channels < 2 || m.channels > 32 || m.channels % 2 != 0) {
    throw std::invalid_argument("XM channel count must be even, 2..32");
  }
  if (m.order.empty() || m.order.size() > 256 || m.patterns.size() > 256 || m.instruments.size() > 128) {
    throw std::invalid_argument("XM order, pattern or instrument count out of range");
  }
  for (uint8_t o : m.order) {
    if (o >= m.patterns.size()) throw std::invalid_argument("XM order names a missing pattern");
  }
  for (const XmPattern& p : m.patterns) {
    if (p.channels != m.channels || p.rows < 1 || p.rows > 256) {
      throw std::invalid_argument("XM pattern shape does not fit the module");
    }
  }
  for (const XmInstrument& i : m.instruments) {
    if (i.volumeEnvelope.points.size() > 12 || i.panningEnvelope.points.size() > 12) {
      throw std::invalid_argument("XM envelope with more than 12 points");
    }
  }
}

}  // namespace

Bytes WriteXm(const XmModule& m) {
  Validate(m);
  ByteWriter out;
  out.Raw("Extended Module: ", 17);
  out.Padded(m.name, 20, ' ');
  out.U8(0x1A);
  out.Padded("FastTracker v2.00", 20, ' ');
  out.U16(0x0104);
  out.U32(kFileHeaderSize);
  out.U16(static_cast<uint32_t>(m.order.size()));
  out.U16(m.restartPosition);
  out.U16(static_cast<uint32_t>(m.channels));
  out.U16(static_cast<uint32_t>(m.patterns.size()));
  out.U16(static_cast<uint32_t>(m.instruments.size()));
  out.U16(kLinearFrequencies);
  out.U16(m.speed);
  out.U16(m.bpm);
  for (size_t i = 0; i < 256; ++i) out.U8(i < m.order.size() ? m.order[i] : 0);

  for (const XmPattern& p : m.patterns) {
    const Bytes packed = PackPattern(p);
    out.U32(9);  // pattern header length
    out.U8(0);   // packing type
    out.U16(static_cast<uint32_t>(p.rows));
    out.U16(static_cast<uint32_t>(packed.size()));
    out.Raw(packed);
  }

  for (const XmInstrument& ins : m.instruments) {
    const XmSample& s = ins.sample;
    out.U32(kInstrumentHeaderSize);
    out.Padded(ins.name, 22, ' ');
    out.U8(0);   // type
    out.U16(1);  // one sample
    out.U32(kSampleHeaderSize);
    out.Fill(96, 0);  // every note plays sample 0
    Envelope(out, ins.volumeEnvelope);
    Envelope(out, ins.panningEnvelope);
    out.U8(static_cast<uint32_t>(ins.volumeEnvelope.points.size()));
    out.U8(static_cast<uint32_t>(ins.panningEnvelope.points.size()));
    for (const XmEnvelope* e : {&ins.volumeEnvelope, &ins.panningEnvelope}) {
      out.U8(static_cast<uint32_t>(e->sustain >= 0 ? e->sustain : 0));
      out.U8(static_cast<uint32_t>(e->loopStart >= 0 ? e->loopStart : 0));
      out.U8(static_cast<uint32_t>(e->loopEnd >= 0 ? e->loopEnd : 0));
    }
    out.U8(EnvelopeType(ins.volumeEnvelope));
    out.U8(EnvelopeType(ins.panningEnvelope));
    out.U8(ins.vibratoType);
    out.U8(ins.vibratoSweep);
    out.U8(ins.vibratoDepth);
    out.U8(ins.vibratoRate);
    out.U16(ins.fadeout);
    out.Fill(22, 0);  // reserved

    const uint32_t bytes = static_cast<uint32_t>(s.data.size() * 2);
    const bool looped = s.loopLength > 0;
    out.U32(bytes);
    out.U32(looped ? s.loopStart * 2 : 0);
    out.U32(looped ? s.loopLength * 2 : 0);
    out.U8(s.volume);
    out.U8(static_cast<uint8_t>(s.finetune));
    out.U8((looped ? 1 : 0) | 0x10);  // forward loop; 16-bit
    out.U8(s.panning);
    out.U8(static_cast<uint8_t>(s.relativeNote));
    out.U8(0);
    out.Padded(s.name, 22, ' ');

    int16_t previous = 0;
    for (int16_t v : s.data) {
      out.U16(static_cast<uint16_t>(static_cast<uint16_t>(v) - static_cast<uint16_t>(previous)));
      previous = v;
    }
  }
  return out.Take();
}

}  // namespace zelk4::kit

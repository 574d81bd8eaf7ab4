// The stream coder's work, entry by entry: choosing how to code each stretch (LZ, audio mode, or
// LZ around the sound of a WAV file, by measuring each way), parsing LZ stretches into literals
// and matches (the quick parse of levels 1..3, the priced parse of 4 and 5), running the audio
// predictor, and sending the symbols block by block with new code tables or the old ones,
// whichever is cheaper. The mirror of the decoder's state moves with every symbol sent.
#include "rarpack/stream_encoder.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "rarpack/huffman.h"
#include "rarpack/table_writer.h"

namespace zelk4::rarpack {

namespace {

struct LevelParams {
  uint32_t chain;      // hash-chain candidates per search
  uint32_t nice;       // a match this long ends the search
  bool lazy;           // look one byte ahead before taking a match
  uint32_t lazyBelow;  // ... only when the match is shorter than this
  uint32_t good;       // the look ahead past a match this long walks a quarter of the chain
  bool quick;          // four-byte buckets only; the longest match, priced once
};

// Levels 1..3 take the longest match at each position (quick); 4 and 5 price every candidate
// with the cost model and also look for three-byte and two-byte matches. Text packs smaller
// than gzip -9 file by file from level 3 up (vim help files: 0.291 at level 3, 0.297 for gzip -9).
constexpr LevelParams kLevels[6] = {
    {0, 0, false, 0, 0, true},          // 0: stored, never coded
    {4, 32, false, 0, 0, true},         // 1: fastest
    {8, 48, false, 0, 0, true},         // 2
    {16, 64, true, 5, 0, true},         // 3: normal
    {32, 128, true, 64, 16, false},     // 4
    {256, 260, true, 260, 48, false},   // 5: smallest
};

constexpr uint32_t kDefaultBlockSymbols = 32768;
// A WAV file's sound is worth an audio trial only when there is some of it.
constexpr uint32_t kMinAudioBytes = 256;
constexpr uint16_t kUnusedSymbolCost = 14 * 16;

// One alphabet of a table read: where it starts among the lengths and how many symbols it has.
struct Alphabet {
  uint32_t offset, count;
};

uint32_t AlphabetsOf(uint32_t channels, Alphabet out[4]) {
  if (channels == 0) {
    out[0] = {0, kMainSymbols};
    out[1] = {kMainSymbols, kDistanceSymbols};
    out[2] = {kMainSymbols + kDistanceSymbols, kRepeatSymbols};
    return 3;
  }
  for (uint32_t c = 0; c < channels; ++c) out[c] = {c * kAudioSymbols, kAudioSymbols};
  return channels;
}

}  // namespace

StreamEncoder::StreamEncoder(const uint8_t* data, uint32_t size, const StreamOptions& options)
    : data_(data), size_(size), options_(options) {
  const LevelParams& p = kLevels[std::clamp(options.level, 1, 5)];
  chain_ = p.chain;
  nice_ = p.nice;
  lazy_ = p.lazy;
  lazyBelow_ = p.lazyBelow;
  good_ = p.good;
  quick_ = p.quick;
  blockSymbols_ = options.blockSymbols > 0 ? options.blockSymbols : kDefaultBlockSymbols;
  finder_ = std::make_unique<MatchFinder>(data, size, 0, !quick_);
  activeFinder_ = finder_.get();
  DefaultCosts(mirror_.costs);
}

void StreamEncoder::DefaultCosts(CostModel& c) {
  // A first guess, until the first LZ tables give real code lengths.
  for (uint32_t s = 0; s < 256; ++s) c.main[s] = 8 * 16;
  c.main[kSymRepeatLast] = 5 * 16;
  for (uint32_t s = kSymRecent; s < kSymShort; ++s) c.main[s] = 6 * 16;
  for (uint32_t s = kSymShort; s < kSymNewTables; ++s) c.main[s] = 7 * 16;
  c.main[kSymNewTables] = 12 * 16;
  for (uint32_t s = kSymMatch; s < kMainSymbols; ++s) c.main[s] = static_cast<uint16_t>((6 + (s - kSymMatch) / 6) * 16);
  for (uint32_t s = 0; s < kDistanceSymbols; ++s) c.distance[s] = static_cast<uint16_t>((4 + s / 12) * 16);
  for (uint32_t s = 0; s < kRepeatSymbols; ++s) c.repeat[s] = static_cast<uint16_t>((3 + s / 8) * 16);
  c.literal = 8 * 16;
}

void StreamEncoder::EncodeEntry(uint32_t begin, uint32_t end, bool continues, BitWriter* out, BitWriter* previous) {
  if (!continues) {
    // The decoder starts afresh: cleared window, distances, audio state and old lengths.
    mirror_.dist = DistanceState{};
    mirror_.audio = AudioState{};
    mirror_.tables = TableState{};
    streamBase_ = begin;
  }
  continues_ = continues;
  const std::vector<std::vector<Segment>> plans = Plans(begin, end);
  size_t chosen = 0;
  if (plans.size() > 1) {
    // Measure each way with nothing written and every change given back, then take the smallest.
    const Mirror kept = mirror_;
    uint64_t fewest = UINT64_MAX;
    for (size_t i = 0; i < plans.size(); ++i) {
      const uint32_t first = std::max(streamBase_, begin > kMaxDistance ? begin - kMaxDistance : 0u);
      MatchFinder trialFinder(data_, size_, first, !quick_);
      activeFinder_ = &trialFinder;
      out_ = previous_ = nullptr;
      RunPlan(plans[i]);
      if (bits_ < fewest) {
        fewest = bits_;
        chosen = i;
      }
      mirror_ = kept;
      activeFinder_ = finder_.get();
    }
  }
  out_ = out;
  previous_ = previous;
  RunPlan(plans[chosen]);
}

std::vector<std::vector<StreamEncoder::Segment>> StreamEncoder::Plans(uint32_t begin, uint32_t end) const {
  if (options_.forceAudioChannels >= 1 && options_.forceAudioChannels <= 4)
    return {{{begin, end, options_.forceAudioChannels}}};
  std::vector<std::vector<Segment>> plans = {{{begin, end, 0}}};
  PcmRegion pcm;
  if (options_.audio == AudioChoice::kAuto && FindPcmRegion({data_ + begin, end - begin}, &pcm) &&
      pcm.end - pcm.begin >= kMinAudioBytes) {
    plans.push_back({{begin, end, pcm.frameBytes}});
    // The header and any chunks after the sound in LZ, the sound in audio mode.
    std::vector<Segment> mixed;
    if (pcm.begin > 0) mixed.push_back({begin, begin + pcm.begin, 0});
    mixed.push_back({begin + pcm.begin, begin + pcm.end, pcm.frameBytes});
    if (begin + pcm.end < end) mixed.push_back({begin + pcm.end, end, 0});
    if (mixed.size() > 1) plans.push_back(std::move(mixed));
  }
  return plans;
}

void StreamEncoder::RunPlan(const std::vector<Segment>& plan) {
  bits_ = 0;
  atEntryStart_ = true;
  for (const Segment& s : plan) {
    if (s.begin == s.end) continue;
    if (s.channels == 0) {
      CodeLZ(s.begin, s.end);
    } else {
      CodeAudio(s.begin, s.end, s.channels);
    }
  }
  // A fresh entry always starts with tables, even an empty one.
  if (!mirror_.tables.present) {
    StartBlock(0);
    FlushBlock();
  }
}

// ---- LZ.

uint32_t StreamEncoder::MatchCost(uint32_t length, uint32_t distance) const {
  const CostModel& c = mirror_.costs;
  const CodeChoice choice = ChooseCode(mirror_.dist, length, distance);
  switch (choice.kind) {
    case CodeKind::kRepeatLast:
      return c.main[kSymRepeatLast];
    case CodeKind::kRecent: {
      const uint32_t code = LengthCode(choice.value);
      return c.main[kSymRepeatLast + choice.index] + c.repeat[code] + 16u * kLengthBits[code];
    }
    case CodeKind::kShort:
      return c.main[kSymShort + choice.index] + 16u * kShortBits[choice.index];
    case CodeKind::kFull:
    default: {
      const uint32_t dcode = DistanceCode(distance - 1);
      return c.main[kSymMatch + choice.index] + 16u * kLengthBits[choice.index] + c.distance[dcode] +
             16u * kDistanceBits[dcode];
    }
  }
}

StreamEncoder::Candidate StreamEncoder::FindBest(uint32_t pos, uint32_t end, uint32_t chain) {
  Candidate best;
  const uint32_t maxLength = std::min(kMaxMatch, end - pos);
  const uint32_t reach = std::min(pos - streamBase_, kMaxDistance);
  auto consider = [&](uint32_t length, uint32_t distance) {
    if (distance == 0 || distance > reach) return;
    length = std::min(length, MaxMatchLength(distance));
    if (length < MinMatchLength(distance)) return;
    const int64_t gain = int64_t(length) * mirror_.costs.literal - MatchCost(length, distance);
    if (gain > best.gain) best = {length, distance, gain};
  };
  MatchFinder& finder = *activeFinder_;
  if (maxLength >= 2) {
    // The recent distances first: they are the cheapest to send.
    for (uint32_t k = 1; k <= 4; ++k) {
      const uint32_t d = mirror_.dist.Recent(k);
      if (d == 0 || d > reach) continue;
      // Most recent distances do not match at all: two bytes tell.
      if (data_[pos] != data_[pos - d] || data_[pos + 1] != data_[pos + 1 - d]) continue;
      const uint32_t length = finder.MatchLength(pos, d, std::min(maxLength, MaxMatchLength(d)));
      consider(length, d);
      // The last match again costs one symbol; worth it even when a longer run is there.
      if (d == mirror_.dist.lastDistance && mirror_.dist.lastLength < length) consider(mirror_.dist.lastLength, d);
    }
  }
  finder.Search(pos, maxLength, chain, nice_, consider);
  if (best.length < 3 && maxLength >= 2) {
    const uint32_t d = finder.NearestPair(pos);
    if (d > 0 && d <= 256) consider(2, d);
  }
  return best;
}

void StreamEncoder::CodeLZ(uint32_t begin, uint32_t end) {
  if (quick_) {
    ParseLZ<true>(begin, end);
  } else {
    ParseLZ<false>(begin, end);
  }
}

// Literals and matches, each match taken unless the next position has a better one (lazy
// levels, for matches shorter than lazyBelow_).
template <bool Quick>
void StreamEncoder::ParseLZ(uint32_t begin, uint32_t end) {
  auto find = [&](uint32_t at, uint32_t chain) {
    if constexpr (Quick) {
      return FindLongest(at, end);
    } else {
      return FindBest(at, end, chain);
    }
  };
  StartBlock(0);
  Candidate pending;
  bool havePending = false;
  uint32_t pos = begin;
  while (pos < end) {
    Candidate current = havePending ? pending : find(pos, chain_);
    havePending = false;
    if (current.length == 0) {
      AddItem({data_[pos], kTableMain, 0, 0});
      ++pos;
      continue;
    }
    if (lazy_ && current.length < lazyBelow_ && pos + 1 < end) {
      // A better match one byte on is worth a literal now.
      pending = find(pos + 1, current.length >= good_ ? chain_ / 4 : chain_);
      if (pending.gain > current.gain) {
        havePending = true;
        AddItem({data_[pos], kTableMain, 0, 0});
        ++pos;
        continue;
      }
    }
    AppendMatch(mirror_.dist, current.length, current.distance, block_);
    if (block_.size() >= blockSymbols_) {
      FlushBlock();
      StartBlock(0);
    }
    pos += current.length;
  }
  activeFinder_->InsertUpTo(end);
  FlushBlock();
}

// The quick levels' search: the longest four-byte-bucket match, or a recent distance that reaches
// as far (cheaper to send), kept when it costs less than its bytes as literals. Its "gain" is its
// length, so the parse's look ahead waits for a longer match.
StreamEncoder::Candidate StreamEncoder::FindLongest(uint32_t pos, uint32_t end) {
  MatchFinder& finder = *activeFinder_;
  const uint32_t maxLength = std::min(kMaxMatch, end - pos);
  const uint32_t reach = std::min(pos - streamBase_, kMaxDistance);
  Candidate best;
  finder.Search(pos, maxLength, chain_, nice_, [&](uint32_t length, uint32_t distance) {
    if (distance > reach) return;
    length = std::min(length, MaxMatchLength(distance));
    if (length < MinMatchLength(distance) || length <= best.length) return;
    best.length = length;
    best.distance = distance;
  });
  if (maxLength >= 2) {
    for (uint32_t k = 1; k <= 4; ++k) {
      const uint32_t d = mirror_.dist.Recent(k);
      if (d == 0 || d > reach || d == best.distance) continue;
      if (data_[pos] != data_[pos - d] || data_[pos + 1] != data_[pos + 1 - d]) continue;
      const uint32_t length = finder.MatchLength(pos, d, std::min(maxLength, MaxMatchLength(d)));
      if (length >= best.length && length >= MinMatchLength(d)) {
        best.length = length;
        best.distance = d;
      }
    }
  }
  if (best.length > 0 && int64_t(best.length) * mirror_.costs.literal <= MatchCost(best.length, best.distance))
    return Candidate{};
  best.gain = best.length;
  return best;
}

// ---- Audio.

void StreamEncoder::CodeAudio(uint32_t begin, uint32_t end, uint32_t channels) {
  StartBlock(channels);
  AudioState& a = mirror_.audio;
  for (uint32_t pos = begin; pos < end; ++pos) {
    const uint32_t c = a.currentChannel;
    const uint32_t s = AudioEncodeByte(a.channels[c], a.channelDelta, data_[pos]);
    // The channel moves on before the item goes in: a block that ends with it must know the
    // channel the decoder is at when it reads a "new tables" symbol.
    if (++a.currentChannel >= channels) a.currentChannel = 0;
    AddItem({static_cast<uint16_t>(s), static_cast<uint8_t>(kTableAudio + c), 0, 0});
  }
  // Later LZ segments may match into the sound.
  activeFinder_->InsertUpTo(end);
  FlushBlock();
}

// ---- Blocks.

void StreamEncoder::StartBlock(uint32_t channels) {
  block_.clear();
  blockChannels_ = channels;
  blockStartChannel_ = mirror_.audio.currentChannel;
  const TableState& t = mirror_.tables;
  const bool sameMode = t.present && (channels == 0 ? !t.audio : (t.audio && t.channels == channels));
  // Another mode means new tables; reading audio tables puts a channel beyond the new count back
  // to channel 0.
  if (channels > 0 && !sameMode && mirror_.audio.currentChannel >= channels) mirror_.audio.currentChannel = 0;
}

void StreamEncoder::AddItem(const Item& item) {
  block_.push_back(item);
  if (block_.size() >= blockSymbols_) {
    const uint32_t channels = blockChannels_;
    FlushBlock();
    StartBlock(channels);
  }
}

void StreamEncoder::WriteSwitchSymbol(BitSink& sink) {
  const TableState& t = mirror_.tables;
  const uint32_t index = t.audio ? blockStartChannel_ * kAudioSymbols + kAudioNewTables : kSymNewTables;
  sink.Put(t.codes[index], t.lengths[index]);
}

void StreamEncoder::FlushBlock() {
  TableState& t = mirror_.tables;
  if (block_.empty() && t.present) return;
  const uint32_t channels = blockChannels_;
  const bool audio = channels > 0;
  Alphabet alphabets[4];
  const uint32_t alphabetCount = AlphabetsOf(channels, alphabets);
  const uint32_t size = audio ? channels * kAudioSymbols : kLZLengths;

  uint32_t freq[kMaxLengths] = {};
  for (const Item& item : block_) ++freq[TableOffset(item.table) + item.symbol];

  // The new code: every alphabet complete, and the "new tables" symbol always coded, so that a
  // later block (or the next entry of a solid archive) can switch.
  uint32_t codeFreq[kMaxLengths];
  std::memcpy(codeFreq, freq, sizeof codeFreq);
  uint8_t lengths[kMaxLengths] = {};
  for (uint32_t i = 0; i < alphabetCount; ++i) {
    uint32_t* f = codeFreq + alphabets[i].offset;
    if (audio) f[kAudioNewTables] += 1;
    if (!audio && i == 0) f[kSymNewTables] += 1;
    uint32_t used = 0;
    for (uint32_t s = 0; s < alphabets[i].count; ++s) used += f[s] > 0;
    for (uint32_t s = 0; used < 2; ++s)
      if (f[s] == 0) {
        f[s] = 1;
        ++used;
      }
    BuildCodeLengths(f, alphabets[i].count, kMaxCodeBits, lengths + alphabets[i].offset);
  }

  const bool sameMode = t.present && t.audio == audio && (!audio || t.channels == channels);
  uint64_t newCost = 0, keepCost = 0;
  bool canKeep = sameMode;
  for (uint32_t i = 0; i < size; ++i) {
    if (freq[i] == 0) continue;
    newCost += uint64_t(freq[i]) * lengths[i];
    if (t.lengths[i] == 0) canKeep = false;
    keepCost += uint64_t(freq[i]) * t.lengths[i];
  }
  const TablePlan plan = PlanTables(lengths, size, sameMode ? t.lengths : nullptr, audio);
  newCost += plan.bits;
  if (t.present) {
    const uint32_t index = t.audio ? blockStartChannel_ * kAudioSymbols + kAudioNewTables : kSymNewTables;
    newCost += t.lengths[index];
  }

  BitSink out(out_, &bits_);
  if (!canKeep || newCost < keepCost) {
    // A solid entry's first tables go after the previous entry's last symbol, where the decoder
    // looks for them once that entry is complete.
    BitSink previous(previous_, &bits_);
    BitSink& sink = (t.present && atEntryStart_ && continues_) ? previous : out;
    if (t.present) WriteSwitchSymbol(sink);
    WriteTables(plan, audio, channels, sink);
    if (StreamStats* st = Stats()) {
      if (t.present) ++(t.audio ? st->audioNewTables : st->mainSymbols[kSymNewTables]);
      ++st->tableReads;
      st->audioTableReads += audio;
      st->deltaTableReads += plan.keepOld;
      st->entryEndTableReads += &sink == &previous;
    }
    t.present = true;
    t.audio = audio;
    t.channels = channels;
    std::memcpy(t.lengths, lengths, sizeof t.lengths);
    for (uint32_t i = 0; i < alphabetCount; ++i)
      CanonicalCodes(t.lengths + alphabets[i].offset, alphabets[i].count, t.codes + alphabets[i].offset);
  }

  for (const Item& item : block_) {
    const uint32_t index = TableOffset(item.table) + item.symbol;
    // The code and its extra bits together: at most 15 + 16 bits.
    out.Put(uint32_t(t.codes[index]) << item.extraBits | (item.extra & ((1u << item.extraBits) - 1)),
            t.lengths[index] + item.extraBits);
  }
  if (StreamStats* st = Stats()) {
    for (const Item& item : block_) {
      if (item.table == kTableMain) ++st->mainSymbols[item.symbol];
      if (item.table == kTableDistance) ++st->distanceSymbols[item.symbol];
      if (item.table >= kTableAudio) ++st->audioSymbols;
    }
  }
  if (!block_.empty()) atEntryStart_ = false;
  if (!audio) UpdateCosts(freq);
  block_.clear();
}

void StreamEncoder::UpdateCosts(const uint32_t* freq) {
  const TableState& t = mirror_.tables;
  CostModel& c = mirror_.costs;
  auto cost = [](uint8_t len) { return len ? static_cast<uint16_t>(len * 16) : kUnusedSymbolCost; };
  for (uint32_t s = 0; s < kMainSymbols; ++s) c.main[s] = cost(t.lengths[s]);
  for (uint32_t s = 0; s < kDistanceSymbols; ++s) c.distance[s] = cost(t.lengths[kMainSymbols + s]);
  for (uint32_t s = 0; s < kRepeatSymbols; ++s) c.repeat[s] = cost(t.lengths[kMainSymbols + kDistanceSymbols + s]);
  uint64_t literals = 0, bits = 0;
  for (uint32_t s = 0; s < 256; ++s) {
    literals += freq[s];
    bits += uint64_t(freq[s]) * c.main[s];
  }
  if (literals > 0) c.literal = static_cast<uint32_t>(bits / literals);
}

}  // namespace zelk4::rarpack

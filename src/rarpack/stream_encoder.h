// The packer's stream coder (private): turns the entries of one decoder stream into packed data.
// It keeps a mirror of everything the decoder will hold (recent distances, audio predictor, code
// tables in force and old lengths), parses LZ segments with hash chains and lazy matching or codes
// audio segments through the predictor, and gathers the symbols in blocks. Each block is sent
// with the tables in force, or with new ones when that is cheaper (or the mode changes).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "rarpack/audio_model.h"
#include "rarpack/bit_writer.h"
#include "rarpack/format.h"
#include "rarpack/lz_codes.h"
#include "rarpack/match_finder.h"
#include "rarpack/rarpack.h"

namespace zelk4::rarpack {

class StreamEncoder {
 public:
  // data/size: every entry of the stream, one after another; kept by the caller.
  StreamEncoder(const uint8_t* data, uint32_t size, const StreamOptions& options);

  // Codes data[begin, end) as the next entry into `out`. `continues`: the decoder keeps its state
  // from the previous entry (solid); new tables for this entry's start then go at the end of the
  // previous entry, into `previous` (still open), where the decoder reads them after its last
  // byte. An entry that does not continue starts with tables, even when it is empty.
  void EncodeEntry(uint32_t begin, uint32_t end, bool continues, BitWriter* out, BitWriter* previous);

 private:
  struct Segment {
    uint32_t begin, end;
    uint32_t channels;  // 0: LZ; 1..4: audio
  };
  struct TableState {
    bool present = false;  // a table read has happened in this stream
    bool audio = false;
    uint32_t channels = 0;
    // The lengths in force, zero beyond the table's size: exactly the decoder's old lengths.
    uint8_t lengths[kMaxLengths] = {};
    uint16_t codes[kMaxLengths] = {};
  };
  // Estimated bits of LZ symbols, from the last LZ tables, for the parser's choices (1/16 bits).
  struct CostModel {
    uint16_t main[kMainSymbols];
    uint16_t distance[kDistanceSymbols];
    uint16_t repeat[kRepeatSymbols];
    uint32_t literal;  // average literal
  };
  // Everything a trial may change and must give back.
  struct Mirror {
    DistanceState dist;
    AudioState audio;
    TableState tables;
    CostModel costs;
  };
  struct Candidate {
    uint32_t length = 0, distance = 0;
    int64_t gain = 0;  // bits saved against literals, in 1/16 bits
  };

  std::vector<std::vector<Segment>> Plans(uint32_t begin, uint32_t end) const;
  void RunPlan(const std::vector<Segment>& plan);
  void CodeLZ(uint32_t begin, uint32_t end);
  template <bool Quick>
  void ParseLZ(uint32_t begin, uint32_t end);
  void CodeAudio(uint32_t begin, uint32_t end, uint32_t channels);
  Candidate FindBest(uint32_t pos, uint32_t end, uint32_t chain);
  Candidate FindLongest(uint32_t pos, uint32_t end);
  uint32_t MatchCost(uint32_t length, uint32_t distance) const;
  void StartBlock(uint32_t channels);
  void AddItem(const Item& item);
  void FlushBlock();
  void WriteSwitchSymbol(BitSink& sink);
  void UpdateCosts(const uint32_t* freq);
  static void DefaultCosts(CostModel& c);
  // Counts go to the caller's record in real runs only, never in trials.
  StreamStats* Stats() const { return out_ != nullptr ? options_.stats : nullptr; }

  const uint8_t* data_;
  uint32_t size_;
  StreamOptions options_;
  uint32_t chain_, nice_, lazyBelow_, good_;
  bool lazy_;
  bool quick_;
  uint32_t blockSymbols_;

  std::unique_ptr<MatchFinder> finder_;
  MatchFinder* activeFinder_;  // finder_, or a trial's own
  uint32_t streamBase_ = 0;    // matches never reach before the last fresh entry's start

  Mirror mirror_;  // the decoder's state as the stream so far leaves it
  std::vector<Item> block_;
  uint32_t blockChannels_ = 0;      // the block's mode: 0 LZ, else audio channels
  uint32_t blockStartChannel_ = 0;  // the decoder's channel where the block starts

  // Where the current entry's bits go.
  BitWriter* out_ = nullptr;
  BitWriter* previous_ = nullptr;
  bool continues_ = false;
  bool atEntryStart_ = true;
  uint64_t bits_ = 0;  // bits written (or measured) since the entry began
};

}  // namespace zelk4::rarpack

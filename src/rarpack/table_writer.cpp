#include "rarpack/table_writer.h"

#include <algorithm>
#include <limits>

#include "rarpack/format.h"
#include "rarpack/huffman.h"

namespace zelk4::rarpack {

namespace {

constexpr uint32_t kHeaderBits = 2 + 19 * 4;  // mode and keep flags, the bit-length code
constexpr uint32_t kUnusedCost = 15;          // a bit-length symbol the code does not have yet

// The cheapest symbol path for these bit-length symbol costs (backwards dynamic programming).
std::vector<Item> CheapestPath(const uint8_t* lengths, uint32_t count, const uint8_t* old,
                               const uint32_t cost[19]) {
  std::vector<uint64_t> best(count + 1, 0);
  std::vector<Item> step(count);
  std::vector<uint32_t> zeros(count + 1, 0), same(count + 1, 0);  // run lengths from i on
  for (uint32_t i = count; i-- > 0;) {
    zeros[i] = lengths[i] == 0 ? zeros[i + 1] + 1 : 0;
    same[i] = (i > 0 && lengths[i] == lengths[i - 1]) ? 1 + (i + 1 < count && lengths[i + 1] == lengths[i] ? same[i + 1] : 0) : 0;
  }
  for (uint32_t i = count; i-- > 0;) {
    const uint32_t delta = (lengths[i] - (old ? old[i] : 0)) & 15;
    uint64_t b = cost[delta] + best[i + 1];
    Item s{static_cast<uint16_t>(delta), 0, 0, 0};
    auto consider = [&](uint32_t symbol, uint32_t bits, uint32_t run, uint32_t minRun) {
      const uint64_t c = cost[symbol] + bits + best[i + run];
      if (c < b) {
        b = c;
        s = {static_cast<uint16_t>(symbol), 0, static_cast<uint8_t>(bits), run - minRun};
      }
    };
    for (uint32_t n = 3; n <= std::min<uint32_t>(10, zeros[i]); ++n) consider(kBitShortZeros, 3, n, 3);
    // Of the long runs only the longest few: a shorter one pays only when it leaves a remainder
    // that a short run can take.
    const uint32_t longest = std::min<uint32_t>(138, zeros[i]);
    for (uint32_t n = longest; n >= 11 && n + 10 >= longest; --n) consider(kBitLongZeros, 7, n, 11);
    // A repeat needs a previous length: never at the first position (some decoders refuse it).
    for (uint32_t n = 3; n <= std::min<uint32_t>(6, same[i]); ++n) consider(kBitRepeatPrevious, 2, n, 3);
    best[i] = b;
    step[i] = s;
  }
  std::vector<Item> path;
  for (uint32_t i = 0; i < count;) {
    path.push_back(step[i]);
    const Item& s = step[i];
    i += s.symbol == kBitRepeatPrevious ? s.extra + 3
         : s.symbol == kBitShortZeros   ? s.extra + 3
         : s.symbol == kBitLongZeros    ? s.extra + 11
                                        : 1;
  }
  return path;
}

// The bit-length code for a path: complete, so at least two symbols get a code.
void CodeForPath(const std::vector<Item>& path, uint8_t bitLengths[19]) {
  uint32_t freq[19] = {};
  for (const Item& s : path) ++freq[s.symbol];
  uint32_t used = 0;
  for (uint32_t f : freq) used += f > 0;
  for (uint32_t s = 0; used < 2; ++s)
    if (freq[s] == 0) {
      freq[s] = 1;
      ++used;
    }
  BuildCodeLengths(freq, 19, kMaxCodeBits, bitLengths);
}

TablePlan PlanOneWay(const uint8_t* lengths, uint32_t count, const uint8_t* old) {
  // Start from a flat guess, then let the code of one path price the next one.
  uint32_t cost[19];
  std::fill(cost, cost + 19, 5);
  TablePlan plan;
  plan.keepOld = old != nullptr;
  for (int round = 0; round < 2; ++round) {
    plan.symbols = CheapestPath(lengths, count, old, cost);
    CodeForPath(plan.symbols, plan.bitLengths);
    for (uint32_t s = 0; s < 19; ++s) cost[s] = plan.bitLengths[s] ? plan.bitLengths[s] : kUnusedCost;
  }
  plan.bits = kHeaderBits;
  for (const Item& s : plan.symbols) plan.bits += plan.bitLengths[s.symbol] + s.extraBits;
  return plan;
}

}  // namespace

TablePlan PlanTables(const uint8_t* lengths, uint32_t count, const uint8_t* old, bool audio) {
  TablePlan fresh = PlanOneWay(lengths, count, nullptr);
  if (old != nullptr) {
    TablePlan changes = PlanOneWay(lengths, count, old);
    if (changes.bits < fresh.bits) fresh = std::move(changes);
  }
  if (audio) fresh.bits += 2;  // the channel count
  return fresh;
}

void WriteTables(const TablePlan& plan, bool audio, uint32_t channels, BitSink& out) {
  out.Put(audio ? 1 : 0, 1);
  out.Put(plan.keepOld ? 1 : 0, 1);
  if (audio) out.Put(channels - 1, 2);
  for (uint8_t len : plan.bitLengths) out.Put(len, 4);
  uint16_t codes[19];
  CanonicalCodes(plan.bitLengths, 19, codes);
  for (const Item& s : plan.symbols) {
    out.Put(codes[s.symbol], plan.bitLengths[s.symbol]);
    out.Put(s.extra, s.extraBits);
  }
}

}  // namespace zelk4::rarpack

#include "rarpack/huffman.h"

#include <algorithm>
#include <vector>

namespace zelk4::rarpack {

void BuildCodeLengths(const uint32_t* freq, uint32_t count, uint32_t maxBits, uint8_t* lengths) {
  std::vector<uint32_t> used;
  for (uint32_t s = 0; s < count; ++s) {
    lengths[s] = 0;
    if (freq[s] > 0) used.push_back(s);
  }
  if (used.empty()) return;
  if (used.size() == 1) {
    lengths[used[0]] = 1;
    return;
  }
  // Rarest first; equal frequencies in symbol order so the result never depends on the sort.
  std::sort(used.begin(), used.end(), [&](uint32_t a, uint32_t b) {
    return freq[a] != freq[b] ? freq[a] < freq[b] : a < b;
  });

  // Two-queue Huffman: leaves in frequency order, internal nodes in the order they are made
  // (which is frequency order too). Nodes 0..n-1 are leaves, n.. internal.
  const size_t n = used.size();
  std::vector<uint64_t> weight(2 * n - 1);
  std::vector<uint32_t> parent(2 * n - 1, 0);
  for (size_t i = 0; i < n; ++i) weight[i] = freq[used[i]];
  size_t nextLeaf = 0, nextNode = n, made = n;
  auto takeSmallest = [&]() -> size_t {
    if (nextLeaf < n && (nextNode >= made || weight[nextLeaf] <= weight[nextNode])) return nextLeaf++;
    return nextNode++;
  };
  while (made < 2 * n - 1) {
    const size_t a = takeSmallest();
    const size_t b = takeSmallest();
    weight[made] = weight[a] + weight[b];
    parent[a] = parent[b] = static_cast<uint32_t>(made);
    ++made;
  }
  // Depths top-down: the root is the last node made, and parents come after their children.
  std::vector<uint32_t> depth(2 * n - 1, 0);
  for (size_t i = 2 * n - 1; i-- > 0;)
    if (i != 2 * n - 2) depth[i] = depth[parent[i]] + 1;

  // Count leaves per depth and push depths over the limit back up, keeping the code complete:
  // two leaves at depth i become one at i - 1, and one leaf at a shallower depth j becomes two at
  // j + 1 (the JPEG standard's length adjustment). Its Kraft sum stays 1 throughout.
  std::vector<uint32_t> perLength(n + 1, 0);
  uint32_t maxDepth = 0;
  for (size_t i = 0; i < n; ++i) {
    ++perLength[depth[i]];
    maxDepth = std::max(maxDepth, depth[i]);
  }
  for (uint32_t i = maxDepth; i > maxBits; --i) {
    while (perLength[i] > 0) {
      uint32_t j = i - 2;
      while (perLength[j] == 0) --j;
      perLength[i] -= 2;
      perLength[i - 1] += 1;
      perLength[j + 1] += 2;
      perLength[j] -= 1;
    }
  }
  // The rarest symbols take the longest codes.
  size_t k = 0;
  for (uint32_t len = std::min(maxDepth, maxBits); len >= 1; --len)
    for (uint32_t c = 0; c < perLength[len]; ++c) lengths[used[k++]] = static_cast<uint8_t>(len);
}

void CanonicalCodes(const uint8_t* lengths, uint32_t count, uint16_t* codes) {
  uint32_t perLength[16] = {};
  for (uint32_t s = 0; s < count; ++s) ++perLength[lengths[s] & 15];
  perLength[0] = 0;
  uint32_t next[16] = {};
  uint32_t code = 0;
  for (uint32_t len = 1; len < 16; ++len) {
    code = (code + perLength[len - 1]) << 1;
    next[len] = code;
  }
  for (uint32_t s = 0; s < count; ++s) {
    const uint32_t len = lengths[s] & 15;
    codes[s] = len != 0 ? static_cast<uint16_t>(next[len]++) : 0;
  }
}

}  // namespace zelk4::rarpack

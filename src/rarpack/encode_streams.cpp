// The packed streams of whole entries: one decoder stream per solid run of entries, or per entry.
#include <stdexcept>

#include "rarpack/rarpack.h"
#include "rarpack/stream_encoder.h"

namespace zelk4::rarpack {

std::vector<std::vector<uint8_t>> EncodeSolidStreams(const std::vector<std::span<const uint8_t>>& entries,
                                                     const StreamOptions& options) {
  uint64_t total = 0;
  for (const auto& e : entries) {
    if (e.empty() || e.size() >= (1u << 31)) throw std::invalid_argument("solid entries must hold 1 byte to 2 GiB");
    total += e.size();
  }
  if (total >= (uint64_t(1) << 32)) throw std::invalid_argument("solid entries must hold less than 4 GiB together");

  // The decoder's window runs through all entries, so the match finder sees them as one run.
  std::vector<uint8_t> all;
  all.reserve(total);
  for (const auto& e : entries) all.insert(all.end(), e.begin(), e.end());
  StreamEncoder encoder(all.data(), static_cast<uint32_t>(all.size()), options);

  std::vector<BitWriter> writers(entries.size());
  uint32_t at = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const uint32_t end = at + static_cast<uint32_t>(entries[i].size());
    encoder.EncodeEntry(at, end, i > 0, &writers[i], i > 0 ? &writers[i - 1] : nullptr);
    at = end;
  }
  std::vector<std::vector<uint8_t>> streams;
  streams.reserve(writers.size());
  for (BitWriter& w : writers) streams.push_back(w.Finish());
  return streams;
}

std::vector<uint8_t> EncodeStream(std::span<const uint8_t> data, const StreamOptions& options) {
  if (data.size() >= (1u << 31)) throw std::invalid_argument("an entry must hold less than 2 GiB");
  StreamEncoder encoder(data.data(), static_cast<uint32_t>(data.size()), options);
  BitWriter writer;
  encoder.EncodeEntry(0, static_cast<uint32_t>(data.size()), false, &writer, nullptr);
  return writer.Finish();
}

}  // namespace zelk4::rarpack

// The archive around the packed streams: marker, main header, file headers and the end block.
#include <algorithm>
#include <atomic>
#include <exception>
#include <stdexcept>
#include <thread>

#include "archive/crc32.h"
#include "rarpack/format.h"
#include "rarpack/name_field.h"
#include "rarpack/rarpack.h"

namespace zelk4::rarpack {

namespace {

// Calls work(i) for every i below count, on up to `threads` threads taking the next index as they
// come free. The first exception thrown is passed on once all threads have stopped.
template <typename Work>
void ForEachIndex(size_t count, unsigned threads, Work work) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<size_t>(threads, count));
  if (threads <= 1) {
    for (size_t i = 0; i < count; ++i) work(i);
    return;
  }
  std::atomic<size_t> next{0};
  std::exception_ptr failure;
  std::atomic<bool> failed{false};
  auto run = [&] {
    for (size_t i; !failed && (i = next++) < count;) {
      try {
        work(i);
      } catch (...) {
        if (!failed.exchange(true)) failure = std::current_exception();
      }
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(run);
  run();
  for (std::thread& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Fills in the CRC of the header that starts at `start` and runs to the end of `out`.
void SealHeader(std::vector<uint8_t>& out, size_t start) {
  const uint16_t crc = HeaderCrc(out.data() + start, out.size() - start);
  out[start] = static_cast<uint8_t>(crc);
  out[start + 1] = static_cast<uint8_t>(crc >> 8);
}

// Stored names have backslashes between folders.
std::string WithBackslashes(const std::string& name) {
  std::string stored = name;
  std::replace(stored.begin(), stored.end(), '/', '\\');
  return stored;
}

struct EntryData {
  const std::vector<uint8_t>* packed;  // null: stored
  uint8_t method;
  uint16_t flags;
};

}  // namespace

uint16_t HeaderCrc(const uint8_t* header, size_t size) {
  return size <= 2 ? 0 : static_cast<uint16_t>(Crc32(header + 2, size - 2) & 0xFFFF);
}

PackResult PackArchive(const std::vector<PackFile>& files, const PackOptions& options) {
  PackResult result;
  if (options.level < 0 || options.level > 5) {
    result.error = "compression level must be 0 to 5";
    return result;
  }
  uint64_t total = 0;
  for (const PackFile& f : files) {
    total += f.data.size();
    if (f.name.empty() || MakeNameField(WithBackslashes(f.name)).bytes.size() > kMaxNameBytes) {
      result.error = "entry names must take 1 to 259 bytes as stored: '" + f.name + "'";
      return result;
    }
    if (f.data.size() >= (1u << 31)) {
      result.error = "'" + f.name + "' is too large (2 GiB or more)";
      return result;
    }
  }

  if (options.solid && options.level > 0 && total >= (uint64_t(1) << 32)) {
    result.error = "a solid archive must hold less than 4 GiB";
    return result;
  }

  StreamOptions stream;
  stream.level = options.level;
  stream.audio = options.audio;
  stream.blockSymbols = options.blockSymbols;
  stream.forceAudioChannels = options.forceAudioChannels;
  stream.stats = options.stats;
  const uint8_t method = static_cast<uint8_t>(kMethodStored + options.level);

  // Empty files are stored: there is nothing to decode, and no decoder state to carry.
  std::vector<std::vector<uint8_t>> packed(files.size());
  std::vector<EntryData> data(files.size(), EntryData{nullptr, kMethodStored, 0});
  if (options.level > 0 && options.solid) {
    std::vector<std::span<const uint8_t>> run;
    std::vector<size_t> index;
    for (size_t i = 0; i < files.size(); ++i)
      if (!files[i].data.empty()) {
        run.push_back(files[i].data);
        index.push_back(i);
      }
    std::vector<std::vector<uint8_t>> streams = EncodeSolidStreams(run, stream);
    for (size_t k = 0; k < index.size(); ++k) {
      // In a solid run every entry is compressed: the next one's tables and matches build on it.
      packed[index[k]] = std::move(streams[k]);
      data[index[k]] = {&packed[index[k]], method, 0};
    }
    // Every entry after the first compressed one continues the run, the empty stored ones too:
    // extractors that see an entry without the flag take the run as ended there.
    bool inRun = false;
    for (size_t i = 0; i < files.size(); ++i) {
      if (inRun) data[i].flags = kFileSolid;
      if (data[i].packed != nullptr) inRun = true;
    }
  } else if (options.level > 0) {
    // Each entry is a stream of its own, packed into its own slot. The statistics are one record
    // for all, so they are gathered on one thread.
    ForEachIndex(files.size(), stream.stats != nullptr ? 1 : options.threads, [&](size_t i) {
      if (files[i].data.empty()) return;
      packed[i] = EncodeStream(files[i].data, stream);
      if (packed[i].size() < files[i].data.size()) data[i] = {&packed[i], method, 0};
    });
  }

  std::vector<uint8_t>& out = result.archive;
  out.assign(kMarker, kMarker + sizeof kMarker);
  size_t start = out.size();
  Put16(out, 0);
  out.push_back(kBlockMain);
  Put16(out, options.solid ? kMainSolid : 0);
  Put16(out, 13);
  Put16(out, 0);  // reserved
  Put32(out, 0);  // reserved
  SealHeader(out, start);

  for (size_t i = 0; i < files.size(); ++i) {
    const PackFile& f = files[i];
    const NameField field = MakeNameField(WithBackslashes(f.name));
    const std::string& name = field.bytes;
    const auto size = static_cast<uint32_t>(f.data.size());
    const EntryData& d = data[i];
    const uint32_t packedSize = d.packed ? static_cast<uint32_t>(d.packed->size()) : size;
    start = out.size();
    Put16(out, 0);
    out.push_back(kBlockFile);
    Put16(out, kBlockHasData | kFileDictionary1M | d.flags | (field.unicode ? kFileUnicodeName : 0));
    Put16(out, static_cast<uint32_t>(kFileHeaderSize + name.size()));
    Put32(out, packedSize);
    Put32(out, size);
    out.push_back(options.hostOs);
    Put32(out, Crc32(f.data.data(), f.data.size()));
    Put32(out, f.dosTime);
    out.push_back(kVersionNeeded);
    out.push_back(d.method);
    Put16(out, static_cast<uint32_t>(name.size()));
    Put32(out, f.attributes);
    out.insert(out.end(), name.begin(), name.end());
    SealHeader(out, start);
    if (d.packed) {
      out.insert(out.end(), d.packed->begin(), d.packed->end());
    } else {
      out.insert(out.end(), f.data.begin(), f.data.end());
    }
    result.entries.push_back({WithBackslashes(f.name), size, packedSize, d.method, (d.flags & kFileSolid) != 0});
  }

  start = out.size();
  Put16(out, 0);
  out.push_back(kBlockEnd);
  Put16(out, kSkipIfUnknown);
  Put16(out, 7);
  SealHeader(out, start);
  result.ok = true;
  return result;
}

uint32_t DosTimeFromUnix(std::time_t t) {
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return 0;
  int year = tm.tm_year + 1900;
  if (year < 1980) return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00
  if (year > 2107) year = 2107;
  const uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
  const uint32_t time = static_cast<uint32_t>(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
  return date << 16 | time;
}

}  // namespace zelk4::rarpack

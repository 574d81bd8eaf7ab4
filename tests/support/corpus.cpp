#include "support/corpus.h"

#include <fstream>
#include <iterator>

namespace zelk4::test {

std::filesystem::path CorpusDir() { return std::filesystem::path(ZELK4_CORPUS_DIR); }

std::filesystem::path CorpusPath(const std::string& sub) {
  std::filesystem::path p = CorpusDir() / sub;
  std::error_code ec;
  if (!std::filesystem::exists(p, ec)) return {};
  return p;
}

std::filesystem::path TestOutputDir() {
  std::filesystem::path p(ZELK4_TEST_OUTPUT_DIR);
  std::error_code ec;
  std::filesystem::create_directories(p, ec);
  return p;
}

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace zelk4::test

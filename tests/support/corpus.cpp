#include "support/corpus.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>

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

std::vector<std::vector<std::string>> ReadExpectedTable(const std::filesystem::path& tsv) {
  std::vector<std::vector<std::string>> rows;
  std::ifstream in(tsv);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    rows.push_back(std::move(fields));
  }
  return rows;
}

std::vector<ExpectedPicture> ReadExpectedPictures(const std::filesystem::path& folder) {
  std::vector<ExpectedPicture> pictures;
  for (const std::vector<std::string>& row : ReadExpectedTable(folder / "expected.tsv")) {
    if (row.size() < 4) continue;
    ExpectedPicture picture;
    picture.file = row[0];
    picture.width = static_cast<uint32_t>(std::strtoul(row[1].c_str(), nullptr, 10));
    picture.height = static_cast<uint32_t>(std::strtoul(row[2].c_str(), nullptr, 10));
    if (!row[3].empty() && row[3] != "-") picture.tolerance = std::atoi(row[3].c_str());
    pictures.push_back(picture);
  }
  return pictures;
}

}  // namespace zelk4::test

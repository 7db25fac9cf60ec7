#include "tests/xbase_oracle/memo_text.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace kvtest {
namespace {

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return b.at(at) | b.at(at + 1) << 8;
}
uint32_t Be16(const std::vector<uint8_t>& b, size_t at) {
  return b.at(at) << 8 | b.at(at + 1);
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return Le16(b, at) | Le16(b, at + 2) << 16;
}
uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return Be16(b, at) << 16 | Be16(b, at + 2);
}

std::string Slice(const std::vector<uint8_t>& bytes, size_t start, size_t length) {
  if (start + length > bytes.size()) throw std::runtime_error("memo runs past the end of its file");
  return std::string(bytes.begin() + start, bytes.begin() + start + length);
}

}  // namespace

std::filesystem::path MemoFileFor(const std::filesystem::path& dataFile, const std::string& kind) {
  auto memo = dataFile;
  memo.replace_extension(kind == "fpt" ? ".fpt" : ".dbt");
  return memo;
}

std::string MemoText(const std::filesystem::path& memoFile, const std::string& kind,
                     uint32_t block) {
  std::ifstream in(memoFile, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + memoFile.string());
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (kind == "dbt3") {
    size_t start = static_cast<size_t>(block) * 512;
    if (start >= bytes.size()) throw std::runtime_error("memo block beyond the file");
    size_t end = start;
    while (end < bytes.size() && bytes[end] != 0x1A) ++end;
    return Slice(bytes, start, end - start);
  }
  if (kind == "dbt4") {
    size_t start = static_cast<size_t>(block) * Le16(bytes, 20);
    if (Le32(bytes, start) != 0x0008FFFF) throw std::runtime_error("no dBASE IV memo block there");
    uint32_t length = Le32(bytes, start + 4);
    if (length < 8) throw std::runtime_error("dBASE IV memo length below its header");
    return Slice(bytes, start + 8, length - 8);
  }
  if (kind == "fpt") {
    size_t start = static_cast<size_t>(block) * Be16(bytes, 6);
    return Slice(bytes, start + 8, Be32(bytes, start + 4));
  }
  throw std::runtime_error("unknown memo layout " + kind);
}

}  // namespace kvtest

#include "tests/chart_draw/wmf_reader.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace charttest {

namespace {

uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return U16(b, at) | (static_cast<uint32_t>(U16(b, at + 2)) << 16);
}

}  // namespace

size_t WmfFile::Count(uint16_t function) const {
  return All(function).size();
}

std::vector<const WmfRecord*> WmfFile::All(uint16_t function) const {
  std::vector<const WmfRecord*> found;
  for (const WmfRecord& r : records) {
    if (r.function == function) found.push_back(&r);
  }
  return found;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

WmfFile ReadWmf(const std::vector<uint8_t>& b, std::string& problem) {
  WmfFile file;
  problem.clear();
  size_t at = 0;
  if (b.size() >= 22 && U32(b, 0) == 0x9AC6CDD7u) {
    file.placeable = true;
    uint16_t checksum = 0;
    for (size_t i = 0; i < 10; ++i) checksum ^= U16(b, 2 * i);
    if (checksum != U16(b, 20)) problem = "placeable checksum";
    if (U16(b, 4) != 0) problem = "placeable handle not 0";
    file.left = static_cast<int16_t>(U16(b, 6));
    file.top = static_cast<int16_t>(U16(b, 8));
    file.right = static_cast<int16_t>(U16(b, 10));
    file.bottom = static_cast<int16_t>(U16(b, 12));
    file.unitsPerInch = U16(b, 14);
    if (U32(b, 16) != 0) problem = "placeable reserved not 0";
    at = 22;
  }
  if (b.size() < at + 18) {
    problem = "no metafile header";
    return file;
  }
  const uint16_t type = U16(b, at);
  if (type != 1 && type != 2) problem = "metafile type";
  if (U16(b, at + 2) != 9) problem = "header size";
  if (U16(b, at + 4) != 0x0300 && U16(b, at + 4) != 0x0100) problem = "version";
  const uint32_t totalWords = U32(b, at + 6);
  file.objectCount = U16(b, at + 10);
  file.largestRecord = U32(b, at + 12);
  if (static_cast<uint64_t>(totalWords) * 2 != b.size() - at) problem = "size in words";
  const size_t start = at;
  at += 18;
  std::vector<bool> slots(file.objectCount, false);
  uint32_t largest = 0;
  bool ended = false;
  while (at + 6 <= b.size() && problem.empty()) {
    const uint32_t size = U32(b, at);
    const uint16_t function = U16(b, at + 4);
    if (size < 3 || at + static_cast<uint64_t>(size) * 2 > b.size()) {
      problem = "record size at " + std::to_string(at);
      break;
    }
    WmfRecord record;
    record.function = function;
    record.offset = static_cast<uint32_t>(at);
    for (uint32_t i = 3; i < size; ++i)
      record.parameters.push_back(static_cast<int16_t>(U16(b, at + 2 * i)));
    largest = std::max(largest, size);
    const bool creates = function == 0x02FA || function == 0x02FB || function == 0x02FC;
    if (creates) {
      size_t slot = 0;
      while (slot < slots.size() && slots[slot]) ++slot;
      if (slot == slots.size()) {
        problem = "object table full";
        break;
      }
      slots[slot] = true;
      if (function == 0x02FA && size != 8) problem = "pen record size";
      if (function == 0x02FC && size != 7) problem = "brush record size";
      if (function == 0x02FB && size < 3 + 9) problem = "font record size";
    } else if (function == 0x012D || function == 0x01F0) {
      const auto slot =
          static_cast<uint16_t>(record.parameters.empty() ? 0xFFFF : record.parameters[0]);
      if (record.parameters.size() != 1)
        problem = "select/delete record size";
      else if (slot >= slots.size() || !slots[slot])
        problem = std::string(function == 0x012D ? "select" : "delete") + " of empty slot " +
                  std::to_string(slot);
      else if (function == 0x01F0)
        slots[slot] = false;
    } else if (function == 0x0521) {
      const auto length = static_cast<uint16_t>(record.parameters[0]);
      if (size != 3 + 1 + (length + 1u) / 2 + 2) problem = "text record size";
    } else if (function == 0x0324 || function == 0x0325) {
      const auto count = static_cast<uint16_t>(record.parameters[0]);
      if (size != 3 + 1 + 2u * count) problem = "poly record size";
    } else if (function == 0x081A && size != 11) {
      problem = "pie record size";
    } else if ((function == 0x041B || function == 0x0418) && size != 7) {
      problem = "rectangle record size";
    }
    file.records.push_back(std::move(record));
    at += static_cast<size_t>(size) * 2;
    if (function == 0) {
      ended = true;
      if (size != 3) problem = "end record size";
      break;
    }
  }
  if (problem.empty() && !ended) problem = "no end record";
  if (problem.empty() && at != b.size()) problem = "bytes after the end record";
  if (problem.empty() && largest != file.largestRecord) problem = "largest record";
  if (problem.empty()) {
    for (size_t i = 0; i < slots.size(); ++i) {
      if (slots[i]) problem = "object " + std::to_string(i) + " never deleted";
    }
  }
  (void)start;
  return file;
}

}  // namespace charttest

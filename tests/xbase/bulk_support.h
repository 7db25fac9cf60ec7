// Helpers of the bulk build tests: large data files written straight to
// disk, the (key, record) sequence of an NDX file, and key-by-key builds to
// compare with.
#pragma once
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "host/index_check/ndx_invariants.h"
#include "kv/xbase.h"

namespace kvtest {

struct BulkField {
  std::string name;
  char type;
  int length;
  int decimals = 0;
};

// Names spread over the key range in no order: "K" and nine digits.
inline std::string ScatteredName(uint32_t r) {
  char text[11];
  std::snprintf(text, sizeof text, "K%09u", (r * 2654435761u) % 999983u);
  return text;
}

// Writes a dBASE III data file of `count` records; `row(r)` gives the
// values of record r (1-based), each padded or cut to its field's length.
inline void WriteDataFile(const std::string& path, const std::vector<BulkField>& fields,
                          uint32_t count,
                          const std::function<std::vector<std::string>(uint32_t)>& row) {
  int recordLength = 1;
  for (const auto& f : fields) recordLength += f.length;
  const int headerLength = 32 * static_cast<int>(fields.size()) + 33;
  std::string header(static_cast<size_t>(headerLength), '\0');
  header[0] = 0x03;
  header[1] = 124;
  header[2] = 1;
  header[3] = 1;
  for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
  header[8] = static_cast<char>(headerLength & 0xFF);
  header[9] = static_cast<char>(headerLength >> 8);
  header[10] = static_cast<char>(recordLength & 0xFF);
  header[11] = static_cast<char>(recordLength >> 8);
  for (size_t i = 0; i < fields.size(); ++i) {
    char* d = &header[32 + 32 * i];
    for (size_t k = 0; k < fields[i].name.size() && k < 10; ++k) d[k] = fields[i].name[k];
    d[11] = fields[i].type;
    d[16] = static_cast<char>(fields[i].length);
    d[17] = static_cast<char>(fields[i].decimals);
  }
  header[static_cast<size_t>(headerLength) - 1] = 0x0D;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) throw std::runtime_error("cannot write " + path);
  std::fwrite(header.data(), 1, header.size(), out);
  std::string record;
  std::string block;
  for (uint32_t r = 1; r <= count; ++r) {
    const std::vector<std::string> values = row(r);
    record.assign(1, ' ');
    for (size_t i = 0; i < fields.size(); ++i) {
      std::string v = i < values.size() ? values[i] : std::string();
      v.resize(static_cast<size_t>(fields[i].length), ' ');
      record += v;
    }
    block += record;
    if (block.size() > (1u << 20)) {
      std::fwrite(block.data(), 1, block.size(), out);
      block.clear();
    }
  }
  block.push_back(0x1A);
  std::fwrite(block.data(), 1, block.size(), out);
  std::fclose(out);
}

// A number right-aligned in `width` with `decimals` places.
inline std::string NumberText(double value, int width, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%*.*f", width, decimals, value);
  return text;
}

// The files of a directory whose names begin with "stacks".
inline std::vector<std::string> SortFilesIn(const std::string& directory) {
  std::vector<std::string> found;
  DIR* d = opendir(directory.c_str());
  if (d == nullptr) return found;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name.rfind("stacks", 0) == 0) found.push_back(name);
  }
  closedir(d);
  return found;
}

// Builds the same index key by key: every record read, its key made with
// XBDNKMAKE and added with XBDNKADD. Returns the first failing status.
inline XBSTATUS BuildNdxKeyByKey(XBHANDLE data, const std::string& path, uint16_t letter,
                                 const char* expression, uint16_t length) {
  XBSTATUS s = XBDNCREATE(path.c_str(), letter, expression, length);
  if (s != 0) return s;
  XBHANDLE h = XB_NO_HANDLE;
  if ((s = XBDNOPENX(&h, path.c_str(), 0)) != 0) return s;
  uint32_t count = 0;
  XBDDSIZE(data, &count);
  for (uint32_t r = 1; r <= count && s >= 0; ++r) {
    if ((s = XBDDRGET(data, r)) < 0) break;
    void* key = nullptr;
    if ((s = XBDNKMAKE(data, h, &key)) < 0) break;
    s = XBDNKADD(h, key, r);
    XBMFREE(key);
  }
  const XBSTATUS closed = XBDNCLOSE(h);
  return s < 0 ? s : closed;
}

inline bool SameEntries(const std::vector<kvcheck::NdxEntry>& a,
                        const std::vector<kvcheck::NdxEntry>& b, std::string* why) {
  if (a.size() != b.size()) {
    *why = "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].key != b[i].key || a[i].record != b[i].record) {
      *why = "entry " + std::to_string(i) + ": record " + std::to_string(a[i].record) + " vs " +
             std::to_string(b[i].record);
      return false;
    }
  }
  return true;
}

}  // namespace kvtest

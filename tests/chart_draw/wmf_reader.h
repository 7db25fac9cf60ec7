// A reader of placeable metafile files written apart from the recorder: it
// checks the 22-byte header and its checksum, the standard header, every
// record's size, and replays the object table (an object is created in the
// lowest free slot, selected only while it exists, deleted once, and no
// object is left at the end).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace charttest {

struct WmfRecord {
  uint16_t function = 0;
  std::vector<int16_t> parameters;  // the record's words after the function
  uint32_t offset = 0;              // of the record, in bytes from the file start
};

struct WmfFile {
  bool placeable = false;
  int16_t left = 0, top = 0, right = 0, bottom = 0;
  uint16_t unitsPerInch = 0;
  uint16_t objectCount = 0;
  uint32_t largestRecord = 0;
  std::vector<WmfRecord> records;

  size_t Count(uint16_t function) const;
  std::vector<const WmfRecord*> All(uint16_t function) const;
};

// Parses the bytes; `problem` names the first thing wrong (empty when the
// file is sound).
WmfFile ReadWmf(const std::vector<uint8_t>& bytes, std::string& problem);
std::vector<uint8_t> ReadFileBytes(const std::string& path);

}  // namespace charttest

// Helpers of the data-file writing tests: field definitions, whole-file
// reads, and a small file with records whose contents follow from their
// numbers.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kv/xbase.h"
#include "tests/xbase/numbered_records.h"

namespace kvtest {

inline XBFIELDDEF Def(const char* name, char type, uint16_t length, uint16_t decimals = 0) {
  XBFIELDDEF d{};
  std::snprintf(d.name, sizeof d.name, "%s", name);
  d.type = static_cast<uint16_t>(static_cast<uint8_t>(type));
  d.length = length;
  d.decimals = decimals;
  return d;
}

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t{static_cast<uint8_t>(bytes.at(at + i))} << (8 * i);
  return v;
}

inline uint16_t Le16(const std::string& bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes.at(at)) |
                               (static_cast<uint8_t>(bytes.at(at + 1)) << 8));
}

// The stored bytes of field `fieldNo` of the handle's record buffer.
inline std::string StoredField(XBHANDLE h, uint16_t fieldNo) {
  char text[4096] = {};
  EXPECT_GE(XBDDFGETS(h, fieldNo, text), 0);
  return text;
}

// A file with NAME C(12) and NUM N(10,2) holding `count` records: record r
// has NAME "R<r>" and NUM r * 1.5.
inline void MakeNumberedFile(const std::string& path, uint32_t count, uint16_t variant = 1) {
  XBFIELDDEF defs[] = {Def("NAME", 'C', 12), Def("NUM", 'N', 10, 2)};
  ASSERT_EQ(XBDDCREATE(path.c_str(), 2, defs, variant), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, path.c_str(), variant), 0);
  for (uint32_t r = 1; r <= count; ++r) {
    ASSERT_EQ(PutNumberedFields(h, r), 0);
    uint32_t no = 0;
    ASSERT_EQ(XBDDRPUT(h, &no, XB_PUT_APPEND), 0);
    ASSERT_EQ(no, r);
  }
  ASSERT_EQ(XBDDCLOSE(h), 0);
}

// Checks that record r of an open numbered file holds what MakeNumberedFile
// wrote; empty when it does.
inline std::string CheckNumbered(XBHANDLE h, uint32_t r) {
  const XBSTATUS s = XBDDRGET(h, r);
  if (s != 0 && s != XB_DELETED)
    return "record " + std::to_string(r) + ": status " + std::to_string(s);
  char name[13] = {};
  double num = -1;
  if (XBDDFGETS(h, 0, name) != 0 || XBDDFGET(h, 1, &num) != 0) return "field read failed";
  std::string want = "R" + std::to_string(r);
  want.resize(12, ' ');
  if (name != want) return "record " + std::to_string(r) + ": NAME '" + name + "'";
  if (num != r * 1.5) return "record " + std::to_string(r) + ": NUM " + std::to_string(num);
  return "";
}

}  // namespace kvtest

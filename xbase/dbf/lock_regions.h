// Where the lock calls lock in a data file. Every region lies far beyond the
// records (between 1.5 GiB and 2 GiB) so that a lock never hides data from a
// reader, and each region is placed so that the locks exclude one another as
// the modes require:
//
//   0x5FFFFFC0 ............ 0x7FFFFFBE  0x7FFFFFBF .. 0x7FFFFFFC  FD  FE
//   record bytes (record r at            shared slots (62, mode 4)    mode-1
//   0x7FFFFFBF - r, downwards)                                         byte
//
// Mode 4 tests the record bytes (no record lock, no mode 2/3 lock), mode 5
// tests the slots (no shared holder), modes 2 and 3 cover records and slots.
#pragma once
#include <cstdint>

namespace kv::xb::dbf::lock {

struct Region {
  uint32_t offset;
  uint32_t length;
};

inline constexpr Region kMode1{0x7FFFFFFEu, 1};
inline constexpr Region kMode2{0x5FFFFFC0u, 0x2000003Fu};
inline constexpr Region kMode3{0x5FFFFFC0u, 0x2000003Eu};
inline constexpr Region kRecordTest{0x5FFFFFC0u, 0x1FFFFFFFu};  // mode 4's probe
inline constexpr Region kSlotTest{0x7FFFFFBFu, 63};             // mode 5's probe

// Shared slots: slot byte = kSlotBase - counter, the counter running from
// kFirstSlotCounter (byte 0x7FFFFFFC) to kLastSlotCounter (byte 0x7FFFFFBF).
inline constexpr uint32_t kSlotBase = 0x7FFFFFFFu;
inline constexpr uint16_t kFirstSlotCounter = 3;
inline constexpr uint16_t kLastSlotCounter = 64;

inline constexpr uint32_t SlotByte(uint16_t counter) {
  return kSlotBase - counter;
}

// One byte per record below the slots. Record numbers are 32-bit, and so is
// the offset: the subtraction wraps like the file layer's 32-bit ranges.
inline constexpr uint32_t kRecordBase = 0x7FFFFFBFu;
inline constexpr Region RecordRegion(uint32_t record) {
  return {kRecordBase - record, 1};
}

// The region of file modes 1..3; mode 4 and 5 work with slots.
inline constexpr Region FileModeRegion(int mode) {
  return mode == 1 ? kMode1 : mode == 2 ? kMode2 : kMode3;
}

// Refused locks report this lock status; obtained ones 0.
inline constexpr int16_t kRefused = 100;

// The record-lock list: capacity 64 at open, grown by 100 up to 16384.
inline constexpr uint16_t kListGrowth = 100;
inline constexpr uint16_t kListLimit = 16384;

}  // namespace kv::xb::dbf::lock

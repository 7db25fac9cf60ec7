#include "tests/xbase_oracle/engine_session.h"

#include <gtest/gtest.h>

#include "platform/kernel/memory.h"

namespace kvtest {

EngineSession::EngineSession(int16_t dateStyle) {
  XBSTATUS started = XBDINIT(100, dateStyle);
  EXPECT_EQ(started, XB_OK) << "XBDINIT(100, " << dateStyle << ")";
}

EngineSession::~EngineSession() {
  XBESCODE(0);
  XBDTERM();
}

bool VariantAccepts(int variant, uint8_t version) {
  switch (variant) {
    case 1:
    case 3:
    case 5:
    case 6:
    case 7:
    case 9:
      return version == 0x03 || version == 0x83;
    case 2:
      return version == 0x03 || version == 0x83 || version == 0x8B;
    case 4:
    case 8:
      return version == 0x03 || version == 0xF5;
    default:
      return false;
  }
}

size_t OpenDescriptorCount() {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

Holdings Holdings::Now() {
  return {kvp::GlobalLiveBlocks(), OpenDescriptorCount()};
}

void ResetStatus() {
  EXPECT_EQ(XBESCODE(0), XB_OK);
}

void ExpectRefusedOpen(const std::filesystem::path& file, uint16_t mode, XBSTATUS expected) {
  SCOPED_TRACE(file.filename().string() + " mode 0x" + std::to_string(mode));
  Holdings before = Holdings::Now();
  XBHANDLE handle = 1234;
  XBSTATUS status = XBDDOPENX(&handle, file.c_str(), mode);
  EXPECT_EQ(status, expected);
  EXPECT_EQ(handle, XB_NO_HANDLE);
  EXPECT_EQ(XBECODE(), expected) << "the refusal must stay until XBESCODE(0)";
  Holdings after = Holdings::Now();
  EXPECT_EQ(after.blocks, before.blocks) << "memory blocks left after a refused open";
  EXPECT_EQ(after.descriptors, before.descriptors) << "file left open after a refused open";
  ResetStatus();
  if (status == XB_OK || status > 0) XBDDCLOSE(handle);
}

}  // namespace kvtest

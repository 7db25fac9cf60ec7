// kvxbase.dll as the host meets it: loaded by name, its entries found by
// their plain names, and called with the standard convention (the callee
// removes its arguments).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>

namespace {

// Calls `entry` with two 32-bit arguments and returns how many bytes of
// them were still on the stack afterwards: 0 when the callee removed them,
// as the standard convention wants. The stack is put right either way.
uint32_t BytesLeftAfterCall(void* entry, uint32_t first, uint32_t second) {
  uint32_t left;
  asm volatile(
      "movl %%esp, %%ebx\n\t"
      "pushl %[second]\n\t"
      "pushl %[first]\n\t"
      "call *%[entry]\n\t"
      "subl %%esp, %%ebx\n\t"
      "addl %%ebx, %%esp\n\t"
      : "=&b"(left), [entry] "+c"(entry)
      : [first] "S"(first), [second] "D"(second)
      : "eax", "edx", "memory", "cc");
  return left;
}

class KvxbaseDll : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA("kvxbase.dll");
    ASSERT_NE(module_, nullptr) << "LoadLibraryA: error " << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) {
      EXPECT_TRUE(FreeLibrary(module_));
    }
  }
  void* Entry(const char* name) { return reinterpret_cast<void*>(GetProcAddress(module_, name)); }
  HMODULE module_ = nullptr;
};

TEST_F(KvxbaseDll, PlainNamesOnlyNoDecoratedForms) {
  EXPECT_NE(Entry("XBDINIT"), nullptr);
  EXPECT_NE(Entry("_XBMALLOC"), nullptr);
  EXPECT_NE(Entry("KV5InitInstance"), nullptr);
  EXPECT_EQ(Entry("_XBDINIT@4"), nullptr);
  EXPECT_EQ(Entry("XBDINIT@4"), nullptr);
  EXPECT_EQ(Entry("_KV5InitInstance@8"), nullptr);
}

TEST_F(KvxbaseDll, EntriesRemoveTheirOwnArguments) {
  using Term = int16_t(__stdcall*)();
  // XBDINIT(files, style): two 16-bit arguments, each in a 32-bit slot.
  EXPECT_EQ(BytesLeftAfterCall(Entry("XBDINIT"), 20, 0), 0u);
  auto term = reinterpret_cast<Term>(Entry("XBDTERM"));
  ASSERT_NE(term, nullptr);
  EXPECT_EQ(term(), 0);
  // KV5InitInstance(instance, table) starts the engine: 1 on success.
  EXPECT_EQ(BytesLeftAfterCall(Entry("KV5InitInstance"), 0, 0), 0u);
  EXPECT_EQ(term(), 0);
}

TEST_F(KvxbaseDll, EngineStartsThroughHostEntry) {
  using Init = int32_t(__stdcall*)(uint32_t, uint32_t);
  using Code = int16_t(__stdcall*)();
  using Term = int16_t(__stdcall*)();
  auto init = reinterpret_cast<Init>(Entry("KV5InitInstance"));
  auto code = reinterpret_cast<Code>(Entry("XBECODE"));
  auto term = reinterpret_cast<Term>(Entry("XBDTERM"));
  ASSERT_TRUE(init && code && term);
  // Before the start the caller has no context: -59.
  EXPECT_EQ(code(), -59);
  EXPECT_EQ(init(0, 0), 1);
  EXPECT_EQ(code(), 0);
  EXPECT_EQ(term(), 0);
  EXPECT_EQ(code(), -59);
}

}  // namespace

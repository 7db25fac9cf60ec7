// Hostile MDX files: tag tables and child pointers outside the file, blocks
// that form loops, key counts beyond K, broken free lists. Every call ends
// with a status (an error, never a crash or an endless loop).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/mdx_support.h"

namespace kvtest {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

uint32_t U32(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
  return v;
}

void Put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}

class MdxHostile : public EngineTest {
 protected:
  // A file with one character tag (L 20, E 24, K 20) of 3 levels.
  void SetUp() override {
    EngineTest::SetUp();
    path_ = File("h.mdx");
    ASSERT_EQ(XBDMCREATE(path_.c_str(), 1), 0);
    XBHANDLE h = 0;
    ASSERT_EQ(XBDMOPENX(&h, path_.c_str(), 0), 0);
    ASSERT_EQ(XBDMTNEW(h, "NAME", 'C', "NAME", 20), 0);
    XBTAGHANDLE t = 0;
    ASSERT_EQ(XBDMTUSE(&t, h, "NAME"), 0);
    for (uint32_t i = 1; i <= 600; ++i) {
      ASSERT_EQ(XBDMKADD(t, MdxPadded("K" + std::to_string(i * 37 % 1000), 20).data(), i), 0);
    }
    ASSERT_EQ(XBDMCLOSE(h), 0);
    good_ = ReadAll(path_);
    const MdxCheckResult r = CheckMdxFile(path_);
    ASSERT_EQ(r.error, "");
    ASSERT_GE(r.tags[0].depth, 2);
    root_ = r.tags[0].root;
  }

  // Runs every tag operation on `bytes`; returns the first error met.
  XBSTATUS Exercise(const std::string& bytes) {
    WriteAll(path_, bytes);
    XBSTATUS worst = 0;
    auto note = [&](XBSTATUS s) {
      if (s < 0 && worst == 0) worst = s;
      if (s < 0) XBESCODE(0);
      return s;
    };
    XBHANDLE h = 0;
    if (note(XBDMOPENX(&h, path_.c_str(), 0)) < 0) return worst;
    XBTAGHANDLE t = 0;
    if (note(XBDMTUSEX(&t, h, 1)) >= 0) {
      char key[32] = {};
      uint32_t r = 0;
      XBSTATUS s = note(XBDMKTOP(t, key, &r));
      for (int i = 0; i < 2000 && s == 0; ++i) s = note(XBDMKNEXT(t, key, &r));
      s = note(XBDMKBOT(t, key, &r));
      for (int i = 0; i < 2000 && s == 0; ++i) s = note(XBDMKPREV(t, key, &r));
      std::strcpy(key, "K5");
      note(XBDMKFIND(t, key, &r, 0));
      for (uint32_t i = 1; i <= 50; ++i) note(XBDMKADD(t, "NEW", 1000 + i));
      for (uint32_t i = 1; i <= 600; i += 3) {
        note(XBDMKDEL(t, MdxPadded("K" + std::to_string(i * 37 % 1000), 20).data(), i));
      }
      note(XBDMTCLOSE(t));
    }
    note(XBDMTERASE(h, "NAME"));
    note(XBDMCLOSE(h));
    return worst;
  }

  std::string path_;
  std::string good_;
  uint32_t root_ = 0;
};

TEST_F(MdxHostile, SoundFileRunsClean) {
  EXPECT_EQ(Exercise(good_), 0);
}

TEST_F(MdxHostile, TagTableOutsideTheFile) {
  std::string b = good_;
  Put32(b, 512 + 32, 0x7FFFFFF0);
  EXPECT_EQ(Exercise(b), XB_E_SEEK);
  b = good_;
  Put32(b, 512 + 32, 2);  // inside the tag table
  EXPECT_EQ(Exercise(b), XB_E_SEEK);
  // 47 tags whose slots are garbage.
  b = good_;
  b[28] = 47;
  for (int i = 512 + 64; i < 2048; ++i) b[i] = static_cast<char>(i * 13);
  XBHANDLE h = 0;
  WriteAll(path_, b);
  ASSERT_EQ(XBDMOPENX(&h, path_.c_str(), 0), 0);
  for (uint16_t slot = 1; slot <= 47; ++slot) {
    XBTAGHANDLE t = 0;
    if (XBDMTUSEX(&t, h, slot) < 0) XBESCODE(0);
  }
  EXPECT_EQ(XBDMTUSEX(nullptr, h, 1), XB_E_NULL);
  XBESCODE(0);
  ASSERT_EQ(XBDMCLOSE(h), 0);
}

TEST_F(MdxHostile, ChildPointersOutsideTheFile) {
  std::string b = good_;
  Put32(b, size_t{root_} * 512 + 8, 0xFFFFFFFF);
  EXPECT_EQ(Exercise(b), XB_E_SEEK);
  b = good_;
  Put32(b, size_t{root_} * 512 + 8, 1);  // the header
  EXPECT_EQ(Exercise(b), XB_E_SEEK);
}

TEST_F(MdxHostile, BlocksFormingALoop) {
  // The root's first child is the root itself.
  std::string b = good_;
  Put32(b, size_t{root_} * 512 + 8, root_);
  EXPECT_EQ(Exercise(b), XB_E_FORMAT);
  // A child of the root points back up at the root from its last pointer.
  b = good_;
  const uint32_t child = U32(b, size_t{root_} * 512 + 8);
  const int count = U32(b, size_t{child} * 512) & 0xFFFF;
  Put32(b, size_t{child} * 512 + 8 + count * 24u, root_);
  EXPECT_LT(Exercise(b), 0);
}

TEST_F(MdxHostile, KeyCountsBeyondK) {
  for (uint32_t count : {21u, 0xFFFFu, 0x7FFFFFFFu}) {
    std::string b = good_;
    Put32(b, size_t{root_} * 512, count);
    EXPECT_EQ(Exercise(b), XB_E_FORMAT) << count;
  }
  // Only the low 16 bits are the count: the high ones are ignored.
  std::string b = good_;
  Put32(b, size_t{root_} * 512, U32(b, size_t{root_} * 512) | 0x10000u);
  XBHANDLE h = 0;
  WriteAll(path_, b);
  ASSERT_EQ(XBDMOPENX(&h, path_.c_str(), 0), 0);
  XBTAGHANDLE t = 0;
  ASSERT_EQ(XBDMTUSEX(&t, h, 1), 0);
  XBSTATUS last = 0;
  EXPECT_EQ(MdxWalk(t, 20, true, &last).size(), 600u);
  ASSERT_EQ(XBDMCLOSE(h), 0);
}

TEST_F(MdxHostile, BrokenFreeLists) {
  // Erase and recreate so that the free list holds the old tree.
  XBHANDLE h = 0;
  ASSERT_EQ(XBDMOPENX(&h, path_.c_str(), 0), 0);
  ASSERT_EQ(XBDMTNEW(h, "NAME", 'C', "NAME", 20), 0);  // replaces the tag
  ASSERT_EQ(XBDMCLOSE(h), 0);
  const std::string freed = ReadAll(path_);
  const MdxCheckResult r = CheckMdxFile(path_);
  ASSERT_EQ(r.error, "");
  ASSERT_GT(r.freeBlocks, 10u);
  const uint32_t head = U32(freed, 36);
  // The head's link points back at itself, or far outside the file.
  for (uint32_t link : {head, 0x40000000u}) {
    std::string b = freed;
    Put32(b, size_t{head} * 512 + 4, link);
    WriteAll(path_, b);
    ASSERT_EQ(XBDMOPENX(&h, path_.c_str(), 0), 0);
    XBTAGHANDLE t = 0;
    ASSERT_EQ(XBDMTUSEX(&t, h, 1), 0);
    for (uint32_t i = 1; i <= 300; ++i) {
      ASSERT_EQ(XBDMKADD(t, MdxPadded("A" + std::to_string(i), 20).data(), i), 0) << i;
    }
    ASSERT_EQ(XBDMCLOSE(h), 0);
    const MdxCheckResult after = CheckMdxFile(path_);
    // The list was cut: its other blocks are lost, but the tree is sound.
    EXPECT_NE(after.error.find("neither used nor free"), std::string::npos) << after.error;
  }
  // A head outside the file is dropped; the file grows instead.
  std::string b = freed;
  Put32(b, 36, 0x7FFFFFFF);
  EXPECT_EQ(Exercise(b), 0);
}

TEST_F(MdxHostile, EveryByteOfTheHeaderBlockFlipped) {
  // Each byte of the tag header and the root in turn: a status, no hang.
  const MdxCheckResult r = CheckMdxFile(path_);
  const size_t header = size_t{r.tags[0].headerBlock} * 512;
  int refused = 0;
  for (size_t at : {header, size_t{root_} * 512}) {
    for (size_t i = 0; i < 64; ++i) {
      std::string b = good_;
      b[at + i] = static_cast<char>(b[at + i] ^ 0xA5);
      if (Exercise(b) < 0) ++refused;
    }
  }
  // Root, flags, type, lengths, counts and pointers are checked.
  EXPECT_GE(refused, 20);
}

}  // namespace
}  // namespace kvtest

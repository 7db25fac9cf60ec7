// Thousands of writes and rewrites of random lengths in both .DBT layouts
// and in .FPT files, checked against an in-memory model after every step:
// every live memo reads back as last written, no two memos overlap, and in
// the block-size layout the free chain never loses or double-books a block
// (checked from the file's bytes by memo_invariants).
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <random>
#include <string>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/memo_invariants.h"
#include "tests/xbase/memo_support.h"

namespace kvtest {
namespace {

using namespace memo;

enum class Layout { Plain, Blocks, Fpt };

struct Config {
  const char* name;
  Layout layout;
  uint16_t size;  // units of 512 (DBT, FPT 1..32) or FPT bytes (33..511)
  uint16_t variant;
  int steps;
  uint32_t seed;
};

class MemoRandom : public EngineTest, public ::testing::WithParamInterface<Config> {
 protected:
  // A length: mostly short, some over many blocks, a few long.
  size_t Length(std::mt19937& rng, size_t longest) {
    const uint32_t r = rng() % 100;
    size_t n = r < 60 ? rng() % 600 : r < 95 ? 600 + rng() % 3500 : 4000 + rng() % 12000;
    if (r == 0) n = rng() % 3;
    return n < longest ? n : longest;
  }

  XBSTATUS Write(Layout layout, XBHANDLE h, uint32_t* block, const std::string& text,
                 uint16_t mode) {
    return layout == Layout::Fpt ? XBDWRPUT(h, block, text.c_str(), mode)
                                 : XBDTRPUT(h, block, text.c_str(), mode);
  }
  ReadResult Read(Layout layout, XBHANDLE h, uint32_t block) {
    return layout == Layout::Fpt ? ReadFpt(h, block) : ReadDbt(h, block, XB_MEMO_REMOVE_BREAKS);
  }
};

// Test names and failure messages show the configuration's name.
void PrintTo(const Config& c, std::ostream* os) {
  *os << c.name << " seed " << c.seed;
}

std::string ConfigName(const ::testing::TestParamInfo<Config>& param) {
  std::string name = param.param.name;
  for (char& ch : name) {
    if (ch == '-') ch = '_';
  }
  return name;
}

TEST_P(MemoRandom, ModelAfterEveryStep) {
  const Config c = GetParam();
  const std::string path = File(c.layout == Layout::Fpt ? "r.fpt" : "r.dbt");
  XBHANDLE h = XB_NO_HANDLE;
  if (c.layout == Layout::Fpt) {
    ASSERT_EQ(XBDWCREATE(path.c_str(), c.size), 0);
    ASSERT_EQ(XBDWOPENX(&h, path.c_str(), 0), 0);
  } else {
    ASSERT_EQ(XBDTCREATEX(path.c_str(), c.size, c.variant), 0);
    ASSERT_EQ(XBDTOPENX(&h, path.c_str(), c.variant), 0);
  }
  const uint32_t blockSize = c.layout == Layout::Plain    ? 512
                             : c.layout == Layout::Blocks ? c.size * 512u
                             : c.size <= 32               ? c.size * 512u
                                                          : c.size;
  std::mt19937 rng(c.seed);
  std::map<uint32_t, std::string> live;    // block -> text as written
  std::map<uint32_t, std::string> stored;  // block -> bytes before the end marker (plain)
  int refused = 0;
  for (int step = 0; step < c.steps; ++step) {
    SCOPED_TRACE(std::string(c.name) + " seed " + std::to_string(c.seed) + " step " +
                 std::to_string(step));
    size_t n = Length(rng, 24000);
    // Now and then a text too long for the plain reader.
    if (c.layout == Layout::Plain && rng() % 100 == 0) n = 65536 + rng() % 3000;
    const std::string text = Text(n, rng());
    // The live set wanders between a few and 48 memos; the rest are
    // rewrites, which move memos and free their runs.
    const uint32_t newShare = live.size() < 24 ? 60 : live.size() < 48 ? 15 : 0;
    const bool rewrite = !live.empty() && rng() % 100 >= newShare;
    uint32_t block = 0;
    uint32_t old = 0;
    if (rewrite) {
      auto it = live.begin();
      std::advance(it, rng() % live.size());
      old = block = it->first;
    }
    // Plain files: wrapping now and then (variant 6 ignores it).
    const uint16_t width =
        c.layout == Layout::Plain && rng() % 4 == 0 ? static_cast<uint16_t>(10 + rng() % 123) : 0;
    const uint16_t mode = static_cast<uint16_t>((rewrite ? XB_MEMO_REWRITE : XB_MEMO_NEW) | width);
    const std::string before = c.layout == Layout::Plain && n > 50000 ? Slurp(path) : "";
    const XBSTATUS s = Write(c.layout, h, &block, text, mode);
    if (c.layout == Layout::Plain && n > 65535) {
      // Too long for the plain reader: refused before anything is written.
      ASSERT_EQ(s, XB_E_MEMO_TOO_LONG);
      ASSERT_EQ(Slurp(path), before);
      ASSERT_EQ(block, old);
      XBESCODE(0);
      ++refused;
      continue;
    }
    ASSERT_EQ(s, 0);
    if (rewrite) {
      live.erase(old);
      stored.erase(old);
    }
    ASSERT_EQ(live.count(block), 0u) << "block " << block << " handed out twice";
    live[block] = text;
    const ReadResult back = Read(c.layout, h, block);
    ASSERT_EQ(back.status, 0);
    ASSERT_EQ(back.text, text);
    if (c.layout == Layout::Plain) {
      const ReadResult raw = ReadDbt(h, block, 0);
      ASSERT_EQ(raw.status, 0);
      stored[block] = raw.text;
    }

    // Every live memo holds its text, checked from the file's bytes.
    const std::string bytes = Slurp(path);
    if (c.layout == Layout::Blocks) {
      const ChainCheck check = CheckBlockSizeDbt(bytes, live, true);
      ASSERT_EQ(check.error, "");
    } else {
      // No two memos overlap, and all lie below the next free block.
      uint64_t reach = 0;
      for (const auto& [b, t] : live) {
        const uint64_t start = uint64_t{b} * blockSize;
        ASSERT_GE(start, reach) << "block " << b << " overlaps the memo before it";
        if (c.layout == Layout::Plain) {
          const std::string& raw = stored[b];
          ASSERT_EQ(bytes.compare(start, raw.size() + 2, raw + "\x1A\x1A"), 0) << "block " << b;
          reach = start + raw.size() + 2;
        } else {
          ASSERT_EQ(BE32(bytes, start), 1u) << "block " << b;
          ASSERT_EQ(BE32(bytes, start + 4), t.size()) << "block " << b;
          ASSERT_EQ(bytes.compare(start + 8, t.size(), t), 0) << "block " << b;
          reach = start + (t.size() + 8 + blockSize - 1) / blockSize * blockSize;
        }
      }
      const uint64_t next = c.layout == Layout::Fpt ? BE32(bytes, 0) : LE32(bytes, 0);
      ASSERT_LE(reach, next * blockSize);
    }
    // And reads back through the engine (every few steps: the bytes above
    // are checked every step).
    if (step % 20 == 0 || step + 1 == c.steps) {
      for (const auto& [b, t] : live) {
        const ReadResult r = Read(c.layout, h, b);
        ASSERT_EQ(r.status, 0) << "block " << b;
        ASSERT_EQ(r.text, t) << "block " << b;
      }
    }
  }
  EXPECT_GT(live.size(), 20u);
  if (c.layout == Layout::Plain) {
    EXPECT_GT(refused, 0) << "the long-text refusal was reached";
  }
  if (c.layout == Layout::Fpt) {
    ASSERT_EQ(XBDWCLOSE(h), 0);
  } else {
    ASSERT_EQ(XBDTCLOSE(h), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, MemoRandom,
                         ::testing::Values(Config{"plain", Layout::Plain, 1, 1, 2000, 11},
                                           Config{"plain-nowrap", Layout::Plain, 1, 6, 1000, 12},
                                           Config{"blocks512", Layout::Blocks, 1, 2, 3500, 21},
                                           Config{"blocks1024", Layout::Blocks, 2, 2, 2500, 22},
                                           Config{"blocks2048", Layout::Blocks, 4, 2, 2500, 23},
                                           Config{"fpt64", Layout::Fpt, 64, 0, 2000, 31},
                                           Config{"fpt512", Layout::Fpt, 1, 0, 2000, 32}),
                         ConfigName);

}  // namespace
}  // namespace kvtest

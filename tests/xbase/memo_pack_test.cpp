// Packing memo files (XBDTPACK, XBDWPACK) in the plain and block-size .DBT
// layouts and in .FPT: what is kept and dropped, the ".BKT" backup, the
// temporary name, the reopened handle, refusals, another program's lock, and
// failures injected at every step: after any failure the data file's
// numbers and the memo file in place still belong together.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>

#include "platform/kernel/fault.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/dbf_lock_peer.h"
#include "tests/xbase/dbf_write_support.h"

namespace kvtest {
namespace {

namespace fs = std::filesystem;

enum class Kind { PlainDbt, BlockDbt, Fpt };

struct Layout {
  const char* name;
  Kind kind;
  uint16_t dataVariant;
  uint16_t memoVariant;  // .DBT only
  uint16_t createSize;   // XBDTCREATEX blocks or XBDWCREATE size
  uint32_t blockSize;
};

const Layout kLayouts[] = {
    {"PlainDbt", Kind::PlainDbt, 1, 1, 1, 512},
    {"PlainDbt66", Kind::PlainDbt, 1, 66, 1, 512},
    {"BlockDbt1024", Kind::BlockDbt, 2, 2, 2, 1024},
    {"Fpt64", Kind::Fpt, 4, 0, 64, 64},
    {"Fpt512", Kind::Fpt, 4, 0, 1, 512},
};

// Calls of the memo family of a layout.
struct Memo {
  const Layout& layout;

  bool dbt() const { return layout.kind != Kind::Fpt; }
  std::string Extension() const { return dbt() ? ".DBT" : ".FPT"; }
  XBSTATUS Create(const std::string& path) const {
    return dbt() ? XBDTCREATEX(path.c_str(), layout.createSize, layout.memoVariant)
                 : XBDWCREATE(path.c_str(), layout.createSize);
  }
  XBSTATUS Open(XBHANDLE* h, const std::string& path, uint16_t bits = 0) const {
    return dbt() ? XBDTOPENX(h, path.c_str(), static_cast<uint16_t>(layout.memoVariant | bits))
                 : XBDWOPENX(h, path.c_str(), bits);
  }
  XBSTATUS Close(XBHANDLE h) const { return dbt() ? XBDTCLOSE(h) : XBDWCLOSE(h); }
  XBSTATUS Put(XBHANDLE h, uint32_t* block, const std::string& text, bool rewrite) const {
    return dbt() ? XBDTRPUT(h, block, text.c_str(), rewrite ? XB_MEMO_REWRITE : XB_MEMO_NEW)
                 : XBDWRPUT(h, block, text.c_str(), rewrite ? XB_MEMO_REWRITE : XB_MEMO_NEW);
  }
  // The text at `block`, or the status as text when the read fails.
  std::string Get(XBHANDLE h, uint32_t block) const {
    char* text = nullptr;
    const XBSTATUS s =
        dbt() ? XBDTRGET(h, block, &text, XB_MEMO_KEEP_BREAKS) : XBDWRGET(h, block, &text);
    if (s != 0 || text == nullptr) return "<status " + std::to_string(s) + ">";
    std::string result(text);
    XBMFREE(text);
    return result;
  }
  XBSTATUS Pack(XBHANDLE data, XBHANDLE* memo) const {
    return dbt() ? XBDTPACK(data, memo) : XBDWPACK(data, memo);
  }
  // openFlags of the memo information (bit 0 read-only, bit 1 shared).
  uint16_t Flags(XBHANDLE h) const {
    if (dbt()) {
      XBDBTINFO info{};
      EXPECT_EQ(XBDTINFO(h, &info), 0);
      const uint16_t variant = info.variant;  // copied out of the packed record
      EXPECT_EQ(variant, layout.memoVariant);
      return info.openFlags;
    }
    XBFPTINFO info{};
    EXPECT_EQ(XBDWINFO(h, &info), 0);
    return info.openFlags;
  }
};

// Texts of the sizes where the layouts change their minds: around the plain
// end marker and one block, a multiple of the FoxPro block, several blocks.
std::string Text(size_t length, char seed) {
  std::string text(length, ' ');
  for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('A' + (seed + i * 7) % 26);
  return text;
}

// What each record of the data file shows: its memo text, or nothing for a
// blank memo field.
using Contents = std::vector<std::optional<std::string>>;

class MemoPack : public EngineTest, public ::testing::WithParamInterface<Layout> {
 protected:
  MemoPack() : memo_{GetParam()} {}
  void TearDown() override {
    kvp::fault::Reset();
    XBESCODE(0);
    if (memoH_ != XB_NO_HANDLE) memo_.Close(memoH_);
    if (dataH_ != XB_NO_HANDLE) XBDDCLOSE(dataH_);
    EngineTest::TearDown();
  }

  std::string DataPath() const { return File("T.DBF"); }
  std::string MemoPath() const { return File("T" + memo_.Extension()); }
  std::string BackupPath() const { return File("T.BKT"); }

  // A data file with NAME C(8), NOTE M and NOTE2 M, its memo file, and the
  // records of `texts` (pairs of texts for the two memo fields; nullopt
  // leaves the field blank). Every text is first written once as a memo
  // nobody keeps, then rewritten with a longer text (which moves it in the
  // plain layout), and some memos are written twice; the records named in
  // `deleted` are marked deleted. Leaves both files open.
  void Build(
      const std::vector<std::pair<std::optional<std::string>, std::optional<std::string>>>& texts,
      const std::set<uint32_t>& deleted = {}) {
    XBFIELDDEF defs[] = {Def("NAME", 'C', 8), Def("NOTE", 'M', 10), Def("NOTE2", 'M', 10)};
    ASSERT_EQ(XBDDCREATE(DataPath().c_str(), 3, defs, GetParam().dataVariant), 0);
    ASSERT_EQ(memo_.Create(MemoPath()), 0);
    ASSERT_EQ(XBDDOPENX(&dataH_, DataPath().c_str(), GetParam().dataVariant | XB_OPEN_SHARED), 0);
    ASSERT_EQ(memo_.Open(&memoH_, MemoPath(), XB_OPEN_SHARED), 0);
    for (size_t i = 0; i < texts.size(); ++i) {
      ASSERT_EQ(XBDDRCLEAR(dataH_), 0);
      const std::string name = "R" + std::to_string(i + 1);
      ASSERT_EQ(XBDDFPUTS(dataH_, 0, name.c_str()), 0);
      const std::optional<std::string>* pair[] = {&texts[i].first, &texts[i].second};
      for (uint16_t f = 0; f < 2; ++f) {
        if (!pair[f]->has_value()) continue;
        uint32_t orphan = 0;
        ASSERT_EQ(memo_.Put(memoH_, &orphan, "orphan " + name, false), 0);
        uint32_t block = 0;
        ASSERT_EQ(memo_.Put(memoH_, &block, "short", false), 0);
        ASSERT_EQ(memo_.Put(memoH_, &block, **pair[f], true), 0);
        ASSERT_EQ(XBDDFPUT(dataH_, static_cast<uint16_t>(f + 1), &block), 0);
      }
      uint32_t no = 0;
      ASSERT_EQ(XBDDRPUT(dataH_, &no, XB_PUT_APPEND), 0);
    }
    for (uint32_t r : deleted) ASSERT_EQ(XBDDRDEL(dataH_, r), 0);
  }

  // The texts every record shows through the data handle and `memoH`.
  Contents Read(XBHANDLE dataH, XBHANDLE memoH) {
    Contents contents;
    uint32_t n = 0;
    EXPECT_EQ(XBDDSIZE(dataH, &n), 0);
    for (uint32_t r = 1; r <= n; ++r) {
      const XBSTATUS s = XBDDRGET(dataH, r);
      EXPECT_TRUE(s == 0 || s == XB_DELETED) << "record " << r << ": " << s;
      for (uint16_t f = 1; f <= 2; ++f) {
        int32_t block = -1;
        EXPECT_EQ(XBDDFGET(dataH, f, &block), 0);
        if (block == 0) {
          contents.push_back(std::nullopt);
        } else {
          contents.push_back(memo_.Get(memoH, static_cast<uint32_t>(block)));
        }
      }
    }
    return contents;
  }

  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.path()))
      names.insert(e.path().filename().string());
    return names;
  }

  // The header's next free block.
  uint32_t NextFree(const std::string& bytes) const {
    if (memo_.dbt()) return Le32(bytes, 0);
    return uint32_t{static_cast<uint8_t>(bytes.at(0))} << 24 |
           uint32_t{static_cast<uint8_t>(bytes.at(1))} << 16 |
           uint32_t{static_cast<uint8_t>(bytes.at(2))} << 8 | static_cast<uint8_t>(bytes.at(3));
  }

  Memo memo_;
  XBHANDLE dataH_ = XB_NO_HANDLE;
  XBHANDLE memoH_ = XB_NO_HANDLE;
};

const std::vector<std::pair<std::optional<std::string>, std::optional<std::string>>>
StandardTexts() {
  return {
      {Text(600, 1), std::nullopt},   {std::string(), Text(1, 2)},  {Text(509, 3), Text(510, 4)},
      {std::nullopt, std::nullopt},   {Text(511, 5), Text(512, 6)}, {Text(513, 7), Text(1500, 8)},
      {Text(120, 9), Text(3000, 10)},
  };
}

TEST_P(MemoPack, KeepsEveryReferencedMemoAndDropsTheRest) {
  Build(StandardTexts(), {3, 6});
  const Contents before = Read(dataH_, memoH_);
  const std::string oldMemo = Slurp(MemoPath());
  ASSERT_EQ(memo_.Pack(dataH_, &memoH_), 0);
  ASSERT_NE(memoH_, XB_NO_HANDLE);
  // Deleted records keep their memos: they may be recalled.
  EXPECT_EQ(Read(dataH_, memoH_), before);
  EXPECT_TRUE(Slurp(BackupPath()) == oldMemo);
  const std::string packed = Slurp(MemoPath());
  EXPECT_LT(packed.size(), oldMemo.size()) << "the orphans and moved texts were dropped";
  // The new file holds exactly the copies: its next free block is its end.
  EXPECT_EQ(uint64_t{NextFree(packed)} * GetParam().blockSize, packed.size());
  EXPECT_EQ(Files(), (std::set<std::string>{"T.DBF", "T" + memo_.Extension(), "T.BKT"}));
  // A second pack of a packed file changes nothing but the backup.
  const std::string data = Slurp(DataPath());
  const std::string packedNow = Slurp(MemoPath());
  ASSERT_EQ(memo_.Pack(dataH_, &memoH_), 0);
  EXPECT_TRUE(Slurp(MemoPath()) == packedNow);
  EXPECT_TRUE(Slurp(DataPath()) == data);
  EXPECT_TRUE(Slurp(BackupPath()) == packedNow);
  // Reopened shared, writable, in the same variant.
  EXPECT_EQ(memo_.Flags(memoH_) & 3, 2);
  uint32_t block = 0;
  ASSERT_EQ(memo_.Put(memoH_, &block, "after the pack", false), 0);
  EXPECT_EQ(block, NextFree(packed));
  EXPECT_EQ(memo_.Get(memoH_, block), "after the pack");
  // The data file's numbers are right-aligned ten-character fields.
  ASSERT_EQ(XBDDRGET(dataH_, 1), 0);
  const std::string field = StoredField(dataH_, 1);
  EXPECT_EQ(field.size(), 10u);
  EXPECT_EQ(field.find_first_not_of(' '), 10u - std::to_string(std::stoul(field)).size());
}

TEST_P(MemoPack, TwoFieldsNamingOneMemoGetACopyEach) {
  Build({{Text(700, 1), std::nullopt}});
  ASSERT_EQ(XBDDRGET(dataH_, 1), 0);
  int32_t block = 0;
  ASSERT_EQ(XBDDFGET(dataH_, 1, &block), 0);
  ASSERT_EQ(XBDDFPUT(dataH_, 2, &block), 0);
  uint32_t r = 1;
  ASSERT_EQ(XBDDRPUT(dataH_, &r, XB_PUT_UPDATE), 0);
  ASSERT_EQ(memo_.Pack(dataH_, &memoH_), 0);
  ASSERT_EQ(XBDDRGET(dataH_, 1), 0);
  int32_t first = 0, second = 0;
  ASSERT_EQ(XBDDFGET(dataH_, 1, &first), 0);
  ASSERT_EQ(XBDDFGET(dataH_, 2, &second), 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(memo_.Get(memoH_, static_cast<uint32_t>(first)), Text(700, 1));
  EXPECT_EQ(memo_.Get(memoH_, static_cast<uint32_t>(second)), Text(700, 1));
}

TEST_P(MemoPack, NoMemoLeftGivesAnEmptyFileLikeANewOne) {
  Build({{std::nullopt, std::nullopt}, {Text(40, 1), std::nullopt}});
  // The only memo is unlinked: its record's field is blanked.
  ASSERT_EQ(XBDDRGET(dataH_, 2), 0);
  ASSERT_EQ(XBDDFPUTS(dataH_, 1, ""), 0);
  uint32_t r = 2;
  ASSERT_EQ(XBDDRPUT(dataH_, &r, XB_PUT_UPDATE), 0);
  ASSERT_EQ(memo_.Pack(dataH_, &memoH_), 0);
  ASSERT_EQ(memo_.Create(File("FRESH" + memo_.Extension())), 0);
  const std::string fresh = Slurp(File("FRESH" + memo_.Extension()));
  const std::string packed = Slurp(MemoPath());
  EXPECT_EQ(NextFree(packed), NextFree(fresh));
  EXPECT_LE(packed.size(), fresh.size() + GetParam().blockSize);
}

TEST_P(MemoPack, ReplacesAnOldBackupAndSkipsTakenTemporaryNames) {
  Build(StandardTexts());
  const std::string ext = memo_.Extension();
  for (const std::string& taken : {"0" + ext, "1" + ext, std::string("T.BKT")}) {
    std::ofstream(File(taken)) << taken;
  }
  const Contents before = Read(dataH_, memoH_);
  const std::string oldMemo = Slurp(MemoPath());
  ASSERT_EQ(memo_.Pack(dataH_, &memoH_), 0);
  EXPECT_EQ(Slurp(File("0" + ext)), "0" + ext);
  EXPECT_EQ(Slurp(File("1" + ext)), "1" + ext);
  EXPECT_TRUE(Slurp(BackupPath()) == oldMemo);
  EXPECT_EQ(Files(), (std::set<std::string>{"0" + ext, "1" + ext, "T.BKT", "T.DBF", "T" + ext}));
  EXPECT_EQ(Read(dataH_, memoH_), before);
}

TEST_P(MemoPack, ReadOnlyMemoFileIsRefused) {
  Build(StandardTexts());
  ASSERT_EQ(memo_.Close(memoH_), 0);
  ASSERT_EQ(memo_.Open(&memoH_, MemoPath(), XB_OPEN_READONLY), 0);
  const std::string oldMemo = Slurp(MemoPath());
  const std::string oldData = Slurp(DataPath());
  const XBHANDLE h = memoH_;
  EXPECT_EQ(memo_.Pack(dataH_, &memoH_), XB_E_READONLY);
  XBESCODE(0);
  EXPECT_EQ(memoH_, h);
  EXPECT_TRUE(Slurp(MemoPath()) == oldMemo);
  EXPECT_TRUE(Slurp(DataPath()) == oldData);
  EXPECT_EQ(Files(), (std::set<std::string>{"T.DBF", "T" + memo_.Extension()}));
}

TEST_P(MemoPack, WrongHandlesAndNullAreRefused) {
  Build(StandardTexts());
  XBHANDLE none = XB_NO_HANDLE;
  EXPECT_EQ(memo_.Pack(dataH_, &none), XB_E_HANDLE);
  XBESCODE(0);
  EXPECT_EQ(memo_.Pack(dataH_, nullptr), XB_E_NULL);
  XBESCODE(0);
  XBHANDLE dataAsMemo = dataH_;
  EXPECT_EQ(memo_.Pack(dataH_, &dataAsMemo), XB_E_HANDLE);
  XBESCODE(0);
  EXPECT_EQ(memo_.Pack(memoH_, &memoH_), XB_E_HANDLE);
  XBESCODE(0);
  EXPECT_EQ(Files(), (std::set<std::string>{"T.DBF", "T" + memo_.Extension()}));
}

TEST_P(MemoPack, ADamagedMemoStopsThePackBeforeAnythingChanges) {
  Build(StandardTexts());
  // Record 2 names a block far beyond the memo file.
  ASSERT_EQ(XBDDRGET(dataH_, 2), 0);
  const uint32_t beyond = 100000;
  ASSERT_EQ(XBDDFPUT(dataH_, 2, &beyond), 0);
  uint32_t r = 2;
  ASSERT_EQ(XBDDRPUT(dataH_, &r, XB_PUT_UPDATE), 0);
  const std::string oldMemo = Slurp(MemoPath());
  const std::string oldData = Slurp(DataPath());
  const XBHANDLE h = memoH_;
  EXPECT_EQ(memo_.Pack(dataH_, &memoH_), XB_E_SEEK);
  XBESCODE(0);
  EXPECT_EQ(memoH_, h);
  EXPECT_TRUE(Slurp(MemoPath()) == oldMemo);
  EXPECT_TRUE(Slurp(DataPath()) == oldData);
  EXPECT_EQ(Files(), (std::set<std::string>{"T.DBF", "T" + memo_.Extension()}));
  // The lock was given back: another record can still be locked.
  int16_t lockStatus = -1;
  EXPECT_EQ(XBDDLOCK(dataH_, XB_LOCK_FILE, &lockStatus), 0);
  EXPECT_EQ(lockStatus, 0);
  EXPECT_EQ(XBDDUNLOCK(dataH_, XB_LOCK_FILE, &lockStatus), 0);
}

TEST_P(MemoPack, RefusedWhileAnotherProgramHoldsARecordLock) {
  Build(StandardTexts());
  const std::string data = DataPath();
  const Layout layout = GetParam();
  const Contents before = Read(dataH_, memoH_);
  const std::string oldMemo = Slurp(MemoPath());
  {
    Peer holder;
    ASSERT_TRUE(holder.started());
    ASSERT_EQ(holder.Open(data, layout.dataVariant | XB_OPEN_SHARED).reply.status, 0);
    const auto locked = holder.RecordLock(2, XB_RLOCK_LOCK);
    ASSERT_TRUE(locked.ok);
    ASSERT_EQ(locked.reply.status, 0);
    ASSERT_EQ(locked.reply.lockStatus, 0);
    EXPECT_EQ(memo_.Pack(dataH_, &memoH_), XB_E_LOCKED);
    XBESCODE(0);
  }
  EXPECT_TRUE(Slurp(MemoPath()) == oldMemo);
  EXPECT_EQ(Files(), (std::set<std::string>{"T.DBF", "T" + memo_.Extension()}));
  // With the holder gone the pack goes through, and another program reads
  // the packed pair through its own handles.
  ASSERT_EQ(memo_.Pack(dataH_, &memoH_), 0);
  EXPECT_EQ(Read(dataH_, memoH_), before);
  const std::string expected = before[4].value();
  Peer reader;
  ASSERT_TRUE(reader.started());
  ASSERT_EQ(reader.Open(data, layout.dataVariant | XB_OPEN_SHARED).reply.status, 0);
  ASSERT_EQ(reader.MemoOpen(MemoPath(), layout.memoVariant).reply.status, 0);
  const auto read = reader.MemoRead(3, 1);
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(read.reply.status, 0);
  EXPECT_EQ(read.reply.lockStatus, static_cast<int16_t>(expected.size()));
  EXPECT_EQ(read.reply.value, TextDigest(expected));
}

// Texts are copied as stored, not as a NUL-terminated string: a text with a
// NUL inside keeps its bytes after the NUL, and a FoxPro entry keeps its
// type (0 here: a picture entry).
TEST_P(MemoPack, CopiesEntriesAsStoredWithNulBytesAndTheirType) {
  Build(StandardTexts());
  ASSERT_EQ(memo_.Close(memoH_), 0);
  memoH_ = XB_NO_HANDLE;
  const std::string text("ab\0cd\x8D\x0A\xFF", 8);
  const uint32_t size = GetParam().blockSize;
  std::string bytes = Slurp(MemoPath());
  const uint32_t block = static_cast<uint32_t>((bytes.size() + size - 1) / size);
  bytes.resize(size_t{block} * size, '\0');
  std::string entry;
  const auto be32 = [](uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 8), static_cast<char>(v)};
  };
  const auto le32 = [](uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
  };
  switch (GetParam().kind) {
    case Kind::PlainDbt:
      entry = text + "\x1A\x1A";
      bytes.replace(0, 4, le32(block + 1));
      break;
    case Kind::BlockDbt:
      entry = std::string("\xFF\xFF\x08\x00", 4) + le32(8 + 8) + text;
      bytes.replace(0, 4, le32(block + 1));
      break;
    case Kind::Fpt:
      entry = be32(0) + be32(8) + text;
      bytes.replace(0, 4, be32(block + 1));
      break;
  }
  bytes += entry;
  std::ofstream(MemoPath(), std::ios::binary | std::ios::trunc) << bytes;
  ASSERT_EQ(XBDDRGET(dataH_, 1), 0);
  ASSERT_EQ(XBDDFPUT(dataH_, 1, &block), 0);
  uint32_t r = 1;
  ASSERT_EQ(XBDDRPUT(dataH_, &r, XB_PUT_UPDATE), 0);
  ASSERT_EQ(memo_.Open(&memoH_, MemoPath(), XB_OPEN_SHARED), 0);
  ASSERT_EQ(memo_.Pack(dataH_, &memoH_), 0);
  ASSERT_EQ(XBDDRGET(dataH_, 1), 0);
  int32_t moved = 0;
  ASSERT_EQ(XBDDFGET(dataH_, 1, &moved), 0);
  ASSERT_GT(moved, 0);
  const std::string packed = Slurp(MemoPath());
  const size_t at = static_cast<size_t>(moved) * size;
  ASSERT_LE(at + entry.size(), packed.size());
  EXPECT_TRUE(packed.substr(at, entry.size()) == entry) << "the entry was not copied as stored";
  // The engine reads it up to the NUL, as before the pack.
  EXPECT_EQ(memo_.Get(memoH_, static_cast<uint32_t>(moved)), "ab");
}

// An entry the memo readers refuse stops the pack before anything changes:
// a block-size or FoxPro entry longer than the file, a plain text without
// its end marker.
TEST_P(MemoPack, AnEntryRunningPastTheEndStopsThePack) {
  Build(StandardTexts());
  ASSERT_EQ(memo_.Close(memoH_), 0);
  memoH_ = XB_NO_HANDLE;
  const uint32_t size = GetParam().blockSize;
  std::string bytes = Slurp(MemoPath());
  const uint32_t block = static_cast<uint32_t>((bytes.size() + size - 1) / size);
  bytes.resize(size_t{block} * size, '\0');
  XBSTATUS expected = XB_E_READ;
  switch (GetParam().kind) {
    case Kind::PlainDbt:
      bytes += std::string(700, 'x');  // no end marker before the end of the file
      bytes.replace(0, 4, std::string{static_cast<char>(block + 2), 0, 0, 0});
      expected = XB_E_MEMO_END;
      break;
    case Kind::BlockDbt:
      bytes += std::string("\xFF\xFF\x08\x00\xFF\xFF\xFF\x7F", 8) + "short";
      break;
    case Kind::Fpt:
      bytes += std::string("\0\0\0\x01\x7F\xFF\xFF\xF0", 8) + "short";
      bytes.replace(
          0, 4,
          std::string{0, 0, static_cast<char>((block + 1) >> 8), static_cast<char>(block + 1)});
      break;
  }
  std::ofstream(MemoPath(), std::ios::binary | std::ios::trunc) << bytes;
  ASSERT_EQ(XBDDRGET(dataH_, 2), 0);
  ASSERT_EQ(XBDDFPUT(dataH_, 2, &block), 0);
  uint32_t r = 2;
  ASSERT_EQ(XBDDRPUT(dataH_, &r, XB_PUT_UPDATE), 0);
  const std::string oldData = Slurp(DataPath());
  ASSERT_EQ(memo_.Open(&memoH_, MemoPath(), XB_OPEN_SHARED), 0);
  const XBHANDLE h = memoH_;
  EXPECT_EQ(memo_.Pack(dataH_, &memoH_), expected);
  XBESCODE(0);
  EXPECT_EQ(memoH_, h);
  EXPECT_TRUE(Slurp(MemoPath()) == bytes);
  EXPECT_TRUE(Slurp(DataPath()) == oldData);
  EXPECT_EQ(Files(), (std::set<std::string>{"T.DBF", "T" + memo_.Extension()}));
}

// Fails the n-th call of one kind of file operation, for n = 1, 2, ... until
// the pack no longer meets the failure. After every failure the pair in
// place is whole: either the old memo file with the old numbers or the new
// file with the new ones, every record shows its memo, no temporary file is
// left, and the handles work (the memo handle, when the failure came after
// it was closed, is the reopened file or 65535).
TEST_P(MemoPack, FailureAtEveryStepKeepsEveryMemo) {
  using kvp::fault::Op;
  const std::pair<Op, const char*> ops[] = {
      {Op::Write, "write"}, {Op::Create, "create"},     {Op::Open, "open"}, {Op::Rename, "rename"},
      {Op::Erase, "erase"}, {Op::Truncate, "truncate"}, {Op::Read, "read"}, {Op::Lock, "lock"},
  };
  const std::string temp = File("0" + memo_.Extension());
  // The pair a pack without failure gives, to tell the two whole states
  // apart from a mixed one.
  Build(StandardTexts(), {4});
  const Contents expected = Read(dataH_, memoH_);
  const std::string oldMemo = Slurp(MemoPath());
  const std::string oldData = Slurp(DataPath());
  ASSERT_EQ(memo_.Pack(dataH_, &memoH_), 0);
  const std::string newMemo = Slurp(MemoPath());
  const std::string newData = Slurp(DataPath());
  ASSERT_NE(newData, oldData);
  ASSERT_EQ(XBDDCLOSE(dataH_), 0);
  ASSERT_EQ(memo_.Close(memoH_), 0);
  dataH_ = memoH_ = XB_NO_HANDLE;

  for (const auto& [op, name] : ops) {
    int failures = 0;
    for (unsigned n = 1;; ++n) {
      SCOPED_TRACE(std::string("failing ") + name + " call " + std::to_string(n));
      for (const std::string& f : {DataPath(), MemoPath(), BackupPath()}) fs::remove(f);
      std::ofstream(DataPath(), std::ios::binary) << oldData;
      std::ofstream(MemoPath(), std::ios::binary) << oldMemo;
      ASSERT_EQ(XBDDOPENX(&dataH_, DataPath().c_str(), GetParam().dataVariant | XB_OPEN_SHARED), 0);
      ASSERT_EQ(memo_.Open(&memoH_, MemoPath(), XB_OPEN_SHARED), 0);
      kvp::fault::Reset();
      kvp::fault::Arm(op, n, op == Op::Lock ? kvp::ERROR_LOCK_VIOLATION : kvp::ERROR_DISK_FULL);
      const XBSTATUS s = memo_.Pack(dataH_, &memoH_);
      const bool met = kvp::fault::Calls(op) >= n;
      kvp::fault::Reset();
      if (s != 0) {
        ASSERT_TRUE(met) << "failed without an injected failure: " << s;
        ++failures;
        XBESCODE(0);
      }
      EXPECT_FALSE(fs::exists(temp)) << "temporary file left behind, status " << s;
      // Whichever pair is in place belongs together (the data file compared
      // without the date of the last update, which closing writes).
      const std::string memoNow = Slurp(MemoPath());
      const std::string dataNow = Slurp(DataPath());
      const bool oldPair = memoNow == oldMemo && dataNow.substr(4) == oldData.substr(4);
      const bool newPair = memoNow == newMemo && dataNow.substr(4) == newData.substr(4);
      EXPECT_TRUE(oldPair || newPair) << "status " << s;
      if (s == 0) {
        EXPECT_TRUE(newPair);
      }
      if (newPair) {
        EXPECT_TRUE(Slurp(BackupPath()) == oldMemo);
      }
      // Every record shows its memo through the handles (reopened by path
      // when the memo handle was lost), and both handles still work.
      if (memoH_ == XB_NO_HANDLE) {
        ASSERT_EQ(memo_.Open(&memoH_, MemoPath(), XB_OPEN_SHARED), 0);
      }
      EXPECT_EQ(Read(dataH_, memoH_), expected);
      if ((memo_.Flags(memoH_) & 1) == 0) {
        uint32_t block = 0;
        EXPECT_EQ(memo_.Put(memoH_, &block, "still usable", false), 0);
        EXPECT_EQ(memo_.Get(memoH_, block), "still usable");
      }
      ASSERT_EQ(memo_.Close(memoH_), 0);
      ASSERT_EQ(XBDDCLOSE(dataH_), 0);
      dataH_ = memoH_ = XB_NO_HANDLE;
      if (s == 0 && !met) break;
      ASSERT_LT(n, 300u) << "the pack never stops meeting the failure";
    }
    // Truncation is not among the pack's own steps in every layout.
    if (op != Op::Truncate) {
      EXPECT_GT(failures, 0) << name << " was never failed";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, MemoPack, ::testing::ValuesIn(kLayouts),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace kvtest

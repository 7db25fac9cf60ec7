// NDX files exchanged with an independent implementation, Free Pascal's TDbf
// (fp-units-db). The fixture tdbf_ndx_files (scripts/oracles/make_tdbf_ndx.sh)
// has TDbf write a 20,000-record data file with four NDX files kept current
// while appending, and TDbf's walk of each. Here our engine reads TDbf's files
// (walk, reverse walk, searches) and builds its own NDX files key by key over
// the same data file, which TDbf then walks. A missing fixture fails.
//
// TDbf orders the character keys of these dBASE III files by their bytes, as
// our default (asciisort 1) does, so the walks are compared entry by entry,
// keys and record numbers, in order; equal keys come in ascending record
// order in both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/ndx_support.h"

namespace kvtest {
namespace {

struct IndexCase {
  const char* file;        // TDbf's file name, without extension
  char kind;               // walk notation: C character, N numeric, S DTOS of a date
  const char* field;       // the data field the key comes from
  const char* expression;  // as stored in the header
  char typeLetter;         // for XBDNCREATE
  uint16_t keyLength;
  bool unique;
};

const IndexCase kCases[] = {
    {"tdbf_name", 'C', "NAME", "NAME", 'C', 10, false},
    {"tdbf_qty", 'N', "QTY", "QTY", 'N', 8, true},
    {"tdbf_amount", 'N', "AMOUNT", "AMOUNT", 'N', 8, false},
    {"tdbf_dtos", 'S', "BORN", "DTOS(BORN)", 'C', 8, false},
};

constexpr uint32_t kRecords = 20000;

std::string FixtureDir() {
  const char* dir = std::getenv("KV_TDBF_NDX_DIR");
  if (dir == nullptr) return "";
  return dir;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

double KeyDouble(const std::string& key) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= uint64_t{static_cast<uint8_t>(key[i])} << (8 * i);
  double d = 0;
  std::memcpy(&d, &bits, 8);
  return d;
}

// One walk line as TDbf writes it: hex of the key bytes for character keys,
// the number for numeric ones.
std::string WalkKey(const IndexCase& c, const std::string& key) {
  if (c.kind == 'N') {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", KeyDouble(key));
    return text;
  }
  return Hex(key);
}

struct Walk {
  std::vector<std::pair<std::string, uint32_t>> entries;
  std::string error;  // empty when the file ended with a matching END line
};

Walk ReadWalk(const std::string& path) {
  Walk walk;
  std::ifstream in(path);
  if (!in) {
    walk.error = "cannot read " + path;
    return walk;
  }
  std::string line;
  bool ended = false;
  while (std::getline(in, line)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      walk.error = "bad line: " + line;
      return walk;
    }
    const std::string key = line.substr(0, tab);
    const uint32_t number = static_cast<uint32_t>(std::stoul(line.substr(tab + 1)));
    if (key == "END") {
      if (number != walk.entries.size()) walk.error = "END count differs";
      ended = true;
      break;
    }
    walk.entries.push_back({key, number});
  }
  if (!ended && walk.error.empty()) walk.error = "no END line in " + path;
  return walk;
}

// Numeric keys are compared as numbers ("-1000" and "-1000.00" alike).
bool SameKey(const IndexCase& c, const std::string& ours, const std::string& theirs) {
  if (c.kind == 'N')
    return std::strtod(ours.c_str(), nullptr) == std::strtod(theirs.c_str(), nullptr);
  return ours == theirs;
}

void ExpectSameWalk(const IndexCase& c, const std::vector<NdxEntry>& ours, const Walk& theirs) {
  ASSERT_EQ(theirs.error, "");
  ASSERT_EQ(ours.size(), theirs.entries.size());
  for (size_t i = 0; i < ours.size(); ++i) {
    const std::string key = WalkKey(c, ours[i].key);
    ASSERT_TRUE(SameKey(c, key, theirs.entries[i].first))
        << "entry " << i << ": ours " << key << ", TDbf " << theirs.entries[i].first;
    ASSERT_EQ(ours[i].record, theirs.entries[i].second) << "entry " << i << " key " << key;
  }
}

class NdxTdbf : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    fixture_ = FixtureDir();
    ASSERT_FALSE(fixture_.empty()) << "KV_TDBF_NDX_DIR is not set: run through ctest, whose "
                                      "fixture tdbf_ndx_files writes TDbf's files";
    ASSERT_TRUE(std::filesystem::exists(fixture_ + "/COMPLETE"))
        << "TDbf's NDX files are missing in " << fixture_ << " (fixture tdbf_ndx_files failed?)";
  }
  std::string TdbfFile(const std::string& name) const { return fixture_ + "/" + name; }
  size_t KeyBytes(const IndexCase& c) const { return c.typeLetter == 'C' ? c.keyLength : 8; }

  // TDbf takes the key type from header byte 9 (it writes 'C' or 'N' there
  // itself) and, finding 0 there, walks a character index in a wrong order
  // after a few keys. Our header leaves bytes 8 to 11 zero as dBASE III does,
  // so TDbf is given a copy with the letter set; everything else is our file.
  std::string KeyTypeLetterForTdbf(const std::string& ndx, const IndexCase& c) {
    std::fstream file(ndx, std::ios::in | std::ios::out | std::ios::binary);
    char reserved[4] = {1, 1, 1, 1};
    file.seekg(8);
    file.read(reserved, 4);
    EXPECT_EQ(std::string(reserved, 4), std::string(4, '\0')) << "bytes 8 to 11 of our header";
    const std::string copy = ndx.substr(0, ndx.size() - 4) + "_t.ndx";
    std::filesystem::copy_file(ndx, copy);
    std::fstream patched(copy, std::ios::in | std::ios::out | std::ios::binary);
    patched.seekp(9);
    patched.put(c.typeLetter);
    return copy;
  }

  // TDbf's walk of an NDX file over a data file beside it.
  Walk WalkWithTdbf(const IndexCase& c, const std::string& dbf, const std::string& ndx) {
    const std::string out = ndx + ".walk";
    const std::string command = "'" + TdbfFile("tdbf-build/tdbf_ndx") + "' read '" + dbf + "' '" +
                                ndx + "' " + c.kind + " " + c.field + " '" + out + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    Walk failed;
    if (pipe == nullptr) {
      failed.error = "popen failed";
      return failed;
    }
    std::string messages;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) messages += buffer;
    const int status = pclose(pipe);
    if (status != 0) {
      failed.error = "tdbf_ndx read failed (" + std::to_string(status) + "): " + messages;
      return failed;
    }
    return ReadWalk(out);
  }

  std::string fixture_;
};

TEST_F(NdxTdbf, OurEngineReadsTdbfFilesInTdbfOrder) {
  for (const IndexCase& c : kCases) {
    SCOPED_TRACE(c.file);
    const std::string path = TdbfFile(std::string(c.file) + ".ndx");
    const Walk theirs = ReadWalk(TdbfFile(std::string(c.file) + ".walk"));
    ASSERT_EQ(theirs.error, "");
    ASSERT_EQ(theirs.entries.size(), kRecords);

    // The bytes on disk satisfy every invariant of the layout.
    const NdxCheckResult check = CheckNdxFile(path, {1, 0, true});
    ASSERT_EQ(check.error, "");
    EXPECT_EQ(check.unique, c.unique);
    EXPECT_EQ(check.keyLength, c.typeLetter == 'C' ? c.keyLength : 8);
    EXPECT_GT(check.depth, 1) << "20,000 keys need interior pages";

    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDNOPENX(&h, path.c_str(), XB_OPEN_READONLY), 0);
    XBNDXINFO info{};
    ASSERT_EQ(XBDNINFO(h, &info), 0);
    EXPECT_STREQ(info.expression, c.expression);
    EXPECT_EQ(+info.keyType, c.typeLetter == 'C' ? 'C' : 'N');
    EXPECT_EQ(+info.unique, c.unique ? 128 : 0);

    XBSTATUS last = 0;
    const auto forward = WalkForward(h, KeyBytes(c), &last);
    EXPECT_EQ(last, XB_KEY_EDGE);
    ExpectSameWalk(c, forward, theirs);
    auto backward = WalkBackward(h, KeyBytes(c), &last);
    EXPECT_EQ(last, XB_KEY_EDGE);
    std::reverse(backward.begin(), backward.end());
    ASSERT_EQ(backward.size(), forward.size());
    for (size_t i = 0; i < forward.size(); ++i) {
      ASSERT_EQ(backward[i].record, forward[i].record) << "entry " << i;
    }

    // Searches: by key the first of equal keys, exactly by key and record
    // number every sampled entry.
    std::vector<char> key(KeyBytes(c) + 1);
    for (size_t i = 0; i < forward.size(); i += 97) {
      size_t first = i;
      while (first > 0 && forward[first - 1].key == forward[i].key) --first;
      std::memcpy(key.data(), forward[i].key.data(), KeyBytes(c));
      key[KeyBytes(c)] = '\0';
      uint32_t r = 0;
      ASSERT_EQ(XBDNKFIND(h, key.data(), &r, 0), 0) << "entry " << i;
      EXPECT_EQ(r, forward[first].record) << "entry " << i;
      std::memcpy(key.data(), forward[i].key.data(), KeyBytes(c));
      r = forward[i].record;
      ASSERT_EQ(XBDNKFIND(h, key.data(), &r, XB_FIND_EXACT), 0) << "entry " << i;
      EXPECT_EQ(r, forward[i].record);
    }
    // Past the greatest key: code 4 and the last entry.
    std::string beyond = c.typeLetter == 'C' ? std::string(KeyBytes(c), '\x7e') : NumericKey(1e300);
    std::memcpy(key.data(), beyond.data(), KeyBytes(c));
    uint32_t r = 0;
    EXPECT_EQ(XBDNKFIND(h, key.data(), &r, 0), XB_KEY_NOT_FOUND);
    EXPECT_EQ(r, forward.back().record);
    ASSERT_EQ(XBDNCLOSE(h), 0);
  }
}

// Our engine builds each index key by key (XBDNKMAKE on every record, in a
// random order, some keys deleted again) over TDbf's data file; TDbf's walk of
// our file must be ours, and with nothing deleted it must be TDbf's walk of
// its own file.
TEST_F(NdxTdbf, TdbfReadsIndexesOurEngineBuilt) {
  const std::string dbf = File("tdbf_ndx.dbf");
  std::filesystem::copy_file(TdbfFile("tdbf_ndx.dbf"), dbf);
  std::mt19937 rng(20240611);
  for (const IndexCase& c : kCases) {
    for (const bool withDeletes : {false, true}) {
      SCOPED_TRACE(std::string(c.file) + (withDeletes ? " with deletes" : ""));
      const std::string ndx =
          File(std::string("ours_") + c.file + (withDeletes ? "_d" : "") + ".ndx");
      const uint16_t letter = static_cast<uint16_t>(c.typeLetter | (c.unique ? XB_NDX_UNIQUE : 0));
      ASSERT_EQ(XBDNCREATE(ndx.c_str(), letter, c.expression, c.keyLength), 0);
      XBHANDLE data = XB_NO_HANDLE;
      XBHANDLE h = XB_NO_HANDLE;
      ASSERT_EQ(XBDDOPENX(&data, dbf.c_str(), XB_OPEN_READONLY), 0);
      ASSERT_EQ(XBDNOPENX(&h, ndx.c_str(), 0), 0);
      std::vector<uint32_t> order(kRecords);
      for (uint32_t i = 0; i < kRecords; ++i) order[i] = i + 1;
      std::shuffle(order.begin(), order.end(), rng);
      std::vector<std::pair<std::string, uint32_t>> added;
      for (uint32_t record : order) {
        ASSERT_EQ(XBDDRGET(data, record), 0);
        void* made = nullptr;
        ASSERT_EQ(XBDNKMAKE(data, h, &made), 0);
        const std::string key(static_cast<const char*>(made), KeyBytes(c));
        XBMFREE(made);
        ASSERT_EQ(XBDNKADD(h, key.c_str(), record), 0) << "record " << record;
        added.push_back({key, record});
      }
      if (withDeletes) {
        // Every third key goes again: merges, freed pages and the compaction
        // at close all run before TDbf sees the file.
        for (size_t i = 0; i < added.size(); i += 3) {
          ASSERT_EQ(XBDNKDEL(h, added[i].first.c_str(), added[i].second), 0) << "entry " << i;
        }
      }
      XBSTATUS last = 0;
      const auto ours = WalkForward(h, KeyBytes(c), &last);
      ASSERT_EQ(XBDNCLOSE(h), 0);
      ASSERT_EQ(XBDDCLOSE(data), 0);
      ASSERT_EQ(ours.size(), withDeletes ? kRecords - (kRecords + 2) / 3 : kRecords);
      ASSERT_EQ(CheckNdxFile(ndx, {1, 0, true}).error, "");

      const Walk theirs = WalkWithTdbf(c, dbf, KeyTypeLetterForTdbf(ndx, c));
      ExpectSameWalk(c, ours, theirs);
      if (!withDeletes) {
        const Walk own = ReadWalk(TdbfFile(std::string(c.file) + ".walk"));
        ASSERT_EQ(own.error, "");
        ASSERT_EQ(own.entries, theirs.entries) << "TDbf walks our file and its own differently";
      }
    }
  }
}

}  // namespace
}  // namespace kvtest

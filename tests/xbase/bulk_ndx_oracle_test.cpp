// Bulk-built files read by independent readers: Perl's DBD-XBase
// (XBase::Index, Debian package libdbd-xbase-perl) walks NDX files built by
// XBDNINDEX and an MDX tag built by XBDMTINDEX in our order; Free Pascal's
// TDbf (fixture tdbf_ndx_files) walks NDX files built by XBDNINDEX over its
// own data file exactly as it walks the indexes it kept itself. A missing
// reader or fixture fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/support/command_output.h"
#include "tests/xbase/bulk_fixture.h"
#include "tests/xbase/mdx_support.h"
#include "tests/xbase/ndx_support.h"

namespace kvtest {
namespace {

std::vector<std::string> RunPerl(const std::string& script, const std::string& args) {
  const std::string command = "/usr/bin/perl -e '" + script + "' " + args + " 2>&1";
  return CommandLines(command);
}

double LeDouble(const std::string& key) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i)
    bits = (bits << 8) | static_cast<uint8_t>(key[static_cast<size_t>(i)]);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

std::string NumberLine(double d, uint32_t r) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g\t%u", d, r);
  return text;
}

class BulkNdxOracle : public BulkTest {
 protected:
  XBHANDLE People(uint32_t count) {
    const std::string path = File("people.dbf");
    WriteDataFile(path, {{"NAME", 'C', 10}, {"AMOUNT", 'N', 12, 2}}, count, [](uint32_t r) {
      const uint32_t mix = r * 2654435761u;
      char name[11];
      std::snprintf(name, sizeof name, "N%06u", mix % 7001u);
      const double amount = static_cast<double>(static_cast<int32_t>(mix % 200001u) - 100000) / 4;
      return std::vector<std::string>{name, NumberText(amount, 12, 2)};
    });
    return OpenData(path);
  }
};

TEST_F(BulkNdxOracle, PerlWalksBulkBuiltNdxFiles) {
  XBHANDLE data = People(20000);
  for (const bool numeric : {false, true}) {
    const std::string ndx = File(numeric ? "amount.ndx" : "name.ndx");
    ASSERT_EQ(XBDNINDEX(data, ndx.c_str(), numeric ? 'N' : 'C', numeric ? "AMOUNT" : "NAME", 10),
              0);
    NdxCheckOptions options;
    options.compacted = true;
    const NdxCheckResult ours = CheckNdxFile(ndx, options);
    ASSERT_EQ(ours.error, "");
    ASSERT_EQ(ours.entries.size(), 20000u);
    const std::string script =
        "use XBase::Index; my $i = XBase::Index->new($ARGV[0]) or die XBase::Index->errstr;"
        "$i->prepare_select; while (my ($k, $v) = $i->fetch) {" +
        std::string(numeric ? "printf(\"%.17g\\t%d\\n\", $k, $v);"
                            : "printf(\"%s\\t%d\\n\", unpack(\"H*\", $k), $v);") +
        "}";
    const auto theirs = RunPerl(script, "'" + ndx + "'");
    ASSERT_EQ(theirs.size(), ours.entries.size()) << (theirs.empty() ? "" : theirs.back());
    for (size_t i = 0; i < theirs.size(); ++i) {
      const auto& e = ours.entries[i];
      const std::string expected = numeric ? NumberLine(LeDouble(e.key), e.record)
                                           : Hex(e.key) + "\t" + std::to_string(e.record);
      ASSERT_EQ(theirs[i], expected) << "entry " << i;
    }
  }
}

TEST_F(BulkNdxOracle, PerlWalksABulkBuiltMdxTag) {
  XBHANDLE data = People(20000);
  const std::string mdx = File("people.mdx");
  ASSERT_EQ(XBDMCREATE(mdx.c_str(), 2), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDMOPENX(&h, mdx.c_str(), 0), 0);
  ASSERT_EQ(XBDMTINDEX(data, h, "NAME", 'C', "NAME", 10), 0);
  ASSERT_EQ(XBDMCLOSE(h), 0);
  const MdxCheckResult ours = CheckMdxFile(mdx, MdxCheckOptions{});
  ASSERT_EQ(ours.error, "");
  ASSERT_EQ(ours.tags.size(), 1u);
  const auto& entries = ours.tags[0].entries;
  ASSERT_EQ(entries.size(), 20000u);
  const std::string script =
      "use XBase::Index; my $i = XBase::Index->new($ARGV[0], \"tag\" => $ARGV[1])"
      " or die XBase::Index->errstr; $i->prepare_select;"
      "while (my ($k, $v) = $i->fetch) { printf(\"%s\\t%d\\n\", unpack(\"H*\", $k), $v); }";
  const auto theirs = RunPerl(script, "'" + mdx + "' NAME");
  ASSERT_EQ(theirs.size(), entries.size()) << (theirs.empty() ? "" : theirs.back());
  for (size_t i = 0; i < theirs.size(); ++i) {
    ASSERT_EQ(theirs[i], Hex(entries[i].key) + "\t" + std::to_string(entries[i].record))
        << "entry " << i;
  }
}

// TDbf's side: its data file and its own walks come from the fixture.
struct TdbfCase {
  const char* file;
  char kind;
  const char* field;
  const char* expression;
  uint16_t typeLetter;
  uint16_t keyLength;
};

const TdbfCase kTdbfCases[] = {
    {"tdbf_name", 'C', "NAME", "NAME", 'C', 10},
    {"tdbf_qty", 'N', "QTY", "QTY", 'N' | XB_NDX_UNIQUE, 8},
    {"tdbf_amount", 'N', "AMOUNT", "AMOUNT", 'N', 8},
    {"tdbf_dtos", 'S', "BORN", "DTOS(BORN)", 'C', 8},
};

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// Numeric keys as numbers: "-1000" and "-1000.00" alike.
bool SameLine(char kind, const std::string& a, const std::string& b) {
  if (kind != 'N') return a == b;
  const size_t ta = a.find('\t');
  const size_t tb = b.find('\t');
  if (ta == std::string::npos || tb == std::string::npos) return a == b;
  return std::strtod(a.c_str(), nullptr) == std::strtod(b.c_str(), nullptr) &&
         a.substr(ta) == b.substr(tb);
}

class BulkNdxTdbf : public BulkTest {};

TEST_F(BulkNdxTdbf, TdbfWalksBulkBuiltIndexesAsItsOwn) {
  const char* fixtureDir = std::getenv("KV_TDBF_NDX_DIR");
  ASSERT_NE(fixtureDir, nullptr) << "KV_TDBF_NDX_DIR is not set: run through ctest, whose "
                                    "fixture tdbf_ndx_files writes TDbf's files";
  const std::string fixture = fixtureDir;
  ASSERT_TRUE(std::filesystem::exists(fixture + "/COMPLETE"))
      << "TDbf's NDX files are missing in " << fixture;
  const std::string dbf = File("tdbf_ndx.dbf");
  std::filesystem::copy_file(fixture + "/tdbf_ndx.dbf", dbf);
  XBHANDLE data = OpenData(dbf);
  for (const TdbfCase& c : kTdbfCases) {
    SCOPED_TRACE(c.file);
    const std::string ndx = File(std::string("bulk_") + c.file + ".ndx");
    ASSERT_EQ(XBDNINDEX(data, ndx.c_str(), c.typeLetter, c.expression, c.keyLength), 0);
    NdxCheckOptions options;
    options.compacted = true;
    ASSERT_EQ(CheckNdxFile(ndx, options).error, "");
    // TDbf takes the key type from header byte 9, which dBASE III leaves 0:
    // it reads a copy with the letter set.
    const std::string copy = ndx.substr(0, ndx.size() - 4) + "_t.ndx";
    std::filesystem::copy_file(ndx, copy);
    {
      std::fstream patched(copy, std::ios::in | std::ios::out | std::ios::binary);
      patched.seekp(9);
      patched.put(static_cast<char>(c.typeLetter & 0x7F));
    }
    const std::string out = copy + ".walk";
    const std::string command = "'" + fixture + "/tdbf-build/tdbf_ndx' read '" + dbf + "' '" +
                                copy + "' " + c.kind + " " + c.field + " '" + out + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const auto theirs = ReadLines(out);
    const auto reference = ReadLines(fixture + "/" + c.file + ".walk");
    ASSERT_GT(reference.size(), 20000u);
    ASSERT_EQ(theirs.size(), reference.size());
    for (size_t i = 0; i < theirs.size(); ++i) {
      ASSERT_TRUE(SameLine(c.kind, theirs[i], reference[i]))
          << "line " << i << ": " << theirs[i] << " vs TDbf's own " << reference[i];
    }
  }
}

}  // namespace
}  // namespace kvtest

// The suites that check, through the C library, the bytes a call leaves in a
// file the engine still holds unshared (std::ifstream, the independent index
// checkers) get the POSIX layer's answer on Windows too: the test's own
// reads are admitted (kvp::AdmitOutsideReaders). Every other suite, the lock
// and share-mode ones above all, keeps Windows' full exclusion.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/kernel/files.h"

namespace {

const std::set<std::string>& ContentSuites() {
  static const std::set<std::string> suites = {
      "DbfPack",       "DbfPut",         "DbfRecord",  "IdxEdge",       "IdxHostile",
      "IdxRandom",     "IdxRandomLarge", "MdxEdge",    "MdxFailure",    "MdxHostile",
      "MdxRandomTest", "MemoDbt",        "MemoFpt",    "MemoHostile",   "MemoInvariants",
      "MemoRandom",    "NdxEdge",        "NdxFailure", "NdxHostile",    "NdxRandom",
      "NtxEdge",       "NtxHostile",     "NtxRandom",  "NtxRandomDeep", "NtxTree",
      "StoredOrder"};
  return suites;
}

class AdmitReadersInContentSuites : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& test) override {
    // A parameterized suite is named "Instance/Suite".
    std::string suite = test.test_suite_name();
    suite = suite.substr(suite.rfind('/') + 1);
    kvp::AdmitOutsideReaders(ContentSuites().count(suite) != 0);
  }
  void OnTestEnd(const ::testing::TestInfo&) override { kvp::AdmitOutsideReaders(false); }
};

[[maybe_unused]] const bool gRegistered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new AdmitReadersInContentSuites);
  return true;
}();

}  // namespace

// What the ODBC tests share: a loaded binding, connections by data source,
// statements run to their rows, and the texts handed out in global blocks.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kv/odbc.h"
#include "platform/kernel/memory.h"

namespace odbctest {

// The project's own ODBC configuration, written by the ctest fixture; the
// system's files are never read.
inline void UseProjectConfiguration() {
  ::setenv("ODBCSYSINI", KV_ODBC_DIR, 1);
  ::setenv("ODBCINI", KV_ODBC_DIR "/odbc.ini", 1);
}

// Takes a text handed out by the library and frees its block.
inline std::string TakeText(char* text) {
  if (text == nullptr) return "<null>";
  std::string copy = text;
  const kvp::HGLOBAL block = kvp::GlobalHandle(text);
  EXPECT_NE(block, 0u) << "a text that is no global block";
  kvp::GlobalUnlock(block);
  kvp::GlobalFree(block);
  return copy;
}

// A memo block: a 32-bit length and its bytes.
inline std::vector<unsigned char> MemoBlock(const std::string& bytes) {
  std::vector<unsigned char> block(4 + bytes.size() + 1);
  const int32_t length = static_cast<int32_t>(bytes.size());
  std::memcpy(block.data(), &length, 4);
  std::memcpy(block.data() + 4, bytes.data(), bytes.size());
  return block;
}

// A memo table for up to 8 blocks.
struct MemoTable {
#pragma pack(push, 1)
  struct {
    int16_t count;
    const OdbcMemoBlock* memos[8];
  } table{};
#pragma pack(pop)
  void Add(const std::vector<unsigned char>* block) {
    table.memos[table.count++] =
        block == nullptr ? nullptr : reinterpret_cast<const OdbcMemoBlock*>(block->data());
  }
  const OdbcMemoTable* Get() const {
    return reinterpret_cast<const OdbcMemoTable*>(&table);
  }
};

// The bytes of a memo block from OD_GetLongData, checked against its header.
inline std::string LongData(unsigned char* memo) {
  if (memo == nullptr) return "<null>";
  EXPECT_EQ(std::memcmp(memo, "BI5", 4), 0);
  const uint32_t length =
      memo[4] | memo[5] << 8 | memo[6] << 16 | static_cast<uint32_t>(memo[7]) << 24;
  std::string bytes(reinterpret_cast<char*>(memo) + kOdbcLongDataHeader, length);
  const kvp::HGLOBAL block = kvp::GlobalHandle(memo);
  EXPECT_NE(block, 0u);
  EXPECT_GE(kvp::GlobalSize(block), kOdbcLongDataHeader + length);
  kvp::GlobalUnlock(block);
  kvp::GlobalFree(block);
  return bytes;
}

// Compares two byte strings and tells only where they part, so that a
// failure with a megabyte of data stays readable.
inline ::testing::AssertionResult SameBytes(const std::string& got, const std::string& expected) {
  if (got == expected) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
  auto around = [at](const std::string& s) {
    std::string shown;
    for (size_t i = at; i < s.size() && i < at + 16; ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02X ", static_cast<unsigned char>(s[i]));
      shown += hex;
    }
    return shown;
  };
  return ::testing::AssertionFailure()
         << "got " << got.size() << " bytes, expected " << expected.size() << "; they part at "
         << at << ": got [" << around(got) << "] expected [" << around(expected) << "]"
         << (got.size() < 64 ? " got \"" + got + "\"" : "");
}

inline std::string Pattern(size_t n) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((7 * i + 3) & 0xFF);
  return bytes;
}

// Every byte 0x20..0xFF once: Windows-1252 text.
inline std::string Cp1252Text() {
  std::string text;
  for (int c = 0x20; c <= 0xFF; ++c) text += static_cast<char>(c);
  return text;
}

inline ConnectionInfo Info(const char* dsn, const char* user = "", const char* password = "",
                           const char* database = "", int16_t mode = kOdbcConnectStringMode) {
  ConnectionInfo info{};
  std::snprintf(info.dataSource, sizeof info.dataSource, "%s", dsn);
  std::snprintf(info.user, sizeof info.user, "%s", user);
  std::snprintf(info.password, sizeof info.password, "%s", password);
  std::snprintf(info.database, sizeof info.database, "%s", database);
  info.mode = mode;
  return info;
}

// A loaded binding and one connection, released at the end of the test.
class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    UseProjectConfiguration();
    blocksBefore_ = kvp::GlobalLiveBlocks();
    int32_t error = 0;
    ASSERT_EQ(OD_bChargeODBC(&odbc, &error), 1) << "error " << error;
  }
  void TearDown() override {
    if (connection != nullptr) {
      EXPECT_TRUE(OD_Disconnect(odbc, connection) >= 0);
    }
    EXPECT_EQ(OD_bDechargeODBC(&odbc), 1);
    EXPECT_EQ(kvp::GlobalLiveBlocks(), blocksBefore_) << "global blocks left behind";
  }
  int16_t Connect(const ConnectionInfo& info) { return OD_ConnecteODBC(odbc, &info, &connection); }
  std::string State(void* statement = nullptr) {
    char state[kOdbcStateSize] = {};
    char message[kOdbcMessageSize] = {};
    EXPECT_EQ(OD_bInfoGene(odbc, connection, statement, state, message), 1);
    lastMessage = message;
    return state;
  }
  // Runs a statement that returns no rows; fails the test on an error.
  void Run(const std::string& sql, const OdbcMemoTable* memos = nullptr) {
    std::string text = sql;
    void* statement = nullptr;
    const int16_t code = OD_ExecDirect(odbc, connection, &statement, text.data(), memos);
    EXPECT_TRUE(code == 0 || code == 1 || code == 100)
        << sql << ": code " << code << " state " << State(statement) << " " << lastMessage;
    if (statement != nullptr) OD_LibRequete(odbc, statement);
  }
  // The rows of a query as OD_ValLineComplete gives them.
  std::vector<std::string> Lines(const std::string& sql, const char* separator = "|") {
    std::vector<std::string> lines;
    std::string text = sql;
    void* statement = nullptr;
    int16_t code = OD_ExecDirect(odbc, connection, &statement, text.data(), nullptr);
    EXPECT_TRUE(code == 0 || code == 1) << sql << ": " << State(statement) << " " << lastMessage;
    int16_t columns = 0;
    int16_t error = 0;
    std::vector<char> line(kOdbcLineSize);
    while ((code = OD_Fetch(odbc, statement, &error)) == 0 || code == 1) {
      OD_ValLineComplete(odbc, statement, separator, line.data(), &error, &columns);
      EXPECT_EQ(error, 0);
      lines.emplace_back(line.data());
    }
    EXPECT_EQ(code, 100);
    OD_LibRequete(odbc, statement);
    return lines;
  }
  // Column 1 of the first row read with OD_GetLongData.
  std::string Long(const std::string& sql) {
    std::string text = sql;
    void* statement = nullptr;
    EXPECT_GE(OD_ExecDirect(odbc, connection, &statement, text.data(), nullptr), 0) << sql;
    int16_t error = 0;
    EXPECT_EQ(OD_Fetch(odbc, statement, &error), 0) << sql << State(statement) << lastMessage;
    unsigned char* memo = nullptr;
    const int16_t code = OD_GetLongData(odbc, statement, 1, &memo);
    EXPECT_TRUE(code == 0 || code == 1)
        << sql << ": " << code << " " << State(statement) << lastMessage;
    OD_LibRequete(odbc, statement);
    return LongData(memo);
  }

  OdbcBinding* odbc = nullptr;
  void* connection = nullptr;
  std::string lastMessage;

 private:
  size_t blocksBefore_ = 0;
};

}  // namespace odbctest

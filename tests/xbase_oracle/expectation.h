// What an independent tool wrote and read: the NAME.expect files made by
// scripts/oracles (format described in scripts/oracles/expect_format.py).
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kvtest {

struct OracleField {
  std::string name;  // upper case
  char type = 0;
  int length = 0;
  int decimals = 0;
};

// One field as a tool reads it; `null` for a blank value (\N).
struct OracleValue {
  bool null = false;
  std::string bytes;  // unescaped
};

struct OracleRecord {
  bool deleted = false;
  std::vector<OracleValue> values;
};

// The records as one tool reads them. `raw` readings hold the stored bytes
// of each field, the others the tool's parsed values.
struct OracleReading {
  std::string reader;
  bool raw = false;
  std::vector<OracleRecord> records;
};

struct Expectation {
  std::filesystem::path dataFile;
  std::string tool;
  std::string memo;  // none, dbt3, dbt4, fpt
  uint8_t version = 0;
  int afterVersion = 0;  // open status once the version byte is accepted
  std::optional<std::string> lastUpdate;
  std::vector<OracleField> fields;
  std::optional<uint32_t> count;  // absent for files the engine refuses
  std::vector<OracleReading> readings;

  const OracleReading* RawReading() const;
  std::vector<const OracleReading*> ValueReadings() const;
};

// Reads DIR/NAME.expect; throws std::runtime_error naming the line on any
// malformed item, a reading whose record or value count is wrong included.
Expectation LoadExpectation(const std::filesystem::path& file);

// Turns \\, \xHH and plain characters back into bytes.
std::string Unescape(const std::string& text);

}  // namespace kvtest

#include "tests/xbase_oracle/expectation.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kvtest {
namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    parts.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return parts;
    start = tab + 1;
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

[[noreturn]] void Malformed(const std::filesystem::path& file, int line, const std::string& why) {
  std::ostringstream out;
  out << file.string() << ":" << line << ": " << why;
  throw std::runtime_error(out.str());
}

}  // namespace

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '\\') {
      out.push_back('\\');
      ++i;
    } else if (i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
               HexDigit(text[i + 3]) >= 0) {
      out.push_back(static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3])));
      i += 3;
    } else {
      throw std::runtime_error("bad escape in \"" + text + "\"");
    }
  }
  return out;
}

const OracleReading* Expectation::RawReading() const {
  for (const auto& reading : readings)
    if (reading.raw) return &reading;
  return nullptr;
}

std::vector<const OracleReading*> Expectation::ValueReadings() const {
  std::vector<const OracleReading*> out;
  for (const auto& reading : readings)
    if (!reading.raw) out.push_back(&reading);
  return out;
}

Expectation LoadExpectation(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  Expectation exp;
  std::string line;
  int number = 0;
  bool ended = false;
  while (std::getline(in, line)) {
    ++number;
    auto parts = SplitTabs(line);
    const std::string& key = parts[0];
    auto need = [&](size_t n) {
      if (parts.size() != n) Malformed(file, number, "expected " + std::to_string(n) + " items");
    };
    if (ended) Malformed(file, number, "text after 'end'");
    if (key == "kv-oracle-expect") {
      need(2);
      if (parts[1] != "1") Malformed(file, number, "unknown format version");
    } else if (key == "file") {
      need(2);
      exp.dataFile = file.parent_path() / parts[1];
    } else if (key == "tool") {
      need(2);
      exp.tool = parts[1];
    } else if (key == "memo") {
      need(2);
      exp.memo = parts[1];
    } else if (key == "version") {
      need(2);
      exp.version = static_cast<uint8_t>(std::stoul(parts[1], nullptr, 16));
    } else if (key == "after_version") {
      need(2);
      exp.afterVersion = std::stoi(parts[1]);
    } else if (key == "lud") {
      need(2);
      exp.lastUpdate = parts[1];
    } else if (key == "field") {
      need(5);
      if (parts[2].size() != 1) Malformed(file, number, "type must be one character");
      exp.fields.push_back({parts[1], parts[2][0], std::stoi(parts[3]), std::stoi(parts[4])});
    } else if (key == "count") {
      need(2);
      exp.count = static_cast<uint32_t>(std::stoul(parts[1]));
    } else if (key == "reader" || key == "raw") {
      need(2);
      exp.readings.push_back({parts[1], key == "raw", {}});
    } else if (key == "rec") {
      if (exp.readings.empty()) Malformed(file, number, "record before any reader");
      if (parts.size() != exp.fields.size() + 2) Malformed(file, number, "wrong value count");
      OracleRecord record;
      record.deleted = parts[1] == "1";
      for (size_t i = 2; i < parts.size(); ++i) {
        OracleValue value;
        if (parts[i] == "\\N")
          value.null = true;
        else
          value.bytes = Unescape(parts[i]);
        record.values.push_back(std::move(value));
      }
      exp.readings.back().records.push_back(std::move(record));
    } else if (key == "end") {
      ended = true;
    } else {
      Malformed(file, number, "unknown item '" + key + "'");
    }
  }
  if (!ended) Malformed(file, number, "no 'end': the file was cut");
  for (const auto& reading : exp.readings)
    if (!exp.count || reading.records.size() != *exp.count)
      Malformed(file, number, reading.reader + " reads another number of records than the count");
  return exp;
}

}  // namespace kvtest

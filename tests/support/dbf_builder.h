// Builds data files byte by byte for tests: every number is written
// little-endian by hand, and every part of the layout can be overridden to
// produce what real tools and damaged disks leave behind.
#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kvtest {

inline void PutLe16(std::string& bytes, size_t at, uint16_t value) {
  bytes.at(at) = static_cast<char>(value & 0xFF);
  bytes.at(at + 1) = static_cast<char>(value >> 8);
}

inline void PutLe32(std::string& bytes, size_t at, uint32_t value) {
  PutLe16(bytes, at, static_cast<uint16_t>(value & 0xFFFF));
  PutLe16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

struct FieldSpec {
  std::string name;  // name bytes as stored: up to 11 (11 leaves no NUL)
  char type = 'C';
  uint8_t length = 1;
  uint8_t decimals = 0;                  // for 'C' the high byte of the length
  std::array<uint8_t, 4> reserved12{};   // descriptor bytes 12..15
  std::array<uint8_t, 14> reserved18{};  // descriptor bytes 18..31

  int StoredLength() const { return type == 'C' ? length + 256 * decimals : length; }
};

class DbfBuilder {
 public:
  DbfBuilder& Version(uint8_t version) {
    version_ = version;
    return *this;
  }
  DbfBuilder& Field(FieldSpec field) {
    fields_.push_back(std::move(field));
    return *this;
  }
  DbfBuilder& Field(std::string name, char type, uint8_t length, uint8_t decimals = 0) {
    FieldSpec f;
    f.name = std::move(name);
    f.type = type;
    f.length = length;
    f.decimals = decimals;
    return Field(std::move(f));
  }
  // One record: the fields' stored bytes, after the deletion flag.
  DbfBuilder& Record(std::string body, char flag = ' ') {
    records_.push_back(flag + std::move(body));
    return *this;
  }
  // One record from each field's stored text, padded with blanks to the
  // field's length (missing values are blank).
  DbfBuilder& Row(const std::vector<std::string>& values, bool deleted = false) {
    std::string body;
    for (size_t i = 0; i < fields_.size(); ++i) {
      std::string v = i < values.size() ? values[i] : std::string();
      v.resize(static_cast<size_t>(fields_[i].StoredLength()), ' ');
      body += v;
    }
    return Record(std::move(body), deleted ? '*' : ' ');
  }
  // The date of the last update (years since 1900, month, day).
  DbfBuilder& Date(uint8_t yearsSince1900, uint8_t month, uint8_t day) {
    return HeaderByte(1, yearsSince1900).HeaderByte(2, month).HeaderByte(3, day);
  }
  DbfBuilder& RecordCount(uint32_t count) {
    count_ = count;
    hasCount_ = true;
    return *this;
  }
  DbfBuilder& HeaderLength(uint16_t length) {
    headerLength_ = length;
    hasHeaderLength_ = true;
    return *this;
  }
  DbfBuilder& RecordLength(uint16_t length) {
    recordLength_ = length;
    hasRecordLength_ = true;
    return *this;
  }
  // The terminator as a whole 32-byte slot (0x0D then zeros).
  DbfBuilder& TerminatorBlock() {
    terminatorBlock_ = true;
    return *this;
  }
  DbfBuilder& NoEndByte() {
    endByte_ = false;
    return *this;
  }
  // Bytes after the end byte (or after the last record without one).
  DbfBuilder& Tail(std::string bytes) {
    tail_ = std::move(bytes);
    return *this;
  }
  // Sets one header byte last of all (reserved areas, flags, dates).
  DbfBuilder& HeaderByte(size_t offset, uint8_t value) {
    headerBytes_.emplace_back(offset, value);
    return *this;
  }

  uint16_t NaturalRecordLength() const {
    int length = 1;
    for (const auto& f : fields_) length += f.StoredLength();
    return static_cast<uint16_t>(length);
  }
  uint16_t NaturalHeaderLength() const {
    size_t n = fields_.size();
    return static_cast<uint16_t>(terminatorBlock_ ? 32 * (n + 2) : 32 * n + 33);
  }

  std::string Bytes() const {
    std::string out(32, '\0');
    out[0] = static_cast<char>(version_);
    out[1] = 124;  // last update 2024-01-15
    out[2] = 1;
    out[3] = 15;
    PutLe32(out, 4, hasCount_ ? count_ : static_cast<uint32_t>(records_.size()));
    PutLe16(out, 8, hasHeaderLength_ ? headerLength_ : NaturalHeaderLength());
    PutLe16(out, 10, hasRecordLength_ ? recordLength_ : NaturalRecordLength());
    for (const auto& [offset, value] : headerBytes_) out.at(offset) = static_cast<char>(value);
    for (const auto& f : fields_) {
      if (f.name.size() > 11) throw std::logic_error("a stored name has at most 11 bytes");
      std::string d(32, '\0');
      d.replace(0, f.name.size(), f.name);
      d[11] = f.type;
      for (size_t i = 0; i < 4; ++i) d[12 + i] = static_cast<char>(f.reserved12[i]);
      d[16] = static_cast<char>(f.length);
      d[17] = static_cast<char>(f.decimals);
      for (size_t i = 0; i < 14; ++i) d[18 + i] = static_cast<char>(f.reserved18[i]);
      out += d;
    }
    if (terminatorBlock_) {
      out += '\x0D';
      out += std::string(31, '\0');
    } else {
      out += '\x0D';
    }
    for (const auto& r : records_) out += r;
    if (endByte_) out += '\x1A';
    out += tail_;
    return out;
  }

  std::filesystem::path WriteTo(const std::filesystem::path& file) const {
    WriteFile(file, Bytes());
    return file;
  }

  static void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
  }

 private:
  uint8_t version_ = 0x03;
  std::vector<FieldSpec> fields_;
  std::vector<std::string> records_;
  uint32_t count_ = 0;
  bool hasCount_ = false;
  uint16_t headerLength_ = 0;
  bool hasHeaderLength_ = false;
  uint16_t recordLength_ = 0;
  bool hasRecordLength_ = false;
  bool terminatorBlock_ = false;
  bool endByte_ = true;
  std::string tail_;
  std::vector<std::pair<size_t, uint8_t>> headerBytes_;
};

}  // namespace kvtest

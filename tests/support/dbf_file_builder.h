// Builds data-file bytes for tests, field by field, with the layout written
// out explicitly (little-endian numbers), so that tests can make well-formed
// files and then damage exactly the byte they are about.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace kvtest {

struct FieldSpec {
  std::string name;
  char type;
  uint8_t length;
  uint8_t decimals;  // for 'C' the high byte of the length
};

class DbfFileBuilder {
 public:
  explicit DbfFileBuilder(uint8_t version = 0x03) : version_(version) {}

  DbfFileBuilder& Field(const std::string& name, char type, uint8_t length, uint8_t decimals = 0) {
    fields_.push_back({name, type, length, decimals});
    return *this;
  }
  // The values of one record, each already in its stored form (padded by
  // the builder to the field's length).
  DbfFileBuilder& Record(const std::vector<std::string>& values, bool deleted = false) {
    std::string r(1, deleted ? '*' : ' ');
    for (size_t i = 0; i < fields_.size(); ++i) {
      std::string v = i < values.size() ? values[i] : std::string();
      const size_t length = FieldLength(fields_[i]);
      v.resize(length, ' ');
      r += v;
    }
    records_.push_back(r);
    return *this;
  }
  // A 32-byte terminator block instead of the single 0x0D byte.
  DbfFileBuilder& TerminatorBlock() {
    terminatorBlock_ = true;
    return *this;
  }
  DbfFileBuilder& Date(uint8_t yearsSince1900, uint8_t month, uint8_t day) {
    date_[0] = yearsSince1900;
    date_[1] = month;
    date_[2] = day;
    return *this;
  }

  static size_t FieldLength(const FieldSpec& f) {
    return f.type == 'C' ? size_t{f.length} + 256u * f.decimals : f.length;
  }
  size_t RecordLength() const {
    size_t n = 1;
    for (const auto& f : fields_) n += FieldLength(f);
    return n;
  }
  size_t HeaderLength() const {
    return terminatorBlock_ ? 32 * (fields_.size() + 2) : 32 * fields_.size() + 33;
  }

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> b(HeaderLength(), 0);
    b[0] = version_;
    b[1] = date_[0];
    b[2] = date_[1];
    b[3] = date_[2];
    PutLE32(&b[4], static_cast<uint32_t>(records_.size()));
    PutLE16(&b[8], static_cast<uint16_t>(HeaderLength()));
    PutLE16(&b[10], static_cast<uint16_t>(RecordLength()));
    for (size_t i = 0; i < fields_.size(); ++i) {
      uint8_t* d = &b[32 + 32 * i];
      std::memcpy(d, fields_[i].name.data(), std::min<size_t>(fields_[i].name.size(), 11));
      d[11] = static_cast<uint8_t>(fields_[i].type);
      d[16] = fields_[i].length;
      d[17] = fields_[i].decimals;
    }
    b[32 + 32 * fields_.size()] = 0x0D;
    for (const auto& r : records_) b.insert(b.end(), r.begin(), r.end());
    b.push_back(0x1A);
    return b;
  }

  static void PutLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  }
  static void PutLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }

 private:
  uint8_t version_;
  uint8_t date_[3] = {126, 12, 8};
  std::vector<FieldSpec> fields_;
  std::vector<std::string> records_;
  bool terminatorBlock_ = false;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

}  // namespace kvtest

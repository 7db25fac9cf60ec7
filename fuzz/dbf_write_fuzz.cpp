// Random field definitions and variant through XBDDCREATE, then random puts,
// appends, updates, deletes, undeletes, clears and packs, each checked:
// a number put without a warning reads back exactly, a refused put leaves
// the field as it was, the record count follows the appends, and the file
// opens again with every record.
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/engine_fuzz_support.h"
#include "kv/xbase.h"

namespace {

std::string directory;

// Reads the input front to back; past the end it gives zeros.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  uint32_t Long() { return Word() | (uint32_t{Word()} << 16); }
  double Double() {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint64_t{Byte()} << (8 * i);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  std::string Text() {
    const size_t n = Byte() % 40;
    std::string s;
    for (size_t i = 0; i < n && !empty(); ++i) {
      const char c = static_cast<char>(Byte());
      if (c == '\0') break;
      s += c;
    }
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "dbf_write_fuzz: %s\n", what);
  std::abort();
}

// The field's stored text (a sticky error left by the call checked is reset
// first, or the read would be refused).
std::string FieldText(XBHANDLE h, uint16_t field) {
  XBESCODE(0);
  std::vector<char> text(65536 + 1);
  XBDDFGETS(h, field, text.data());
  return text.data();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvfuzz::StartEngine("dbfwrite");
  char pattern[] = "/tmp/kvfuzz-dbfwrite-dir-XXXXXX";
  if (mkdtemp(pattern) != nullptr) directory = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (directory.empty() || size < 2) return 0;
  Input in(data, size);
  XBESCODE(0);
  XBCDSTYLE(4);
  const std::string path = directory + "/w.dbf";
  // Leftovers of the previous input (backups, temporary files) go first.
  for (const auto& e : std::filesystem::directory_iterator(directory)) {
    std::error_code ignored;
    std::filesystem::remove(e.path(), ignored);
  }

  const uint8_t head = in.Byte();
  const uint16_t variant = static_cast<uint16_t>((head % 11) | (head & 0x80 ? 0x200 : 0));
  const int count = 1 + in.Byte() % 12;
  std::vector<XBFIELDDEF> defs(static_cast<size_t>(count));
  static const char kTypes[] = "CDFLMNNCcnx";
  for (auto& d : defs) {
    const uint8_t nameLength = in.Byte() % 13;
    std::memset(d.name, 0, sizeof d.name);
    for (uint8_t i = 0; i < nameLength && i < sizeof d.name; ++i)
      d.name[i] = static_cast<char>('A' + in.Byte() % 26);
    d.type = static_cast<uint16_t>(kTypes[in.Byte() % (sizeof kTypes - 1)]);
    d.length = in.Byte() & 1 ? in.Word() % 2100 : in.Byte() % 24;
    d.decimals = in.Byte() % 20;
  }
  if (XBDDCREATE(path.c_str(), static_cast<int16_t>(count), defs.data(), variant) != 0) {
    XBESCODE(0);
    return 0;
  }
  const uint16_t openVariant = static_cast<uint16_t>(variant & 0xFF);
  XBHANDLE h = XB_NO_HANDLE;
  if (XBDDOPENX(&h, path.c_str(), openVariant) != 0) Broken("a created file does not open");
  XBRECINFO info{};
  XBDDRINFO(h, &info);
  uint32_t records = 0;

  for (int step = 0; step < 200 && !in.empty(); ++step) {
    XBESCODE(0);
    const uint8_t op = in.Byte() % 14;
    const uint16_t field = static_cast<uint16_t>(in.Byte() % (count + 1));  // one beyond too
    const char type = field < count ? static_cast<char>(defs[field].type) : 'C';
    switch (op) {
      case 0:
      case 1: {  // a value of the field's own type
        const std::string before = field < count ? FieldText(h, field) : "";
        XBSTATUS s;
        if (type == 'N' || type == 'F') {
          double v = in.Double();
          if (in.Byte() & 1) v = static_cast<double>(static_cast<int32_t>(in.Long())) / 100.0;
          s = XBDDFPUT(h, field, &v);
          double back = 0;
          if (s == 0 && (XBDDFGET(h, field, &back) != 0 || back != v) && !(v == 0 && back == 0))
            Broken("a number put without warning reads back different");
        } else if (type == 'L') {
          const uint8_t v = in.Byte();
          s = XBDDFPUT(h, field, &v);
        } else if (type == 'M') {
          const uint32_t v = in.Long();
          s = XBDDFPUT(h, field, &v);
        } else {
          const std::string text = in.Text();
          s = XBDDFPUT(h, field, text.c_str());
          if (type == 'C' && s == 0 && FieldText(h, field).compare(0, text.size(), text) != 0)
            Broken("a character put is not stored");
        }
        if (s < 0 && field < count && FieldText(h, field) != before)
          Broken("a refused put changed the field");
        break;
      }
      case 2: {
        const std::string text = in.Text();
        XBDDFPUTS(h, field, text.c_str());
        break;
      }
      case 3:
      case 4: {
        uint32_t no = 0;
        if (XBDDRPUT(h, &no, XB_PUT_APPEND) == 0) {
          if (no != ++records) Broken("append numbered wrongly");
        }
        break;
      }
      case 5: {
        uint32_t no = in.Byte() % (records + 2);
        const XBSTATUS s = XBDDRPUT(h, &no, XB_PUT_UPDATE);
        if ((s >= 0) != (no >= 1 && no <= records)) Broken("update range check");
        break;
      }
      case 6:
        XBDDRDEL(h, in.Byte() % (records + 2));
        break;
      case 7:
        XBDDRUNDEL(h, in.Byte() % (records + 2));
        break;
      case 8:
        XBDDRCLEAR(h);
        break;
      case 9: {  // a record read and put back unpacked as an update
        const uint32_t r = in.Byte() % (records + 1) + 1;
        std::vector<uint8_t> unpacked(size_t{info.recordLength} * 2 + 64, 0);
        if (XBDDRGETX(h, unpacked.data(), r) >= 0) {
          uint32_t no = r;
          XBDDRPUTX(h, unpacked.data(), &no, XB_PUT_UPDATE);
        }
        break;
      }
      case 10: {  // hostile unpacked record appended
        std::vector<uint8_t> unpacked(size_t{info.recordLength} * 2 + 64);
        for (auto& b : unpacked) b = in.Byte();
        uint32_t no = 0;
        if (XBDDRPUTX(h, unpacked.data(), &no, XB_PUT_APPEND) >= 0 && no != ++records)
          Broken("unpacked append numbered wrongly");
        break;
      }
      case 11:
        XBCDSTYLE(static_cast<int16_t>(1 + in.Byte() % 15));
        break;
      case 12:
        if (in.Byte() % 8 == 0) {
          if (XBDDPACK(&h) < 0 || h == XB_NO_HANDLE) Broken("pack failed");
          XBDDSIZE(h, &records);
        }
        break;
      default:
        XBDDFLUSH(h);
        break;
    }
    uint32_t n = 0;
    XBESCODE(0);
    if (XBDDSIZE(h, &n) != 0 || n != records) Broken("record count lost");
  }
  XBESCODE(0);
  if (XBDDCLOSE(h) != 0) Broken("close failed");
  XBCDSTYLE(4);
  const XBSTATUS s = XBDDOPENX(&h, path.c_str(), openVariant);
  if (s != 0) Broken("the written file does not open cleanly");
  uint32_t n = 0;
  XBDDSIZE(h, &n);
  if (n != records) Broken("reopened with another record count");
  for (uint32_t r = 1; r <= n; ++r) {
    if (XBDDRGET(h, r) < 0) Broken("a written record does not read");
  }
  XBDDCLOSE(h);
  XBESCODE(0);
  return 0;
}

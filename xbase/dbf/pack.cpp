// Packing: the present records are copied to a temporary file, which then
// takes the packed file's name; the old file stays as the ".BAK" backup.
//
// Until the renames the packed file is only read, so a failure at any step
// leaves it as it was; the temporary file is removed again and the handle
// stays usable. When a rename fails the packed file gets its name back and
// is reopened.
#include <cstring>
#include <string>
#include <vector>

#include "xbase/dbf/data_write.h"
#include "xbase/dbf/read_ahead.h"
#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"

using namespace kv::xb;
using namespace kv::xb::dbf;

namespace {
constexpr const char* kModule = "DPACK";

constexpr uint16_t kLockAll = 2;
constexpr uint16_t kModeProduction = 0x0200;
constexpr uint16_t kModeShared = 0x0400;
// Records are copied in runs of about this many bytes.
constexpr size_t kCopyRun = 64 * 1024;

// Runs a clean-up step after a failure: the step must not be refused for the
// failure's sticky code, nor replace it.
template <typename Step>
void CleanUp(Step step) {
  const XBSTATUS failure = Current().status;
  Current().status = 0;
  step();
  Current().status = failure;
}

struct PackNames {
  std::string backup;
  std::string temp;
};

// The backup is the file's name with its extension replaced by ".BAK"; the
// temporary file is the first free "<n>.DBF" in the file's directory.
PackNames NamesFor(const std::string& path) {
  const size_t cut = path.find_last_of(":\\/");
  const std::string directory = cut == std::string::npos ? "" : path.substr(0, cut + 1);
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  const size_t dot = name.rfind('.');
  PackNames names;
  names.backup = directory + (dot == std::string::npos ? name : name.substr(0, dot)) + ".BAK";
  for (unsigned long n = 0;; ++n) {
    names.temp = directory + std::to_string(n) + ".DBF";
    if (!os::Exists(names.temp.c_str())) break;
  }
  return names;
}

// Creates the temporary file with the packed file's header and descriptors
// and no records, and opens it.
XBSTATUS CreateTemporary(const DataFile& file, const std::string& temp, int* tempNo,
                         uint32_t* headerLength) {
  const bool block = file.baseVariant() == kVariant9;
  *headerLength = NewHeaderLength(file.fieldCount, block);
  uint8_t header[kHeaderSize];
  std::memcpy(header, file.header, kHeaderSize);
  StampToday(header);
  PutLE32(header + kOffRecordCount, 0);
  PutLE16(header + kOffHeaderLength, static_cast<uint16_t>(*headerLength));
  std::vector<uint8_t> descriptors(size_t{file.fieldCount} * kDescriptorSize);
  for (uint16_t i = 0; i < file.fieldCount; ++i) {
    std::memcpy(descriptors.data() + size_t{i} * kDescriptorSize, file.fields()[i].descriptor,
                kDescriptorSize);
  }
  XBSTATUS s = WriteNewFile(temp.c_str(), header, descriptors.data(), file.fieldCount, block);
  if (s != 0) return s;
  uint16_t state = 0;
  return os::Open(tempNo, temp.c_str(), 0, &state);
}

// Copies every record not marked '*' to the temporary file, in runs, and
// writes the count of records kept.
XBSTATUS CopyPresent(DataFile& file, int tempNo, uint32_t headerLength, uint32_t* kept) {
  const size_t length = file.recordLength;
  const size_t perRun = kCopyRun / length > 0 ? kCopyRun / length : 1;
  std::vector<uint8_t> run;
  run.reserve(perRun * length);
  *kept = 0;
  XBSTATUS s = os::Seek(tempNo, headerLength);
  for (uint32_t r = 1; s == 0 && r <= file.recordCount; ++r) {
    const uint8_t* record = nullptr;
    if ((s = ReadAheadRecord(file, r, &record)) != 0) break;
    if (record[0] == '*') continue;
    run.insert(run.end(), record, record + length);
    ++*kept;
    if (run.size() >= perRun * length) {
      s = os::Write(tempNo, run.data(), run.size(), false);
      run.clear();
    }
  }
  if (s == 0 && !run.empty()) s = os::Write(tempNo, run.data(), run.size(), false);
  uint8_t count[4];
  PutLE32(count, *kept);
  if (s == 0) s = os::Seek(tempNo, kOffRecordCount);
  if (s == 0) s = os::Write(tempNo, count, sizeof count, false);
  return s;
}

// Reopens the file after its handle was closed; the new handle replaces the
// caller's.
void Reopen(XBHANDLE* handle, const std::string& path, uint16_t mode) {
  XBHANDLE reopened = XB_NO_HANDLE;
  XBDDOPENX(&reopened, path.c_str(), mode);
  *handle = reopened;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDDPACK(XBHANDLE* handle) {
  XB_ENTER();
  if (handle == nullptr) return XB_FAIL(XB_E_NULL);
  const XBHANDLE packed = *handle;
  DataFile* file = SelectData(packed);
  if (file == nullptr) return Status();
  if (file->state & kStateReadOnly) return XB_FAIL(XB_E_READONLY);

  const std::string path = file->path;
  const PackNames names = NamesFor(path);
  // A file whose own name ends in ".BAK" would be erased as its own backup.
  if (names.backup == path) return XB_FAIL(XB_E_ACCESS);
  const uint16_t reopenMode =
      static_cast<uint16_t>(file->baseVariant() | ((file->state & kStateShared) ? kModeShared : 0) |
                            ((file->state & kStateBit1) ? kModeProduction : 0));

  // Nobody else may hold a lock while the records are copied; the lock also
  // rereads the record count, so records others appended are kept.
  int16_t lockStatus = 0;
  XBSTATUS s = XBDDLOCK(packed, kLockAll, &lockStatus);
  if (s < 0) return s;
  if (lockStatus != 0) return XB_FAIL(XB_E_LOCKED);
  file = SelectData(packed);
  if (file == nullptr) return Status();

  int tempNo = 0;
  uint32_t headerLength = 0;
  uint32_t kept = 0;
  s = CreateTemporary(*file, names.temp, &tempNo, &headerLength);
  if (s == 0) s = CopyPresent(*file, tempNo, headerLength, &kept);
  if (s == 0) {
    s = XBDDUNLOCK(packed, kLockAll, &lockStatus);
  } else {
    CleanUp([&] { XBDDUNLOCK(packed, kLockAll, &lockStatus); });
  }
  // Without the end byte: the file ends with its last record.
  if (s == 0) s = os::SetLength(tempNo, headerLength + kept * uint32_t{file->recordLength});
  if (s == 0) {
    s = os::Erase(names.backup.c_str());
    if (s == XB_NOT_FOUND_ERASE) s = SetState(0);
  }
  if (tempNo != 0) {
    if (s == 0) {
      s = os::Close(tempNo);
    } else {
      CleanUp([&] { os::Close(tempNo); });
    }
  }
  if (s == 0) s = XBDDCLOSE(packed);
  if (s < 0) {
    // The packed file is untouched and its handle still open.
    CleanUp([&] { os::Erase(names.temp.c_str()); });
    return s;
  }

  s = os::Rename(names.backup.c_str(), path.c_str());
  if (s == 0) {
    s = os::Rename(path.c_str(), names.temp.c_str());
    if (s < 0) CleanUp([&] { os::Rename(path.c_str(), names.backup.c_str()); });
  }
  if (s < 0) {
    CleanUp([&] {
      os::Erase(names.temp.c_str());
      Reopen(handle, path, reopenMode);
    });
    return s;
  }
  Reopen(handle, path, reopenMode);
  return Status();
}

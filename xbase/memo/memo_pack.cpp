// The memo pack driver.
//
// Order of the work, chosen so that a failure at any step leaves a pair that
// belongs together:
//   1. With the data file locked (mode 2), every memo the records refer to is
//      read from the memo file and written into a new temporary file; the new
//      block numbers are only remembered. Until the temporary file is
//      complete and closed nothing else has changed, so a failure here just
//      removes the temporary file.
//   2. The memo file becomes the ".BKT" backup and the temporary file takes
//      its name. A failed rename puts the old file back.
//   3. The new numbers are written into the records. When one of these
//      writes fails, the records already written get their old numbers back
//      and the old memo file its name.
//   4. The lock goes and the memo file is reopened shared.
#include "xbase/memo/memo_pack.h"

#include <cstring>

#include "xbase/dbf/data_file.h"
#include "xbase/dbf/data_write.h"
#include "xbase/dbf/read_ahead.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/number_text.h"
#include "xbase/frame/select.h"

namespace kv::xb::memo {
namespace {

constexpr uint16_t kLockAll = 2;
// The new memos are written in runs of about this many bytes.
constexpr size_t kWriteRun = 256 * 1024;
constexpr uint32_t kMemoDigits = 10;

// Runs a clean-up step after a failure: the step must not be refused for the
// failure's sticky code, nor replace it.
template <typename Step>
void CleanUp(Step step) {
  const XBSTATUS failure = Current().status;
  Current().status = 0;
  step();
  Current().status = failure;
}

// The memo fields of one record, as one span of the record from the first
// memo field to the end of the last: its bytes as they are and as they will
// be with the new numbers.
struct RecordChange {
  uint32_t record = 0;
  uint16_t from = 0;
  std::vector<uint8_t> before;
  std::vector<uint8_t> after;
};

// "%10ld": the number right-aligned in ten characters.
void PutMemoNumber(uint8_t* field, uint32_t block) {
  const std::string digits = std::to_string(block);
  std::memset(field, ' ', kMemoDigits);
  std::memcpy(field + (kMemoDigits - digits.size()), digits.data(), digits.size());
}

// The memo copy of step 1: reads every memo the records refer to and writes
// it into the temporary file opened as `tempNo`.
class MemoCopy {
 public:
  MemoCopy(const MemoPackLayout& layout, const char* module, int sourceNo, int tempNo)
      : layout_(layout), module_(module), sourceNo_(sourceNo), tempNo_(tempNo) {}

  XBSTATUS Run(dbf::DataFile& data, std::vector<RecordChange>* changes) {
    XBSTATUS s = layout_.parts->readGeometry(sourceNo_, &source_);
    if (s == 0) s = layout_.parts->readGeometry(tempNo_, &target_);
    if (s == 0) s = os::Seek(tempNo_, uint64_t{target_.nextFree} * target_.blockSize);
    nextFree_ = target_.nextFree;
    std::vector<uint16_t> memoFields;
    for (uint16_t i = 0; i < data.fieldCount; ++i) {
      if (data.fields()[i].type() == 'M') memoFields.push_back(i);
    }
    for (uint32_t r = 1; s == 0 && !memoFields.empty() && r <= data.recordCount; ++r) {
      const uint8_t* record = nullptr;
      if ((s = dbf::ReadAheadRecord(data, r, &record)) != 0) break;
      s = CopyRecord(data, memoFields, r, record, changes);
    }
    if (s == 0) s = FlushRun();
    // The header last: a file cut short never claims blocks it does not hold.
    uint8_t word[4];
    layout_.parts->encodeNextFree(nextFree_, word);
    if (s == 0) s = os::Seek(tempNo_, 0);
    if (s == 0) s = os::Write(tempNo_, word, sizeof word, true);
    return s;
  }

 private:
  XBSTATUS CopyRecord(const dbf::DataFile& data, const std::vector<uint16_t>& memoFields,
                      uint32_t r, const uint8_t* record, std::vector<RecordChange>* changes) {
    const dbf::FieldInfo& first = data.fields()[memoFields.front()];
    const dbf::FieldInfo& last = data.fields()[memoFields.back()];
    RecordChange change;
    change.record = r;
    change.from = first.offset;
    change.before.assign(record + first.offset, record + last.offset + last.length);
    change.after = change.before;
    bool changed = false;
    for (uint16_t i : memoFields) {
      const dbf::FieldInfo& field = data.fields()[i];
      const int32_t block =
          ParseInteger(reinterpret_cast<const char*>(record + field.offset), field.length);
      // A blank field (or 0) has no memo.
      if (block == 0) continue;
      if (block < 0) {
        const char* kModule = module_;
        return XB_FAIL(XB_E_SEEK);
      }
      uint32_t newBlock = 0;
      XBSTATUS s = CopyMemo(static_cast<uint32_t>(block), &newBlock);
      if (s != 0) return s;
      uint8_t* at = change.after.data() + (field.offset - first.offset);
      // A memo field is 10 characters wide; a wider one keeps its leading
      // characters as spaces.
      std::memset(at, ' ', field.length);
      if (field.length >= kMemoDigits) PutMemoNumber(at + field.length - kMemoDigits, newBlock);
      changed = true;
    }
    if (changed && change.after != change.before) changes->push_back(std::move(change));
    return 0;
  }

  XBSTATUS CopyMemo(uint32_t block, uint32_t* newBlock) {
    XBSTATUS s = layout_.parts->readMemo(sourceNo_, source_, block, &memo_);
    if (s != 0) return s;
    const uint32_t blocks = layout_.parts->appendEntry(target_, memo_, &run_);
    // Block numbers and offsets stay within the 32-bit file layout.
    if (uint64_t{nextFree_} + blocks > (uint64_t{0xFFFFFFFF} / target_.blockSize)) {
      const char* kModule = module_;
      return XB_FAIL(XB_E_WRITE);
    }
    *newBlock = nextFree_;
    nextFree_ += blocks;
    return run_.size() >= kWriteRun ? FlushRun() : 0;
  }

  XBSTATUS FlushRun() {
    if (run_.empty()) return 0;
    const XBSTATUS s = os::Write(tempNo_, run_.data(), run_.size(), false);
    run_.clear();
    return s;
  }

  const MemoPackLayout& layout_;
  const char* module_;
  int sourceNo_;
  int tempNo_;
  MemoGeometry source_;
  MemoGeometry target_;
  uint32_t nextFree_ = 1;
  MemoText memo_;
  std::vector<uint8_t> run_;
};

// Writes one span of memo fields into its record.
XBSTATUS WriteSpan(dbf::DataFile& data, const RecordChange& change,
                   const std::vector<uint8_t>& bytes) {
  XBSTATUS s = os::Seek(data.fileNo, data.RecordOffset(change.record) + change.from);
  if (s == 0) s = os::Write(data.fileNo, bytes.data(), bytes.size(), false);
  return s;
}

// Puts the old numbers back into the first `count` records changed (the one
// whose write failed included: it may be half written).
void RestoreNumbers(dbf::DataFile& data, const std::vector<RecordChange>& changes, size_t count) {
  for (size_t i = 0; i < count && i < changes.size(); ++i) {
    WriteSpan(data, changes[i], changes[i].before);
  }
}

// True when `handle` still names an open memo file of `type` (its close
// was not reached or failed before freeing it).
bool StillOpen(XBHANDLE handle, SlotType type) {
  const Slot* slot = Current().handles.Get(handle);
  return slot != nullptr && slot->type == type && slot->block != nullptr;
}

// Gives the old memo file its name back after the files changed places;
// false (and the new file still in place) when that cannot be done.
bool PutOldFileBack(const std::string& path, const MemoPackNames& names) {
  if (os::Rename(names.temp.c_str(), path.c_str()) != 0) return false;
  if (os::Rename(path.c_str(), names.backup.c_str()) == 0) return true;
  os::Rename(path.c_str(), names.temp.c_str());
  return false;
}

}  // namespace

MemoPackNames MemoPackNamesFor(const std::string& path, const char* extension) {
  const size_t cut = path.find_last_of(":\\/");
  const std::string directory = cut == std::string::npos ? "" : path.substr(0, cut + 1);
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  const size_t dot = name.rfind('.');
  MemoPackNames names;
  names.backup = directory + (dot == std::string::npos ? name : name.substr(0, dot)) + ".BKT";
  for (unsigned long n = 0;; ++n) {
    names.temp = directory + std::to_string(n) + extension;
    if (!os::Exists(names.temp.c_str())) break;
  }
  return names;
}

XBSTATUS PackMemoFile(XBHANDLE dataHandle, XBHANDLE* memoHandle, const MemoPackLayout& layout,
                      const char* module) {
  const char* kModule = module;
  if (memoHandle == nullptr) return XB_FAIL(XB_E_NULL);
  const XBHANDLE handle = *memoHandle;
  ControlBlock* memoFile = Select(handle, layout.slotType);
  if (memoFile == nullptr) return Status();
  if (memoFile->state & kStateReadOnly) return XB_FAIL(XB_E_READONLY);
  const std::string path = Current().handles.Get(handle)->path;
  const uint16_t baseMode = layout.reopenMode;
  const uint16_t oldMode =
      static_cast<uint16_t>(baseMode | ((memoFile->state & kStateShared) ? os::kModeShared : 0));

  dbf::DataFile* data = dbf::SelectData(dataHandle);
  if (data == nullptr) return Status();
  // The new numbers could not be written into the records.
  if (data->state & kStateReadOnly) return XB_FAIL(XB_E_READONLY);

  const MemoPackNames names = MemoPackNamesFor(path, layout.extension);
  // A memo file whose own name ends in ".BKT" would be erased as its own
  // backup.
  if (names.backup == path) return XB_FAIL(XB_E_ACCESS);

  // Nobody may change a record while its memos are copied; the lock also
  // rereads the record count, so records others appended are kept.
  int16_t lockStatus = 0;
  XBSTATUS s = XBDDLOCK(dataHandle, kLockAll, &lockStatus);
  if (s < 0) return s;
  if (lockStatus != 0) return XB_FAIL(XB_E_LOCKED);
  const auto unlock = [&] { XBDDUNLOCK(dataHandle, kLockAll, &lockStatus); };
  const auto reopenOld = [&] {
    XBHANDLE reopened = XB_NO_HANDLE;
    layout.open(&reopened, path.c_str(), oldMode);
    *memoHandle = reopened;
  };

  // Step 1: the copy.
  std::vector<RecordChange> changes;
  int tempNo = 0;
  MemoGeometry geometry;
  data = dbf::SelectData(dataHandle);
  memoFile = Select(handle, layout.slotType);
  if (data == nullptr || memoFile == nullptr) s = Status();
  if (s == 0) s = layout.parts->readGeometry(memoFile->fileNo, &geometry);
  // A create that fails part-way may leave the file: it is removed whenever
  // the create was tried.
  const bool tempMade = s == 0;
  if (s == 0) s = layout.createLike(names.temp.c_str(), handle, geometry);
  if (s == 0) {
    uint16_t state = 0;
    s = os::Open(&tempNo, names.temp.c_str(), 0, &state);
    if (s == 0 && (state & kStateReadOnly)) s = XB_FAIL(XB_E_OPEN);
  }
  if (s == 0) s = MemoCopy(layout, module, memoFile->fileNo, tempNo).Run(*data, &changes);
  if (tempNo != 0) {
    if (s == 0) {
      s = os::Close(tempNo);
    } else {
      CleanUp([&] { os::Close(tempNo); });
    }
  }
  if (s == 0) {
    s = os::Erase(names.backup.c_str());
    if (s == XB_NOT_FOUND_ERASE) s = SetState(0);
  }
  if (s == 0) s = layout.close(handle);
  if (s < 0) {
    // Nothing has changed but the temporary file.
    CleanUp([&] {
      if (tempMade) os::Erase(names.temp.c_str());
      unlock();
      if (!StillOpen(handle, layout.slotType)) reopenOld();
    });
    return s;
  }

  // Step 2: the files change places.
  s = os::Rename(names.backup.c_str(), path.c_str());
  if (s == 0) {
    s = os::Rename(path.c_str(), names.temp.c_str());
    if (s < 0) CleanUp([&] { os::Rename(path.c_str(), names.backup.c_str()); });
  }
  if (s < 0) {
    CleanUp([&] {
      os::Erase(names.temp.c_str());
      unlock();
      reopenOld();
    });
    return s;
  }

  // Step 3: the new numbers.
  data = dbf::SelectData(dataHandle);
  if (data == nullptr) s = Status();
  size_t written = 0;
  for (; s == 0 && written < changes.size(); ++written) {
    s = WriteSpan(*data, changes[written], changes[written].after);
  }
  if (data != nullptr) {
    dbf::ForgetReadAhead(*data);
    if (!changes.empty()) data->modified = true;
  }
  if (s < 0) {
    CleanUp([&] {
      if (PutOldFileBack(path, names)) {
        if (data != nullptr) RestoreNumbers(*data, changes, written);
        os::Erase(names.temp.c_str());
      } else if (data != nullptr) {
        // The new file stays: the records get their new numbers after all.
        for (size_t i = written == 0 ? 0 : written - 1; i < changes.size(); ++i) {
          WriteSpan(*data, changes[i], changes[i].after);
        }
      }
      unlock();
      reopenOld();
    });
    return s;
  }

  // Step 4.
  s = XBDDUNLOCK(dataHandle, kLockAll, &lockStatus);
  XBHANDLE reopened = XB_NO_HANDLE;
  if (s < 0) {
    CleanUp([&] { layout.open(&reopened, path.c_str(), baseMode | os::kModeShared); });
  } else {
    s = layout.open(&reopened, path.c_str(), baseMode | os::kModeShared);
  }
  *memoHandle = reopened;
  return s < 0 ? s : Status();
}

}  // namespace kv::xb::memo

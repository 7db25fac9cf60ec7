// The bulk build driver: phase 1 reads the records in runs that fit the sort
// buffer, sorts each run and appends it to the sort file; phase 2 merges the
// runs, each through a window of the buffer, and hands the elements to the
// family in index order.
#include <algorithm>
#include <cstring>

#include "xbase/build/bulk_internal.h"
#include "xbase/dbf/read_ahead.h"
#include "xbase/frame/endian.h"
#include "xbase/frame/memory_block.h"

namespace kv::xb::bulk {
namespace {

constexpr uint16_t kLockAll = 2;

// One sorted run in the sort file and its window in the merge area.
struct Run {
  uint64_t nextOffset = 0;  // of the elements still on disk
  uint32_t onDisk = 0;
  uint32_t window = 0;  // first element of its window in the merge area
  uint32_t loaded = 0;  // elements in the window
  uint32_t position = 0;
};

class Build {
 public:
  Build(dbf::DataFile& file, XBHANDLE data, FamilyBuilder& family)
      : file_(file),
        data_(data),
        family_(family),
        module_(family.ModuleName()),
        order_(static_cast<size_t>(family.KeyLength()), family.Collated()),
        sortFile_(module_) {}

  XBSTATUS Run(const char* indexPath);

 private:
  XBSTATUS SizeSortBuffer();
  XBSTATUS SortRuns();
  XBSTATUS Merge();
  XBSTATUS Load(bulk::Run& run);
  const uint8_t* Current(const bulk::Run& run) const {
    return merge_ + (size_t{run.window} + run.position) * size_;
  }
  bool RunLess(uint32_t a, uint32_t b) const {
    return order_.Less(Current(runs_.as<bulk::Run>()[a]), Current(runs_.as<bulk::Run>()[b]));
  }

  dbf::DataFile& file_;
  XBHANDLE data_;
  FamilyBuilder& family_;
  const char* module_;
  ElementOrder order_;
  SortFile sortFile_;
  size_t size_ = 0;
  uint32_t records_ = 0;
  QuietBuffer buffer_;
  QuietBuffer wideMerge_;  // only when one element per run exceeds the buffer
  uint8_t* merge_ = nullptr;
  uint32_t perRun_ = 0;  // E
  uint32_t runCount_ = 0;
  uint32_t windowSize_ = 0;
  MemoryBlock runs_;
  MemoryBlock scratch_;
};

XBSTATUS Build::SizeSortBuffer() {
  const char* kModule = module_;
  size_t bytes = kSortBufferBytes;
  while (!buffer_.TryAllocate(bytes)) {
    if (bytes - kSortBufferStep < kSortBufferMinimum) return XB_FAIL(XB_E_MEMORY);
    bytes -= kSortBufferStep;
  }
  perRun_ = static_cast<uint32_t>(bytes / size_);
  runCount_ = static_cast<uint32_t>((uint64_t{records_} + perRun_ - 1) / perRun_);
  windowSize_ = static_cast<uint32_t>(bytes / size_ / runCount_);
  if (runs_.Allocate(sizeof(bulk::Run) * runCount_) != 0) return XB_FAIL(XB_E_MEMORY);
  // Positions of one run for sorting, then the merge order of the runs.
  const uint32_t slots = std::max(std::min(perRun_, records_), runCount_);
  if (scratch_.Allocate(sizeof(uint32_t) * slots) != 0) return XB_FAIL(XB_E_MEMORY);
  merge_ = buffer_.data();
  if (windowSize_ == 0) {
    // More runs than elements fit the buffer: a window of one element each
    // still merges them, in an area of its own.
    windowSize_ = 1;
    if (!wideMerge_.TryAllocate(size_ * runCount_)) return XB_FAIL(XB_E_MEMORY);
    merge_ = wideMerge_.data();
  }
  return 0;
}

XBSTATUS Build::SortRuns() {
  uint8_t* elements = buffer_.data();
  const size_t keyLength = size_ - 4;
  uint32_t r = 1;
  for (uint32_t i = 0; i < runCount_; ++i) {
    const uint32_t count = std::min(perRun_, records_ - (r - 1));
    for (uint32_t k = 0; k < count; ++k, ++r) {
      XBSTATUS s = LoadRecord(file_, r, module_);
      if (s != 0) return s;
      uint8_t* element = elements + size_t{k} * size_;
      s = family_.MakeKey(data_, r, element);
      if (s < 0) return s;
      PutBE32(element + keyLength, r);
    }
    SortElements(elements, count, order_, scratch_.as<uint32_t>());
    bulk::Run& run = runs_.as<bulk::Run>()[i];
    run.nextOffset = sortFile_.length();
    run.onDisk = count;
    const XBSTATUS s = sortFile_.Append(elements, size_t{count} * size_);
    if (s != 0) return s;
  }
  return 0;
}

XBSTATUS Build::Load(bulk::Run& run) {
  const uint32_t count = std::min(windowSize_, run.onDisk);
  const XBSTATUS s =
      sortFile_.ReadAt(run.nextOffset, merge_ + size_t{run.window} * size_, size_t{count} * size_);
  if (s != 0) return s;
  run.nextOffset += uint64_t{count} * size_;
  run.onDisk -= count;
  run.loaded = count;
  run.position = 0;
  return 0;
}

// The runs are kept in an array ordered by their current elements (no two
// elements are equal: record numbers differ). After the first run gives its
// element it is moved to its new place, found by binary search.
XBSTATUS Build::Merge() {
  bulk::Run* runs = runs_.as<bulk::Run>();
  uint32_t* order = scratch_.as<uint32_t>();
  for (uint32_t i = 0; i < runCount_; ++i) {
    runs[i].window = i * windowSize_;
    const XBSTATUS s = Load(runs[i]);
    if (s != 0) return s;
    order[i] = i;
  }
  std::sort(order, order + runCount_, [&](uint32_t a, uint32_t b) { return RunLess(a, b); });
  const size_t keyLength = size_ - 4;
  uint32_t live = runCount_;
  while (live > 0) {
    const uint32_t head = order[0];
    bulk::Run& run = runs[head];
    const uint8_t* element = Current(run);
    XBSTATUS s = family_.Append(element, GetBE32(element + keyLength));
    if (s < 0) return s;
    if (++run.position == run.loaded) {
      if (run.onDisk == 0) {
        std::memmove(order, order + 1, sizeof(uint32_t) * (live - 1));
        --live;
        continue;
      }
      if ((s = Load(run)) != 0) return s;
    }
    const uint32_t* place = std::upper_bound(order + 1, order + live, head,
                                             [&](uint32_t a, uint32_t b) { return RunLess(a, b); });
    const auto moved = static_cast<size_t>(place - (order + 1));
    if (moved > 0) {
      std::memmove(order, order + 1, sizeof(uint32_t) * moved);
      order[moved] = head;
    }
  }
  return 0;
}

XBSTATUS Build::Run(const char* indexPath) {
  const char* kModule = module_;
  size_ = order_.elementSize();
  if (family_.KeyLength() < 1 || size_ > kMaxElement) return XB_FAIL(XB_E_KEY_LENGTH);
  records_ = file_.recordCount;
  if (records_ == 0) return 0;
  XBSTATUS s = dbf::PrepareReadAhead(file_);
  if (s == 0) s = sortFile_.Create(indexPath);
  if (s == 0) s = SizeSortBuffer();
  if (s == 0) s = SortRuns();
  // The data are all read: the read-ahead buffer can go before the merge.
  dbf::ReleaseReadAhead(file_);
  if (s == 0) s = Merge();
  buffer_.Free();
  wideMerge_.Free();
  runs_.Free();
  scratch_.Free();
  sortFile_.Remove();
  if (s == 0) s = family_.Finish();
  return s;
}

}  // namespace

XBSTATUS RunBulkBuild(XBHANDLE data, const char* indexPath, FamilyBuilder& family) {
  const char* kModule = family.ModuleName();
  dbf::DataFile* file = dbf::SelectData(data);
  if (file == nullptr) return Status();
  int16_t lockStatus = 0;
  XBSTATUS s = XBDDLOCK(data, kLockAll, &lockStatus);
  if (s < 0) {
    // The lock may have been taken before the record count could be
    // reread: let it go again.
    KeepingFailure([&] { XBDDUNLOCK(data, kLockAll, &lockStatus); });
    return s;
  }
  if (lockStatus != 0) return XB_FAIL(XB_E_LOCKED);
  // The lock rereads the record count: records appended by others count.
  file = dbf::SelectData(data);
  if (file == nullptr) {
    s = Status();
  } else {
    Build build(*file, data, family);
    s = build.Run(indexPath);
    dbf::ReleaseReadAhead(*file);
  }
  if (s < 0) {
    KeepingFailure([&] { XBDDUNLOCK(data, kLockAll, &lockStatus); });
    return s;
  }
  s = XBDDUNLOCK(data, kLockAll, &lockStatus);
  return s < 0 ? s : 0;
}

}  // namespace kv::xb::bulk

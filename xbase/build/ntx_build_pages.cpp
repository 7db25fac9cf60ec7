#include "xbase/build/ntx_build_pages.h"

#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/index/frame/operation_frame.h"

namespace kv::xb::bulk {
namespace {
constexpr const char* kModule = "Cindex";
// Levels a tree of at least 2 items per page can have within 32-bit offsets.
constexpr size_t kMaxLevels = 40;
}  // namespace

NtxPageWriter::NtxPageWriter(ntx::NtxIndex& ix) : ix_(ix), end_(ntx::kPageSize) {
  levels_.reserve(kMaxLevels);
}

void NtxPageWriter::Start(PageItems& page) {
  page.offset = end_;
  end_ += ntx::kPageSize;
  page.items.clear();
  page.items.reserve(static_cast<size_t>(ix_.maxItems) + 1);
  page.items.emplace_back();  // the trailing item: no rightmost child yet
}

XBSTATUS NtxPageWriter::Write(const PageItems& page) {
  std::memset(page_.bytes, 0, sizeof page_.bytes);
  const int M = ix_.maxItems;
  for (int i = 0; i <= M; ++i) {
    ntx::NtxIndex::SetSlot(page_, i, ntx::FreshItemOffset(ix_.maxItems, ix_.itemSize, i));
  }
  ntx::NtxIndex::SetCount(page_, page.count());
  for (int i = 0; i <= page.count(); ++i) ix_.PutItem(page_, i, page.items[i]);
  XBSTATUS s = os::Seek(ix_.fileNo, page.offset);
  if (s != 0) return s;
  return os::Write(ix_.fileNo, page_.bytes, ntx::kPageSize, ix_.pages.flush);
}

XBSTATUS NtxPageWriter::Close(size_t level, uint32_t rightmostChild) {
  Level& lv = levels_[level];
  lv.current.items.back().child = rightmostChild;
  if (lv.hasPrevious) {
    const XBSTATUS s = Write(lv.previous);
    if (s != 0) return s;
  }
  std::swap(lv.previous, lv.current);
  lv.hasPrevious = true;
  Start(lv.current);
  return 0;
}

XBSTATUS NtxPageWriter::Push(size_t level, const ntx::Item& item) {
  if (level == levels_.size()) {
    if (level >= kMaxLevels) return XB_FAIL(XB_E_FORMAT);
    levels_.emplace_back();
    Start(levels_.back().current);
  }
  Level& lv = levels_[level];
  if (lv.current.count() < ix_.maxItems) {
    lv.current.items.insert(lv.current.items.end() - 1, item);
    return 0;
  }
  // A full page: the incoming item's child (the page just closed below, or
  // none in a leaf) becomes its rightmost child, and the item itself goes up
  // as the separator of this page and the next.
  const uint32_t closed = lv.current.offset;
  const XBSTATUS s = Close(level, item.child);
  if (s != 0) return s;
  ntx::Item up = item;
  up.child = closed;
  return Push(level + 1, up);
}

XBSTATUS NtxPageWriter::Add(const uint8_t* key, uint32_t record) {
  ntx::Item item;
  item.child = 0;
  item.record = record;
  std::memcpy(item.key, key, ix_.keyLength);
  return Push(0, item);
}

// The last page of `level` holds fewer than half a page: it and the full
// page before it share their items and the separator between them, which
// is the last item of the lowest level above that holds any (the levels in
// between were left with an empty page when the separator passed them).
XBSTATUS NtxPageWriter::Even(size_t level) {
  Level& lv = levels_[level];
  ntx::Item* separator = nullptr;
  for (size_t g = level + 1; g < levels_.size() && separator == nullptr; ++g) {
    PageItems& above = levels_[g].current;
    if (above.count() > 0) separator = &above.items[above.count() - 1];
  }
  if (!lv.hasPrevious || separator == nullptr) return XB_FAIL(XB_E_FORMAT);
  std::vector<ntx::Item> all(lv.previous.items.begin(), lv.previous.items.end() - 1);
  ntx::Item middle = *separator;
  middle.child = lv.previous.items.back().child;
  all.push_back(middle);
  all.insert(all.end(), lv.current.items.begin(), lv.current.items.end() - 1);
  const uint32_t lastChild = lv.current.items.back().child;
  const int total = static_cast<int>(all.size());
  const int left = (total - 1) / 2;
  lv.previous.items.assign(all.begin(), all.begin() + left);
  ntx::Item trailing;
  trailing.child = all[left].child;
  lv.previous.items.push_back(trailing);
  separator->record = all[left].record;
  std::memcpy(separator->key, all[left].key, ix_.keyLength);
  lv.current.items.assign(all.begin() + left + 1, all.end());
  trailing.child = lastChild;
  lv.current.items.push_back(trailing);
  return 0;
}

XBSTATUS NtxPageWriter::Finish() {
  if (levels_.empty()) return 0;
  XBSTATUS s = 0;
  for (size_t level = 0; level < levels_.size(); ++level) {
    Level& lv = levels_[level];
    // An interior level's last page ends with the last page of the level
    // below.
    if (level > 0) lv.current.items.back().child = levels_[level - 1].current.offset;
    const bool top = level + 1 == levels_.size();
    if (!top && lv.current.count() < ix_.half && (s = Even(level)) != 0) return s;
    if (lv.hasPrevious && (s = Write(lv.previous)) != 0) return s;
    if ((s = Write(lv.current)) != 0) return s;
  }
  const uint32_t root = levels_.back().current.offset;
  if ((s = os::SetLength(ix_.fileNo, end_)) != 0) return s;
  ix_.root = root;
  PutLE32(ix_.header + ntx::kOffRoot, root);
  return index::WriteHeaderWord(ix_.fileNo, ntx::kOffRoot, root, ix_.pages.flush);
}

}  // namespace kv::xb::bulk

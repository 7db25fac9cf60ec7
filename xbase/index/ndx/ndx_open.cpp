// Creating, opening and closing NDX files.
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/select.h"
#include "xbase/frame/text.h"
#include "xbase/index/frame/index_file.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/ndx/ndx_tree.h"

using namespace kv::xb;
using namespace kv::xb::ndx;

namespace {

bool EntrySizeAccepted(uint16_t L, uint16_t E) {
  // New files round L up to a multiple of 4; other writers round to even or
  // not at all.
  return E == ((L + 1u) & ~1u) + 8u || E == ((L + 3u) & ~1u) + 8u || E == L + 8u;
}

// Header checks, in the order their codes are given.
XBSTATUS CheckHeader(NdxIndex& ix) {
  constexpr const char* kModule = "NOPEN";
  const uint8_t* h = ix.header;
  const uint16_t L = GetLE16(h + kOffKeyLength);
  if (L < 1 || L > kMaxKeyLength) return XB_FAIL(-23);
  const uint16_t E = GetLE16(h + kOffEntrySize);
  if (!EntrySizeAccepted(L, E)) return XB_FAIL(-24);
  const uint32_t root = GetLE32(h + kOffRoot);
  const uint32_t end = GetLE32(h + kOffEndPage);
  if (root < 1 || root > end) return XB_FAIL(-25);
  const uint16_t K = GetLE16(h + kOffKeysPerPage);
  // Fewer than two keys per page could never split; the count must also fit
  // the page with its trailing child.
  if (uint32_t{K} * E >= 509 || K < 2) return XB_FAIL(-26);
  char expression[kHeaderCopy] = {};
  const size_t raw = BoundedLength(reinterpret_cast<const char*>(h + kOffExpression),
                                   kHeaderCopy - kOffExpression);
  const size_t n =
      index::CompactExpression(reinterpret_cast<const char*>(h + kOffExpression), raw, expression);
  if (raw > kMaxExpression || n < 1) return XB_FAIL(XB_E_EXPRESSION);
  const uint16_t type = GetLE16(h + kOffKeyType);
  if (type != kTypeCharacter && type != kTypeNumeric) return XB_FAIL(-22);
  // A numeric key is one double: any other length would compare bytes that
  // are not the key's.
  if (type == kTypeNumeric && L != 8) return XB_FAIL(-23);
  std::memset(ix.header + kOffExpression, 0, kHeaderCopy - kOffExpression);
  std::memcpy(ix.header + kOffExpression, expression, n);
  ix.keyLength = L;
  ix.entrySize = E;
  ix.keysPerPage = K;
  ix.keyType = type;
  ix.unique = h[kOffUnique] != 0;
  ix.root = root;
  ix.pages.endPage = end;
  return 0;
}

XBSTATUS AllocateBuffers(NdxIndex& ix) {
  XBSTATUS s = ix.entryOffsets.Allocate(sizeof(uint16_t) * (ix.keysPerPage + 1u));
  if (s != 0) return s;
  for (int i = 0; i <= ix.keysPerPage; ++i) {
    ix.entryOffsets.as<uint16_t>()[i] = static_cast<uint16_t>(4 + i * ix.entrySize);
  }
  ix.half = static_cast<uint16_t>(ix.keysPerPage >> 1);
  ix.rest = static_cast<uint16_t>(ix.keysPerPage - ix.half);
  if ((s = ix.path.Allocate(ix.half)) != 0) return s;
  if ((s = ix.cache.Allocate(kPageSize)) != 0) return s;
  return ix.current.Allocate(ix.keyLength, ix.half);
}

// Finds which page points at which, once, for the compaction at close.
class NdxMover : public index::PageMover {
 public:
  NdxMover(NdxIndex& ix, Tree& tree) : ix_(ix), tree_(tree) {}

  XBSTATUS Move(uint32_t from, uint32_t to) override {
    XBSTATUS s = 0;
    if (!built_ && (s = Build()) != 0) return s;
    if (from >= parent_.size() || to >= parent_.size()) return XB_E_FORMAT;
    Page page;
    if ((s = tree_.Load(from, &page)) != 0) return s;
    if ((s = tree_.Store(to, page)) != 0) return s;
    if (from == ix_.root) {
      ix_.root = to;
      PutLE32(ix_.header + kOffRoot, to);
      if ((s = index::WriteHeaderWord(ix_.fileNo, kOffRoot, to, true)) != 0) return s;
    } else {
      if (parent_[from] == 0) return XB_E_FORMAT;  // not in the tree
      Page parent;
      if ((s = tree_.Load(parent_[from], &parent)) != 0) return s;
      ix_.SetChild(parent, slot_[from], to);
      if ((s = tree_.Store(parent_[from], parent)) != 0) return s;
    }
    parent_[to] = parent_[from];
    slot_[to] = slot_[from];
    parent_[from] = 0;
    if (!ix_.IsLeaf(page)) {
      for (int i = 0; i <= NdxIndex::Count(page); ++i) {
        const uint32_t child = ix_.Child(page, i);
        if (child < parent_.size()) parent_[child] = to;
      }
    }
    return 0;
  }

 private:
  XBSTATUS Build() {
    const uint32_t end = ix_.pages.endPage;
    parent_.assign(end, 0);
    slot_.assign(end, 0);
    std::vector<bool> seen(end, false);
    std::vector<std::pair<uint32_t, int>> stack{{ix_.root, 0}};
    if (ix_.root >= end) return XB_E_FORMAT;
    seen[ix_.root] = true;
    while (!stack.empty()) {
      const auto [pageNo, depth] = stack.back();
      stack.pop_back();
      Page page;
      const XBSTATUS s = tree_.Load(pageNo, &page);
      if (s != 0) return s;
      if (ix_.IsLeaf(page)) continue;
      if (depth + 1 >= ix_.path.capacity()) return XB_E_FORMAT;
      for (int i = 0; i <= NdxIndex::Count(page); ++i) {
        const uint32_t child = ix_.Child(page, i);
        // A page reached twice is shared or part of a loop.
        if (child == 0 || child >= end || seen[child]) return XB_E_FORMAT;
        seen[child] = true;
        parent_[child] = pageNo;
        slot_[child] = i;
        stack.push_back({child, depth + 1});
      }
    }
    built_ = true;
    return 0;
  }

  NdxIndex& ix_;
  Tree& tree_;
  bool built_ = false;
  std::vector<uint32_t> parent_;
  std::vector<int> slot_;
};

XBSTATUS Compact(NdxIndex& ix) {
  constexpr const char* kModule = "NCLOSE";
  index::OperationFrame frame(ix.cache, ix.path, ix.pages);
  Tree tree(ix);
  XBSTATUS s = tree.Begin();
  if (s == 0) {
    NdxMover mover(ix, tree);
    uint32_t end = ix.pages.endPage;
    s = index::CompactPages(ix.cache, ix.pages, ix.freePages, mover, 1, &end);
    if (s == 0 && end != ix.pages.endPage) {
      ix.cache.Drop(ix.pages);
      s = os::SetLength(ix.fileNo, end * kPageSize);
      ix.pages.endPage = end;
      PutLE32(ix.header + kOffEndPage, end);
      ix.headerDirty = true;
    }
  }
  ix.freePages.Clear();
  if (s != 0) return XB_FAIL(-6);
  return 0;
}

}  // namespace

namespace kv::xb::ndx {

XBSTATUS CloseIndex(XBHANDLE handle) {
  NdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  XBSTATUS result = 0;
  if (!ix->freePages.empty() && !ix->readOnly()) result = Compact(*ix);
  if (ix->headerDirty) {
    uint8_t words[8];
    PutLE32(words, ix->root);
    PutLE32(words + 4, ix->pages.endPage);
    XBSTATUS s = os::Seek(ix->fileNo, 0);
    if (s == 0) s = os::Write(ix->fileNo, words, sizeof words, true);
    if (s != 0 && result == 0) result = s;
    ix->headerDirty = false;
  }
  return index::CloseIndexFile(ix, handle, result);
}

}  // namespace kv::xb::ndx

KV_API XBSTATUS KV_CALL XBDNCREATE(const char* name, uint16_t typeLetter, const char* expression,
                                   uint16_t keyLength) {
  constexpr const char* kModule = "NCREATE";
  XB_ENTER();
  index::NewIndex key;
  const XBSTATUS s = index::StartNewIndex(kModule, name, expression, kMaxExpression, typeLetter,
                                          keyLength, kMaxKeyLength, false, &key);
  if (s != 0) return s;
  const uint16_t type = key.letter == 'C' ? kTypeCharacter : kTypeNumeric;
  const uint16_t L = key.keyLength;
  const uint16_t E = EntrySizeFor(L);
  uint8_t pages[2 * kPageSize] = {};
  PutLE32(pages + kOffRoot, 1);
  PutLE32(pages + kOffEndPage, 2);
  PutLE16(pages + kOffKeyLength, L);
  PutLE16(pages + kOffKeysPerPage, static_cast<uint16_t>(504 / E));
  PutLE16(pages + kOffKeyType, type);
  PutLE16(pages + kOffEntrySize, E);
  pages[kOffUnique] = key.unique ? 1 : 0;
  std::memcpy(pages + kOffExpression, key.expression, key.length);
  return index::WriteNewFile(name, pages, sizeof pages);
}

KV_API XBSTATUS KV_CALL XBDNOPENX(XBHANDLE* handle, const char* name, uint16_t mode) {
  constexpr const char* kModule = "NOPEN";
  XB_ENTER();
  auto read = [](NdxIndex& ix, uint64_t* length) {
    XBSTATUS s = index::ReadHeaderBytes(kModule, ix.fileNo, 0, ix.header, kHeaderCopy);
    if (s == 0) s = CheckHeader(ix);
    if (s == 0) s = AllocateBuffers(ix);
    if (s == 0) s = os::Length(ix.fileNo, length);
    return s;
  };
  auto finish = [](NdxIndex& ix, uint64_t length) {
    ix.writeMode = 1;
    ix.pages.pageSize = kPageSize;
    ix.current.Clear();
    return length == uint64_t{ix.pages.endPage} * kPageSize;
  };
  return index::OpenIndexFile<NdxIndex>(kModule, SlotType::Ndx, handle, name, mode, read, finish);
}

KV_INDEX_CALL(XBDNCLOSE, "NCLOSE", (XBHANDLE handle), CloseIndex(handle))

// Creating, opening and closing IDX files.
#include <cstring>
#include <memory>
#include <new>

#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/select.h"
#include "xbase/frame/text.h"
#include "xbase/index/frame/index_file.h"
#include "xbase/index/idx/idx_node.h"
#include "xbase/index/idx/idx_tree.h"

using namespace kv::xb;
using namespace kv::xb::idx;

namespace {

constexpr uint16_t kCreateCompact = 0x0400;
constexpr uint16_t kCreateDescending = 0x0100;
constexpr int kNodeBuffers = 4;

void SetShape(IdxIndex& ix) {
  ix.entrySize = static_cast<uint16_t>(ix.keyLength + (ix.compact ? 8 : 4));
  ix.keysPerNode = static_cast<uint16_t>(kEntryArea / ix.entrySize);
  ix.newLeaf = LeafFormatFor(ix.keyLength);
}

// Header checks, in the order their codes are given. `header` holds 512
// bytes (standard) or 1024 (compact).
XBSTATUS CheckHeader(IdxIndex& ix, const uint8_t* header, uint64_t fileLength) {
  constexpr const char* kModule = "IOPEN";
  const uint16_t L = GetLE16(header + kOffKeyLength);
  if (L < 1 || L > kMaxKeyLength) return XB_FAIL(XB_E_KEY_LENGTH);
  const char* text = reinterpret_cast<const char*>(header + kOffExpression);
  size_t limit = kMaxExpression + 1;
  if (ix.compact) {
    // The key expression follows the (empty) FOR expression's pool.
    const uint32_t at = 511u + GetLE16(header + kOffForLength);
    if (at < kCompactExpressionArea || at >= kCompactHeader) return XB_FAIL(XB_E_EXPRESSION);
    text = reinterpret_cast<const char*>(header + at);
    limit = kCompactHeader - at;
    if (limit > kMaxExpression + 1) limit = kMaxExpression + 1;
  }
  const size_t raw = BoundedLength(text, limit);
  char expression[kMaxExpression + 2] = {};
  const size_t n = index::CompactExpression(text, raw, expression);
  if (raw > kMaxExpression || n < 1) return XB_FAIL(XB_E_EXPRESSION);
  const uint32_t root = GetLE32(header + kOffRoot);
  const uint64_t bound = ix.compact ? fileLength : GetLE32(header + kOffEndOfFile);
  if (root < kNodeSize || root % kNodeSize != 0 || root >= bound) return XB_FAIL(XB_E_ROOT);
  std::memcpy(ix.expression, expression, n + 1);
  ix.keyLength = L;
  ix.unique = (ix.options & kOptionUnique) != 0;
  ix.descending = ix.compact && GetLE16(header + kOffOrder) == 1;
  ix.root = root;
  SetShape(ix);
  return 0;
}

XBSTATUS AllocateBuffers(IdxIndex& ix) {
  for (auto& node : ix.work) {
    node.reset(new (std::nothrow) Node);
    if (!node) return XB_E_MEMORY;
  }
  // A tree whose nodes may hold a single child has no depth bound from its
  // fill: the path allows 32 levels, far beyond what 2^31 entries need.
  XBSTATUS s = ix.path.Allocate(1);
  if (s != 0) return s;
  if ((s = ix.cache.Allocate(kNodeSize, kNodeBuffers)) != 0) return s;
  return ix.current.Allocate(ix.keyLength, 1);
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDICREATE(const char* name, uint16_t typeWord, const char* expression,
                                   uint16_t keyLength) {
  constexpr const char* kModule = "ICREATE";
  XB_ENTER();
  index::NewIndex key;
  const XBSTATUS s = index::StartNewIndex(kModule, name, expression, kMaxExpression, typeWord,
                                          keyLength, kMaxKeyLength, true, &key);
  if (s != 0) return s;
  const bool compact = (typeWord & kCreateCompact) != 0;
  const bool descending = compact && (typeWord & kCreateDescending) != 0;
  const uint16_t L = key.keyLength;
  IdxIndex shape;
  shape.keyLength = L;
  shape.compact = compact;
  shape.pad = key.letter == 'C' ? ' ' : 0;
  SetShape(shape);
  const uint32_t headerSize = compact ? kCompactHeader : kStandardHeader;
  uint8_t file[kCompactHeader + kNodeSize] = {};
  PutLE32(file + kOffRoot, headerSize);
  PutLE32(file + kOffFreeHead, kNone);
  PutLE32(file + kOffEndOfFile, compact ? 0 : headerSize + kNodeSize);
  PutLE16(file + kOffKeyLength, L);
  file[kOffOptions] =
      static_cast<uint8_t>((key.unique ? kOptionUnique : 0) | (compact ? kOptionCompact : 0));
  if (compact) {
    const uint16_t withNul = static_cast<uint16_t>(key.length + 1);
    PutLE16(file + kOffOrder, descending ? 1 : 0);
    PutLE16(file + kOffTotalExpression, withNul);
    PutLE16(file + kOffForLength, 1);
    PutLE16(file + kOffKeyExpressionLength, withNul);
    std::memcpy(file + kCompactExpressionArea, key.expression, key.length);
  } else {
    std::memcpy(file + kOffExpression, key.expression, key.length);
  }
  std::unique_ptr<Node> root(new (std::nothrow) Node);
  if (!root) return XB_FAIL(XB_E_MEMORY);
  root->attributes = kAttrRoot | kAttrLeaf;
  root->count = 0;
  root->format = shape.newLeaf;
  EncodeNode(shape, *root, file + headerSize);
  return index::WriteNewFile(name, file, headerSize + kNodeSize);
}

KV_API XBSTATUS KV_CALL XBDIOPENX(XBHANDLE* handle, const char* name, uint16_t mode) {
  constexpr const char* kModule = "IOPEN";
  XB_ENTER();
  uint8_t header[kCompactHeader] = {};
  auto read = [&header](IdxIndex& ix, uint64_t* length) {
    XBSTATUS s = os::Length(ix.fileNo, length);
    if (s == 0) s = index::ReadHeaderBytes(kModule, ix.fileNo, 0, header, kStandardHeader);
    if (s == 0) {
      ix.options = header[kOffOptions];
      ix.compact = (ix.options & kOptionsAnyCompact) != 0;
      if (ix.compact) {
        s = index::ReadHeaderBytes(kModule, ix.fileNo, kStandardHeader, header + kStandardHeader,
                                   kStandardHeader);
      }
    }
    if (s == 0) s = CheckHeader(ix, header, *length);
    if (s == 0 && (s = AllocateBuffers(ix)) != 0) s = XB_FAIL(s);
    return s;
  };
  auto finish = [&header](IdxIndex& ix, uint64_t length) {
    ix.freeHead = GetLE32(header + kOffFreeHead);
    ix.endBound = ix.compact ? static_cast<uint32_t>(length / kNodeSize * kNodeSize)
                             : GetLE32(header + kOffEndOfFile);
    ix.pages.pageSize = kNodeSize;
    ix.pages.endPage = ix.endBound / kNodeSize;
    ix.current.Clear();
    return ix.compact || length == GetLE32(header + kOffEndOfFile);
  };
  return index::OpenIndexFile<IdxIndex>(kModule, SlotType::Idx, handle, name, mode, read, finish);
}

KV_INDEX_CALL(XBDICLOSE, "ICLOSE", (XBHANDLE handle),
              index::CloseIndexFile(SelectIndex(handle), handle))

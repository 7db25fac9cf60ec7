// Creating, opening and closing NTX files.
#include <cstring>
#include <memory>
#include <new>

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/select.h"
#include "xbase/frame/text.h"
#include "xbase/index/frame/index_file.h"
#include "xbase/index/ntx/ntx_tree.h"

using namespace kv::xb;
using namespace kv::xb::ntx;

namespace {

// Header checks, in the order their codes are given. The signature and the
// word at offset 2 (an update counter for some writers) are not checked.
XBSTATUS CheckHeader(NtxIndex& ix, uint64_t fileLength) {
  constexpr const char* kModule = "COPEN";
  const uint8_t* h = ix.header;
  const uint16_t L = GetLE16(h + kOffKeyLength);
  if (L < 1 || L > kMaxKeyLength) return XB_FAIL(XB_E_KEY_LENGTH);
  if (GetLE16(h + kOffItemSize) != L + 8u) return XB_FAIL(XB_E_ENTRY_SIZE);
  const uint32_t root = GetLE32(h + kOffRoot);
  if (root % kPageSize != 0 || root < kPageSize || root >= fileLength) return XB_FAIL(XB_E_ROOT);
  const uint16_t M = GetLE16(h + kOffMaxItems);
  if (M != MaxItemsFor(L)) return XB_FAIL(XB_E_KEYS_PER_PAGE);
  if (GetLE16(h + kOffHalfPage) != M / 2) return XB_FAIL(kBadHalfPage);
  const char* text = reinterpret_cast<const char*>(h + kOffExpression);
  const size_t raw = BoundedLength(text, kExpressionArea);
  if (index::CompactExpression(text, raw, ix.expression) < 1) return XB_FAIL(XB_E_EXPRESSION);
  ix.keyLength = L;
  ix.itemSize = static_cast<uint16_t>(L + 8);
  ix.decimals = GetLE16(h + kOffDecimals);
  ix.maxItems = M;
  ix.half = static_cast<uint16_t>(M / 2);
  ix.unique = h[kOffUnique] != 0;
  ix.root = root;
  ix.freeHead = GetLE32(h + kOffFreeHead);
  return 0;
}

XBSTATUS AllocateBuffers(NtxIndex& ix) {
  XBSTATUS s = ix.path.Allocate(ix.half);
  if (s == 0) s = ix.cache.Allocate(kPageSize);
  if (s == 0) s = ix.current.Allocate(ix.keyLength, ix.half);
  return s;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDCCREATE(const char* name, uint16_t typeLetter, const char* expression,
                                   uint16_t keyLength, uint16_t decimals) {
  constexpr const char* kModule = "CCREATE";
  XB_ENTER();
  XBSTATUS s = index::CheckCreateNames(kModule, name, expression);
  if (s != 0) return s;
  const auto [unique, letter] = index::DecodeCreateType(typeLetter);
  uint16_t L = keyLength;
  uint16_t places = 0;
  if (letter == 'C') {
    if (L < 1 || L > kMaxCharacterKey) return XB_FAIL(XB_E_KEY_LENGTH);
  } else if (letter == 'D') {
    L = kDateKeyLength;
  } else if (letter == 'N') {
    if (L < 1 || L > kMaxNumericKey) return XB_FAIL(XB_E_KEY_LENGTH);
    // Decimals need the point and a digit before it.
    if (decimals > kMaxDecimals || (decimals > 0 && decimals + 2 > L)) {
      return XB_FAIL(XB_E_DECIMALS);
    }
    places = decimals;
  } else {
    return XB_FAIL(XB_E_KEY_TYPE);
  }
  char compact[kExpressionArea + 1] = {};
  const size_t raw = std::strlen(expression);
  size_t n = 0;
  if (raw < 1024) {
    // Blanks do not count: compact a copy that may be longer than the area.
    for (size_t i = 0; i < raw; ++i) {
      if (expression[i] == ' ') continue;
      if (n == kExpressionArea) {
        n = kExpressionArea + 1;
        break;
      }
      compact[n++] = UpperAscii(expression[i]);
    }
  }
  if (n < 1 || n > kExpressionArea || raw >= 1024) return XB_FAIL(XB_E_EXPRESSION);
  const uint16_t M = MaxItemsFor(L);
  const uint16_t itemSize = static_cast<uint16_t>(L + 8);
  uint8_t pages[2 * kPageSize] = {};
  PutLE16(pages + kOffSignature, kSignature);
  PutLE16(pages + kOffVersion, kVersion);
  PutLE32(pages + kOffRoot, kPageSize);
  PutLE32(pages + kOffFreeHead, 0);
  PutLE16(pages + kOffItemSize, itemSize);
  PutLE16(pages + kOffKeyLength, L);
  PutLE16(pages + kOffDecimals, places);
  PutLE16(pages + kOffMaxItems, M);
  PutLE16(pages + kOffHalfPage, static_cast<uint16_t>(M / 2));
  std::memcpy(pages + kOffExpression, compact, n);
  pages[kOffUnique] = unique ? 1 : 0;
  // The empty root: count 0 and the M + 1 item offsets laid out in order.
  uint8_t* root = pages + kPageSize;
  for (int i = 0; i <= M; ++i) PutLE16(root + 2 + 2 * i, FreshItemOffset(M, itemSize, i));
  return index::WriteNewFile(name, pages, sizeof pages);
}

KV_API XBSTATUS KV_CALL XBDCOPENX(XBHANDLE* handle, const char* name, uint16_t mode) {
  constexpr const char* kModule = "COPEN";
  XB_ENTER();
  auto read = [](NtxIndex& ix, uint64_t* length) {
    XBSTATUS s = os::Length(ix.fileNo, length);
    if (s == 0) s = index::ReadHeaderBytes(kModule, ix.fileNo, 0, ix.header, kHeaderRead);
    if (s == 0) s = CheckHeader(ix, *length);
    if (s == 0) s = AllocateBuffers(ix);
    return s;
  };
  auto finish = [](NtxIndex& ix, uint64_t length) {
    ix.pages.pageSize = kPageSize;
    ix.current.Clear();
    return length % kPageSize == 0;
  };
  return index::OpenIndexFile<NtxIndex>(kModule, SlotType::Ntx, handle, name, mode, read, finish);
}

KV_INDEX_CALL(XBDCCLOSE, "CCLOSE", (XBHANDLE handle),
              index::CloseIndexFile(SelectIndex(handle), handle))

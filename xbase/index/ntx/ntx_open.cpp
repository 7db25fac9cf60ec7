// Creating, opening and closing NTX files; the expression and information
// calls.
#include <cstring>
#include <memory>
#include <new>

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/select.h"
#include "xbase/frame/text.h"
#include "xbase/index/ntx/ntx_tree.h"

using namespace kv::xb;
using namespace kv::xb::ntx;

namespace {

constexpr uint16_t kModeProduction = 0x0200;
constexpr uint16_t kModeSharedProduction = 0x0800;
constexpr uint16_t kModeProductionBits = 0x0600;

// The expression without blanks, upper-cased; its length (at most `limit`
// characters are read, and `out` holds limit + 1).
size_t CompactExpression(const char* in, size_t limit, char* out) {
  size_t n = 0;
  for (size_t i = 0; i < limit && in[i] != '\0'; ++i) {
    if (in[i] == ' ') continue;
    out[n++] = UpperAscii(in[i]);
  }
  out[n] = '\0';
  return n;
}

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
  if (CompactExpression(text, raw, ix.expression) < 1) return XB_FAIL(XB_E_EXPRESSION);
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

namespace kv::xb::ntx {

NtxIndex* SelectIndex(XBHANDLE handle) {
  NtxIndex* ix = SelectAs<NtxIndex>(handle, SlotType::Ntx);
  if (ix != nullptr) {
    ix->pages.fileNo = ix->fileNo;
    ix->pages.readOnly = ix->readOnly();
  }
  return ix;
}

XBSTATUS CloseIndex(XBHANDLE handle) {
  NtxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  // Every page and header word was written when it changed.
  const XBSTATUS s = os::Close(ix->fileNo);
  if (s < 0) return s;
  Current().handles.Free(handle);
  return Status();
}

}  // namespace kv::xb::ntx

KV_API XBSTATUS KV_CALL XBDCCREATE(const char* name, uint16_t typeLetter, const char* expression,
                                   uint16_t keyLength, uint16_t decimals) {
  constexpr const char* kModule = "CCREATE";
  XB_ENTER();
  if (name == nullptr || expression == nullptr) return XB_FAIL(XB_E_NULL);
  if (name[0] == '\0') return XB_FAIL(XB_E_EMPTY_NAME);
  const bool unique = (typeLetter & 0x80) != 0;
  const char letter = UpperAscii(static_cast<char>(typeLetter & 0x7F));
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
  int fileNo = 0;
  XBSTATUS s = os::Create(&fileNo, name);
  if (s != 0) return s;
  s = os::Write(fileNo, pages, sizeof pages, true);
  const XBSTATUS closed = os::Close(fileNo);
  if (s != 0) return s;
  if (closed != 0) return closed;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDCOPENX(XBHANDLE* handle, const char* name, uint16_t mode) {
  constexpr const char* kModule = "COPEN";
  XB_ENTER();
  if (handle == nullptr || name == nullptr) return XB_FAIL(XB_E_NULL);
  *handle = XB_NO_HANDLE;
  HandleTable& table = Current().handles;
  const int slot = table.FindFree();
  if (slot < 0) return XB_FAIL(XB_E_NO_HANDLE);
  if (mode & kModeSharedProduction) {
    mode |= kModeProductionBits;
    if (mode & os::kModeReadOnly) mode &= ~kModeSharedProduction;
  }
  if (name[0] == '\0') return XB_FAIL(XB_E_EMPTY_NAME);
  if (std::strlen(name) > kMaxPath) return XB_FAIL(XB_E_OPEN);
  std::unique_ptr<NtxIndex> ix(new (std::nothrow) NtxIndex);
  if (!ix) return XB_FAIL(XB_E_MEMORY);
  XBSTATUS s = os::Open(&ix->fileNo, name, mode, &ix->state);
  if (s != 0) return s;
  if (mode & kModeProduction) ix->state |= kStateBit1;
  // The header is read and checked whatever the mode's low byte: the tree
  // code relies on every value it checks.
  uint64_t length = 0;
  s = os::Length(ix->fileNo, &length);
  if (s == 0) s = os::Seek(ix->fileNo, 0);
  if (s == 0) s = os::Read(ix->fileNo, ix->header, kHeaderRead);
  if (s == XB_E_READ) s = XB_FAIL(XB_E_READ);
  if (s == 0) s = CheckHeader(*ix, length);
  if (s == 0) s = AllocateBuffers(*ix);
  if (s != 0) {
    const XBSTATUS failure = Status();
    os::Close(ix->fileNo);
    Current().status = failure;
    return failure;
  }
  std::strncpy(ix->fileName, name, kMaxPath);
  ix->pages.fileNo = ix->fileNo;
  ix->pages.readOnly = ix->readOnly();
  ix->pages.pageSize = kPageSize;
  ix->current.Clear();
  const bool sizeMatches = length % kPageSize == 0;
  table.Take(slot, SlotType::Ntx, std::move(ix), name);
  *handle = static_cast<XBHANDLE>(slot);
  if (!sizeMatches) return SetState(XB_BAD_LENGTH);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDCCLOSE(XBHANDLE handle) {
  constexpr const char* kModule = "CCLOSE";
  XB_ENTER();
  return CloseIndex(handle);
}

KV_API XBSTATUS KV_CALL XBDCEXPR(XBHANDLE handle, char* text) {
  constexpr const char* kModule = "CEXPR";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  NtxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  std::strcpy(text, ix->expression);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDCINFO(XBHANDLE handle, XBNTXINFO* info) {
  constexpr const char* kModule = "CINFO";
  XB_ENTER();
  if (info == nullptr) return XB_FAIL(XB_E_NULL);
  NtxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  std::memset(info, 0, sizeof *info);
  std::memcpy(info->fileName, ix->fileName, BoundedLength(ix->fileName, sizeof info->fileName - 1));
  info->openFlags =
      static_cast<uint16_t>((ix->readOnly() ? 1 : 0) | (ix->state & (kStateBit1 | kStateShared)));
  info->keyLength = ix->keyLength;
  // The header does not tell the key's type.
  info->keyType = '?';
  info->unique = ix->unique ? 128 : 0;
  info->descending = std::strncmp(ix->expression, "DESCEND", 7) == 0 ? 1 : 0;
  info->decimals = ix->decimals;
  info->lockState = ix->lockState;
  const size_t length = std::strlen(ix->expression);
  info->expressionLength = static_cast<uint16_t>(length);
  std::memcpy(info->expression, ix->expression,
              length < sizeof info->expression - 1 ? length : sizeof info->expression - 1);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDCHGET(XBHANDLE handle) {
  constexpr const char* kModule = "CHGET";
  XB_ENTER();
  NtxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  Tree tree(*ix);
  const XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  return Status();
}

// Long data read into a memo block for the host.
//
// The block starts with the marker "BI5", a zero byte and the data length
// (32-bit little-endian), followed by the data. Text columns are read as
// character data: psqlodbc, asked for a text column as binary data in
// pieces, keeps the last byte of every piece for a terminator it writes
// there, so the bytes would come back with zeros in them. As character data
// each piece is its bytes and a terminator, which is dropped.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kv/odbc.h"
#include "odbc/calls.h"
#include "platform/kernel/memory.h"

namespace {

constexpr size_t kPiece = 4096;
constexpr size_t kMaxLongData = INT32_MAX - kOdbcLongDataHeader - kPiece - 1;

bool IsTextType(SQLLEN type) {
  switch (type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
      return true;
    default:
      return false;
  }
}

// A global block that grows as pieces arrive; released unless handed over.
class MemoBlock {
 public:
  ~MemoBlock() {
    if (handle_ != 0) kvp::GlobalFree(handle_);
  }
  // Room for `bytes` of data behind the header; false when refused.
  bool Reserve(size_t bytes) {
    if (bytes > kMaxLongData) return false;
    const size_t needed = kOdbcLongDataHeader + bytes + 1;
    if (handle_ != 0 && needed <= capacity_) return true;
    size_t grown = capacity_ == 0 ? needed : std::max(needed, capacity_ * 2);
    grown = std::min(grown, kMaxLongData + kOdbcLongDataHeader + 1);
    if (handle_ == 0) {
      handle_ = kvp::GlobalAlloc(kvp::GHND, grown);
      if (handle_ == 0) return false;
    } else if (kvp::GlobalReAlloc(handle_, grown, kvp::GMEM_MOVEABLE | kvp::GMEM_ZEROINIT) == 0) {
      return false;
    }
    capacity_ = grown;
    return true;
  }
  unsigned char* Data() {
    auto* base = static_cast<unsigned char*>(kvp::GlobalLock(handle_));
    kvp::GlobalUnlock(handle_);
    return base + kOdbcLongDataHeader;
  }
  // Writes the header and hands the locked block over.
  unsigned char* Hand(size_t length) {
    auto* base = static_cast<unsigned char*>(kvp::GlobalLock(handle_));
    base[0] = 'B';
    base[1] = 'I';
    base[2] = '5';
    base[3] = 0;
    for (int i = 0; i < 4; ++i) base[4 + i] = static_cast<unsigned char>(length >> (8 * i));
    handle_ = 0;
    return base;
  }

 private:
  kvp::HGLOBAL handle_ = 0;
  size_t capacity_ = 0;
};

}  // namespace

KV_API int16_t KV_CALL OD_GetLongData(OdbcBinding* binding, void* statement, int16_t column,
                                      unsigned char** memo) {
  if (!kvodbc::Usable(binding)) return SQL_ERROR;
  if (memo != nullptr) *memo = nullptr;
  const auto handle = static_cast<SQLHSTMT>(statement);
  const auto number = static_cast<SQLUSMALLINT>(column);

  SQLLEN type = SQL_LONGVARBINARY;
  ODBC_CALL(binding, SQLColAttributes, handle, number, SQLUSMALLINT{SQL_COLUMN_TYPE},
            static_cast<SQLPOINTER>(nullptr), SQLSMALLINT{0}, static_cast<SQLSMALLINT*>(nullptr),
            &type);
  const bool text = IsTextType(type);
  const SQLSMALLINT cType = text ? SQL_C_CHAR : SQL_C_BINARY;
  // A character piece carries a terminator behind its bytes.
  const size_t terminator = text ? 1 : 0;

  unsigned char probe[1] = {};
  SQLLEN total = 0;
  SQLRETURN code = ODBC_CALL(binding, SQLGetData, handle, number, cType,
                             static_cast<SQLPOINTER>(probe), SQLLEN{0}, &total);
  if (code == SQL_ERROR || code == SQL_INVALID_HANDLE) return code;
  if (total == SQL_NULL_DATA) return code;

  MemoBlock block;
  if (!block.Reserve(total > 0 ? static_cast<size_t>(total) : kPiece)) {
    binding->lastCode = SQL_ERROR;
    return SQL_ERROR;
  }
  size_t length = 0;
  // A column of no bytes needs no further read.
  if (code == SQL_NO_DATA || total == 0)
    code = SQL_SUCCESS;
  else {
    for (;;) {
      if (!block.Reserve(length + kPiece)) {
        binding->lastCode = SQL_ERROR;
        return SQL_ERROR;
      }
      SQLLEN indicator = 0;
      code = ODBC_CALL(binding, SQLGetData, handle, number, cType,
                       static_cast<SQLPOINTER>(block.Data() + length),
                       static_cast<SQLLEN>(kPiece + terminator), &indicator);
      if (code == SQL_NO_DATA) {
        code = SQL_SUCCESS;
        break;
      }
      if (!kvodbc::Succeeded(code)) return code;
      if (indicator == SQL_NULL_DATA) break;
      // A truncated piece filled the buffer; the last one says its length.
      size_t got = kPiece;
      if (code == SQL_SUCCESS && indicator != SQL_NO_TOTAL && indicator >= 0)
        got = std::min(kPiece, static_cast<size_t>(indicator));
      length += got;
      if (code == SQL_SUCCESS) break;
    }
  }
  binding->lastCode = code;
  unsigned char* handed = block.Hand(length);
  if (memo != nullptr)
    *memo = handed;
  else
    kvp::GlobalFree(kvp::GlobalHandle(handed));
  return code;
}

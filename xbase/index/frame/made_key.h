// Keys the engine makes from a data file's current record, handed to the
// caller in an engine block: the block itself and the two exported ways of
// giving it (its address, left locked, or its handle, unlocked), written
// once for every index family.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"
#include "platform/kernel/memory.h"
#include "xbase/dbf/data_file.h"
#include "xbase/expr/evaluator.h"
#include "xbase/frame/engine.h"

namespace kv::xb::index {

// A zeroed, locked engine block for a key of `size` bytes (with the spare
// bytes every engine block has); -10 or -11 with a log line when the memory
// cannot be had or locked.
XBSTATUS NewKeyBlock(const char* module, size_t size, KVHGLOBAL* block, uint8_t** bytes);

// A made key in a new locked block: a character key's text and its NUL,
// else the `size` bytes of `fixed` (the family's binary form).
XBSTATUS NewMadeKeyBlock(const char* module, const expr::KeyValue& value, const uint8_t* fixed,
                         size_t size, KVHGLOBAL* block, void** address);

// A number or a date text as a key in the caller's buffer, in the form
// `put` writes (the family's number form; a blank date is kBlankDateKey).
using PutKeyFunction = void (*)(uint8_t* key, double value);
XBSTATUS GiveNumberKey(const char* kModule, void* key, double value, PutKeyFunction put);
XBSTATUS GiveDateKey(const char* kModule, void* key, const char* text, int16_t style,
                     PutKeyFunction put);

// How a family writes the binary forms of the keys it makes: dates through
// `putDate` in `dateBytes` bytes (a blank date is kBlankDateKey), numbers
// through `putNumber` in `numberBytes`; with `floats` an 'F' value is a
// number, with `logicals` an 'L' value is keyed by its letter.
struct BinaryKeyForms {
  PutKeyFunction putDate;
  size_t dateBytes;
  PutKeyFunction putNumber;
  size_t numberBytes;
  bool floats;
  bool logicals;
};
inline constexpr size_t kMaxBinaryKey = 12;

// The key of `data`'s current record through `expression`: a character
// key's text in `value`, the other types' binary form in `binary`
// (kMaxBinaryKey bytes); `*size` is the key's size, a text's with its NUL.
// -8 with a log line for a type the family does not index.
XBSTATUS EvaluateBinaryFormKey(const char* module, dbf::DataFile& data, const char* expression,
                               const BinaryKeyForms& forms, expr::KeyValue& value, uint8_t* binary,
                               size_t* size);

// The same key in a new locked block.
XBSTATUS MakeBinaryFormKey(const char* module, dbf::DataFile& data, const char* expression,
                           const BinaryKeyForms& forms, KVHGLOBAL* block, void** address);

// A key maker's frame: the data file is selected first, then the index
// (`select()`, nullptr with the status set when there is none), and
// `make(data, index)` builds the key of the data file's current record.
template <class Select, class Make>
XBSTATUS MakeRecordKey(XBHANDLE dataHandle, Select select, Make make) {
  dbf::DataFile* data = dbf::SelectData(dataHandle);
  if (data == nullptr) return Status();
  auto* index = select();
  if (index == nullptr) return Status();
  return make(*data, *index);
}

// What a family's key maker does: the key of `data`'s current record for
// index (or tag) `indexHandle`, in a new locked block.
template <class IndexHandle>
using MakeKeyFunction = XBSTATUS (*)(XBHANDLE data, IndexHandle indexHandle, KVHGLOBAL* block,
                                     void** address);

// The key's address; the caller frees the block by it.
template <class IndexHandle>
XBSTATUS GiveMadeKey(const char* kModule, MakeKeyFunction<IndexHandle> make, XBHANDLE data,
                     IndexHandle indexHandle, void** key) {
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  KVHGLOBAL block = 0;
  void* address = nullptr;
  const XBSTATUS s = make(data, indexHandle, &block, &address);
  if (s != 0) return s;
  *key = address;
  return Status();
}

// The key's block handle, unlocked: the host locks the block itself when it
// wants the bytes. -1 in `*key` when no key was made.
template <class IndexHandle>
XBSTATUS GiveMadeKeyHandle(const char* kModule, MakeKeyFunction<IndexHandle> make, XBHANDLE data,
                           IndexHandle indexHandle, KVHGLOBAL* key) {
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  *key = static_cast<KVHGLOBAL>(-1);
  KVHGLOBAL block = 0;
  void* address = nullptr;
  const XBSTATUS s = make(data, indexHandle, &block, &address);
  if (s != 0) return s;
  kvp::GlobalUnlock(block);
  *key = block;
  return Status();
}

}  // namespace kv::xb::index

// The two exported ways of giving a made key: PREFIX##KMAKE (its address)
// and PREFIX##KMAKEH (its block), for index handles of type HANDLE made by
// MAKE; their log lines carry the file's kModule.
#define KV_INDEX_MADE_KEY_EXPORTS(PREFIX, HANDLE, MAKE)                                        \
  KV_API XBSTATUS KV_CALL PREFIX##KMAKE(XBHANDLE dataHandle, HANDLE indexHandle, void** key) { \
    XB_ENTER();                                                                                \
    return ::kv::xb::index::GiveMadeKey<HANDLE>(kModule, MAKE, dataHandle, indexHandle, key);  \
  }                                                                                            \
  KV_API XBSTATUS KV_CALL PREFIX##KMAKEH(XBHANDLE dataHandle, HANDLE indexHandle,              \
                                         KVHGLOBAL* key) {                                     \
    XB_ENTER();                                                                                \
    return ::kv::xb::index::GiveMadeKeyHandle<HANDLE>(kModule, MAKE, dataHandle, indexHandle,  \
                                                      key);                                    \
  }

// PREFIX##KNUM and PREFIX##KDATE of a family whose number and date keys are
// binary, written by PUT_NUMBER and PUT_DATE; NUM_MODULE and DATE_MODULE name
// their log lines.
#define KV_INDEX_NUMBER_KEY_EXPORTS(PREFIX, NUM_MODULE, DATE_MODULE, PUT_NUMBER, PUT_DATE) \
  KV_API XBSTATUS KV_CALL PREFIX##KNUM(void* key, double value) {                          \
    constexpr const char* kNumModule = NUM_MODULE;                                         \
    const char* kModule = kNumModule;                                                      \
    XB_ENTER();                                                                            \
    return ::kv::xb::index::GiveNumberKey(kModule, key, value, PUT_NUMBER);                \
  }                                                                                        \
  KV_API XBSTATUS KV_CALL PREFIX##KDATE(void* key, const char* text, int16_t style) {      \
    constexpr const char* kDateModule = DATE_MODULE;                                       \
    const char* kModule = kDateModule;                                                     \
    XB_ENTER();                                                                            \
    return ::kv::xb::index::GiveDateKey(kModule, key, text, style, PUT_DATE);              \
  }

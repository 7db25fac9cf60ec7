// Keys the engine makes from a data file's current record, handed to the
// caller in an engine block: the block itself and the two exported ways of
// giving it (its address, left locked, or its handle, unlocked), written
// once for every index family.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"
#include "platform/kernel/memory.h"
#include "xbase/frame/engine.h"

namespace kv::xb::index {

// A zeroed, locked engine block for a key of `size` bytes (with the spare
// bytes every engine block has); -10 or -11 with a log line when the memory
// cannot be had or locked.
XBSTATUS NewKeyBlock(const char* module, size_t size, KVHGLOBAL* block, uint8_t** bytes);

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

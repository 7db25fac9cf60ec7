// Blocks handed to the host: moveable, zero-filled global memory, locked.
// Whoever receives one frees it by looking the handle up from the address.
#pragma once
#include <cstddef>

namespace kv::ext {

// A locked, zero-filled moveable block of `bytes`; null (after calling the
// out-of-memory hook, when one is set) when the allocation fails.
void* AllocateHostBlock(size_t bytes);

// Unlocks and frees the block holding `address`; a null address does nothing.
void FreeHostBlock(const void* address);

// Called whenever an allocation for the host fails; unset by default.
using OutOfMemoryHook = void (*)();
void SetOutOfMemoryHook(OutOfMemoryHook hook);

}  // namespace kv::ext

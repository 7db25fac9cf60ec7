// An ImageSource over bytes in memory, standing in for the host's opener
// in the image fuzz targets (one source at a time).
#pragma once
#include <cstdint>
#include <cstring>

#include "kv/image.h"

namespace kvfuzz {

struct MemoryBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t at = 0;
};

inline MemoryBytes g_memory;

inline int32_t KV_CALL MemoryReadSome(ImageSource*, void* buffer, uint32_t count) {
  const size_t left = g_memory.size - g_memory.at;
  const size_t take = count < left ? count : left;
  if (take > 0) std::memcpy(buffer, g_memory.data + g_memory.at, take);
  g_memory.at += take;
  return static_cast<int32_t>(take);
}

inline int32_t KV_CALL MemoryRead(ImageSource* source, void* buffer, uint32_t count) {
  if (g_memory.size - g_memory.at < count) return 0;
  return MemoryReadSome(source, buffer, count) == static_cast<int32_t>(count);
}

inline int32_t KV_CALL MemorySize(ImageSource*) {
  return static_cast<int32_t>(g_memory.size);
}
inline void KV_CALL MemoryClose(ImageSource*) {}

inline int32_t KV_CALL MemorySeek(ImageSource*, int32_t position, int32_t origin) {
  int64_t base = origin == 0 ? 0 : (origin == 1 ? int64_t(g_memory.at) : int64_t(g_memory.size));
  const int64_t target = base + position;
  if (origin < 0 || origin > 2 || target < 0 || target > int64_t(g_memory.size)) return -1;
  g_memory.at = static_cast<size_t>(target);
  return static_cast<int32_t>(target);
}

inline int32_t KV_CALL MemoryRewind(ImageSource* source, int32_t position) {
  return MemorySeek(source, position, 0);
}

inline void OpenMemorySource(ImageSource& source, const uint8_t* data, size_t size) {
  std::memset(&source, 0, sizeof source);
  g_memory = MemoryBytes{data, size, 0};
  std::strcpy(source.name, "fuzz.img");
  source.readSome = MemoryReadSome;
  source.read = MemoryRead;
  source.size = MemorySize;
  source.close = MemoryClose;
  source.seek = MemorySeek;
  source.rewind = MemoryRewind;
}

}  // namespace kvfuzz

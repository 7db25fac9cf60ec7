// The host's image sources: named files read through the platform's files.
#include <cstring>
#include <mutex>
#include <vector>

#include "kv/host_exports.h"
#include "platform/kernel/files.h"

namespace {

// The record has four bytes of the host's own (a slot number here) where a
// file handle, which is pointer-sized, would not fit on 64-bit.
struct OpenSources {
  std::mutex mutex;
  std::vector<kvp::HANDLE> handles{nullptr};  // slot 0 is never used
};

OpenSources& Sources() {
  static OpenSources sources;
  return sources;
}

uint32_t SlotOf(const ImageSource* source) {
  uint32_t slot = 0;
  std::memcpy(&slot, source->hostSlot, sizeof slot);
  return slot;
}

kvp::HANDLE HandleOf(const ImageSource* source) {
  if (source == nullptr) return nullptr;
  OpenSources& sources = Sources();
  std::lock_guard<std::mutex> guard(sources.mutex);
  const uint32_t slot = SlotOf(source);
  return slot < sources.handles.size() ? sources.handles[slot] : nullptr;
}

int32_t KV_CALL ReadSome(ImageSource* source, void* buffer, uint32_t count) {
  const kvp::HANDLE file = HandleOf(source);
  kvp::DWORD done = 0;
  if (file == nullptr || !kvp::ReadFile(file, buffer, count, &done, nullptr)) return -1;
  return static_cast<int32_t>(done);
}

int32_t KV_CALL ReadAll(ImageSource* source, void* buffer, uint32_t count) {
  const kvp::HANDLE file = HandleOf(source);
  kvp::DWORD done = 0;
  if (file == nullptr || !kvp::ReadFile(file, buffer, count, &done, nullptr)) return 0;
  return done == count ? 1 : 0;
}

int32_t KV_CALL Size(ImageSource* source) {
  const kvp::HANDLE file = HandleOf(source);
  if (file == nullptr) return -1;
  kvp::DWORD high = 0;
  const kvp::DWORD low = kvp::GetFileSize(file, &high);
  if (high != 0 || low > INT32_MAX) return -1;
  return static_cast<int32_t>(low);
}

int32_t KV_CALL Seek(ImageSource* source, int32_t position, int32_t origin) {
  const kvp::HANDLE file = HandleOf(source);
  if (file == nullptr || origin < 0 || origin > 2) return -1;
  kvp::SetLastError(0);
  const kvp::DWORD at =
      kvp::SetFilePointer(file, position, nullptr, static_cast<kvp::DWORD>(origin));
  if (at == kvp::INVALID_SET_FILE_POINTER && kvp::GetLastError() != 0) return -1;
  return at > INT32_MAX ? -1 : static_cast<int32_t>(at);
}

int32_t KV_CALL Rewind(ImageSource* source, int32_t position) {
  return Seek(source, position, 0);
}

void KV_CALL Close(ImageSource* source) {
  if (source == nullptr) return;
  kvp::HANDLE file = nullptr;
  {
    OpenSources& sources = Sources();
    std::lock_guard<std::mutex> guard(sources.mutex);
    const uint32_t slot = SlotOf(source);
    if (slot == 0 || slot >= sources.handles.size()) return;
    file = sources.handles[slot];
    sources.handles[slot] = nullptr;
  }
  std::memset(source->hostSlot, 0, sizeof source->hostSlot);
  if (file != nullptr) kvp::CloseHandle(file);
}

}  // namespace

extern "C" int32_t KV_CALL BMP_bOpenExport(ImageSource* source, const char* name, int32_t extra,
                                           int16_t kind, int32_t value) {
  if (source == nullptr || name == nullptr || kind != 0 || *name == '\0') return 0;
  const size_t length = std::strlen(name);
  if (length >= sizeof source->name) return 0;
  const kvp::HANDLE file =
      kvp::CreateFileA(name, kvp::GENERIC_READ, kvp::FILE_SHARE_READ, nullptr, kvp::OPEN_EXISTING,
                       kvp::FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == kvp::INVALID_HANDLE_VALUE) return 0;
  uint32_t slot = 0;
  {
    OpenSources& sources = Sources();
    std::lock_guard<std::mutex> guard(sources.mutex);
    for (uint32_t i = 1; i < sources.handles.size(); ++i)
      if (sources.handles[i] == nullptr) {
        slot = i;
        break;
      }
    if (slot == 0) {
      slot = static_cast<uint32_t>(sources.handles.size());
      sources.handles.push_back(nullptr);
    }
    sources.handles[slot] = file;
  }
  std::memset(source, 0, sizeof *source);
  source->kind = kind;
  std::memcpy(source->hostSlot, &slot, sizeof slot);
  std::memcpy(source->name, name, length + 1);
  source->readSome = ReadSome;
  source->read = ReadAll;
  source->size = Size;
  source->close = Close;
  source->seek = Seek;
  source->rewind = Rewind;
  return 1;
}

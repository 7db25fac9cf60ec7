// Start and end of an instance, and the two small text exports.
#include <algorithm>
#include <cstring>

#include "image/frame/library_state.h"
#include "image/frame/report.h"
#include "image/frame/wait_class.h"
#include "kv/image.h"
#include "platform/kernel/files.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/system.h"

namespace kvimg {

namespace {

char* AllocateLockedText(size_t bytes) {
  const kvp::HGLOBAL block = kvp::GlobalAlloc(kvp::GHND, bytes);
  if (block == 0) return nullptr;
  return static_cast<char*>(kvp::GlobalLock(block));
}

void FreeLockedText(char*& text) {
  if (text == nullptr) return;
  const kvp::HGLOBAL block = kvp::GlobalHandle(text);
  kvp::GlobalUnlock(block);
  kvp::GlobalFree(block);
  text = nullptr;
}

// Copies at most `length` characters and ends them with a zero, at
// `length` at most: the buffer holds length + 1 bytes, as the host's
// buffers do.
void CopyCut(char* buffer, int32_t length, const char* text) {
  if (buffer == nullptr || length < 0) return;
  const size_t count = std::min(std::strlen(text), static_cast<size_t>(length));
  std::memcpy(buffer, text, count);
  buffer[count] = '\0';
}

}  // namespace

void ReleaseLibraryBlocks() {
  LibraryState& state = State();
  FreeLockedText(state.rawText);
  FreeLockedText(state.formattedText);
  UnregisterWaitClass();
  state.initialised = false;
}

}  // namespace kvimg

using kvimg::State;

extern "C" {

int32_t KV_CALL bIMG_InitInstance(int32_t value, void* hostInstance,
                                  const ImageModuleTable* modules) {
  kvimg::LibraryState& state = State();
  state.modules = modules;
  state.hostInstance = hostInstance;
  const kvp::HMODULE host = kvp::GetModuleHandleA(kvimg::ModuleName(0));
  if (host == nullptr) return 0;
  state.openExport =
      reinterpret_cast<BmpOpenExportFn>(kvp::GetProcAddress(host, "BMP_bOpenExport"));
  if (state.openExport == nullptr) return 0;
  if (!state.handleCountRaised) {
    kvp::SetHandleCount(100);
    state.handleCountRaised = true;
  }
  if (state.rawText == nullptr) state.rawText = kvimg::AllocateLockedText(kvimg::kRawMessageBytes);
  if (state.formattedText == nullptr)
    state.formattedText = kvimg::AllocateLockedText(kvimg::kFormattedMessageBytes);
  if (state.rawText == nullptr || state.formattedText == nullptr) {
    kvimg::ReleaseLibraryBlocks();
    return 0;
  }
  if (!kvimg::RegisterWaitClass(hostInstance)) {
    kvimg::ReleaseLibraryBlocks();
    return 0;
  }
  state.initialised = true;
  return 1;
}

int32_t KV_CALL bIMG_FinInstance(int32_t value) {
  kvimg::ReleaseLibraryBlocks();
  State().openExport = nullptr;
  return 1;
}

char* KV_CALL pszIMG_GetMessage(int32_t value, char* buffer, int32_t length) {
  kvimg::CopyCut(buffer, length, kvimg::LastMessageText());
  return buffer;
}

void KV_CALL IMG_FormatReconnu(char* buffer, int32_t length) {
  kvimg::CopyCut(buffer, length,
                 "Images (*.TIF)\n *.tif\nImages (*.GIF)\n *.gif\nImages (*.JPG)\n *.jpg\n");
}

}  // extern "C"

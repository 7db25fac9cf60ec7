// The library's process-wide state: it serves one call at a time on the
// host's thread, so nothing here is locked.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/image.h"
#include "platform/kernel/win_types.h"

namespace kvimg {

// The raw text of a message is loaded into 243 bytes (242 characters), the
// formatted text into 343.
inline constexpr size_t kRawMessageBytes = 243;
inline constexpr size_t kFormattedMessageBytes = 343;

struct LibraryState {
  bool hostLoadedAtAttach = false;
  bool handleCountRaised = false;
  bool initialised = false;
  void* hostInstance = nullptr;
  const ImageModuleTable* modules = nullptr;
  BmpOpenExportFn openExport = nullptr;
  char* rawText = nullptr;
  char* formattedText = nullptr;
  unsigned lastMessage = 0;
  bool silent = false;
};

LibraryState& State();

// The name of the module at `index` of the host's table when it gives one,
// else of the built-in list; "" outside 0..15.
const char* ModuleName(int index);

// Whether the host module (index 0) is loaded in the process now.
bool HostModuleLoaded();

// Frees the message buffers (what bIMG_FinInstance does).
void ReleaseLibraryBlocks();

}  // namespace kvimg

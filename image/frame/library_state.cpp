#include "image/frame/library_state.h"

#include "platform/kernel/system.h"

namespace kvimg {

LibraryState& State() {
  static LibraryState state;
  return state;
}

namespace {

// The host and its sibling libraries, by the index the host's calls use.
constexpr const char* kBuiltInModules[16] = {
    "kvhost.DLL",  "kvhfile.DLL", "kvxbase.DLL", "kvsql.DLL", "kvcpl.DLL", "kvimage.DLL",
    "kvfiles.DLL", "kvhost.DLL",  "kvole.DLL",   "kvwdw.DLL", "kvstd.DLL", "kvcomm.DLL",
    "kvchart.DLL", "kvprint.DLL", "kvmath.DLL",  "kvrpl.DLL"};

// When the library is attached it notes whether the host is already there:
// a library loaded by anything else than the host cannot open sources.
__attribute__((constructor)) void NoteHostAtAttach() {
  State().hostLoadedAtAttach = HostModuleLoaded();
}

}  // namespace

const char* ModuleName(int index) {
  if (index < 0 || index > 15) return "";
  const ImageModuleTable* table = State().modules;
  if (table != nullptr && table->names != nullptr && index < table->count &&
      table->names[index] != nullptr)
    return table->names[index];
  return kBuiltInModules[index];
}

bool HostModuleLoaded() {
  return kvp::GetModuleHandleA(ModuleName(0)) != nullptr;
}

}  // namespace kvimg

#include "host/xbase_binding.h"

#include "platform/kernel/system.h"

namespace kvhost {

namespace {
template <typename F>
bool Bind(void* module, const char* name, F& slot, std::string& error) {
  slot = reinterpret_cast<F>(kvp::GetProcAddress(module, name));
  if (slot == nullptr) error = std::string("kvxbase has no export ") + name;
  return slot != nullptr;
}
}  // namespace

bool XbaseBinding::Load(std::string& error) {
  module = kvp::LoadLibraryA("kvxbase.dll");
  if (module == nullptr) {
    char name[256];
    kvp::MapModuleName("kvxbase.dll", name, sizeof name);
    error = std::string("cannot load ") + name;
    return false;
  }
#define KV_BIND(name) Bind(module, #name, name, error)
  return KV_BIND(KV5InitInstance) && KV_BIND(XBDTERM) && KV_BIND(XBESCODE) &&
         KV_BIND(XBDDOPENX) && KV_BIND(XBDDCLOSE) && KV_BIND(XBDDINFO) && KV_BIND(XBDDFINFO) &&
         KV_BIND(XBDDSIZE) && KV_BIND(XBDDLUD) && KV_BIND(XBDDRGET) && KV_BIND(XBDDRINFO) && KV_BIND(XBDDFGET) &&
         KV_BIND(XBDDFGETS) && KV_BIND(XBCDSTYLE) && KV_BIND(XBCDGSTYLE) && KV_BIND(XBCDS2S) &&
         KV_BIND(XBCDS2LX) && KV_BIND(XBCDS2DAY) && KV_BIND(XBDXEVAL) && KV_BIND(XBMFREE) && KV_BIND(XBDNCREATE) && KV_BIND(XBDNOPENX) &&
         KV_BIND(XBDNCLOSE) && KV_BIND(XBDNKMAKE) && KV_BIND(XBDNKADD) && KV_BIND(XBDNKFIND) &&
         KV_BIND(XBDNKTOP) && KV_BIND(XBDNKBOT) && KV_BIND(XBDNKNEXT) && KV_BIND(XBDNKPREV) &&
         KV_BIND(XBDDRLOCK) && KV_BIND(XBDDCREATE) && KV_BIND(XBDDFPUT) && KV_BIND(XBDDRPUT) &&
         KV_BIND(XBDDRDEL) && KV_BIND(XBDDPACK);
#undef KV_BIND
}

bool XbaseBinding::LoadIndexBuilds(std::string& error) {
  if (module == nullptr) {
    error = "kvxbase is not loaded";
    return false;
  }
#define KV_BIND(name) Bind(module, #name, name, error)
  return KV_BIND(XBDNINDEX) && KV_BIND(XBDIINDEX) && KV_BIND(XBDCINDEX) && KV_BIND(XBDMTINDEX) &&
         KV_BIND(XBDMCREATE) && KV_BIND(XBDMOPENX) && KV_BIND(XBDMCLOSE);
#undef KV_BIND
}

void XbaseBinding::Unload() {
  if (module != nullptr) kvp::FreeLibrary(module);
  module = nullptr;
}

}  // namespace kvhost

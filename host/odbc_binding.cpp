#include "host/odbc_binding.h"

#include <cstring>

#include "platform/kernel/memory.h"
#include "platform/kernel/system.h"

namespace kvhost {

namespace {

template <typename F>
bool Bind(void* module, F& slot, const char* name, std::string& error) {
  slot = reinterpret_cast<F>(kvp::GetProcAddress(module, name));
  if (slot == nullptr) error = std::string("kvodbc has no ") + name;
  return slot != nullptr;
}

bool EqualsNoCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != b[i]) return false;
  }
  return true;
}

}  // namespace

bool OdbcLibrary::Load(std::string& error) {
  module = kvp::LoadLibraryA("kvodbc.dll");
  if (module == nullptr) {
    error = "libkvodbc.so could not be loaded";
    return false;
  }
  const bool bound = Bind(module, OD_bChargeODBC, "OD_bChargeODBC", error) &&
                     Bind(module, OD_bDechargeODBC, "OD_bDechargeODBC", error) &&
                     Bind(module, OD_ConnecteODBC, "OD_ConnecteODBC", error) &&
                     Bind(module, OD_Disconnect, "OD_Disconnect", error) &&
                     Bind(module, OD_bInfoGene, "OD_bInfoGene", error) &&
                     Bind(module, OD_pszListeBase, "OD_pszListeBase", error) &&
                     Bind(module, OD_pszListeTable, "OD_pszListeTable", error) &&
                     Bind(module, OD_ExecDirect, "OD_ExecDirect", error) &&
                     Bind(module, OD_Fetch, "OD_Fetch", error) &&
                     Bind(module, OD_ValLineComplete, "OD_ValLineComplete", error) &&
                     Bind(module, OD_GetLongData, "OD_GetLongData", error) &&
                     Bind(module, OD_GetColonnes, "OD_GetColonnes", error) &&
                     Bind(module, OD_LibRequete, "OD_LibRequete", error);
  if (!bound) Unload();
  return bound;
}

void OdbcLibrary::Unload() {
  if (module != nullptr) kvp::FreeLibrary(module);
  module = nullptr;
}

void FreeOdbcBlock(const void* address) {
  if (address == nullptr) return;
  const kvp::HGLOBAL block = kvp::GlobalHandle(address);
  if (block == 0) return;
  kvp::GlobalUnlock(block);
  kvp::GlobalFree(block);
}

bool ParseConnectString(const std::string& text, ConnectionInfo& info, std::string& error) {
  info = ConnectionInfo{};
  info.mode = kOdbcConnectStringMode;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(';', at);
    if (end == std::string::npos) end = text.size();
    const std::string part = text.substr(at, end - at);
    at = end + 1;
    if (part.empty()) continue;
    const size_t equals = part.find('=');
    if (equals == std::string::npos) {
      error = "\"" + part + "\" has no '='";
      return false;
    }
    const std::string key = part.substr(0, equals);
    const std::string value = part.substr(equals + 1);
    char* field = EqualsNoCase(key, "DSN")        ? info.dataSource
                  : EqualsNoCase(key, "UID")      ? info.user
                  : EqualsNoCase(key, "PWD")      ? info.password
                  : EqualsNoCase(key, "DATABASE") ? info.database
                                                  : nullptr;
    if (field == nullptr) {
      error = "unknown key \"" + key + "\" (DSN, UID, PWD, DATABASE)";
      return false;
    }
    if (value.size() >= kOdbcConnectionField) {
      error = key + " is longer than 100 characters";
      return false;
    }
    std::memcpy(field, value.c_str(), value.size() + 1);
  }
  if (info.dataSource[0] == '\0') {
    error = "the connect string names no DSN";
    return false;
  }
  return true;
}

}  // namespace kvhost

// kvodbc loaded at run time, as the host loads it: the OD_ entry points are
// taken by name from the shared library.
#pragma once
#include <string>

#include "kv/odbc.h"

namespace kvhost {

struct OdbcLibrary {
  void* module = nullptr;
  decltype(&::OD_bChargeODBC) OD_bChargeODBC = nullptr;
  decltype(&::OD_bDechargeODBC) OD_bDechargeODBC = nullptr;
  decltype(&::OD_ConnecteODBC) OD_ConnecteODBC = nullptr;
  decltype(&::OD_Disconnect) OD_Disconnect = nullptr;
  decltype(&::OD_bInfoGene) OD_bInfoGene = nullptr;
  decltype(&::OD_pszListeBase) OD_pszListeBase = nullptr;
  decltype(&::OD_pszListeTable) OD_pszListeTable = nullptr;
  decltype(&::OD_ExecDirect) OD_ExecDirect = nullptr;
  decltype(&::OD_Fetch) OD_Fetch = nullptr;
  decltype(&::OD_ValLineComplete) OD_ValLineComplete = nullptr;
  decltype(&::OD_GetLongData) OD_GetLongData = nullptr;
  decltype(&::OD_GetColonnes) OD_GetColonnes = nullptr;
  decltype(&::OD_LibRequete) OD_LibRequete = nullptr;

  // Loads the library and every entry point; on failure `error` says which.
  bool Load(std::string& error);
  void Unload();
};

// Frees a text or memo block the library handed out.
void FreeOdbcBlock(const void* address);

// "DSN=..;UID=..;PWD=..;DATABASE=.." (keys in any case, in any order) as the
// record OD_ConnecteODBC takes; false with `error` set for an unknown key or
// a value longer than its field.
bool ParseConnectString(const std::string& text, ConnectionInfo& info, std::string& error);

}  // namespace kvhost

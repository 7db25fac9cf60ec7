// The texts kvcomm shows about mail: logon failures by Simple MAPI code and
// the failures of loading the library.
#pragma once
#include <cstdint>

namespace kv::comm {

// The text shown for a logon code ("Erreur mail inconnue" for codes
// without one of their own).
const char* MailCodeText(uint32_t code);

inline constexpr const char* kMailErrorCaption = "Erreur";
inline constexpr const char* kMailLogonCaption = "Erreur Mail Internet";
inline constexpr const char* kNoMemoryForSession =
    "M\xe9moire insuffisante pour ouvrir une session mail.";
inline constexpr const char* kCannotLoadMapi = "Impossible de charger MAPI32.DLL";
inline constexpr const char* kMapiLoadFailed = "Echec lors du chargement de la DLL MAPI";
inline constexpr const char* kMapiLibraryName = "MAPI32.DLL";

}  // namespace kv::comm

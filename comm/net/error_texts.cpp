// The French texts of socket errors, in Windows-1252 (0xE9 is e acute), and the
// message box that shows the platform's last error.
#include <cstdio>
#include <cstring>

#include "kv/comm_net.h"
#include "platform/net/winsock.h"
#include "platform/ui/message_box.h"

namespace {

struct ErrorText {
  int code;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {10004, "L'appel bloquant a \xE9t\xE9 interrompu"},
    {10014,
     "Taille sp\xE9"
     "cifi\xE9"
     "e trop petite"},
    {10022, "WSAEINVAL"},
    {10024, "Plus de descripteurs de fichiers disponibles"},
    {10035, "WSAEWOULDBLOCK"},
    {10036, "Une op\xE9ration bloquante sur socket est en cours"},
    {10038,
     "Le descripteur sp\xE9"
     "cifi\xE9 n'est pas une socket"},
    {10039,
     "Une adresse de destination est n\xE9"
     "cessaire"},
    {10040, "Datagramme trop grand"},
    {10041, "Type de protocole incompatible avec ce type de socket"},
    {10043,
     "Le protocole sp\xE9"
     "cifi\xE9 n'est pas support\xE9"},
    {10044,
     "Le type de socket sp\xE9"
     "cifi\xE9 n'est pas support\xE9 dans cette famille d'adresses"},
    {10045,
     "Le type de la socket sp\xE9"
     "cifi\xE9"
     "e est incompatible avec l'op\xE9ration Listen"},
    {10047,
     "La famille de l'adresse sp\xE9"
     "cifi\xE9"
     "e n'est pas support\xE9"
     "e"},
    {10048,
     "L'adresse sp\xE9"
     "cifi\xE9"
     "e est d\xE9j\xE0 utilis\xE9"
     "e"},
    {10049,
     "L'adresse sp\xE9"
     "cifi\xE9"
     "e ne peut \xEAtre atteinte"},
    {10050, "Probl\xE8me au niveau du sous-syst\xE8me de r\xE9seau"},
    {10051, "Le r\xE9seau n'est pas joignable actuellement"},
    {10052,
     "La connection doit \xEAtre r\xE9initialis\xE9"
     "e"},
    {10053,
     "Connexion abandonn\xE9"
     "e"},
    {10054,
     "Connexion R\xE9initialis\xE9"
     "e par l'autre partie"},
    {10055, "Plus assez de buffers disponibles"},
    {10056,
     "La socket est d\xE9j\xE0 connect\xE9"
     "e"},
    {10057,
     "La socket n'est pas connect\xE9"
     "e"},
    {10058,
     "La socket a \xE9t\xE9 ferm\xE9"
     "e"},
    {10060, "D\xE9lai de connexion d\xE9pass\xE9"},
    {10061,
     "Connexion refus\xE9"
     "e"},
    {10091, "Le syst\xE8me de r\xE9seau n'est pas pr\xEAt"},
    {10092,
     "Version de Winsock.dll non support\xE9"
     "e par l'application"},
    {10093,
     "Winsock.dll non initialis\xE9"
     "e"},
    {11001, "Authoritative Answer Host not found"},
    {11002, "Non-Authoritative Host not found"},
    {11003,
     "Erreur irr\xE9"
     "cup\xE9rable"},
    {11004, "Nom valide, pas d'enregistrement correspondant"},
    {12001,
     "Cr\xE9"
     "ation de l'objet socket impossible : Probl\xE8me m\xE9moire"},
    {16001, "Plus de m\xE9moire disponible"},
    {16002,
     "Impossible de cr\xE9"
     "er le canal de service"},
    {16003,
     "Impossible de cr\xE9"
     "er le thread d'attente de connexion client"},
    {16004,
     "Impossible de cr\xE9"
     "er le thread de la fonction de service"},
    {16005, "Probl\xE8me lors de l'attente des clients"},
    {16006,
     "Impossible de cr\xE9"
     "er la socket d'\xE9"
     "coute (Serveur) ou locale (Client)"},
    {16007, "Communication KV impossible"},
};

}  // namespace

char* KV_CALL szTranslateError(char* buffer, int code) {
  if (buffer == nullptr) return nullptr;
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.code == code) {
      std::strcpy(buffer, entry.text);
      return buffer;
    }
  }
  // "Erreur n\xB0 %d": 0xB0 is the degree sign.
  std::snprintf(buffer, 128, "Erreur n\xB0 %d", code);
  return buffer;
}

void KV_CALL DisplayLastError(void* window, const char* caption) {
  char text[128];
  szTranslateError(text, kvp::WSAGetLastError());
  kvp::MessageBoxA(window, text, caption, kvp::MB_OK);
}

// Texts of the remote services.
#include "comm/rpc/texts.h"

namespace kvrpc {

const char* const kTextNoPasswordFile =
    "Fichier des mots de passe (KVRPCSRV.INI) non trouv\xE9 dans le r\xE9pertoire du "
    "serveur:\r\n%s";
const char* const kTextFileUnavailableRemote =
    "Le fichier demand\xE9 n'est pas disponible sur la machine distante";
const char* const kTextFileNotReceived = "Le fichier n'a pas \xE9t\xE9 correctement recu";
const char* const kTextOpenFailed = "Probl\xE8me \xE0 l'ouverture du fichier demand\xE9";
const char* const kTextReopenFailed =
    "Fichier demand\xE9 non ouvert ou inexistant (Fonction de service - Send)";
const char* const kTextSendFailed = "Erreur lors de l'envoi du fichier (Fonction de service)";
const char* const kTextUnknownCommand = "COMMANDE INCONNUE";
const char* const kTextThreadFailed =
    "Probleme \xE0 la cr\xE9"
    "ation du thread";
const char* const kTextNotReady = "Le service de transfert n'est pas pr\xEAt";
const char* const kTextFileUnavailableServer =
    "Le fichier demand\xE9 n'est pas disponible sur le serveur";
// Sizes travel as signed 32-bit numbers: a file of 2 GiB or more cannot.
const char* const kTextFileTooLarge =
    "Le fichier demand\xE9 d\xE9passe 2 Go et ne peut pas \xEAtre transf\xE9r\xE9";

namespace {

const char* const kExceptionTexts[] = {
    "Access violation",
    "Tentative d'acc\xE8s \xE0 un \xE9l\xE9ment de tableau hors limites",
    "Breakpoint rencontr\xE9",
    "Donn\xE9"
    "e mal align\xE9"
    "e (16 bits: 2 octets d'alignement, 32 bits: 4 octets "
    "d'alignement...)",
    "Op\xE9rande flottant anormal",
    "Flottant divis\xE9 par z\xE9ro",
    "Le r\xE9sultat d'une op\xE9ration sur flottants ne peut \xEAtre repr\xE9sent\xE9"
    "e "
    "comme une fraction d\xE9"
    "cimale",
    "Op\xE9ration sur flottants invalide",
    "D\xE9"
    "bordement sur flottant",
    "Erreur de pile apr\xE8s une op\xE9ration sur flottant",
    "D\xE9"
    "bordement inf\xE9rieur (Underflow) sur flottant",
    "Tentative d'acc\xE8s \xE0 une page m\xE9moire prot\xE9g\xE9"
    "e",
    "Instruction invalide",
    "D\xE9"
    "faut de page. Le syst\xE8me de fichier ou un driver de p\xE9riph\xE9rique a "
    "retourn\xE9 une erreur de lecture",
    "Entier divis\xE9 par z\xE9ro",
    "D\xE9"
    "bordement sur entier",
    "Invalid disposition",
    "Tentative d'ex\xE9"
    "cution de code apr\xE8s une exception ",
    "Tentative d'ex\xE9"
    "cution d'une instruction non autoris\xE9"
    "e dans le mode courant de "
    "la machine",
    "Un pas a \xE9t\xE9 ex\xE9"
    "cut\xE9 ( Mode pas \xE0 pas )",
    "D\xE9"
    "bordement de pile",
};
static_assert(sizeof kExceptionTexts / sizeof kExceptionTexts[0] == 21);

}  // namespace

const char* ExceptionText(int32_t status) {
  if (status < 6 || status > 26) return nullptr;
  return kExceptionTexts[status - 6];
}

std::string StatusMessage(int32_t status, const char* function, const char* module,
                          const char* user) {
  const std::string f = function != nullptr ? function : "";
  switch (status) {
    case 1:
      return std::string(module != nullptr ? module : "") +
             " :\nErreur lors du chargement du module sur la machine distante";
    case 2:
      return "La fonction " + f + " n'est pas disponible sur le serveur";
    case 3:
      return "Type de param\xE8tre pass\xE9 \xE0 la fonction " + f + " non support\xE9";
    case 4:
      return "La version de Proxy utilis\xE9"
             "e n'est pas compatible avec la version "
             "utilis\xE9"
             "e par le serveur";
    case 5:
      return std::string(user != nullptr ? user : "") +
             " :\nUtilisateur inconnu ou mot de passe incorrect";
    default:
      break;
  }
  if (const char* text = ExceptionText(status))
    return "La fonction " + f +
           " a provoqu\xE9 l'exception suivante lors de son ex\xE9"
           "cution sur le serveur:\n" +
           text;
  return "Erreur non r\xE9"
         "f\xE9renc\xE9"
         "e";
}

}  // namespace kvrpc

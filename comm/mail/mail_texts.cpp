#include "comm/mail/mail_texts.h"

namespace kv::comm {

const char* MailCodeText(uint32_t code) {
  switch (code) {
    case 1:
      return "Annulation de l'utilisateur.\nLa session mail n'est pas retourn\xe9"
             "e.";
    case 2:
      return "Une erreur est apparue lors de la communication avec le serveur Mail.";
    case 3:
      return "Absence de logon par d\xe9"
             "faut: le 'user' a \xe9"
             "chou\xe9.\nLa session mail "
             "n'est pas retourn\xe9"
             "e.";
    case 4:
      return "Il n'y a plus suffisamment de place sur le disque.";
    case 5:
      return "M\xe9moire insuffisante";
    case 8:
      return "Trop de sessions ouvertes simultan\xe9ment.\nLa session mail n'est pas "
             "retourn\xe9"
             "e.";
    case 9:
      return "Il y a trop de fichiers attach\xe9s au message.\nLe message ne peut \xeatre lu.";
    case 10:
      return "Il y a trop de destinataires pour ce message.\nLe message ne peut \xeatre lu.";
    case 11:
      return "Attache du mail non trouv\xe9"
             "e.\nLe message ne peut \xeatre envoy\xe9.";
    case 12:
      return "Impossible d'ouvrir l'attache du mail.\nLe message ne peut \xeatre envoy\xe9.";
    case 13:
      return "Une attache du mail ne peut \xeatre sauv\xe9"
             "e dans un fichier temporaire.\nV\xe9"
             "rifiez les permissions.";
    case 14:
      return "Le destinataire n'existe pas dans la liste des adresses.\nLe message ne peut "
             "\xeatre envoy\xe9.";
    case 15:
      return "Mauvais type d'envoyeur ou destinataire.\nLe message ne peut \xeatre envoy\xe9.";
    case 17:
      return "Identifieur de message invalide.";
    case 18:
      return "Le message est trop long.\nLe message ne peut \xeatre envoy\xe9.";
    case 19:
      return "Session mail invalide.";
    case 21:
      return "Envoyeur ou destinataire ambigu.\nLe message ne peut \xeatre envoy\xe9.";
    case 26:
      return "Op\xe9ration non support\xe9"
             "e par le syst\xe8me de messagerie MAPI";
    case 30:
      return "Certains messages ou tous les messages\nn'ont pas \xe9t\xe9 remis au serveur mail.";
    default:
      return "Erreur mail inconnue";
  }
}

}  // namespace kv::comm

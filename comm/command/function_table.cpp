// The 29 language functions of kvcomm with their syntaxes: the network
// functions, the e-mail functions and the serial port functions. Every
// syntax of a function has the same result type.
#include <array>
#include <initializer_list>
#include <iterator>

#include "comm/command/comm_tables.h"
#include "comm/serial/call_result.h"
#include "kv/comm_functions.h"
#include "kv/comm_mail.h"
#include "kv/comm_serial.h"

namespace kv::comm {
namespace {

constexpr uint8_t kNone = kResultNone, kInt = kResultInt, kBool = kResultBool, kText = kResultText;

constexpr SyntaxDescriptor Syntax(uint8_t result, std::initializer_list<uint16_t> types) {
  SyntaxDescriptor syntax{};
  syntax.parameterCount = static_cast<uint8_t>(types.size());
  syntax.resultType = result;
  int slot = 0;
  for (uint16_t type : types) syntax.parameters[slot++].type = type;
  return syntax;
}

constexpr uint16_t S = kArgSerial, IA = kArgIntAlt, TA = kArgTextAlt, T = kArgText, I = kArgInt;

// The syntaxes of one function lie next to each other, one array each.
constexpr SyntaxDescriptor kAddress[] = {Syntax(kText, {}), Syntax(kText, {S}), Syntax(kText, {TA}),
                                         Syntax(kText, {TA, I})};
constexpr SyntaxDescriptor kMachineName[] = {Syntax(kText, {})};
constexpr SyntaxDescriptor kStartServer[] = {Syntax(kInt, {I}), Syntax(kInt, {I, I}),
                                             Syntax(kInt, {I, I, I})};
constexpr SyntaxDescriptor kEndServer[] = {Syntax(kBool, {I})};
constexpr SyntaxDescriptor kConnect[] = {Syntax(kInt, {T, I, T, T}), Syntax(kInt, {T, I, T, T, I}),
                                         Syntax(kInt, {T, I, T, T, I, I}),
                                         Syntax(kInt, {T, I, T, T, I, I, I})};
constexpr SyntaxDescriptor kDisconnect[] = {Syntax(kNone, {I})};
constexpr SyntaxDescriptor kRemoteBox[] = {Syntax(kInt, {I, T, T, I})};
constexpr SyntaxDescriptor kSendMessage[] = {
    Syntax(kNone, {I, IA}),    Syntax(kNone, {I, TA}),       Syntax(kNone, {I, IA, I}),
    Syntax(kNone, {I, TA, I}), Syntax(kNone, {I, IA, I, I}), Syntax(kNone, {I, TA, I, I})};
constexpr SyntaxDescriptor kSendBuffer[] = {Syntax(kBool, {I, T}), Syntax(kBool, {I, T, I})};
constexpr SyntaxDescriptor kExecute[] = {Syntax(kNone, {I, T})};
constexpr SyntaxDescriptor kTransfer[] = {Syntax(kBool, {I, T, T}), Syntax(kBool, {I, T, T, IA, I}),
                                          Syntax(kBool, {I, T, T, TA, I})};
constexpr SyntaxDescriptor kDirList[] = {Syntax(kText, {TA}), Syntax(kText, {IA, TA})};
constexpr SyntaxDescriptor kDiskList[] = {Syntax(kText, {}), Syntax(kText, {I})};
constexpr SyntaxDescriptor kMailOpen[] = {Syntax(kInt, {T})};
constexpr SyntaxDescriptor kMailClose[] = {Syntax(kNone, {I})};
constexpr SyntaxDescriptor kMailUpdate[] = {Syntax(kBool, {I})};
constexpr SyntaxDescriptor kMailSend[] = {Syntax(kBool, {I}), Syntax(kBool, {I, I}),
                                          Syntax(kBool, {I, I, T})};
constexpr SyntaxDescriptor kMailRead[] = {Syntax(kBool, {I}), Syntax(kBool, {I, T}),
                                          Syntax(kBool, {I, T, T})};
constexpr SyntaxDescriptor kMailDelete[] = {Syntax(kBool, {I})};
constexpr SyntaxDescriptor kOpen[] = {Syntax(kBool, {S, S, S})};
constexpr SyntaxDescriptor kClose[] = {Syntax(kNone, {S})};
constexpr SyntaxDescriptor kParameter[] = {
    Syntax(kBool, {S, S, S, S, S}), Syntax(kBool, {S, S, S, S, S, S}),
    Syntax(kBool, {S, S, S, S, S, S, S}), Syntax(kBool, {S, S, S, S, S, S, S, S})};
constexpr SyntaxDescriptor kRead[] = {Syntax(kText, {S, S})};
constexpr SyntaxDescriptor kWrite[] = {Syntax(kInt, {S, TA})};
constexpr SyntaxDescriptor kQueue[] = {Syntax(kInt, {S})};
constexpr SyntaxDescriptor kEscape[] = {Syntax(kBool, {S, TA})};

template <size_t N>
constexpr FunctionEntry Function(const SyntaxDescriptor (&syntaxes)[N], const char* french,
                                 const char* english, KvLanguageFunction function) {
  static_assert(N >= 1 && N <= KV_EXT_MAX_SYNTAXES);
  return FunctionEntry{static_cast<uint8_t>(N), syntaxes, french, english, function, 0};
}

// Accented letters are Windows-1252 bytes; a literal is split after each one
// so that the next letter is not read as part of the escape.
const FunctionEntry kFunctions[] = {
    Function(kAddress, "NetAdresseIP", "NetIPAddress", NET_bNetAdresseIP),
    Function(kMachineName, "NetNomMachine", "NetMachineName", NET_bNetNomMachine),
    Function(kStartServer,
             "NetD\xe9"
             "marreServeur",
             "NetStartServer", NET_bNetDemarreServeur),
    Function(kEndServer, "NetFinServeur", "NetEndServer", NET_bNetFinServeur),
    Function(kConnect, "NetConnecte", "NetConnect", NET_bNetConnecte),
    Function(kDisconnect,
             "NetD\xe9"
             "connecte",
             "NetDisconnect", NET_bNetDeconnecte),
    Function(kRemoteBox, "NetMessageBoxDistant", "NetRemoteMessageBox", NET_bNetMessageBoxDistant),
    Function(kSendMessage, "NetEnvoieMessage", "NetSendMessage", NET_bNetEnvoieMessage),
    Function(kSendBuffer, "NetEnvoieBuffer", "NetSendBuffer", NET_bNetEnvoieBuffer),
    Function(kExecute,
             "NetEx\xe9"
             "cute",
             "NetExecute", NET_bNetExecute),
    Function(kTransfer, "NetEnvoieFichier", "NetSendFile", NET_bNetEnvoieFichier),
    Function(kTransfer,
             "NetR\xe9"
             "cup\xe8"
             "reFichier",
             "NetGetFile", NET_bNetRecupereFichier),
    Function(kDirList, "NetListeRep", "NetDirList", NET_bNetListeRep),
    Function(kDiskList, "NetListeDisque", "NetDiskList", NET_bNetListeDisque),
    Function(kMailOpen, "EMailOuvreSession", "EMailStartSession", NET_bEMailOuvreSession),
    Function(kMailClose, "EMailFermeSession", "EMailCloseSession", NET_bEMailFermeSession),
    Function(kMailUpdate, "EMailMiseAJour", "EMailUpdate", NET_bEMailMiseAJour),
    Function(kMailSend, "EMailEnvoieMessage", "EMailSendMessage", NET_bEMailEnvoieMessage),
    Function(kMailRead, "EMailLitSuivant", "EMailReadNext", NET_bEMailLitSuivant),
    Function(kMailRead, "EMailLitPremier", "EMailReadFirst", NET_bEMailLitPremier),
    Function(kMailDelete, "EMailSupprimeMessage", "EMailDeleteMessage", NET_bEMailSupprimeMessage),
    Function(kOpen, "sOuvre", "sOpen", SERIE_bsOuvre),
    Function(kClose, "sFerme", "sClose", SERIE_bsFerme),
    Function(kParameter,
             "sFixeParam\xe8"
             "tre",
             "sParameter", SERIE_bsFixeParametre),
    Function(kRead, "sLit", "sRead", SERIE_bsLit),
    Function(kWrite, "sEcrit", "sWrite", SERIE_bsEcrit),
    Function(kQueue,
             "sDansFileEntr\xe9"
             "e",
             "sInEntryQueue", SERIE_bsDansFileEntree),
    Function(kQueue, "sDansFileSortie", "sInExitQueue", SERIE_bsDansFileSortie),
    Function(kEscape, "sEchap", "sEscape", SERIE_bsEchap),
};
static_assert(std::size(kFunctions) == kFunctionCount);

}  // namespace

std::span<const FunctionEntry> FunctionTable() {
  return kFunctions;
}

bool DeclaresSyntax(KvLanguageFunction function, const CallBlock& call) {
  for (const FunctionEntry& entry : kFunctions) {
    if (entry.function == function)
      return call.syntaxIndex >= 0 && call.syntaxIndex < entry.syntaxCount;
  }
  return false;
}

}  // namespace kv::comm

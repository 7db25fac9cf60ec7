// DLL_bCommande of kvcomm: every command's answer, the three tables and
// their names in both languages, the instance it creates and the Email
// members command 8 binds.
#include <algorithm>
#include <fstream>

#include "tests/comm_command/comm_fixture.h"
#include "tests/comm_serial/pty_pair.h"

namespace commcmd {
namespace {

constexpr int16_t kDescribe = 3, kBind = 8;

struct Expected {
  const char* french;
  const char* english;
  uint8_t syntaxes;
  uint8_t result;
};

// Accented letters in Windows-1252.
const Expected kFunctions[] = {
    {"NetAdresseIP", "NetIPAddress", 4, 6},
    {"NetNomMachine", "NetMachineName", 1, 6},
    {"NetD\xe9"
     "marreServeur",
     "NetStartServer", 3, 2},
    {"NetFinServeur", "NetEndServer", 1, 3},
    {"NetConnecte", "NetConnect", 4, 2},
    {"NetD\xe9"
     "connecte",
     "NetDisconnect", 1, 0},
    {"NetMessageBoxDistant", "NetRemoteMessageBox", 1, 2},
    {"NetEnvoieMessage", "NetSendMessage", 6, 0},
    {"NetEnvoieBuffer", "NetSendBuffer", 2, 3},
    {"NetEx\xe9"
     "cute",
     "NetExecute", 1, 0},
    {"NetEnvoieFichier", "NetSendFile", 3, 3},
    {"NetR\xe9"
     "cup\xe8"
     "reFichier",
     "NetGetFile", 3, 3},
    {"NetListeRep", "NetDirList", 2, 6},
    {"NetListeDisque", "NetDiskList", 2, 6},
    {"EMailOuvreSession", "EMailStartSession", 1, 2},
    {"EMailFermeSession", "EMailCloseSession", 1, 0},
    {"EMailMiseAJour", "EMailUpdate", 1, 3},
    {"EMailEnvoieMessage", "EMailSendMessage", 3, 3},
    {"EMailLitSuivant", "EMailReadNext", 3, 3},
    {"EMailLitPremier", "EMailReadFirst", 3, 3},
    {"EMailSupprimeMessage", "EMailDeleteMessage", 1, 3},
    {"sOuvre", "sOpen", 1, 3},
    {"sFerme", "sClose", 1, 0},
    {"sFixeParam\xe8"
     "tre",
     "sParameter", 4, 3},
    {"sLit", "sRead", 1, 6},
    {"sEcrit", "sWrite", 1, 2},
    {"sDansFileEntr\xe9"
     "e",
     "sInEntryQueue", 1, 2},
    {"sDansFileSortie", "sInExitQueue", 1, 2},
    {"sEchap", "sEscape", 1, 3},
};

// A copy of a field of a packed record: the test macros take their
// arguments by reference, which a misaligned field cannot bind to.
template <class T>
T Val(T value) {
  return value;
}

std::vector<uint16_t> Types(const SyntaxDescriptor& s) {
  std::vector<uint16_t> types;
  for (int i = 0; i < s.parameterCount; ++i) types.push_back(Val(s.parameters[i].type));
  return types;
}

using CommandEntry = CommTest;

TEST_F(CommandEntry, DescribesTwentyNineFunctionsTenConstantsElevenVariables) {
  ExtensionDescription block;
  std::memset(&block, 0xAB, sizeof block);
  ASSERT_EQ(library_.Command(kDescribe, 0, &block), 1);
  EXPECT_EQ(Val(block.functionCount), 29);
  EXPECT_EQ(Val(block.constantCount), 10);
  EXPECT_EQ(Val(block.variableCount), 11);
  EXPECT_EQ(Val(block.libraryCode), 10);
  EXPECT_EQ(std::string(block.traceFile, 15), "c:\\TRACEGRF.TXT");
  for (size_t i = 15; i < sizeof block.traceFile; ++i) EXPECT_EQ(block.traceFile[i], 0);
  EXPECT_EQ(block.traceFileEnd, 0);
  // The gaps stay as the host left them.
  for (uint8_t byte : block.notWritten0) EXPECT_EQ(byte, 0xAB);
  for (uint8_t byte : block.notWritten1) EXPECT_EQ(byte, 0xAB);
  for (uint8_t byte : block.notWritten2) EXPECT_EQ(byte, 0xAB);
  for (uint8_t byte : block.notWritten3) EXPECT_EQ(byte, 0xAB);
}

TEST_F(CommandEntry, FunctionTableInOrderWithBothNames) {
  const ExtensionDescription& d = library_.description();
  ASSERT_EQ(Val(d.functionCount), std::size(kFunctions));
  for (size_t i = 0; i < std::size(kFunctions); ++i) {
    const FunctionEntry& entry = d.functions[i];
    SCOPED_TRACE(kFunctions[i].english);
    EXPECT_STREQ(entry.frenchName, kFunctions[i].french);
    EXPECT_STREQ(entry.englishName, kFunctions[i].english);
    EXPECT_EQ(entry.syntaxCount, kFunctions[i].syntaxes);
    EXPECT_EQ(Val(entry.reserved), 0);
    EXPECT_NE(Val(entry.function), nullptr);
    for (int s = 0; s < entry.syntaxCount; ++s) {
      EXPECT_EQ(entry.syntaxes[s].resultType, kFunctions[i].result);
      EXPECT_EQ(entry.syntaxes[s].end, 0);
      for (int slot = 0; slot < KV_EXT_MAX_PARAMETERS; ++slot) {
        EXPECT_EQ(Val(entry.syntaxes[s].parameters[slot].reserved), 0u);
        if (slot >= entry.syntaxes[s].parameterCount) {
          EXPECT_EQ(Val(entry.syntaxes[s].parameters[slot].type), 0);
        }
      }
    }
    // Each French and English name finds this very entry.
    EXPECT_EQ(library_.FindFunction(kFunctions[i].french), &entry);
    EXPECT_EQ(library_.FindFunction(kFunctions[i].english), &entry);
  }
}

TEST_F(CommandEntry, ParameterTypesOfTheSyntaxes) {
  using V = std::vector<uint16_t>;
  auto syntax = [&](const char* name, int s) {
    return Types(library_.FindFunction(name)->syntaxes[s]);
  };
  EXPECT_EQ(syntax("NetIPAddress", 0), V{});
  EXPECT_EQ(syntax("NetIPAddress", 1), V{0x02});
  EXPECT_EQ(syntax("NetIPAddress", 2), V{0x08});
  EXPECT_EQ(syntax("NetIPAddress", 3), (V{0x08, 0x0c}));
  EXPECT_EQ(syntax("NetConnect", 3), (V{0x0b, 0x0c, 0x0b, 0x0b, 0x0c, 0x0c, 0x0c}));
  EXPECT_EQ(syntax("NetSendMessage", 0), (V{0x0c, 0x04}));
  EXPECT_EQ(syntax("NetSendMessage", 5), (V{0x0c, 0x08, 0x0c, 0x0c}));
  EXPECT_EQ(syntax("NetGetFile", 2), (V{0x0c, 0x0b, 0x0b, 0x08, 0x0c}));
  EXPECT_EQ(syntax("NetDirList", 1), (V{0x04, 0x08}));
  EXPECT_EQ(syntax("sParameter", 3), V(8, 0x02));
  EXPECT_EQ(syntax("sWrite", 0), (V{0x02, 0x08}));
  EXPECT_EQ(syntax("EMailReadFirst", 2), (V{0x0c, 0x0b, 0x0b}));
}

TEST_F(CommandEntry, ConstantsWithBothNames) {
  const struct {
    const char* french;
    const char* english;
    int32_t value;
  } expected[] = {{"INTERNET", "INTERNET", -1},
                  {"INTRANET", "INTRANET", 0},
                  {"ServeurFTP", "FTPServer", 1},
                  {"ServeurRPC", "RPCServer", 0},
                  {"netInfo", "netInfo", 0},
                  {"netOuiNon", "netYesNo", 4},
                  {"netConfirmer", "netConfirm", 3},
                  {"netOkAnnuler", "netOkCancel", 1},
                  {"netR\xe9"
                   "essayerIgnorer",
                   "netRetryIgnore", 2},
                  {"netR\xe9"
                   "essayerAnnuler",
                   "netRetryCancel", 5}};
  const ExtensionDescription& d = library_.description();
  ASSERT_EQ(Val(d.constantCount), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_STREQ(d.constants[i].frenchName, expected[i].french);
    EXPECT_STREQ(d.constants[i].englishName, expected[i].english);
    EXPECT_EQ(Val(d.constants[i].type), kValueInt);
    EXPECT_EQ(Val(d.constants[i].value), expected[i].value);
  }
}

TEST_F(CommandEntry, VariablesAreTheEmailMembersWithTheirStorage) {
  const struct {
    const char* french;
    const char* english;
    uint8_t type;
    uint16_t size, count;
  } expected[] = {{"Email.Exp\xe9"
                   "diteur",
                   "Email.Sender", 15, 128, 1},
                  {"Email.AdresseExp\xe9"
                   "diteur",
                   "Email.SenderAddress", 15, 128, 1},
                  {"Email.DateR\xe9"
                   "ception",
                   "Email.ReceiveDate", 15, 20, 1},
                  {"Email.Sujet", "Email.Subject", 15, 128, 1},
                  {"Email.Attache", "Email.Attach", 15, 256, 10},
                  {"Email.NbAttache", "Email.NbAttach", 3, 4, 1},
                  {"Email.Destinataire", "Email.Destiner", 15, 128, 20},
                  {"Email.NbDestinataire", "Email.NbDestiner", 3, 4, 1},
                  {"Email.Message", "Email.Message", 15, 32000, 1},
                  {"Email.EnDehors", "Email.Out", 3, 4, 1},
                  {"Email.Erreur", "Email.Error", 3, 4, 1}};
  const ExtensionDescription& d = library_.description();
  ASSERT_EQ(Val(d.variableCount), std::size(expected));
  CommRecord& record = *context().record;
  std::vector<std::pair<uintptr_t, uintptr_t>> spans;
  for (uint32_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].english);
    const VariableEntry& entry = d.variables[i];
    EXPECT_STREQ(entry.frenchName, expected[i].french);
    EXPECT_STREQ(entry.englishName, expected[i].english);
    EXPECT_EQ(Val(entry.descriptor.storage), nullptr);
    VariableDescriptor bound;
    std::memset(&bound, 0x5A, sizeof bound);
    ASSERT_EQ(library_.BindVariable(i, bound), 1);
    EXPECT_EQ(Val(bound.type), expected[i].type);
    EXPECT_EQ(Val(bound.elementSize), expected[i].size);
    EXPECT_EQ(Val(bound.elementCount), expected[i].count);
    EXPECT_EQ(Val(bound.reserved), 0);
    ASSERT_NE(Val(bound.storage), nullptr);
    const auto begin = reinterpret_cast<uintptr_t>(bound.storage);
    spans.push_back({begin, begin + size_t{expected[i].size} * expected[i].count});
  }
  // Each member has storage of its own, as large as the table says.
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i) EXPECT_LE(spans[i - 1].second, spans[i].first);
  VariableDescriptor message{};
  ASSERT_EQ(library_.BindVariable(8, message), 1);
  EXPECT_EQ(Val(message.storage), static_cast<void*>(record.message));
  EXPECT_NE(kvp::GlobalHandle(record.message), 0u) << "the message is a block of its own";
  VariableDescriptor out{}, error{};
  ASSERT_EQ(library_.BindVariable(9, out), 1);
  ASSERT_EQ(library_.BindVariable(10, error), 1);
  EXPECT_EQ(*static_cast<int32_t*>(out.storage), 1);
  EXPECT_EQ(*static_cast<int32_t*>(error.storage), 0);
  EXPECT_EQ(static_cast<char*>(message.storage)[0], '\0');
  VariableDescriptor untouched;
  std::memset(&untouched, 0x5A, sizeof untouched);
  EXPECT_EQ(library_.BindVariable(11, untouched), 0);
  EXPECT_EQ(Val(untouched.type), 0x5A);
}

TEST_F(CommandEntry, TextsVersionAndRefusedCommands) {
  for (uint32_t language : {0u, 1u, 2u}) {
    EXPECT_EQ(library_.GroupName(language), "Internet");
    EXPECT_EQ(library_.Description(language), "Internet.");
    EXPECT_EQ(library_.FurtherText(language), "");
  }
  EXPECT_EQ(library_.Version(), 5u);
  EXPECT_EQ(library_.Command(7, 0, nullptr), 1);
  EXPECT_EQ(library_.Command(11, 0, nullptr), 0);
  EXPECT_EQ(library_.Command(12, 1, library_.instance()), 0);
  EXPECT_EQ(library_.Command(0, 0, nullptr), 0);
  EXPECT_EQ(library_.Command(13, 0, nullptr), 0);
  EXPECT_EQ(library_.Command(-1, 0, nullptr), 0);
  // Null blocks are refused, not written through.
  EXPECT_EQ(library_.Command(1, 0, nullptr), 0);
  EXPECT_EQ(library_.Command(3, 0, nullptr), 0);
  EXPECT_EQ(library_.Command(4, 0, nullptr), 0);
  EXPECT_EQ(library_.Command(8, 0, nullptr), 0);
  EXPECT_EQ(library_.Command(10, 0, nullptr), 0);
  // Command 2 on an address that is no instance touches nothing.
  int32_t notAnInstance = 0;
  EXPECT_EQ(library_.Command(2, reinterpret_cast<uintptr_t>(&notAnInstance), nullptr), 0);
}

TEST_F(CommandEntry, InstanceStartsWithMarkerPortsAndEmail) {
  CommInstanceContext& c = context();
  ASSERT_NE(c.record, nullptr);
  EXPECT_NE(c.record->networkMarker, 0);
  for (void* port : c.ports) EXPECT_EQ(port, reinterpret_cast<void*>(~uintptr_t{0}));
  EXPECT_EQ(c.record->email.out, 1);
  EXPECT_EQ(c.record->email.error, 0);
  EXPECT_EQ(c.record->email.subject[0], '\0');
  EXPECT_NE(kvp::GlobalHandle(&c), 0u);
  EXPECT_NE(kvp::GlobalHandle(c.record), 0u);
}

TEST_F(CommandEntry, ReleaseOfAnErrorRecordTwiceFreesOnce) {
  // sOpen on a port without line settings reports message 1.
  commtest::PtyPair pair(dir_.path());
  std::ofstream(dir_.File("win.ini")) << "[Ports]\r\nCOM5.Device=" << pair.a() << "\r\n";
  std::optional<CallOutcome> outcome = library_.CallByName(
      "sOpen", 0, {I(5), I(1024), I(1024)}, std::nullopt, nullptr, /*keepReport=*/true);
  ASSERT_TRUE(outcome.has_value());
  ASSERT_TRUE(outcome->keptRecord.has_value());
  EXPECT_EQ(outcome->errorRecordMessage, 1u);
  EXPECT_NE(outcome->frenchText.find("COM5"), std::string::npos) << outcome->frenchText;
  EXPECT_FALSE(outcome->englishText.empty());
  ErrorRecord record = *outcome->keptRecord;
  const size_t live = kvp::GlobalLiveBlocks();
  EXPECT_EQ(library_.ReleaseError(record), 1);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), live - 3) << "the array and both texts";
  EXPECT_EQ(Val(record.texts), nullptr);
  EXPECT_EQ(Val(record.textCount), 0);
  EXPECT_EQ(library_.ReleaseError(record), 1);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), live - 3);
  library_.CallByName("sClose", 0, {I(5)});
}

// A record that counts no texts owns no array: its array address is left to
// the host (freeing it would free a block the host may still use), and the
// record is zero-filled all the same.
TEST_F(CommandEntry, ReleaseOfARecordCountingNoTextsLeavesItsArray) {
  const kvp::HGLOBAL handle = kvp::GlobalAlloc(kvp::GHND, 2 * sizeof(ErrorText));
  ASSERT_NE(handle, 0u);
  auto* array = static_cast<ErrorText*>(kvp::GlobalLock(handle));
  ASSERT_NE(array, nullptr);
  ErrorRecord record{};
  record.kind = 1;
  record.message = 1;
  record.texts = array;
  const size_t live = kvp::GlobalLiveBlocks();
  EXPECT_EQ(library_.ReleaseError(record), 1);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), live) << "the array of a record counting no texts was freed";
  EXPECT_EQ(kvp::GlobalHandle(array), handle);
  EXPECT_EQ(Val(record.texts), nullptr);
  EXPECT_EQ(Val(record.kind), 0);
  EXPECT_EQ(Val(record.message), 0u);
  kvp::GlobalUnlock(handle);
  EXPECT_EQ(kvp::GlobalFree(handle), 0u);
}

TEST_F(CommandEntry, UndeclaredSyntaxGivesZeroWithoutReport) {
  for (size_t i = 0; i < library_.description().functionCount; ++i) {
    const FunctionEntry& entry = library_.description().functions[i];
    for (int16_t syntax : {static_cast<int16_t>(entry.syntaxCount), int16_t{-1}, int16_t{99}}) {
      CallOutcome outcome = library_.CallDirect(entry.function, syntax, {}, ResultArea{9, 64});
      EXPECT_EQ(outcome.returned, 0) << entry.englishName << " syntax " << syntax;
      EXPECT_FALSE(outcome.reported) << entry.englishName;
    }
  }
}

}  // namespace
}  // namespace commcmd

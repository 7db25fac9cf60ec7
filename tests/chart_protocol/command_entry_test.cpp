// DLL_bCommande as the host drives it: every command, its refusals, and the
// blocks it hands over and takes back.
#include <cstring>

#include "platform/kernel/fault.h"
#include "tests/chart_protocol/protocol_fixture.h"
#include "tests/support/packed.h"

namespace chartprotocol {
namespace {

using kvtest::V;

using CommandTest = ProtocolTest;

// A block the library must leave alone, compared byte by byte afterwards.
struct Untouchable {
  unsigned char bytes[64];
  Untouchable() { std::memset(bytes, 0x5A, sizeof bytes); }
  bool Intact() const {
    for (unsigned char b : bytes) {
      if (b != 0x5A) return false;
    }
    return true;
  }
};

TEST_F(CommandTest, CommandsOutsideTheTableAndElevenAreRefusedWithoutWriting) {
  for (int16_t command : {int16_t{0}, int16_t{13}, int16_t{11}, int16_t{-1}, int16_t{-32768},
                          int16_t{32767}, int16_t{256 + 1}}) {
    Untouchable block;
    EXPECT_EQ(library_.Command(command, 0, block.bytes), 0) << command;
    EXPECT_TRUE(block.Intact()) << command;
  }
}

TEST_F(CommandTest, CommandSevenIsDoneAndChangesNothing) {
  Untouchable block;
  size_t blocks = kvp::GlobalLiveBlocks();
  EXPECT_EQ(library_.Command(7, 12345, block.bytes), 1);
  EXPECT_TRUE(block.Intact());
  EXPECT_EQ(library_.Command(7, 0, nullptr), 1);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
}

TEST_F(CommandTest, CreateGivesALockedGlobalContextWithEmptyListsAndFrenchLanguage) {
  void* context = nullptr;
  size_t blocks = kvp::GlobalLiveBlocks();
  ASSERT_EQ(library_.Command(1, 0, &context), 1);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks + 1);
  kvp::HGLOBAL handle = kvp::GlobalHandle(context);
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(kvp::GlobalSize(handle), sizeof(InstanceContext));
  EXPECT_EQ(kvp::GlobalFlags(handle) & kvp::GMEM_LOCKCOUNT, 1u);
  const auto* instance = static_cast<const InstanceContext*>(context);
  EXPECT_EQ(V(instance->language), 0);
  EXPECT_NE(V(instance->charts), nullptr);
  EXPECT_NE(V(instance->fonts), nullptr);
  // A second instance is a second context, destroyed on its own.
  EXPECT_NE(context, library_.instance());
  EXPECT_EQ(library_.Command(2, reinterpret_cast<uintptr_t>(context), nullptr), 1);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
}

TEST_F(CommandTest, CreateWithoutMemoryRefusesAndLeavesTheOutSlot) {
  void* slot = &slot;
  size_t blocks = kvp::GlobalLiveBlocks();
  kvp::fault::Reset();
  kvp::fault::Arm(kvp::fault::Op::Alloc, 1, kvp::ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(library_.Command(1, 0, &slot), 0);
  kvp::fault::Reset();
  EXPECT_EQ(slot, &slot);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
  // Without an out slot there is nowhere to put the context: refused, nothing kept.
  EXPECT_EQ(library_.Command(1, 0, nullptr), 0);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
}

TEST_F(CommandTest, DestroyOfNullIsDoneAndOfAForeignAddressIsRefused) {
  EXPECT_EQ(library_.Command(2, 0, nullptr), 1);
  // An address that no global block holds is not freed: the call is refused.
  InstanceContext onTheStack{};
  EXPECT_EQ(library_.Command(2, reinterpret_cast<uintptr_t>(&onTheStack), nullptr), 0);
}

TEST_F(CommandTest, DescribeFillsOnlyItsFieldsAndLeavesTheVariablesAlone) {
  ExtensionDescription block;
  std::memset(&block, 0xEE, sizeof block);
  ASSERT_EQ(library_.Command(3, 0, &block), 1);
  EXPECT_EQ(V(block.functionCount), 35);
  EXPECT_NE(V(block.functions), nullptr);
  EXPECT_EQ(V(block.constantCount), 16);
  EXPECT_NE(V(block.constants), nullptr);
  EXPECT_EQ(V(block.libraryCode), 6);
  const char expectedTrace[20] = "c:\\TRACEGRF.TXT";  // zero-filled after the text
  EXPECT_EQ(std::memcmp(block.traceFile, expectedTrace, sizeof expectedTrace), 0);
  EXPECT_EQ(V(block.traceFileEnd), '\0');
  // The variable count and table address keep whatever the host had there.
  EXPECT_EQ(V(block.variableCount), 0xEEEE);
  const VariableEntry* untouched;
  std::memset(&untouched, 0xEE, sizeof untouched);
  EXPECT_EQ(V(block.variables), untouched);
  for (uint8_t b : block.notWritten0) EXPECT_EQ(b, 0xEE);
  for (uint8_t b : block.notWritten1) EXPECT_EQ(b, 0xEE);
  for (uint8_t b : block.notWritten2) EXPECT_EQ(b, 0xEE);
  for (uint8_t b : block.notWritten3) EXPECT_EQ(b, 0xEE);
  EXPECT_EQ(library_.Command(3, 0, nullptr), 0);
}

TEST_F(CommandTest, NamesAreEnglishForLanguageOneAndFrenchForEveryOtherValue) {
  for (uint32_t language : {0u, 2u, 3u, 0xFFFFu, 0xFFFFFFFFu}) {
    EXPECT_EQ(library_.GroupName(language), "Vuzevuro") << language;
    EXPECT_EQ(library_.Description(language), "Vuzevuro.\r\n") << language;
    EXPECT_EQ(library_.FurtherText(language), "") << language;
  }
  EXPECT_EQ(library_.GroupName(1), "Rurized");
  EXPECT_EQ(library_.Description(1), "Rurized.\r\n");
  EXPECT_EQ(library_.FurtherText(1), "");
  for (int16_t command : {4, 5, 6}) EXPECT_EQ(library_.Command(command, 0, nullptr), 0);
}

TEST_F(CommandTest, VersionIsFive) {
  EXPECT_EQ(library_.Version(), 5u);
  EXPECT_EQ(library_.Command(10, 0, nullptr), 0);
}

TEST_F(CommandTest, SetLanguageKeepsTheLowSixteenBits) {
  const auto& instance = *static_cast<const InstanceContext*>(library_.instance());
  EXPECT_TRUE(library_.SetLanguage(1));
  EXPECT_EQ(V(instance.language), 1);
  EXPECT_TRUE(library_.SetLanguage(0x00020007));
  EXPECT_EQ(V(instance.language), 7);
  EXPECT_TRUE(library_.SetLanguage(0));
  EXPECT_EQ(V(instance.language), 0);
  EXPECT_EQ(library_.Command(12, 1, nullptr), 0);
}

TEST_F(CommandTest, BindVariableAnswersIndexZeroAndOneAndRefusesOthers) {
  VariableDescriptor descriptor;
  std::memset(&descriptor, 0x77, sizeof descriptor);
  const VariableDescriptor before = descriptor;
  EXPECT_EQ(library_.BindVariable(0, descriptor), 1);
  EXPECT_EQ(std::memcmp(&descriptor, &before, sizeof descriptor), 0);

  for (uint32_t index : {2u, 3u, 100u, 0xFFFFFFFFu}) {
    EXPECT_EQ(library_.BindVariable(index, descriptor), 0) << index;
    EXPECT_EQ(std::memcmp(&descriptor, &before, sizeof descriptor), 0) << index;
  }

  ASSERT_EQ(library_.BindVariable(1, descriptor), 1);
  ASSERT_NE(V(descriptor.storage), nullptr);
  EXPECT_EQ(V(descriptor.type), 3);
  EXPECT_EQ(V(descriptor.elementSize), 2);
  EXPECT_EQ(V(descriptor.elementCount), 1);
  EXPECT_EQ(V(descriptor.reserved), 0);
  int16_t value;
  std::memcpy(&value, descriptor.storage, sizeof value);
  EXPECT_EQ(value, 100);
  // The host may write the variable; binding again resets it.
  const int16_t written = -5;
  std::memcpy(descriptor.storage, &written, sizeof written);
  ASSERT_EQ(library_.BindVariable(1, descriptor), 1);
  std::memcpy(&value, descriptor.storage, sizeof value);
  EXPECT_EQ(value, 100);

  EXPECT_EQ(library_.Command(8, 1, nullptr), 0);
}

TEST_F(CommandTest, ErrorRecordHoldsTwoGlobalTextsAndReleaseZeroFillsItOnce) {
  size_t blocks = kvp::GlobalLiveBlocks();
  CallOutcome failed = Call("grType", 0, {T("nothing"), I(1)}, /*keepReport=*/true);
  ASSERT_EQ(failed.returned, 0);
  ASSERT_TRUE(failed.keptRecord.has_value());
  ErrorRecord record = *failed.keptRecord;
  EXPECT_EQ(V(record.kind), 2);
  EXPECT_EQ(V(record.textCount), 2);
  EXPECT_EQ(V(record.message), 50u);
  EXPECT_EQ(failed.errorMessage, 50u);
  // The array and both texts are locked moveable blocks of the host's kind.
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks + 3);
  kvp::HGLOBAL array = kvp::GlobalHandle(record.texts);
  ASSERT_NE(array, 0u);
  EXPECT_EQ(kvp::GlobalSize(array), 2 * sizeof(ErrorText));
  EXPECT_EQ(V(record.texts[0].language), 0);
  EXPECT_EQ(V(record.texts[1].language), 1);
  for (int i = 0; i < 2; ++i) {
    kvp::HGLOBAL text = kvp::GlobalHandle(record.texts[i].text);
    ASSERT_NE(text, 0u);
    EXPECT_EQ(kvp::GlobalSize(text), 351u);
    EXPECT_EQ(kvp::GlobalFlags(text) & kvp::GMEM_LOCKCOUNT, 1u);
  }

  EXPECT_EQ(library_.ReleaseError(record), 1);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
  const ErrorRecord zero{};
  EXPECT_EQ(std::memcmp(&record, &zero, sizeof record), 0);
  // A second release finds nothing to free.
  EXPECT_EQ(library_.ReleaseError(record), 1);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
  EXPECT_EQ(library_.Command(9, 0, nullptr), 1);
}

TEST_F(CommandTest, ReportWhoseAllocationsFailStaysReleasable) {
  size_t blocks = kvp::GlobalLiveBlocks();
  // 1: the text array; 2: the French text; 3: the English text.
  for (unsigned nth : {1u, 2u, 3u}) {
    kvp::fault::Reset();
    kvp::fault::Arm(kvp::fault::Op::Alloc, nth, kvp::ERROR_NOT_ENOUGH_MEMORY);
    CallOutcome failed = Call("grType", 0, {T("nothing"), I(1)}, /*keepReport=*/true);
    kvp::fault::Reset();
    EXPECT_EQ(failed.returned, 0) << nth;
    EXPECT_EQ(failed.errorMessage, 50u) << nth;
    ASSERT_TRUE(failed.keptRecord.has_value()) << nth;
    ErrorRecord record = *failed.keptRecord;
    if (nth == 1) {
      EXPECT_EQ(V(record.texts), nullptr);
      EXPECT_EQ(V(record.textCount), 0);
    } else {
      ASSERT_NE(V(record.texts), nullptr);
      EXPECT_EQ(V(record.texts[nth - 2].text), nullptr) << nth;
      EXPECT_NE(V(record.texts[3 - nth].text), nullptr) << nth;
    }
    EXPECT_EQ(library_.ReleaseError(record), 1);
    EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks) << nth;
  }
}

TEST_F(CommandTest, UndeclaredSyntaxFailsWithoutReport) {
  const FunctionEntry* create = library_.FindFunction("grCreate");
  ASSERT_NE(create, nullptr);
  for (int16_t syntax : {int16_t{1}, int16_t{6}, int16_t{-1}, int16_t{-32768}}) {
    CallOutcome outcome =
        library_.CallDirect(create->function, syntax, {T("c"), I(1)}, ResultArea{});
    EXPECT_EQ(outcome.returned, 0) << syntax;
    EXPECT_FALSE(outcome.reported) << syntax;
    EXPECT_EQ(outcome.errorMessage, 0u) << syntax;
  }
}

TEST_F(CommandTest, InstanceLivesUntilDestroyAndLeavesNoBlock) {
  // A chart with data and a font, then command 2: every block goes.
  ASSERT_EQ(Call(kvtest::Cp1252("grCrée"), 0, {T("sales"), I(1)}).returned, 1);
  EXPECT_EQ(Call("grAddData", 0, {T("sales"), I(1), D(2.5)}).returned, 1);
  EXPECT_EQ(Call("grCreateFont", 0, {I(1), I(12), I(8), T("Arial")}).returned, 1);
  EXPECT_EQ(Call("grTitleFont", 0, {T("sales"), I(1)}).returned, 1);
  EXPECT_TRUE(library_.DestroyInstance());
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocksBefore_);
}

}  // namespace
}  // namespace chartprotocol

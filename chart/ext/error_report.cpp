#include "chart/ext/error_report.h"

#include <cstring>

#include "chart/ext/global_block.h"

namespace kv::ext {
namespace {

constexpr uint16_t kTextCount = 2;

// A text block with the string numbered `number`, loaded as the platform's
// string loader would into a buffer of 251 characters.
char* LoadTextBlock(uint32_t number, const StringTable& strings) {
  auto* block = static_cast<char*>(AllocateHostBlock(kErrorTextBlockSize));
  if (block == nullptr) return nullptr;
  char loaded[kErrorTextLoadSize];
  size_t length = strings.Load(number, loaded, sizeof loaded);
  if (length > 0) std::memcpy(block, loaded, length + 1);
  return block;
}

}  // namespace

int32_t ReportError(CallBlock& call, uint16_t kind, uint32_t message, const StringTable& strings) {
  ErrorRecord& record = call.error;
  record.kind = kind;
  record.message = message;
  record.textCount = kTextCount;
  auto* texts = static_cast<ErrorText*>(AllocateHostBlock(kTextCount * sizeof(ErrorText)));
  record.texts = texts;
  if (texts != nullptr) {
    texts[0].language = kLanguageFrench;
    texts[0].text = LoadTextBlock(message, strings);
    texts[1].language = kLanguageEnglish;
    texts[1].text = LoadTextBlock(message + kEnglishTextOffset, strings);
  } else {
    // Without the array the host would read texts that are not there.
    record.textCount = 0;
  }
  call.errorMessage = message;
  return 0;
}

void ReleaseErrorRecord(ErrorRecord* record) {
  if (record == nullptr) return;
  if (record->texts != nullptr) {
    for (uint16_t i = 0; i < record->textCount; ++i) FreeHostBlock(record->texts[i].text);
    FreeHostBlock(record->texts);
  }
  std::memset(record, 0, sizeof *record);
}

}  // namespace kv::ext

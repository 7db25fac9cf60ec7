#include "odbc/global_text.h"

#include <cstdio>
#include <cstring>

#include "platform/kernel/memory.h"
#include "platform/ui/message_box.h"

namespace kvodbc {

char* AllocateText(size_t bytes) {
  if (bytes > kMaxTextBlock) return nullptr;
  if (bytes < kMinTextBlock) bytes = kMinTextBlock;
  const kvp::HGLOBAL block = kvp::GlobalAlloc(kvp::GHND, bytes);
  if (block == 0) return nullptr;
  char* text = static_cast<char*>(kvp::GlobalLock(block));
  if (text == nullptr) kvp::GlobalFree(block);
  return text;
}

void ReleaseText(const void* address) {
  if (address == nullptr) return;
  const kvp::HGLOBAL block = kvp::GlobalHandle(address);
  if (block == 0) {
    char message[64];
    std::snprintf(message, sizeof message, "Erreur GlobalHandle %u",
                  static_cast<unsigned>(kvp::GetLastError()));
    kvp::MessageBoxA(nullptr, message, "Erreur", kvp::MB_OK);
    return;
  }
  kvp::GlobalUnlock(block);
  kvp::GlobalFree(block);
}

TextBuilder::TextBuilder() : text_(AllocateText(kMinTextBlock)), capacity_(kMinTextBlock) {}

TextBuilder::~TextBuilder() {
  ReleaseText(text_);
}

bool TextBuilder::Append(std::string_view piece) {
  if (text_ == nullptr) return false;
  const size_t needed = length_ + piece.size() + 1;
  if (needed > capacity_) {
    const size_t grown = needed + 4;
    const kvp::HGLOBAL block = kvp::GlobalHandle(text_);
    if (grown > kMaxTextBlock || block == 0 ||
        kvp::GlobalReAlloc(block, grown, kvp::GMEM_MOVEABLE | kvp::GMEM_ZEROINIT) == 0) {
      ReleaseText(text_);
      text_ = nullptr;
      return false;
    }
    // The block may have moved: its lock count stays, its address is read
    // again through a second lock given back at once.
    text_ = static_cast<char*>(kvp::GlobalLock(block));
    kvp::GlobalUnlock(block);
    capacity_ = grown;
  }
  std::memcpy(text_ + length_, piece.data(), piece.size());
  length_ += piece.size();
  text_[length_] = '\0';
  return true;
}

char* TextBuilder::Release() {
  char* text = text_;
  text_ = nullptr;
  length_ = capacity_ = 0;
  return text;
}

}  // namespace kvodbc

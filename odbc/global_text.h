// Texts handed to the host in moveable global blocks.
#pragma once
#include <cstddef>
#include <string_view>

namespace kvodbc {

// Lists handed to the host never exceed this size; a larger request fails.
inline constexpr size_t kMaxTextBlock = 65520;
// Smaller requests get this much.
inline constexpr size_t kMinTextBlock = 16;

// A zero-filled, locked block of at least `bytes` (the size rules above);
// null when refused or when the platform has no memory.
char* AllocateText(size_t bytes);

// Releases a block this library or the host allocated, by its address. An
// address that is no global block is reported in a message box
// ("Erreur GlobalHandle %d") and left alone.
void ReleaseText(const void* address);

// A text that grows in a global block as lines are added. Growing
// reallocates the block to the needed size plus 4 bytes; past the size
// limit the text fails (and stays failed) instead of being cut.
class TextBuilder {
 public:
  TextBuilder();
  ~TextBuilder();
  TextBuilder(const TextBuilder&) = delete;
  TextBuilder& operator=(const TextBuilder&) = delete;

  bool Ok() const { return text_ != nullptr; }
  size_t Length() const { return length_; }
  bool Append(std::string_view piece);
  // Hands the text over (null when it failed); the builder is then empty.
  char* Release();

 private:
  char* text_ = nullptr;
  size_t length_ = 0;
  size_t capacity_ = 0;
};

}  // namespace kvodbc

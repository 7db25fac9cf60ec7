// A graphic font object owned by one chart or one font list entry, deleted
// with its owner.
#pragma once
#include <string_view>

#include "platform/gdi/fonts.h"

namespace kv::chart {

class OwnedFont {
 public:
  OwnedFont() = default;
  explicit OwnedFont(kvp::HFONT font) : font_(font) {}
  ~OwnedFont() { Reset(); }
  OwnedFont(OwnedFont&& other) noexcept : font_(other.Release()) {}
  OwnedFont& operator=(OwnedFont&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  OwnedFont(const OwnedFont&) = delete;
  OwnedFont& operator=(const OwnedFont&) = delete;

  kvp::HFONT get() const { return font_; }
  kvp::HFONT Release() {
    kvp::HFONT font = font_;
    font_ = nullptr;
    return font;
  }
  void Reset(kvp::HFONT font = nullptr) {
    if (font_ != nullptr) kvp::DeleteObject(font_);
    font_ = font;
  }

  // A new object with the same description (face, height, weight, italic,
  // underline, strike-out and the rest); empty when this one is.
  OwnedFont Copy() const { return OwnedFont(CopyFont(font_)); }

  static kvp::HFONT CopyFont(kvp::HFONT font);

 private:
  kvp::HFONT font_ = nullptr;
};

// A font with the face and height given and every other value the default.
OwnedFont MakeFont(std::string_view face, int height);

}  // namespace kv::chart

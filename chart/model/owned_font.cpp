#include "chart/model/owned_font.h"

#include <string>

namespace kv::chart {

kvp::HFONT OwnedFont::CopyFont(kvp::HFONT font) {
  if (font == nullptr) return nullptr;
  kvp::LOGFONTA description{};
  if (kvp::GetObjectA(font, sizeof(description), &description) != sizeof(description)) {
    return nullptr;
  }
  return kvp::CreateFontIndirectA(&description);
}

OwnedFont MakeFont(std::string_view face, int height) {
  const std::string name(face);
  return OwnedFont(kvp::CreateFontA(height, 0, 0, 0, kvp::FW_DONTCARE, 0, 0, 0,
                                    kvp::DEFAULT_CHARSET, kvp::OUT_DEFAULT_PRECIS,
                                    kvp::CLIP_DEFAULT_PRECIS, kvp::DEFAULT_QUALITY,
                                    kvp::DEFAULT_PITCH | kvp::FF_DONTCARE, name.c_str()));
}

}  // namespace kv::chart

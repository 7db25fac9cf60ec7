// Logical fonts: a LOGFONTA kept in the object table.
#include "platform/gdi/fonts.h"

#include <cstring>
#include <memory>
#include <new>

#include "platform/gdi/gdi_records.h"

namespace kvp {

namespace {

class FontObject : public detail::GdiObject {
 public:
  explicit FontObject(const LOGFONTA& font) : font_(font) {}
  DWORD Type() const override { return OBJ_FONT; }
  const void* Record() const override { return &font_; }
  int RecordSize() const override { return static_cast<int>(sizeof(font_)); }

 private:
  LOGFONTA font_;
};

// Copies a face name of unknown length, cut to 31 characters and terminated.
void CopyFaceName(char (&target)[LF_FACESIZE], const char* face, size_t limit) {
  std::memset(target, 0, sizeof(target));
  if (face == nullptr) return;
  size_t length = 0;
  while (length < limit && length < LF_FACESIZE - 1 && face[length] != '\0') ++length;
  std::memcpy(target, face, length);
}

}  // namespace

std::shared_ptr<detail::GdiObject> detail::MakeFontObject(const LOGFONTA& font) {
  return std::make_shared<FontObject>(font);
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (font == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  LOGFONTA kept = *font;
  // The caller's name need not be terminated within its 32 bytes.
  CopyFaceName(kept.lfFaceName, font->lfFaceName, LF_FACESIZE);
  std::shared_ptr<FontObject> object;
  try {
    object = std::make_shared<FontObject>(kept);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return static_cast<HFONT>(detail::RegisterGdiObject(std::move(object)));
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName) {
  LOGFONTA font{};
  font.lfHeight = height;
  font.lfWidth = width;
  font.lfEscapement = escapement;
  font.lfOrientation = orientation;
  font.lfWeight = weight;
  font.lfItalic = static_cast<BYTE>(italic);
  font.lfUnderline = static_cast<BYTE>(underline);
  font.lfStrikeOut = static_cast<BYTE>(strikeOut);
  font.lfCharSet = static_cast<BYTE>(charSet);
  font.lfOutPrecision = static_cast<BYTE>(outPrecision);
  font.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  font.lfQuality = static_cast<BYTE>(quality);
  font.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  CopyFaceName(font.lfFaceName, faceName, static_cast<size_t>(-1));
  return CreateFontIndirectA(&font);
}

}  // namespace kvp

// The metafile recorder: records in memory, an object table of slots, and
// the live recorders that must hear about deleted objects.
#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <set>
#include <vector>

#include "platform/gdi/dc_object.h"
#include "platform/gdi/metafile.h"

namespace kvp {

namespace {

int16_t Clamp16(LONG value) {
  return static_cast<int16_t>(std::clamp<LONG>(value, -32768, 32767));
}

class MetafileObject : public detail::GdiObject {
 public:
  explicit MetafileObject(std::vector<uint8_t> bits) : bits_(std::move(bits)) {}
  DWORD Type() const override { return OBJ_METAFILE; }
  const void* Record() const override { return nullptr; }
  int RecordSize() const override { return 0; }
  const std::vector<uint8_t>& bits() const { return bits_; }

 private:
  std::vector<uint8_t> bits_;
};

class MetafileDC : public detail::DeviceContext {
 public:
  MetafileDC() : DeviceContext(OBJ_METADC) {}

  HGDIOBJ Select(HGDIOBJ handle, std::shared_ptr<detail::GdiObject> object) override {
    const DWORD type = object->Type();
    if (type != OBJ_PEN && type != OBJ_BRUSH && type != OBJ_FONT) return nullptr;
    auto slot = slots_.find(handle);
    int number;
    if (slot == slots_.end()) {
      number = FreeSlot();
      if (!RecordCreate(*object)) return nullptr;
      slots_.emplace(handle, number);
      used_[static_cast<size_t>(number)] = true;
    } else {
      number = slot->second;
    }
    Emit(META_SELECTOBJECT, {static_cast<WORD>(number)});
    return DeviceContext::Select(handle, std::move(object));
  }

  void Forget(HGDIOBJ handle) {
    auto slot = slots_.find(handle);
    if (slot == slots_.end()) return;
    Emit(META_DELETEOBJECT, {static_cast<WORD>(slot->second)});
    used_[static_cast<size_t>(slot->second)] = false;
    slots_.erase(slot);
  }

  void SetBkMode(int mode) override {
    DeviceContext::SetBkMode(mode);
    Emit(META_SETBKMODE, {static_cast<WORD>(mode)});
  }
  void SetBkColor(COLORREF colour) override {
    DeviceContext::SetBkColor(colour);
    Emit(META_SETBKCOLOR, {Low(colour), High(colour)});
  }
  void SetTextColor(COLORREF colour) override {
    DeviceContext::SetTextColor(colour);
    Emit(META_SETTEXTCOLOR, {Low(colour), High(colour)});
  }
  void SetTextAlign(UINT align) override {
    DeviceContext::SetTextAlign(align);
    Emit(META_SETTEXTALIGN, {static_cast<WORD>(align)});
  }
  void SetMapMode(int mode) override {
    DeviceContext::SetMapMode(mode);
    Emit(META_SETMAPMODE, {static_cast<WORD>(mode)});
  }
  void SetWindowOrg(POINT origin) override {
    DeviceContext::SetWindowOrg(origin);
    Emit(META_SETWINDOWORG, {Word(origin.y), Word(origin.x)});
  }
  void SetWindowExt(SIZE extent) override {
    DeviceContext::SetWindowExt(extent);
    Emit(META_SETWINDOWEXT, {Word(extent.cy), Word(extent.cx)});
  }
  void SetViewportOrg(POINT origin) override {
    DeviceContext::SetViewportOrg(origin);
    Emit(META_SETVIEWPORTORG, {Word(origin.y), Word(origin.x)});
  }
  void SetViewportExt(SIZE extent) override {
    DeviceContext::SetViewportExt(extent);
    Emit(META_SETVIEWPORTEXT, {Word(extent.cy), Word(extent.cx)});
  }
  void MoveTo(POINT point) override {
    DeviceContext::MoveTo(point);
    Emit(META_MOVETO, {Word(point.y), Word(point.x)});
  }

  bool LineTo(POINT point) override {
    position = point;
    return Emit(META_LINETO, {Word(point.y), Word(point.x)});
  }
  bool Rectangle(const RECT& b) override {
    return Emit(META_RECTANGLE, {Word(b.bottom), Word(b.right), Word(b.top), Word(b.left)});
  }
  bool Ellipse(const RECT& b) override {
    return Emit(META_ELLIPSE, {Word(b.bottom), Word(b.right), Word(b.top), Word(b.left)});
  }
  bool Pie(const RECT& b, POINT r1, POINT r2) override {
    return Emit(META_PIE, {Word(r2.y), Word(r2.x), Word(r1.y), Word(r1.x), Word(b.bottom),
                           Word(b.right), Word(b.top), Word(b.left)});
  }
  bool Polygon(const POINT* points, int count) override {
    return Poly(META_POLYGON, points, count);
  }
  bool Polyline(const POINT* points, int count) override {
    return Poly(META_POLYLINE, points, count);
  }
  bool TextOut(POINT at, const char* text, int length) override {
    if (length < 0 || length > 0x7FFF) return false;
    std::vector<WORD> words;
    words.push_back(static_cast<WORD>(length));
    for (int i = 0; i < length; i += 2) {
      const auto low = static_cast<uint8_t>(text[i]);
      const auto high = i + 1 < length ? static_cast<uint8_t>(text[i + 1]) : 0;
      words.push_back(static_cast<WORD>(low | (high << 8)));
    }
    words.push_back(Word(at.y));
    words.push_back(Word(at.x));
    return Emit(META_TEXTOUT, words);
  }
  bool TextExtent(const char*, int, SIZE*) override { return false; }
  int DeviceCaps(int index) override { return index == TECHNOLOGY ? DT_METAFILE : 0; }

  // Deletes what is left in the table, ends the records and builds the bits.
  std::vector<uint8_t> Finish() {
    std::vector<std::pair<int, HGDIOBJ>> left;
    for (const auto& [handle, number] : slots_) left.emplace_back(number, handle);
    std::sort(left.begin(), left.end());
    for (const auto& entry : left) Forget(entry.second);
    Emit(META_EOF, {});
    std::vector<uint8_t> bits;
    const size_t totalWords = 9 + records_.size();
    bits.reserve(totalWords * 2);
    auto put16 = [&bits](uint32_t v) {
      bits.push_back(static_cast<uint8_t>(v & 0xFF));
      bits.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    };
    auto put32 = [&put16](uint32_t v) {
      put16(v & 0xFFFF);
      put16(v >> 16);
    };
    put16(1);       // in memory
    put16(9);       // header words
    put16(0x0300);  // version
    put32(static_cast<uint32_t>(totalWords));
    put16(static_cast<uint32_t>(used_.size()));
    put32(largestRecord_);
    put16(0);
    for (WORD w : records_) put16(w);
    return bits;
  }

  bool failed = false;

 private:
  static WORD Word(LONG value) { return static_cast<WORD>(Clamp16(value)); }
  static WORD Low(COLORREF c) { return static_cast<WORD>(c & 0xFFFF); }
  static WORD High(COLORREF c) { return static_cast<WORD>((c >> 16) & 0xFF); }

  int FreeSlot() {
    for (size_t i = 0; i < used_.size(); ++i) {
      if (!used_[i]) return static_cast<int>(i);
    }
    used_.push_back(false);
    return static_cast<int>(used_.size() - 1);
  }

  bool Poly(WORD function, const POINT* points, int count) {
    if (points == nullptr || count < 2 || count > 0x7FFF) return false;
    std::vector<WORD> words;
    words.push_back(static_cast<WORD>(count));
    for (int i = 0; i < count; ++i) {
      words.push_back(Word(points[i].x));
      words.push_back(Word(points[i].y));
    }
    return Emit(function, words);
  }

  bool RecordCreate(const detail::GdiObject& object) {
    switch (object.Type()) {
      case OBJ_PEN: {
        const auto& pen = *static_cast<const LOGPEN*>(object.Record());
        return Emit(META_CREATEPENINDIRECT,
                    {static_cast<WORD>(pen.lopnStyle), Word(pen.lopnWidth.x), 0, Low(pen.lopnColor),
                     High(pen.lopnColor)});
      }
      case OBJ_BRUSH: {
        const auto& brush = *static_cast<const LOGBRUSH*>(object.Record());
        return Emit(META_CREATEBRUSHINDIRECT,
                    {static_cast<WORD>(brush.lbStyle), Low(brush.lbColor), High(brush.lbColor), 0});
      }
      case OBJ_FONT: {
        const auto& font = *static_cast<const LOGFONTA*>(object.Record());
        std::vector<WORD> words = {Word(font.lfHeight), Word(font.lfWidth), Word(font.lfEscapement),
                                   Word(font.lfOrientation), Word(font.lfWeight)};
        const uint8_t bytes[8] = {font.lfItalic,  font.lfUnderline,     font.lfStrikeOut,
                                  font.lfCharSet, font.lfOutPrecision,  font.lfClipPrecision,
                                  font.lfQuality, font.lfPitchAndFamily};
        for (int i = 0; i < 8; i += 2)
          words.push_back(static_cast<WORD>(bytes[i] | (bytes[i + 1] << 8)));
        for (int i = 0; i < LF_FACESIZE; i += 2) {
          words.push_back(static_cast<WORD>(static_cast<uint8_t>(font.lfFaceName[i]) |
                                            (static_cast<uint8_t>(font.lfFaceName[i + 1]) << 8)));
        }
        return Emit(META_CREATEFONTINDIRECT, words);
      }
      default:
        return false;
    }
  }

  bool Emit(WORD function, std::initializer_list<WORD> parameters) {
    return Emit(function, std::vector<WORD>(parameters));
  }
  bool Emit(WORD function, const std::vector<WORD>& parameters) {
    try {
      const uint32_t size = static_cast<uint32_t>(3 + parameters.size());
      records_.push_back(static_cast<WORD>(size & 0xFFFF));
      records_.push_back(static_cast<WORD>(size >> 16));
      records_.push_back(function);
      records_.insert(records_.end(), parameters.begin(), parameters.end());
      largestRecord_ = std::max(largestRecord_, size);
      return true;
    } catch (const std::bad_alloc&) {
      failed = true;
      return false;
    }
  }

  std::vector<WORD> records_;
  uint32_t largestRecord_ = 3;
  std::map<HGDIOBJ, int> slots_;
  std::vector<bool> used_;
};

// The recorders live now, for DeleteObject to tell.
std::mutex& RecorderMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
std::set<std::shared_ptr<MetafileDC>>& Recorders() {
  static auto* recorders = new std::set<std::shared_ptr<MetafileDC>>;
  return *recorders;
}

}  // namespace

namespace detail {

void ForgetObjectInMetafiles(HGDIOBJ handle) {
  std::lock_guard<std::mutex> hold(RecorderMutex());
  for (const auto& recorder : Recorders()) {
    std::lock_guard<std::mutex> holdRecorder(recorder->mutex);
    recorder->Forget(handle);
  }
}

}  // namespace detail

HDC CreateMetaFileA(const char* fileName) {
  if (fileName != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  std::shared_ptr<MetafileDC> dc;
  try {
    dc = std::make_shared<MetafileDC>();
    std::lock_guard<std::mutex> hold(RecorderMutex());
    Recorders().insert(dc);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HDC handle = detail::RegisterDC(dc);
  if (handle == nullptr) {
    std::lock_guard<std::mutex> hold(RecorderMutex());
    Recorders().erase(dc);
  }
  return handle;
}

HMETAFILE CloseMetaFile(HDC dc) {
  auto recorder = std::dynamic_pointer_cast<MetafileDC>(detail::LookUpGdiObject(dc));
  if (!recorder) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> hold(RecorderMutex());
    Recorders().erase(recorder);
  }
  detail::UnregisterGdiObject(dc);
  std::vector<uint8_t> bits;
  bool failed;
  {
    std::lock_guard<std::mutex> hold(recorder->mutex);
    try {
      bits = recorder->Finish();
    } catch (const std::bad_alloc&) {
      recorder->failed = true;
    }
    failed = recorder->failed;
  }
  if (failed) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::shared_ptr<MetafileObject> object;
  try {
    object = std::make_shared<MetafileObject>(std::move(bits));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return static_cast<HMETAFILE>(detail::RegisterGdiObject(std::move(object)));
}

UINT GetMetaFileBitsEx(HMETAFILE metafile, UINT size, void* buffer) {
  auto found = std::dynamic_pointer_cast<MetafileObject>(detail::LookUpGdiObject(metafile));
  if (!found) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const auto length = static_cast<UINT>(found->bits().size());
  if (buffer == nullptr) return length;
  std::memcpy(buffer, found->bits().data(), std::min(size, length));
  return length;
}

BOOL DeleteMetaFile(HMETAFILE metafile) {
  if (GetObjectType(metafile) != OBJ_METAFILE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  return detail::UnregisterGdiObject(metafile) ? TRUE_ : FALSE_;
}

}  // namespace kvp

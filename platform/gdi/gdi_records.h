// Internal: graphic objects that carry a plain description record (pens,
// brushes, fonts), and the stock objects.
#pragma once
#include <cstring>
#include <memory>

#include "platform/gdi/gdi_table.h"

namespace kvp::detail {

template <typename Description, DWORD kType>
class RecordObject : public GdiObject {
 public:
  explicit RecordObject(const Description& record) : record_(record) {}
  DWORD Type() const override { return kType; }
  const void* Record() const override { return &record_; }
  int RecordSize() const override { return static_cast<int>(sizeof(record_)); }
  const Description& record() const { return record_; }

 private:
  Description record_;
};

using PenObject = RecordObject<LOGPEN, OBJ_PEN>;
using BrushObject = RecordObject<LOGBRUSH, OBJ_BRUSH>;

// The record of an object of the expected type, or null.
template <typename Record>
const Record* RecordOf(const GdiObject* object, DWORD type) {
  if (object == nullptr || object->Type() != type || object->RecordSize() != sizeof(Record))
    return nullptr;
  return static_cast<const Record*>(object->Record());
}

// Stock handles are small numbers below every table handle.
inline constexpr uintptr_t kFirstStockHandle = 0x100;
inline constexpr int kStockObjects = 18;
// The 1 x 1 bitmap every memory context starts with sits in this slot;
// GetStockObject does not hand it out.
inline constexpr int kStockBitmap = 16;
bool IsStockHandle(HGDIOBJ handle);
HGDIOBJ FindStockBitmap();
std::shared_ptr<GdiObject> FindStockObject(HGDIOBJ handle);

// A font object for a description (used by the stock fonts).
std::shared_ptr<GdiObject> MakeFontObject(const LOGFONTA& font);

}  // namespace kvp::detail

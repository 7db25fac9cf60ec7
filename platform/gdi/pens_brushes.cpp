// Pens, brushes and the stock objects.
#include "platform/gdi/pens_brushes.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/gdi/bitmap_object.h"
#include "platform/gdi/gdi_records.h"

namespace kvp {

namespace {

template <typename Object, typename Record>
HGDIOBJ Register(const Record& record) {
  std::shared_ptr<Object> object;
  try {
    object = std::make_shared<Object>(record);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return detail::RegisterGdiObject(std::move(object));
}

// A pen as Windows describes it back: the width's absolute value, and a
// null pen 1 wide and black whatever it was made with (a metafile records
// the description, so both systems must give the same).
LOGPEN DescribePen(LOGPEN pen) {
  if (pen.lopnStyle == PS_NULL) return LOGPEN{PS_NULL, POINT{1, 0}, 0};
  const LONG width = pen.lopnWidth.x;
  pen.lopnWidth.x = width == INT32_MIN ? INT32_MAX : (width < 0 ? -width : width);
  pen.lopnWidth.y = 0;
  return pen;
}

std::shared_ptr<detail::GdiObject> MakeStock(int which) {
  auto brush = [](COLORREF colour, UINT style = BS_SOLID) {
    return std::make_shared<detail::BrushObject>(LOGBRUSH{style, colour, 0});
  };
  auto pen = [](COLORREF colour, UINT style = PS_SOLID) {
    return std::make_shared<detail::PenObject>(DescribePen(LOGPEN{style, POINT{0, 0}, colour}));
  };
  // The stock fonts are described as Windows describes them (a metafile
  // that selects one records the description); they are drawn with the
  // sans-serif face that stands in for Arial.
  auto font = [](LONG height, LONG width, LONG weight, const char* face) {
    LOGFONTA description{};
    description.lfHeight = height;
    description.lfWidth = width;
    description.lfWeight = weight;
    description.lfPitchAndFamily = 0x22;  // variable pitch, Swiss family
    std::memcpy(description.lfFaceName, face, std::strlen(face) + 1);
    return detail::MakeFontObject(description);
  };
  switch (which) {
    case WHITE_BRUSH:
      return brush(RGB(255, 255, 255));
    case LTGRAY_BRUSH:
      return brush(RGB(192, 192, 192));
    case GRAY_BRUSH:
      return brush(RGB(128, 128, 128));
    case DKGRAY_BRUSH:
      return brush(RGB(64, 64, 64));
    case BLACK_BRUSH:
      return brush(RGB(0, 0, 0));
    case NULL_BRUSH:
      return brush(0, BS_NULL);
    case WHITE_PEN:
      return pen(RGB(255, 255, 255));
    case BLACK_PEN:
      return pen(RGB(0, 0, 0));
    case NULL_PEN:
      return pen(0, PS_NULL);
    case SYSTEM_FONT:
      return font(16, 7, FW_BOLD, "System");
    case DEFAULT_GUI_FONT:
      return font(-11, 0, FW_NORMAL, "MS Shell Dlg");
    case detail::kStockBitmap:
      return std::make_shared<detail::BitmapObject>(
          cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1));
    default:
      return nullptr;
  }
}

// Made once, on first use, and never destroyed.
const std::array<std::shared_ptr<detail::GdiObject>, detail::kStockObjects>& StockTable() {
  static auto* table = [] {
    auto* made = new std::array<std::shared_ptr<detail::GdiObject>, detail::kStockObjects>;
    for (int i = 0; i < detail::kStockObjects; ++i) (*made)[static_cast<size_t>(i)] = MakeStock(i);
    return made;
  }();
  return *table;
}

}  // namespace

namespace detail {

bool IsStockHandle(HGDIOBJ handle) {
  const auto number = reinterpret_cast<uintptr_t>(handle);
  return number >= kFirstStockHandle && number < kFirstStockHandle + kStockObjects;
}

HGDIOBJ FindStockBitmap() {
  StockTable();
  return reinterpret_cast<HGDIOBJ>(kFirstStockHandle + kStockBitmap);
}

std::shared_ptr<GdiObject> FindStockObject(HGDIOBJ handle) {
  if (!IsStockHandle(handle)) return nullptr;
  return StockTable()[reinterpret_cast<uintptr_t>(handle) - kFirstStockHandle];
}

}  // namespace detail

HPEN CreatePen(int style, int width, COLORREF colour) {
  LOGPEN pen{static_cast<UINT>(style), POINT{width, 0}, colour};
  return CreatePenIndirect(&pen);
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (pen == nullptr || (pen->lopnStyle != PS_SOLID && pen->lopnStyle != PS_NULL)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return static_cast<HPEN>(Register<detail::PenObject>(DescribePen(*pen)));
}

HBRUSH CreateSolidBrush(COLORREF colour) {
  LOGBRUSH brush{BS_SOLID, colour, 0};
  return CreateBrushIndirect(&brush);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (brush == nullptr || (brush->lbStyle != BS_SOLID && brush->lbStyle != BS_NULL)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // A null brush is described black with no hatch, as Windows gives it back.
  const LOGBRUSH kept =
      brush->lbStyle == BS_NULL ? LOGBRUSH{BS_NULL, 0, 0} : LOGBRUSH{BS_SOLID, brush->lbColor, 0};
  return static_cast<HBRUSH>(Register<detail::BrushObject>(kept));
}

HGDIOBJ GetStockObject(int which) {
  if (which < 0 || which >= detail::kStockObjects || which == detail::kStockBitmap ||
      !StockTable()[static_cast<size_t>(which)])
    return nullptr;
  return reinterpret_cast<HGDIOBJ>(detail::kFirstStockHandle + static_cast<uintptr_t>(which));
}

}  // namespace kvp

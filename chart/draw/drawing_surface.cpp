#include "chart/draw/drawing_surface.h"

#include <string>

#include "chart/model/owned_font.h"
#include "platform/gdi/pens_brushes.h"

namespace kv::chart {

namespace {

// Texts beyond this length are measured and drawn cut: a label is at most
// what the host can pass, but the platform counts in int.
constexpr size_t kLongestText = 32767;

int Length(std::string_view text) {
  return static_cast<int>(text.size() < kLongestText ? text.size() : kLongestText);
}

// The extent through the screen: the metafile's font is found by selecting
// a temporary one and selecting the old one straight back; the temporary
// font is deleted only after the metafile holds its own font again.
kvp::SIZE MeasureThroughScreen(kvp::HDC metafile, std::string_view text) {
  kvp::SIZE size{0, 0};
  OwnedFont probe = MakeFont("Arial", 16);
  kvp::HGDIOBJ current = kvp::SelectObject(metafile, probe.get());
  if (current == nullptr) return size;
  kvp::SelectObject(metafile, current);
  kvp::HDC screen = kvp::GetDC(nullptr);
  if (screen != nullptr) {
    kvp::HGDIOBJ old = kvp::SelectObject(screen, current);
    kvp::GetTextExtentPoint32A(screen, text.data(), Length(text), &size);
    if (old != nullptr) kvp::SelectObject(screen, old);
    kvp::ReleaseDC(nullptr, screen);
  }
  return size;
}

}  // namespace

TextSize DrawingSurface::Measure(kvp::HFONT font, std::string_view text) const {
  kvp::HGDIOBJ old = font != nullptr ? kvp::SelectObject(dc_, font) : nullptr;
  kvp::SIZE size{0, 0};
  if (metafile_) {
    size = MeasureThroughScreen(dc_, text);
  } else {
    kvp::GetTextExtentPoint32A(dc_, text.data(), Length(text), &size);
  }
  if (old != nullptr) kvp::SelectObject(dc_, old);
  const int pad = Scaled(2);
  return TextSize{Coord(static_cast<double>(size.cx) + pad),
                  Coord(static_cast<double>(size.cy) + pad)};
}

void DrawingSurface::Text(kvp::HFONT font, Rgb colour, int x, int y, std::string_view text) const {
  if (text.empty()) return;
  kvp::HGDIOBJ old = font != nullptr ? kvp::SelectObject(dc_, font) : nullptr;
  kvp::SetBkMode(dc_, kvp::TRANSPARENT);
  kvp::SetTextColor(dc_, colour);
  const int pad = Scaled(1);
  kvp::TextOutA(dc_, Coord(static_cast<double>(x) + pad), Coord(static_cast<double>(y) + pad),
                text.data(), Length(text));
  if (old != nullptr) kvp::SelectObject(dc_, old);
}

ScopedObject::ScopedObject(kvp::HDC dc, kvp::HGDIOBJ object)
    : dc_(dc),
      object_(object),
      previous_(object != nullptr ? kvp::SelectObject(dc, object) : nullptr) {}

ScopedObject::~ScopedObject() {
  if (previous_ != nullptr) kvp::SelectObject(dc_, previous_);
  if (object_ != nullptr) kvp::DeleteObject(object_);
}

kvp::HGDIOBJ SolidBrush(Rgb colour) {
  return kvp::CreateSolidBrush(colour);
}

kvp::HGDIOBJ SolidPen(Rgb colour, int width) {
  return kvp::CreatePen(kvp::PS_SOLID, width, colour);
}

ScopedStock::ScopedStock(kvp::HDC dc, int stock)
    : dc_(dc), previous_(kvp::SelectObject(dc, kvp::GetStockObject(stock))) {}

ScopedStock::~ScopedStock() {
  if (previous_ != nullptr) kvp::SelectObject(dc_, previous_);
}

Rgb Darker(Rgb colour, double factor) {
  auto part = [factor](unsigned value) {
    return static_cast<Rgb>(static_cast<double>(value) * factor) & 0xFF;
  };
  return part(colour & 0xFF) | (part((colour >> 8) & 0xFF) << 8) |
         (part((colour >> 16) & 0xFF) << 16);
}

}  // namespace kv::chart

// What a chart draws with: the device context, the destination kind (a
// metafile cannot measure text and measures on the screen) and the text
// margin scale, with the text and shape helpers every chart type shares.
#pragma once
#include <string_view>

#include "chart/draw/box.h"
#include "chart/model/palette.h"
#include "platform/gdi/device_context.h"

namespace kv::chart {

struct TextSize {
  int width = 0;
  int height = 0;
};

class DrawingSurface {
 public:
  DrawingSurface(kvp::HDC dc, bool metafile, double scale)
      : dc_(dc), metafile_(metafile), scale_(scale) {}

  kvp::HDC dc() const { return dc_; }
  double scale() const { return scale_; }
  int Scaled(double units) const { return kv::chart::Scaled(units, scale_); }

  // The text's extent in the font, plus round(2 s) to the width and to the
  // height.
  TextSize Measure(kvp::HFONT font, std::string_view text) const;
  // Writes the text with its top left corner at (x, y), transparent, in the
  // font and colour; the font is taken out again.
  void Text(kvp::HFONT font, Rgb colour, int x, int y, std::string_view text) const;

 private:
  kvp::HDC dc_;
  bool metafile_;
  double scale_;
};

// A pen or brush made for one shape: selected on construction, taken out
// and deleted on destruction.
class ScopedObject {
 public:
  ScopedObject(kvp::HDC dc, kvp::HGDIOBJ object);
  ~ScopedObject();
  ScopedObject(const ScopedObject&) = delete;
  ScopedObject& operator=(const ScopedObject&) = delete;

 private:
  kvp::HDC dc_;
  kvp::HGDIOBJ object_;
  kvp::HGDIOBJ previous_;
};

// Solid brushes and pens of a colour, and the stock ones.
kvp::HGDIOBJ SolidBrush(Rgb colour);
kvp::HGDIOBJ SolidPen(Rgb colour, int width = 1);

// Selects a stock object and puts the previous one back at the end.
class ScopedStock {
 public:
  ScopedStock(kvp::HDC dc, int stock);
  ~ScopedStock();
  ScopedStock(const ScopedStock&) = delete;
  ScopedStock& operator=(const ScopedStock&) = delete;

 private:
  kvp::HDC dc_;
  kvp::HGDIOBJ previous_;
};

// A colour darker by the factor (0..1), for the sides of relief.
Rgb Darker(Rgb colour, double factor);

}  // namespace kv::chart

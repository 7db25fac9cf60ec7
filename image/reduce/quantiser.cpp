#include "image/reduce/quantiser.h"

#include <algorithm>
#include <array>

namespace kvimg {

namespace {

// Histogram cells: 6 bits of luminance, 5 of each chrominance.
constexpr int kCells[3] = {64, 32, 32};
constexpr int kShift[3] = {2, 3, 3};
// Width of a cell along each axis in value units, with luminance counted
// twice: the eye sees its steps first.
constexpr int kAxisScale[3] = {4 * 2, 8, 8};

struct Cell {
  uint32_t count = 0;  // saturates instead of wrapping
  uint64_t red = 0, green = 0, blue = 0;
};

struct Histogram {
  std::vector<Cell> cells = std::vector<Cell>(64 * 32 * 32);
  Cell& At(int y, int cb, int cr) { return cells[(size_t(y) << 10) | (size_t(cb) << 5) | cr]; }
};

struct Box {
  int lo[3];
  int hi[3];
  uint64_t population = 0;

  int Extent(int axis) const { return (hi[axis] - lo[axis]) * kAxisScale[axis]; }
  uint64_t Volume() const {
    return uint64_t(Extent(0) + 1) * uint64_t(Extent(1) + 1) * uint64_t(Extent(2) + 1);
  }
  bool Splittable() const {
    return population > 1 && (hi[0] > lo[0] || hi[1] > lo[1] || hi[2] > lo[2]);
  }
};

// Narrows the box to its occupied cells and counts its pixels; a box with
// no pixels keeps population 0 and is never chosen again.
void Shrink(Histogram& histogram, Box& box) {
  int lo[3] = {kCells[0], kCells[1], kCells[2]};
  int hi[3] = {-1, -1, -1};
  uint64_t population = 0;
  for (int y = box.lo[0]; y <= box.hi[0]; ++y)
    for (int cb = box.lo[1]; cb <= box.hi[1]; ++cb)
      for (int cr = box.lo[2]; cr <= box.hi[2]; ++cr) {
        const uint32_t count = histogram.At(y, cb, cr).count;
        if (count == 0) continue;
        population += count;
        const int at[3] = {y, cb, cr};
        for (int a = 0; a < 3; ++a) {
          lo[a] = std::min(lo[a], at[a]);
          hi[a] = std::max(hi[a], at[a]);
        }
      }
  box.population = population;
  if (population == 0) return;
  for (int a = 0; a < 3; ++a) {
    box.lo[a] = lo[a];
    box.hi[a] = hi[a];
  }
}

uint64_t SliceCount(Histogram& histogram, const Box& box, int axis, int at) {
  Box slice = box;
  slice.lo[axis] = slice.hi[axis] = at;
  uint64_t total = 0;
  for (int y = slice.lo[0]; y <= slice.hi[0]; ++y)
    for (int cb = slice.lo[1]; cb <= slice.hi[1]; ++cb)
      for (int cr = slice.lo[2]; cr <= slice.hi[2]; ++cr) total += histogram.At(y, cb, cr).count;
  return total;
}

// Splits along the longest axis where half of the box's pixels lie on
// each side; both halves keep an occupied end cell, so neither is empty.
void Split(Histogram& histogram, Box& box, Box& other) {
  int axis = 0;
  for (int a = 1; a < 3; ++a)
    if (box.Extent(a) > box.Extent(axis)) axis = a;
  uint64_t seen = 0;
  int cut = box.lo[axis];
  for (int at = box.lo[axis]; at < box.hi[axis]; ++at) {
    seen += SliceCount(histogram, box, axis, at);
    cut = at;
    if (seen * 2 >= box.population) break;
  }
  other = box;
  box.hi[axis] = cut;
  other.lo[axis] = cut + 1;
  Shrink(histogram, box);
  Shrink(histogram, other);
}

Box* ChooseBoxToSplit(std::vector<Box>& boxes, bool byPopulation) {
  Box* best = nullptr;
  for (Box& box : boxes) {
    if (!box.Splittable()) continue;
    if (best == nullptr) {
      best = &box;
    } else if (byPopulation ? box.population > best->population : box.Volume() > best->Volume()) {
      best = &box;
    }
  }
  return best;
}

PaletteColour MeanColour(Histogram& histogram, const Box& box) {
  uint64_t red = 0, green = 0, blue = 0, count = 0;
  for (int y = box.lo[0]; y <= box.hi[0]; ++y)
    for (int cb = box.lo[1]; cb <= box.hi[1]; ++cb)
      for (int cr = box.lo[2]; cr <= box.hi[2]; ++cr) {
        const Cell& cell = histogram.At(y, cb, cr);
        red += cell.red;
        green += cell.green;
        blue += cell.blue;
        count += cell.count;
      }
  if (count == 0) return {0, 0, 0};
  return {static_cast<uint8_t>((red + count / 2) / count),
          static_cast<uint8_t>((green + count / 2) / count),
          static_cast<uint8_t>((blue + count / 2) / count)};
}

int Clamp(int value) {
  return value < 0 ? 0 : (value > 255 ? 255 : value);
}

// Nearest palette entry for each colour, found the first time a colour of
// its cell (6 bits a channel) is asked for.
class NearestCache {
 public:
  explicit NearestCache(const std::vector<PaletteColour>& palette)
      : palette_(palette), cache_(size_t{1} << 18, -1) {}

  int Find(int red, int green, int blue) {
    const size_t key = (size_t(red >> 2) << 12) | (size_t(green >> 2) << 6) | size_t(blue >> 2);
    int16_t& slot = cache_[key];
    if (slot < 0)
      slot = static_cast<int16_t>(Search((red & ~3) | 2, (green & ~3) | 2, (blue & ~3) | 2));
    return slot;
  }

 private:
  int Search(int red, int green, int blue) const {
    int best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < palette_.size(); ++i) {
      const long dr = red - palette_[i].red, dg = green - palette_[i].green,
                 db = blue - palette_[i].blue;
      const long distance = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || distance < bestDistance) {
        bestDistance = distance;
        best = static_cast<int>(i);
      }
    }
    return best;
  }

  const std::vector<PaletteColour>& palette_;
  std::vector<int16_t> cache_;
};

}  // namespace

void RgbToYcc(int red, int green, int blue, int& y, int& cb, int& cr) {
  constexpr long kHalf = 32768;
  constexpr long kOffset = 128L << 16;
  y = Clamp(static_cast<int>((19595L * red + 38470L * green + 7471L * blue + kHalf) >> 16));
  cb = Clamp(static_cast<int>(
      (-11059L * red - 21709L * green + 32768L * blue + kOffset + kHalf - 1) >> 16));
  cr = Clamp(
      static_cast<int>((32768L * red - 27439L * green - 5329L * blue + kOffset + kHalf - 1) >> 16));
}

std::vector<PaletteColour> ChoosePalette(const PackedBitmapView& picture, unsigned colours) {
  Histogram histogram;
  for (uint32_t row = 0; row < picture.height; ++row) {
    const uint8_t* pixel = picture.RowFromTop(row);
    for (uint32_t x = 0; x < picture.width; ++x, pixel += 3) {
      int y, cb, cr;
      RgbToYcc(pixel[2], pixel[1], pixel[0], y, cb, cr);
      Cell& cell = histogram.At(y >> kShift[0], cb >> kShift[1], cr >> kShift[2]);
      if (cell.count != UINT32_MAX) ++cell.count;
      // The sums keep counting past a saturated count: the mean only drifts
      // for a cell of more than four billion pixels.
      cell.red += pixel[2];
      cell.green += pixel[1];
      cell.blue += pixel[0];
    }
  }
  std::vector<Box> boxes(1);
  boxes[0] = Box{{0, 0, 0}, {kCells[0] - 1, kCells[1] - 1, kCells[2] - 1}};
  Shrink(histogram, boxes[0]);
  while (boxes.size() < colours) {
    Box* chosen = ChooseBoxToSplit(boxes, boxes.size() * 2 < colours);
    if (chosen == nullptr) break;
    Box other;
    Split(histogram, *chosen, other);
    boxes.push_back(other);
  }
  std::vector<PaletteColour> palette;
  for (const Box& box : boxes)
    if (box.population > 0) palette.push_back(MeanColour(histogram, box));
  if (palette.empty()) palette.push_back({0, 0, 0});
  return palette;
}

void MapToPalette(const PackedBitmapView& picture, const std::vector<PaletteColour>& palette,
                  uint8_t* out, uint32_t outStride) {
  NearestCache nearest(palette);
  const size_t width = picture.width;
  // Errors in sixteenths, for this row and the next, with one guard cell on
  // each side so that the edges need no test.
  std::vector<std::array<int, 3>> here(width + 2), next(width + 2);
  for (uint32_t row = 0; row < picture.height; ++row) {
    const uint8_t* source = picture.RowFromTop(row);
    uint8_t* target = out + size_t{picture.height - 1 - row} * outStride;
    std::fill(next.begin(), next.end(), std::array<int, 3>{0, 0, 0});
    // Serpentine: every other row runs right to left.
    const bool leftward = (row & 1) != 0;
    const long step = leftward ? -1 : 1;
    for (size_t i = 0; i < width; ++i) {
      const size_t x = leftward ? width - 1 - i : i;
      const size_t at = x + 1;
      const uint8_t* pixel = source + 3 * x;
      int value[3];
      const int original[3] = {pixel[2], pixel[1], pixel[0]};
      for (int c = 0; c < 3; ++c) {
        const int error = here[at][c];
        value[c] = Clamp(original[c] + (error >= 0 ? (error + 8) / 16 : -((-error + 8) / 16)));
      }
      const int index = nearest.Find(value[0], value[1], value[2]);
      target[x] = static_cast<uint8_t>(index);
      const int chosen[3] = {palette[index].red, palette[index].green, palette[index].blue};
      for (int c = 0; c < 3; ++c) {
        const int error = value[c] - chosen[c];
        here[at + step][c] += error * 7;
        next[at - step][c] += error * 3;
        next[at][c] += error * 5;
        next[at + step][c] += error;
      }
    }
    std::swap(here, next);
  }
}

}  // namespace kvimg
